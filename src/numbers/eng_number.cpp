#include "numbers/eng_number.h"

#include <cmath>
#include <cstdint>

#include "numbers/number_text.h"

namespace quorvel {
namespace {

// One row per power of 1000, from 1e-15 (step -5) to 1e9 (step 3).
struct PrefixRow {
  double multiplier;
  char16_t letter;  // 0: no letter
};
constexpr int kLowestStep = -5;
constexpr int kHighestStep = 3;
constexpr PrefixRow kPrefixes[] = {
    {1e-15, u'f'}, {1e-12, u'p'}, {1e-9, u'n'}, {1e-6, u'u'}, {1e-3, u'm'},
    {1.0, 0},      {1e3, u'K'},   {1e6, u'M'},  {1e9, u'G'},
};

QString LetterOfStep(int step) {
  const char16_t letter = kPrefixes[step - kLowestStep].letter;
  return letter == 0 ? QString() : QString(QChar(letter));
}

}  // namespace

QString PrefixLetter(double multiplier) {
  for (const PrefixRow& row : kPrefixes) {
    if (row.multiplier == multiplier)
      return row.letter == 0 ? QString() : QString(QChar(row.letter));
  }
  return QString();
}

QString FormatEng(double x, int digits, const QString& unit) {
  int step = 0;
  if (std::fabs(x) > 1) {
    // The large side rounds first, so 999.96 with one decimal becomes 1000 and then 1 K.
    if (digits >= 0) x = Round(x, digits);
    while (std::fabs(x) >= 1000 && step < kHighestStep) {
      x /= 1000;
      ++step;
    }
  } else {
    while (std::fabs(x) < 1 && step > kLowestStep) {
      x *= 1000;
      --step;
    }
  }

  double r = 0;
  if (digits >= 0) {
    r = Round(x, digits);
  } else {
    // n significant digits, but never fewer than the integer digits: L counts the characters
    // of the rounded integer part's text.
    const std::int64_t wanted = -static_cast<std::int64_t>(digits);
    const std::int64_t integer_length = NumberText(Round(std::fabs(x), 0)).size();
    const std::int64_t decimals = wanted > integer_length ? wanted - integer_length : 0;
    r = Round(x, static_cast<int>(decimals));
  }

  QString text = NumberText(r);
  text += u' ';
  if (r != 0) text += LetterOfStep(step);
  text += unit;
  return text;
}

QString ValidateNumber(const QString& value, bool mustBeInteger, double min, double max) {
  const std::optional<double> parsed = ParseNumber(value);
  if (!parsed) return QStringLiteral("deve essere un numero");
  const double v = *parsed;
  if (mustBeInteger && std::floor(v) != v) return QStringLiteral("deve essere intero");
  if (v < min) return QStringLiteral("deve essere maggiore o uguale a ") + NumberText(min);
  if (v > max) return QStringLiteral("deve essere minore o uguale a ") + NumberText(max);
  return QString();
}

std::optional<double> Log10(double x) {
  if (!(x > 0)) return std::nullopt;
  return std::log(x) / 2.30258509299405;
}

}  // namespace quorvel
