#pragma once

#include <QWidget>

#include <vector>

class QLabel;

namespace quorvel {

// A status bar of numbered panels (from 1), each with a text, a tag and a tool tip, reporting
// clicks. Panel 1 is a narrow panel under the help button, panel 2 stretches, the others are
// fixed-width readouts.
class StatusPanels : public QWidget {
  Q_OBJECT

 public:
  StatusPanels(int count, int readout_width, QWidget* parent);

  QLabel* Panel(int index) const;
  QString Text(int index) const;
  void SetText(int index, const QString& text);
  QString Tag(int index) const;
  void SetTag(int index, const QString& tag);
  int count() const { return static_cast<int>(panels_.size()); }
  // The bar's width at which the stretching panel 2 shows `text` whole.
  int WidthShowing(const QString& text) const;

 signals:
  void PanelClick(int index);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<QLabel*> panels_;
};

}  // namespace quorvel
