#include "widgets/about_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "window_core/program_icon.h"

namespace quorvel {
namespace {

constexpr int kIconSize = 64;

QLabel* NewLabel(const QString& text, QWidget* parent, const char* name) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  return label;
}

}  // namespace

frmAbout::frmAbout(QWidget* parent, const VersionInfo& version) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("Informazioni su ") + version.title);
  setModal(true);

  const QIcon icon =
      parent && !parent->windowIcon().isNull() ? parent->windowIcon() : ProgramIcon();
  picIcon_ = NewLabel(QString(), this, "picIcon");
  picIcon_->setPixmap(icon.pixmap(kIconSize, kIconSize));
  picIcon_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  lblTitle_ = NewLabel(version.title, this, "lblTitle");
  QFont title_font = lblTitle_->font();
  title_font.setBold(true);
  title_font.setPointSizeF(title_font.pointSizeF() * 1.5);
  lblTitle_->setFont(title_font);
  lblVersion_ = NewLabel(version.VersionText(), this, "lblVersion");
  lblAutore_ = NewLabel(version.company, this, "lblAutore");
  lblDescription_ = NewLabel(version.comments, this, "lblDescription");
  lblDescription_->setWordWrap(true);

  auto* texts = new QGridLayout;
  texts->setHorizontalSpacing(12);
  texts->addWidget(NewLabel(QStringLiteral("Applicazione:"), this, "Label4"), 0, 0);
  texts->addWidget(lblTitle_, 0, 1);
  texts->addWidget(NewLabel(QStringLiteral("Versione:"), this, "Label1"), 1, 0);
  texts->addWidget(lblVersion_, 1, 1);
  texts->addWidget(NewLabel(QStringLiteral("Autore:"), this, "Label3"), 2, 0);
  texts->addWidget(lblAutore_, 2, 1);
  texts->addWidget(NewLabel(QStringLiteral("Descrizione"), this, "Label2"), 3, 0, Qt::AlignTop);
  texts->addWidget(lblDescription_, 3, 1);
  texts->setColumnStretch(1, 1);

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(picIcon_);
  top->addLayout(texts, 1);

  cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
  cmdOK_->setObjectName(QStringLiteral("cmdOK"));
  cmdOK_->setDefault(true);
  connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK_);

  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
    icon.addPixmap(QPixmap::fromImage(PaintProgramIcon(size)));
  }
  return icon;
}

}  // namespace quorvel
