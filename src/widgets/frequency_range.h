#pragma once

#include <QObject>
#include <QString>

class QLabel;
class QLineEdit;
class QScrollBar;
class QWidget;

namespace quorvel {

// The frequency range that both windows ask for: the start and end frequency texts `txtStF` and
// `txtEnF`, each followed by its unit label (`lblStFM`, `lblEnFM`: "Hz", "KHz", "MHz", "GHz")
// and its unit scroll bar (`SStFM`, `SEnFM`, reversed: up raises the unit). Created inside
// `parent`; the window places the controls by their names.
class FrequencyRange : public QObject {
  Q_OBJECT

 public:
  // `start_caption` and `end_caption` name the labels "Frequenza iniziale:" and "Frequenza
  // finale:" (each window numbers its labels its own way).
  FrequencyRange(QWidget& parent, const char* start_caption, const char* end_caption);

  QLineEdit* txtStF() const { return txtStF_; }
  QLineEdit* txtEnF() const { return txtEnF_; }
  QScrollBar* SStFM() const { return SStFM_; }
  QScrollBar* SEnFM() const { return SEnFM_; }

  // 10 to the power 3 times the unit scroll bar's reversed value.
  double StartMultiplier() const { return start_multiplier_; }
  double EndMultiplier() const { return end_multiplier_; }

  // Why a text is not a frequency from 0,001 to 100000 ("deve essere un numero", ...); empty
  // when it is one.
  QString StartProblem() const;
  QString EndProblem() const;
  // The frequencies in hertz: the number typed times its unit (0 for a text that is not one).
  double StartHertz() const;
  double EndHertz() const;

  // The unit scroll bars at Hz and KHz, their labels written.
  void ApplyDefaults();

 private:
  void SStFM_Change();
  void SEnFM_Change();

  QLineEdit* txtStF_ = nullptr;
  QLabel* lblStFM_ = nullptr;
  QScrollBar* SStFM_ = nullptr;
  QLineEdit* txtEnF_ = nullptr;
  QLabel* lblEnFM_ = nullptr;
  QScrollBar* SEnFM_ = nullptr;
  double start_multiplier_ = 1;
  double end_multiplier_ = 1;
};

}  // namespace quorvel
