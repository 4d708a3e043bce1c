#pragma once

#include <QDialog>
#include <QIcon>

#include "window_core/version_info.h"

class QLabel;
class QPushButton;

namespace quorvel {

// The about box: the program's title, version, company and comments beside its icon. Shown as a
// modal window; "OK" closes it.
class frmAbout : public QDialog {
  Q_OBJECT

 public:
  // The icon is the parent window's icon (the program's icon when the parent has none).
  explicit frmAbout(QWidget* parent, const VersionInfo& version = ProgramVersion());

  QLabel* lblTitle() const { return lblTitle_; }
  QLabel* lblVersion() const { return lblVersion_; }
  QLabel* lblAutore() const { return lblAutore_; }
  QLabel* lblDescription() const { return lblDescription_; }
  QLabel* picIcon() const { return picIcon_; }
  QPushButton* cmdOK() const { return cmdOK_; }

 private:
  QLabel* lblTitle_ = nullptr;
  QLabel* lblVersion_ = nullptr;
  QLabel* lblAutore_ = nullptr;
  QLabel* lblDescription_ = nullptr;
  QLabel* picIcon_ = nullptr;
  QPushButton* cmdOK_ = nullptr;
};

// The program's icon for windows, from the drawn picture at the usual sizes.
QIcon ProgramIcon();

}  // namespace quorvel
