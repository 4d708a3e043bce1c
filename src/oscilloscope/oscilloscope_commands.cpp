// The oscilloscope's run and settings handlers: the timer, the start and stop of a run, the
// frequency, oscillation, sample and volts-per-division controls, and the parameter list.
#include <QComboBox>
#include <QGroupBox>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <memory>

#include "graphs/scope_screen.h"
#include "numbers/eng_number.h"
#include "numbers/number_text.h"
#include "numbers/reversed_value.h"
#include "oscilloscope/oscilloscope_window.h"
#include "scripting/script_host.h"
#include "scripting/script_var_list.h"
#include "shell/graph_surface.h"
#include "shell/main_window.h"
#include "shell/report_panel.h"
#include "shell/run_launcher.h"
#include "simulation/script_filter_engine.h"

namespace quorvel {

namespace {

QString ParameterItemText(const QString& name, const QString& percent, const QString& minimum,
                          const QString& maximum) {
  return name + QLatin1Char(' ') + percent + QStringLiteral("% [") + minimum + QLatin1Char(';') +
         maximum + QLatin1Char(']');
}

// A parameter's name becomes the left side of a "name=value" statement: only an identifier
// (letters, digits and "_", not starting with a digit) is accepted.
bool IsParameterName(const QString& name) {
  if (name.isEmpty() || name.front().isDigit()) return false;
  return std::all_of(name.begin(), name.end(), IsIdentChar);
}

// The selected row of a list, -1 when no item is selected.
int SelectedRow(const QListWidget& list) {
  const QListWidgetItem* item = list.currentItem();
  return item && item->isSelected() ? list.currentRow() : -1;
}

}  // namespace

void Form2::Timer1_Timer() {
  // A tick that runs a run delivers events meanwhile, the timer's own among them.
  if (in_tick_) return;
  in_tick_ = true;
  // While another run holds the engine (a sweep of the main window), the request waits. It is
  // cleared before the run, so that one made while the run lasts is served by a later tick.
  if (RunRequested && !main_.Launcher().running()) {
    RunRequested = false;
    StartRun();
    RedrawScope();
  }
  if (RedrawRequested) {
    RedrawRequested = false;
    RedrawScope();
  }
  in_tick_ = false;
}

void Form2::StartRun() {
  if (!ValidateNumber(txtStF_->text(), false, 0.001, 100000).isEmpty() ||
      !ValidateNumber(txtEnF_->text(), false, 0.001, 100000).isEmpty()) {
    return;  // silently: the previous trace and report stay
  }
  StopRequested = false;
  const double fs = ParseNumber(txtStF_->text()).value_or(0) * StartMultiplier;
  const double fe = ParseNumber(txtEnF_->text()).value_or(0) * EndMultiplier;
  const double f = RunFrequencyFromSlider(SFF_->value(), SFF_->maximum(), fs, fe);
  RunFrequency = f;
  RunOscillations = GetReversedValue(*SOsc_);
  RunSamples = GetReversedValue(*SCa_);
  QStringList items;
  if (MenuToolsParF_->isChecked()) {
    for (int i = 0; i < lstPar_->count(); ++i) items << lstPar_->item(i)->text();
  }
  ParText = main_.ParametersText();
  FilText = main_.FunctionsText();

  // The run fills a trace of its own, handed over when it ends.
  TimeTrace measured;
  const QString waveform = cmbWF_->currentText();
  running_ = true;
  const std::optional<RunOutcome> outcome =
      main_.Launcher().Launch(*this, [&](RunObserver& observer) {
        ScriptFilterEngine engine(main_.Script1());
        return SimulateTrace(
            engine, observer,
            ScopeSettings{f, RunOscillations, RunSamples, waveform, items, ParText, FilText},
            measured, StopRequested);
      });
  running_ = false;
  if (!outcome) return;
  trace_ = std::move(measured);
  fReport_->SetReport(outcome->report);
  ++run_count_;
}

void Form2::cmdAgg_Click() { RunRequested = true; }

void Form2::cmdStop_Click() {
  StopRequested = true;
  StopRunningCall();
}

void Form2::AsyncCallback(qint16& /*res*/) { cmdStop_Click(); }

void Form2::StopRun() { cmdStop_Click(); }

// A filter that spins inside one script call never reaches a pacing point: the call itself is
// stopped. The click that asks for it arrives while the engine delivers events during the call.
void Form2::StopRunningCall() {
  if (running_) main_.Script1().CancelRunningCall();
}

void Form2::cmbWF_Click() { RunRequested = true; }

void Form2::SFF_Change() { RunRequested = true; }

void Form2::SStFM_Change() {
  StartMultiplier = std::pow(10.0, 3 * GetReversedValue(*SStFM_));
  lblStFM_->setText(PrefixLetter(StartMultiplier) + QStringLiteral("Hz"));
}

void Form2::SEnFM_Change() {
  EndMultiplier = std::pow(10.0, 3 * GetReversedValue(*SEnFM_));
  lblEnFM_->setText(PrefixLetter(EndMultiplier) + QStringLiteral("Hz"));
}

void Form2::SOsc_Change() { lblOsc_->setText(QString::number(GetReversedValue(*SOsc_))); }

void Form2::SCa_Change() { lblCa_->setText(QString::number(GetReversedValue(*SCa_))); }

void Form2::SVDivI_Change() {
  txtVDivI_->setText(VoltsPerDivisionTexts().value(SVDivI_->value()));
  RedrawRequested = true;
}

void Form2::SVDivO_Change() {
  txtVDivO_->setText(VoltsPerDivisionTexts().value(SVDivO_->value()));
  RedrawRequested = true;
}

void Form2::lblOsc_MouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) (void)AddReversedValue(*SOsc_, 10);
  if (button == Qt::RightButton) (void)AddReversedValue(*SOsc_, -10);
}

void Form2::lblCa_MouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) (void)AddReversedValue(*SCa_, 500);
  if (button == Qt::RightButton) (void)AddReversedValue(*SCa_, -500);
}

void Form2::MenuToolsParF_Click() {
  MenuToolsParF_->setChecked(!MenuToolsParF_->isChecked());
  ShowParameterPanel();
}

void Form2::ShowParameterPanel() {
  Frame2_->setVisible(MenuToolsParF_->isChecked());
  LayoutOscilloscope();
}

void Form2::ShowError(const QString& message) {
  QMessageBox::warning(this, QStringLiteral("Errore"), message);
}

std::optional<QString> Form2::AskText(const QString& prompt, const QString& offered) {
  bool ok = false;
  const QString answer = QInputDialog::getText(this, QStringLiteral("Defininizione parametro"),
                                               prompt, QLineEdit::Normal, offered, &ok);
  if (!ok || answer.isEmpty()) return std::nullopt;
  return answer;
}

std::optional<Form2::ParameterAnswers> Form2::AskParameter(const ParameterAnswers& offered) {
  ParameterAnswers answers;
  for (;;) {
    const std::optional<QString> name =
        AskText(QStringLiteral("Inserire il nome del parametro:"), offered.name);
    if (!name) return std::nullopt;
    if (name->contains(QLatin1Char(' '))) {
      ShowError(QStringLiteral("Il nome del parametro non deve contenere spazi"));
    } else if (!IsParameterName(*name)) {
      ShowError(
          QStringLiteral("Il nome del parametro può contenere solo lettere, cifre e \"_\" e "
                         "non può iniziare con una cifra"));
    } else {
      answers.name = *name;
      break;
    }
  }
  // A point typed as the decimal separator is taken for the comma.
  double minimum = 0;
  for (;;) {
    std::optional<QString> text =
        AskText(QStringLiteral("Inserire il valore minimo:"), offered.minimum);
    if (!text) return std::nullopt;
    if (const std::optional<double> value =
            ParseNumber(text->replace(QLatin1Char('.'), QLatin1Char(',')))) {
      minimum = *value;
      break;
    }
    ShowError(QStringLiteral("Il valore minimo deve essere un numero"));
  }
  answers.minimum = NumberText(minimum);
  for (;;) {
    std::optional<QString> text = AskText(
        QStringLiteral("Inserire il valore massimo (>=") + answers.minimum + QStringLiteral("):"),
        offered.maximum);
    if (!text) return std::nullopt;
    const std::optional<double> value =
        ParseNumber(text->replace(QLatin1Char('.'), QLatin1Char(',')));
    if (!value) {
      ShowError(QStringLiteral("Il valore massimo deve essere un numero"));
    } else if (*value < minimum) {
      ShowError(QStringLiteral("Il valore massimo deve essere maggiore del minimo (") +
                answers.minimum + QStringLiteral(")"));
    } else {
      answers.maximum = NumberText(*value);
      return answers;
    }
  }
}

void Form2::cmdAddP_Click() {
  const std::optional<ParameterAnswers> answers = AskParameter({});
  if (!answers) return;
  lstPar_->addItem(
      ParameterItemText(answers->name, QStringLiteral("50"), answers->minimum, answers->maximum));
}

void Form2::cmdRmvP_Click() {
  const int row = SelectedRow(*lstPar_);
  if (row < 0) return;
  std::unique_ptr<QListWidgetItem> removed(lstPar_->takeItem(row));
  const int count = lstPar_->count();
  if (count == 0) {
    lstPar_->setCurrentRow(-1);
    return;
  }
  lstPar_->setCurrentRow(std::min(row, count - 1));
}

void Form2::lstPar_MouseUp(Qt::MouseButton button) {
  const int row = SelectedRow(*lstPar_);
  if (row < 0) return;
  const std::optional<ParameterItem> item = ParseParameterItem(lstPar_->item(row)->text());
  if (!item) return;
  if (button == Qt::RightButton) {
    const std::optional<ParameterAnswers> answers =
        AskParameter({item->name, NumberText(item->minimum), NumberText(item->maximum)});
    if (answers && row < lstPar_->count()) {
      lstPar_->item(row)->setText(ParameterItemText(answers->name, NumberText(item->percent),
                                                    answers->minimum, answers->maximum));
    }
  }
  SPar_->setValue(static_cast<int>(Round(item->percent, 0)));
}

void Form2::SPar_Change() {
  const int row = SelectedRow(*lstPar_);
  if (row < 0) return;
  QListWidgetItem* selected = lstPar_->item(row);
  const std::optional<ParameterItem> item = ParseParameterItem(selected->text());
  if (!item) return;
  selected->setText(ParameterItemText(item->name, QString::number(SPar_->value()),
                                      NumberText(item->minimum), NumberText(item->maximum)));
  RunRequested = true;
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  const auto type = event->type();
  if (watched == lblOsc_ || watched == lblCa_) {
    if (type == QEvent::MouseButtonRelease) {
      const auto button = static_cast<QMouseEvent*>(event)->button();
      watched == lblOsc_ ? lblOsc_MouseUp(button) : lblCa_MouseUp(button);
      return true;
    }
  } else if (cmbWF_ && (watched == cmbWF_ || watched == cmbWF_->lineEdit())) {
    if (type == QEvent::KeyRelease) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Down || key == Qt::Key_Up || key == Qt::Key_Return ||
          key == Qt::Key_Enter) {
        RunRequested = true;
      }
    }
  } else if (lstPar_ && watched == lstPar_->viewport()) {
    if (type == QEvent::MouseButtonRelease) {
      lstPar_MouseUp(static_cast<QMouseEvent*>(event)->button());
    }
  } else if (Grafico1_ && watched == Grafico1_) {
    if (type == QEvent::MouseButtonPress) {
      Grafico1_MouseDown(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (type == QEvent::MouseMove) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      Grafico1_MouseMove(mouse->position().toPoint(), mouse->buttons());
    } else if (type == QEvent::MouseButtonRelease) {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      Grafico1_MouseUp(mouse->position().toPoint(), mouse->button());
    } else if (type == QEvent::Resize) {
      Grafico1_Resize();
    }
  } else if (watched == client_ && type == QEvent::Resize) {
    // The client area is the window's inner area: lay out whenever it changes size.
    LayoutOscilloscope();
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace quorvel
