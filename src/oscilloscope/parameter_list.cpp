#include "oscilloscope/parameter_list.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include <algorithm>
#include <memory>

#include "numbers/number_text.h"
#include "oscilloscope/oscilloscope_controls.h"
#include "simulation/oscilloscope_run.h"
#include "simulation/parameter_name.h"

namespace quorvel {

namespace {

QString ParameterItemText(const QString& name, const QString& percent, const QString& minimum,
                          const QString& maximum) {
  return name + QLatin1Char(' ') + percent + QStringLiteral("% [") + minimum + QLatin1Char(';') +
         maximum + QLatin1Char(']');
}

// The selected row of a list, -1 when no item is selected.
int SelectedRow(const QListWidget& list) {
  const QListWidgetItem* item = list.currentItem();
  return item && item->isSelected() ? list.currentRow() : -1;
}

}  // namespace

ParameterList::ParameterList(QWidget& window, const OscilloscopeControls& controls)
    : QObject(&window), window_(window), c_(controls) {
  connect(c_.cmdAddP, &QPushButton::clicked, this, &ParameterList::cmdAddP_Click);
  connect(c_.cmdRmvP, &QPushButton::clicked, this, &ParameterList::cmdRmvP_Click);
  connect(c_.SPar, &QSlider::valueChanged, this, &ParameterList::SPar_Change);
  list_viewport_ = c_.lstPar->viewport();
  list_viewport_->installEventFilter(this);
}

QStringList ParameterList::Items() const {
  QStringList items;
  for (int i = 0; i < c_.lstPar->count(); ++i) items << c_.lstPar->item(i)->text();
  return items;
}

void ParameterList::Clear() { c_.lstPar->clear(); }

void ParameterList::AppendFrom(const QStringList& items) {
  for (auto i = c_.lstPar->count(); i < items.size(); ++i) c_.lstPar->addItem(items.at(i));
}

void ParameterList::ShowError(const QString& message) {
  QMessageBox::warning(&window_, QStringLiteral("Errore"), message);
}

std::optional<QString> ParameterList::AskText(const QString& prompt, const QString& offered) {
  bool ok = false;
  const QString answer = QInputDialog::getText(&window_, QStringLiteral("Defininizione parametro"),
                                               prompt, QLineEdit::Normal, offered, &ok);
  if (!ok || answer.isEmpty()) return std::nullopt;
  return answer;
}

std::optional<QString> ParameterList::AskName(const QString& offered) {
  for (;;) {
    const std::optional<QString> name =
        AskText(QStringLiteral("Inserire il nome del parametro:"), offered);
    if (!name) return std::nullopt;
    if (name->contains(QLatin1Char(' '))) {
      ShowError(QStringLiteral("Il nome del parametro non deve contenere spazi"));
    } else if (!IsParameterName(*name)) {
      ShowError(
          QStringLiteral("Il nome del parametro può contenere solo lettere, cifre e \"_\" e "
                         "non può iniziare con una cifra"));
    } else {
      return name;
    }
  }
}

std::optional<ParameterList::ParameterAnswers> ParameterList::AskParameter(
    const ParameterAnswers& offered) {
  ParameterAnswers answers;
  const std::optional<QString> name = AskName(offered.name);
  if (!name) return std::nullopt;
  answers.name = *name;
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

void ParameterList::cmdAddP_Click() {
  const std::optional<ParameterAnswers> answers = AskParameter({});
  if (!answers) return;
  c_.lstPar->addItem(
      ParameterItemText(answers->name, QStringLiteral("50"), answers->minimum, answers->maximum));
}

void ParameterList::cmdRmvP_Click() {
  const int row = SelectedRow(*c_.lstPar);
  if (row < 0) return;
  std::unique_ptr<QListWidgetItem> removed(c_.lstPar->takeItem(row));
  const int count = c_.lstPar->count();
  if (count == 0) {
    c_.lstPar->setCurrentRow(-1);
    return;
  }
  c_.lstPar->setCurrentRow(std::min(row, count - 1));
}

void ParameterList::lstPar_MouseUp(Qt::MouseButton button) {
  const int row = SelectedRow(*c_.lstPar);
  if (row < 0) return;
  const std::optional<ParameterItem> item = ParseParameterItem(c_.lstPar->item(row)->text());
  if (!item) return;
  if (button == Qt::RightButton) {
    const std::optional<ParameterAnswers> answers =
        AskParameter({item->name, NumberText(item->minimum), NumberText(item->maximum)});
    if (answers && row < c_.lstPar->count()) {
      c_.lstPar->item(row)->setText(ParameterItemText(answers->name, NumberText(item->percent),
                                                      answers->minimum, answers->maximum));
    }
  }
  c_.SPar->setValue(static_cast<int>(Round(item->percent, 0)));
}

void ParameterList::SPar_Change() {
  const int row = SelectedRow(*c_.lstPar);
  if (row < 0) return;
  QListWidgetItem* selected = c_.lstPar->item(row);
  const std::optional<ParameterItem> item = ParseParameterItem(selected->text());
  if (!item) return;
  selected->setText(ParameterItemText(item->name, QString::number(c_.SPar->value()),
                                      NumberText(item->minimum), NumberText(item->maximum)));
  emit RunRequested();
}

bool ParameterList::eventFilter(QObject* watched, QEvent* event) {
  // Compared, not asked: the list may be in the middle of its destruction.
  if (watched == list_viewport_ && event->type() == QEvent::MouseButtonRelease) {
    lstPar_MouseUp(static_cast<QMouseEvent*>(event)->button());
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace quorvel
