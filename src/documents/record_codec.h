#pragma once

// Records of a test file (".flt"): a quoted key, a comma, a value and CR LF, one byte per
// character in Windows-1252. This layer knows the layout of one record and nothing about what
// the keys mean; test_document.h gives them their meaning.
//
// Writing:
//   "key",value CR LF
//   text     "text"        line breaks kept as they are, a double quote written twice
//   Long     -12           plain decimal digits
//   Integer  3
//   Single   0.3333333     plain decimal, ".", at most 7 significant digits, no exponent,
//                          a leading "0" before the point for values below 1
//   Boolean  #TRUE# / #FALSE#
//   empty    nothing after the comma
//
// Reading is a little more lenient than writing: a record may end with LF or CR alone as well
// as CR LF, blank lines between records and at the end are skipped, blanks around a value
// are ignored, the last record may lack its line end, "#true#" is accepted in any letter case,
// and numbers may carry a "+", lack the digit before the point or have an exponent ("1.5E3").
// Bytes inside a quoted text are taken exactly as they stand, CR LF included.

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cassert>
#include <cstdint>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace quorvel {

// Why reading, writing or converting a record failed. `description` is the complete Italian
// text to show the user; `record` is the 1-based record number in the file (0 when the failure
// is not tied to a record, as for a bare conversion).
struct CodecError {
  enum class Kind {
    UnexpectedEnd,     // the bytes end inside a record (also: no record at all)
    InvalidKey,        // the key is not a text in double quotes
    Syntax,            // no comma after the key, or something after the value
    InvalidValue,      // an unquoted field that is neither a number nor #TRUE#/#FALSE#
    BadHeader,         // the first record is not this program's identification
    Unencodable,       // a character that Windows-1252 cannot hold
    UnwritableNumber,  // a number whose text is not a plain number (infinite, NaN, ...)
    TypeMismatch,      // a value that does not convert to what its target needs
    Overflow,          // a number outside its target type's range
    Rejected,          // a value that its target does not accept (tab index 5, ...)
  };

  Kind kind = Kind::InvalidValue;
  int record = 0;
  QString description;
};

// A result or the error that took its place.
template <typename T>
class [[nodiscard]] CodecResult {
 public:
  CodecResult(T value) : v_(std::move(value)) {}           // NOLINT(google-explicit-constructor)
  CodecResult(CodecError error) : v_(std::move(error)) {}  // NOLINT(google-explicit-constructor)

  bool ok() const { return v_.index() == 0; }
  explicit operator bool() const { return ok(); }
  const T& value() const {
    assert(ok());
    return std::get<0>(v_);
  }
  T& value() {
    assert(ok());
    return std::get<0>(v_);
  }
  const CodecError& error() const {
    assert(!ok());
    return std::get<1>(v_);
  }

 private:
  std::variant<T, CodecError> v_;
};

using CodecStatus = CodecResult<std::monostate>;

// The value of one record, of open type: what the field holds decides the kind.
class RecordValue {
 public:
  enum class Kind { Empty, Text, Number, Boolean };

  RecordValue() = default;
  static RecordValue Empty() { return RecordValue(); }
  static RecordValue Text(QString text) {
    RecordValue v(Kind::Text);
    v.text_ = std::move(text);
    return v;
  }
  // `raw` is the field as it stands in the file; it is what gets written, so it must be the
  // plain number text of `number` (the writers below make sure of that).
  static RecordValue Number(double number, QString raw) {
    RecordValue v(Kind::Number);
    v.number_ = number;
    v.text_ = std::move(raw);
    return v;
  }
  static RecordValue Boolean(bool b) {
    RecordValue v(Kind::Boolean);
    v.number_ = b ? 1 : 0;
    return v;
  }

  Kind kind() const { return kind_; }
  bool IsEmpty() const { return kind_ == Kind::Empty; }
  // The text of a Text value, or the raw field text of a Number.
  const QString& text() const { return text_; }
  double number() const { return number_; }
  bool boolean() const { return number_ != 0; }

  friend bool operator==(const RecordValue&, const RecordValue&) = default;

 private:
  explicit RecordValue(Kind k) : kind_(k) {}
  Kind kind_ = Kind::Empty;
  double number_ = 0;
  QString text_;
};

struct Record {
  QString key;
  RecordValue value;

  friend bool operator==(const Record&, const Record&) = default;
};

// --- Values as the writer stores them --------------------------------------------------------

RecordValue TextValue(QString text);
RecordValue LongValue(std::int32_t value);
RecordValue IntegerValue(std::int16_t value);
// Rounded to single precision first (the value as a 32-bit Single holds it), then written with
// at most 7 significant digits; number() is what that text reads back as. A value that is not
// finite as a Single gives the raw text "nan", "inf" or "-inf", which EncodeRecords refuses.
RecordValue SingleValue(double value);
RecordValue BooleanValue(bool value);

// The plain decimal text of `value` as a Single: "0.1", "1234.568", "0.0000001", "12345680",
// "-0.5", "0" (also for -0). Empty for NaN, infinities and values beyond the Single range.
QString FormatSingle(double value);

// --- Whole files ---------------------------------------------------------------------------

// All records as file bytes, or the first record that cannot be written (a character outside
// Windows-1252, a number that is not a plain number text). Nothing partial is ever returned.
CodecResult<QByteArray> EncodeRecords(const std::vector<Record>& records);

// All records of a file, or the error of the first record that cannot be read. Bytes that hold
// no record at all fail in record 1.
CodecResult<std::vector<Record>> DecodeRecords(const QByteArray& bytes);

// Reads a file one record at a time, so that a caller can act on each record before the next
// one is read (and stop at the first error with the earlier records applied).
class RecordReader {
 public:
  explicit RecordReader(QByteArray bytes);

  // True when nothing but blank lines is left (or after an error).
  bool AtEnd() const;
  // The next record. After an error the reader stays at its end.
  CodecResult<Record> Next();
  // The number of the record that the last Next() read or failed in (0 before the first).
  int record_number() const { return record_number_; }

 private:
  void SkipBlankLines();

  QByteArray bytes_;
  qsizetype pos_ = 0;
  int record_number_ = 0;
  bool failed_ = false;
};

// --- Windows-1252 ----------------------------------------------------------------------------

// Every byte decodes: 0x81, 0x8D, 0x8F, 0x90 and 0x9D, undefined in the code page, become the
// C1 controls U+0081 and so on, as Windows does.
QString DecodeWindows1252(const QByteArray& bytes);

// The bytes of `text`, or nothing when a character cannot be stored; `bad_char` then receives
// that character's code point (a whole surrogate pair counts as one character; a lone
// surrogate is reported as itself).
std::optional<QByteArray> EncodeWindows1252(QStringView text, char32_t* bad_char = nullptr);

// --- Conversions used when a record is applied -----------------------------------------------
//
// The rules of the original program's variants: an empty value is "" / 0 / false, #TRUE# is -1
// as a number, a text converts to a number only when it is a number text (with "."), a number
// is rounded to the nearest whole number with halves to even. Errors carry record 0 and a
// description without record number; the caller adds where the value came from.

// Never fails: a number gives its field text, a Boolean "#TRUE#" or "#FALSE#".
QString ToText(const RecordValue& value);
CodecResult<std::int32_t> ToLong(const RecordValue& value);
CodecResult<std::int16_t> ToInteger(const RecordValue& value);
CodecResult<float> ToSingle(const RecordValue& value);
// A non-zero number, #TRUE#, or a text "True"/"#TRUE#" (or a non-zero number text) is true.
CodecResult<bool> ToBoolean(const RecordValue& value);

}  // namespace quorvel
