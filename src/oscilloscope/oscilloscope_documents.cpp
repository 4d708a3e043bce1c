// The oscilloscope window's part in test files, its File menu's save, and its context help.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "shell/about_window.h"
#include "shell/context_help.h"
#include "shell/logo_window.h"
#include "shell/main_window.h"
#include "shell/status_panels.h"
#include "shell/twips.h"

namespace quorvel {

OscilloscopeSection Form2::CollectSection() const {
  OscilloscopeSection s;
  s.window_state = isMinimized() ? 1 : isMaximized() ? 2 : 0;
  s.width = static_cast<float>(frameGeometry().width() * TwipsPerPixelX(*this));
  s.height = static_cast<float>(frameGeometry().height() * TwipsPerPixelY(*this));
  s.waveform = cmbWF_->currentText();
  s.start_frequency = txtStF_->text();
  s.end_frequency = txtEnF_->text();
  s.start_multiplier = GetReversedValue(*SStFM_);
  s.end_multiplier = GetReversedValue(*SEnFM_);
  s.frequency_position = SFF_->value();
  s.oscillations = GetReversedValue(*SOsc_);
  s.samples = GetReversedValue(*SCa_);
  s.overlay_x = FilX;
  s.overlay_y = FilY;
  s.show_filter = MenuShowFil_->isChecked();
  s.separate_signals = MenuShowSepSign_->isChecked();
  s.parametric_filter = MenuToolsParF_->isChecked();
  s.point_density = MenuShowPD_->isChecked();
  s.time_unit = SB1_->Tag(3);
  s.vdiv_in = static_cast<std::int16_t>(SVDivI_->value());
  s.vdiv_out = static_cast<std::int16_t>(SVDivO_->value());
  for (int i = 0; i < lstPar_->count(); ++i) s.parameter_items.append(lstPar_->item(i)->text());
  return s;
}

// Brings the controls to the section's values through the operations a user's input runs; `key`
// is the record just read.
void Form2::ApplySection(const OscilloscopeSection& s, const QString& key) {
  if (key == u"OscSt") {
    const Qt::WindowStates states[] = {Qt::WindowNoState, Qt::WindowMinimized, Qt::WindowMaximized};
    setWindowState(states[std::clamp<int>(s.window_state, 0, 2)]);
  }
  if ((key == u"OscW" || key == u"OscH") && windowState() == Qt::WindowNoState) {
    const QSize frame = frameGeometry().size() - geometry().size();
    resize(TwipsToPixelsX(s.width, *this) - frame.width(),
           TwipsToPixelsY(s.height, *this) - frame.height());
  }
  if (cmbWF_->currentText() != s.waveform) {
    const int index = cmbWF_->findText(s.waveform);
    if (index >= 0) {
      cmbWF_->setCurrentIndex(index);
    } else {
      cmbWF_->setEditText(s.waveform);
    }
  }
  if (txtStF_->text() != s.start_frequency) txtStF_->setText(s.start_frequency);
  if (txtEnF_->text() != s.end_frequency) txtEnF_->setText(s.end_frequency);
  SetReversedValue(*SStFM_, s.start_multiplier);
  SetReversedValue(*SEnFM_, s.end_multiplier);
  SFF_->setValue(s.frequency_position);
  SetReversedValue(*SOsc_, s.oscillations);
  SetReversedValue(*SCa_, s.samples);
  FilX = s.overlay_x;
  FilY = s.overlay_y;
  MenuShowFil_->setChecked(s.show_filter);
  MenuShowSepSign_->setChecked(s.separate_signals);
  MenuShowPD_->setChecked(s.point_density);
  if (key == u"OscParFil" && s.parametric_filter != MenuToolsParF_->isChecked()) {
    MenuToolsParF_Click();
  }
  if (key == u"OscUnitX" && s.time_unit.value_or(QString()) != SB1_->Tag(3)) SB1_PanelClick(3);
  SVDivI_->setValue(s.vdiv_in);
  SVDivO_->setValue(s.vdiv_out);
  for (int i = lstPar_->count(); i < s.parameter_items.size(); ++i) {
    lstPar_->addItem(s.parameter_items.at(i));
  }
}

void Form2::ClearParameters() { lstPar_->clear(); }

void Form2::ConnectShellCommands() {
  QAction* save = findChild<QAction*>(QStringLiteral("MenuFileSalva"));
  save->setEnabled(true);
  connect(save, &QAction::triggered, this, [this] { (void)main_.SaveTest(main_.TestPath); });

  SetHelpContext(*cmdHelp_, QStringLiteral("1024"));
  SetHelpContext(*SB1_, QStringLiteral("1002"));
  cmdHelp_->setEnabled(true);
  cmdHelp_->setCheckable(false);
  connect(cmdHelp_, &QToolButton::clicked, this,
          [this] { SB1_->SetText(2, ToggleHelpMode(*this)); });
  auto enable = [this](const char* name) {
    QAction* action = findChild<QAction*>(QLatin1String(name));
    action->setEnabled(true);
    return action;
  };
  connect(enable("MenuHelpGuida"), &QAction::triggered, this,
          [this] { ShowHelpContents(this, main_.HelpFile); });
  connect(enable("MenuHelpInfo"), &QAction::triggered, this, [this] {
    frmAbout about(this);
    about.exec();
  });
  connect(enable("MenuHelpLogo"), &QAction::triggered, this, [this] {
    frmLogo logo(this);
    logo.exec();
  });
  setWindowIcon(main_.windowIcon());
  // Key releases reach the window before its controls, whichever has the focus.
  new HelpKeyWatcher(*this, [this](int key) {
    if (const auto status = HelpKeyReleased(*this, key, main_.HelpFile)) {
      SB1_->SetText(2, *status);
    }
  });
}

}  // namespace quorvel
