#include "documents/record_codec.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

namespace quorvel {

namespace {

// Code points of the bytes 0x80 to 0x9F. The five bytes that the code page leaves undefined
// map to the C1 control of the same number, as Windows decodes them.
constexpr std::array<char16_t, 32> kHighHalf = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Halfway between the largest Single and 2^128: a double at or beyond it rounds to infinity as
// a Single.
constexpr double kSingleLimit = 0x1.ffffffp127;

constexpr char kQuote = '"';

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Sign, digits with at most one point (at least one digit), then an optional exponent.
bool IsNumberText(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == s.size();
}

enum class NumberParse { Ok, NotANumber, OutOfRange };

NumberParse ParseNumber(std::string_view s, double* out) {
  if (!IsNumberText(s)) return NumberParse::NotANumber;
  if (s.front() == '+') s.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (ec == std::errc::result_out_of_range) return NumberParse::OutOfRange;
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
    return NumberParse::NotANumber;
  }
  *out = value;
  return NumberParse::Ok;
}

bool IsTrueField(std::string_view s) {
  return QByteArrayView(s.data(), static_cast<qsizetype>(s.size()))
             .compare("#TRUE#", Qt::CaseInsensitive) == 0;
}
bool IsFalseField(std::string_view s) {
  return QByteArrayView(s.data(), static_cast<qsizetype>(s.size()))
             .compare("#FALSE#", Qt::CaseInsensitive) == 0;
}

// A short, printable excerpt of a bad field for an error message.
QString Excerpt(std::string_view s) {
  constexpr std::size_t kMax = 24;
  QString text =
      DecodeWindows1252(QByteArray(s.data(), static_cast<qsizetype>(std::min(s.size(), kMax))));
  if (s.size() > kMax) text += QStringLiteral("...");
  return text;
}

// A value as an error message shows it, cut short when it is long (a whole filter text).
QString Shown(const RecordValue& value) {
  constexpr qsizetype kMax = 24;
  const QString text = ToText(value);
  return text.size() > kMax ? text.left(kMax) + QStringLiteral("...") : text;
}

QString RecordPrefix(int record) { return QStringLiteral("Record %1: ").arg(record); }

QString CodePointName(char32_t c) {
  return QStringLiteral("U+%1").arg(static_cast<unsigned>(c), 4, 16, QLatin1Char('0')).toUpper();
}

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

double RoundHalfEven(double x) {
  if (std::fabs(x - std::trunc(x)) == 0.5) return 2.0 * std::round(x / 2.0);
  return std::round(x);
}

CodecError ConversionError(CodecError::Kind kind, QString description) {
  return CodecError{kind, 0, std::move(description)};
}

CodecError TypeMismatch(const RecordValue& value) {
  return ConversionError(CodecError::Kind::TypeMismatch,
                         QStringLiteral("tipo non corrispondente (\"%1\")").arg(Shown(value)));
}

CodecError Overflow(const RecordValue& value) {
  return ConversionError(CodecError::Kind::Overflow,
                         QStringLiteral("valore fuori intervallo (%1)").arg(Shown(value)));
}

// The number a value stands for, before it is fitted to a target type.
CodecResult<double> NumberOf(const RecordValue& value) {
  switch (value.kind()) {
    case RecordValue::Kind::Empty:
      return 0.0;
    case RecordValue::Kind::Boolean:
      return value.boolean() ? -1.0 : 0.0;
    case RecordValue::Kind::Number:
      return value.number();
    case RecordValue::Kind::Text: {
      const QByteArray latin = value.text().toLatin1();
      double number = 0;
      const std::string_view field = Trimmed(std::string_view(latin.constData(), latin.size()));
      switch (ParseNumber(field, &number)) {
        case NumberParse::Ok:
          return number;
        case NumberParse::OutOfRange:
          return Overflow(value);
        case NumberParse::NotANumber:
          break;
      }
      return TypeMismatch(value);
    }
  }
  return TypeMismatch(value);
}

CodecResult<double> WholeNumberOf(const RecordValue& value, double min, double max) {
  const CodecResult<double> number = NumberOf(value);
  if (!number) return number.error();
  const double rounded = RoundHalfEven(number.value());
  if (!(rounded >= min && rounded <= max)) return Overflow(value);
  return rounded;
}

void AppendQuoted(QByteArray& out, const QByteArray& encoded) {
  out += kQuote;
  for (const char c : encoded) {
    if (c == kQuote) out += kQuote;  // a quote inside a text is written twice
    out += c;
  }
  out += kQuote;
}

}  // namespace

// --- Values ------------------------------------------------------------------------------------

RecordValue TextValue(QString text) { return RecordValue::Text(std::move(text)); }

RecordValue LongValue(std::int32_t value) {
  return RecordValue::Number(value, QString::number(value));
}

RecordValue IntegerValue(std::int16_t value) {
  return RecordValue::Number(value, QString::number(value));
}

RecordValue SingleValue(double value) {
  const QString text = FormatSingle(value);
  if (text.isEmpty()) {
    // What the value becomes as a Single: EncodeRecords refuses these texts.
    if (std::isnan(value)) return RecordValue::Number(value, QStringLiteral("nan"));
    return RecordValue::Number(value, value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf"));
  }
  // The number the written text stands for, so that a value reads back equal to itself.
  const QByteArray latin = text.toLatin1();
  double written = 0;
  ParseNumber(std::string_view(latin.constData(), static_cast<std::size_t>(latin.size())),
              &written);
  return RecordValue::Number(written, text);
}

RecordValue BooleanValue(bool value) { return RecordValue::Boolean(value); }

QString FormatSingle(double value) {
  if (!std::isfinite(value) || std::fabs(value) >= kSingleLimit) return {};
  const float single = static_cast<float>(value);
  if (single == 0) return QStringLiteral("0");

  // Seven significant digits in scientific form, "-d.dddddde+xx", rewritten without exponent.
  std::array<char, 32> buffer{};
  const auto [end, ec] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), static_cast<double>(single),
                    std::chars_format::scientific, 6);
  if (ec != std::errc()) return {};
  const std::string_view scientific(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  const std::size_t e_at = scientific.find('e');
  std::string_view mantissa = scientific.substr(0, e_at);
  const bool negative = mantissa.front() == '-';
  if (negative) mantissa.remove_prefix(1);
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e_at + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);

  std::string digits;
  for (const char c : mantissa) {
    if (IsDigit(c)) digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  // The decimal point stands after `point` digits (negative: zeros come first).
  const int point = exponent + 1;
  std::string text = negative ? "-" : "";
  const int count = static_cast<int>(digits.size());
  if (point <= 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-point), '0');
    text += digits;
  } else if (point >= count) {
    text += digits;
    text.append(static_cast<std::size_t>(point - count), '0');
  } else {
    text += digits.substr(0, static_cast<std::size_t>(point));
    text += '.';
    text += digits.substr(static_cast<std::size_t>(point));
  }
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// --- Windows-1252 --------------------------------------------------------------------------------

QString DecodeWindows1252(const QByteArray& bytes) {
  QString text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x80 && b < 0xA0) {
      text += QChar(kHighHalf[b - 0x80]);
    } else {
      text += QChar(static_cast<char16_t>(b));
    }
  }
  return text;
}

std::optional<QByteArray> EncodeWindows1252(QStringView text, char32_t* bad_char) {
  QByteArray bytes;
  bytes.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i].unicode();
    char32_t code_point = unit;
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
      code_point = QChar::surrogateToUcs4(unit, text[i + 1].unicode());
    }
    std::optional<unsigned char> byte;
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
      byte = static_cast<unsigned char>(code_point);
    } else if (!IsSurrogate(code_point) && code_point <= 0xFFFF) {
      for (std::size_t k = 0; k < kHighHalf.size(); ++k) {
        if (kHighHalf[k] == code_point) byte = static_cast<unsigned char>(0x80 + k);
      }
    }
    if (!byte) {
      if (bad_char != nullptr) *bad_char = code_point;
      return std::nullopt;
    }
    bytes += static_cast<char>(*byte);
  }
  return bytes;
}

// --- Writing -------------------------------------------------------------------------------------

CodecResult<QByteArray> EncodeRecords(const std::vector<Record>& records) {
  QByteArray out;
  int number = 0;
  for (const Record& record : records) {
    ++number;
    const QString where = QStringLiteral("Record %1 (\"%2\"): ").arg(number).arg(record.key);
    // A character that the code page cannot hold is refused rather than written as "?": the
    // file must read back as it was written.
    auto unencodable = [&](char32_t c) {
      const bool printable = !IsSurrogate(c) && QChar::isPrint(c);
      const QString shown =
          printable ? QStringLiteral("\"%1\" (%2)").arg(QString::fromUcs4(&c, 1), CodePointName(c))
                    : CodePointName(c);
      return CodecError{CodecError::Kind::Unencodable, number,
                        where + QStringLiteral("il carattere %1 non può essere salvato nella "
                                               "codifica Windows-1252")
                                    .arg(shown)};
    };
    char32_t bad = 0;
    const std::optional<QByteArray> key = EncodeWindows1252(record.key, &bad);
    if (!key) return unencodable(bad);
    AppendQuoted(out, *key);
    out += ',';
    const RecordValue& value = record.value;
    switch (value.kind()) {
      case RecordValue::Kind::Empty:
        break;
      case RecordValue::Kind::Text: {
        const std::optional<QByteArray> text = EncodeWindows1252(value.text(), &bad);
        if (!text) return unencodable(bad);
        AppendQuoted(out, *text);
        break;
      }
      case RecordValue::Kind::Number: {
        const QByteArray raw = value.text().toLatin1();
        double parsed = 0;
        if (value.text() != QString::fromLatin1(raw) ||
            ParseNumber(std::string_view(raw.constData(), raw.size()), &parsed) !=
                NumberParse::Ok) {
          return CodecError{
              CodecError::Kind::UnwritableNumber, number,
              where + QStringLiteral("il numero \"%1\" non può essere scritto").arg(value.text())};
        }
        out += raw;
        break;
      }
      case RecordValue::Kind::Boolean:
        out += value.boolean() ? "#TRUE#" : "#FALSE#";
        break;
    }
    out += "\r\n";
  }
  return out;
}

// --- Reading -------------------------------------------------------------------------------------

RecordReader::RecordReader(QByteArray bytes) : bytes_(std::move(bytes)) { SkipBlankLines(); }

bool RecordReader::AtEnd() const { return failed_ || pos_ >= bytes_.size(); }

void RecordReader::SkipBlankLines() {
  while (pos_ < bytes_.size() && (IsBlank(bytes_[pos_]) || IsLineEnd(bytes_[pos_]))) ++pos_;
}

CodecResult<Record> RecordReader::Next() {
  const qsizetype size = bytes_.size();
  const char* data = bytes_.constData();
  if (!failed_) ++record_number_;
  const int number = record_number_;
  auto fail = [&](CodecError::Kind kind, const QString& what) {
    failed_ = true;
    pos_ = size;
    return CodecError{kind, number, what};
  };
  auto unexpected_end = [&] {
    return fail(CodecError::Kind::UnexpectedEnd,
                QStringLiteral("Il file termina all'interno del record %1").arg(number));
  };
  auto skip_blanks = [&] {
    while (pos_ < size && IsBlank(data[pos_])) ++pos_;
  };
  // A quoted field from the opening quote to the next single quote; "" stands for one quote.
  auto read_quoted = [&]() -> std::optional<QString> {
    ++pos_;
    QByteArray content;
    for (;;) {
      const qsizetype quote = bytes_.indexOf(kQuote, pos_);
      if (quote < 0) return std::nullopt;
      content.append(data + pos_, quote - pos_);
      pos_ = quote + 1;
      if (pos_ < size && data[pos_] == kQuote) {
        content += kQuote;
        ++pos_;
        continue;
      }
      return DecodeWindows1252(content);
    }
  };
  auto at_line_end = [&] { return pos_ >= size || IsLineEnd(data[pos_]); };

  if (failed_ || pos_ >= size) return unexpected_end();

  if (data[pos_] != kQuote) {
    return fail(CodecError::Kind::InvalidKey,
                RecordPrefix(number) + QStringLiteral("la chiave non è un testo tra virgolette"));
  }
  std::optional<QString> key = read_quoted();
  if (!key) return unexpected_end();
  skip_blanks();
  if (pos_ >= size) return unexpected_end();
  if (data[pos_] != ',') {
    return fail(CodecError::Kind::Syntax,
                RecordPrefix(number) + QStringLiteral("manca la virgola dopo la chiave"));
  }
  ++pos_;
  skip_blanks();

  RecordValue value;
  if (pos_ < size && data[pos_] == kQuote) {
    std::optional<QString> text = read_quoted();
    if (!text) return unexpected_end();
    value = RecordValue::Text(std::move(*text));
    skip_blanks();
  } else {
    const qsizetype start = pos_;
    while (pos_ < size && data[pos_] != ',' && !IsLineEnd(data[pos_])) ++pos_;
    const std::string_view field =
        Trimmed(std::string_view(data + start, static_cast<std::size_t>(pos_ - start)));
    if (pos_ < size && data[pos_] == ',') {
      return fail(CodecError::Kind::Syntax,
                  RecordPrefix(number) + QStringLiteral("contenuto non previsto dopo il valore"));
    }
    if (field.empty()) {
      value = RecordValue::Empty();
    } else if (IsTrueField(field)) {
      value = RecordValue::Boolean(true);
    } else if (IsFalseField(field)) {
      value = RecordValue::Boolean(false);
    } else {
      double parsed = 0;
      switch (ParseNumber(field, &parsed)) {
        case NumberParse::Ok:
          value = RecordValue::Number(
              parsed, QString::fromLatin1(field.data(), static_cast<qsizetype>(field.size())));
          break;
        case NumberParse::OutOfRange:
          return fail(CodecError::Kind::InvalidValue,
                      RecordPrefix(number) +
                          QStringLiteral("numero fuori intervallo (%1)").arg(Excerpt(field)));
        case NumberParse::NotANumber:
          return fail(
              CodecError::Kind::InvalidValue,
              RecordPrefix(number) + QStringLiteral("valore non valido (%1)").arg(Excerpt(field)));
      }
    }
  }
  if (!at_line_end()) {
    return fail(CodecError::Kind::Syntax,
                RecordPrefix(number) + QStringLiteral("contenuto non previsto dopo il valore"));
  }
  SkipBlankLines();
  return Record{std::move(*key), std::move(value)};
}

CodecResult<std::vector<Record>> DecodeRecords(const QByteArray& bytes) {
  RecordReader reader(bytes);
  std::vector<Record> records;
  if (reader.AtEnd()) return reader.Next().error();  // no record at all: ends inside record 1
  while (!reader.AtEnd()) {
    CodecResult<Record> record = reader.Next();
    if (!record) return record.error();
    records.push_back(std::move(record.value()));
  }
  return records;
}

// --- Conversions ---------------------------------------------------------------------------------

QString ToText(const RecordValue& value) {
  switch (value.kind()) {
    case RecordValue::Kind::Empty:
      return {};
    case RecordValue::Kind::Text:
    case RecordValue::Kind::Number:
      return value.text();
    case RecordValue::Kind::Boolean:
      return value.boolean() ? QStringLiteral("#TRUE#") : QStringLiteral("#FALSE#");
  }
  return {};
}

CodecResult<std::int32_t> ToLong(const RecordValue& value) {
  const CodecResult<double> whole = WholeNumberOf(value, std::numeric_limits<std::int32_t>::min(),
                                                  std::numeric_limits<std::int32_t>::max());
  if (!whole) return whole.error();
  return static_cast<std::int32_t>(whole.value());
}

CodecResult<std::int16_t> ToInteger(const RecordValue& value) {
  const CodecResult<double> whole = WholeNumberOf(value, std::numeric_limits<std::int16_t>::min(),
                                                  std::numeric_limits<std::int16_t>::max());
  if (!whole) return whole.error();
  return static_cast<std::int16_t>(whole.value());
}

CodecResult<float> ToSingle(const RecordValue& value) {
  const CodecResult<double> number = NumberOf(value);
  if (!number) return number.error();
  if (!(std::fabs(number.value()) < kSingleLimit)) return Overflow(value);
  return static_cast<float>(number.value());
}

CodecResult<bool> ToBoolean(const RecordValue& value) {
  if (value.kind() == RecordValue::Kind::Text) {
    const QString text = value.text().trimmed();
    if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0 ||
        text.compare(QStringLiteral("#TRUE#"), Qt::CaseInsensitive) == 0) {
      return true;
    }
    if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0 ||
        text.compare(QStringLiteral("#FALSE#"), Qt::CaseInsensitive) == 0) {
      return false;
    }
  }
  const CodecResult<double> number = NumberOf(value);
  if (!number) return number.error();
  return number.value() != 0;
}

}  // namespace quorvel
