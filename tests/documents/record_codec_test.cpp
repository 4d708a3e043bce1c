#include "documents/record_codec.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "printers.h"

namespace quorvel {
namespace {

using Kind = CodecError::Kind;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// --- Single values --------------------------------------------------------------------------

TEST(FormatSingle, PlainDecimalWithAtMostSevenSignificantDigits) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0.1, "0.1"},
      {static_cast<double>(0.1f), "0.1"},
      {1234.5678, "1234.568"},
      {0.0000001, "0.0000001"},
      {12345678, "12345680"},
      {16777217, "16777220"},  // not a Single: rounds to 16777216 first
      {0, "0"},
      {-0.0, "0"},
      {0.5, "0.5"},
      {-0.5, "-0.5"},
      {7800, "7800"},
      {1.0 / 3.0, "0.3333333"},
      {-2.0 / 3.0, "-0.6666667"},
      {1e-10, "0.0000000001"},
      {123456789012.0, "123456800000"},
      {99999999.0, "100000000"},
      {-1234567.0, "-1234567"},
      {FLT_MAX, "340282300000000000000000000000000000000"},
      {FLT_TRUE_MIN, "0.000000000000000000000000000000000000000000001401298"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatSingle(c.value), QString::fromLatin1(c.text));
  }
}

TEST(FormatSingle, NothingForValuesASingleCannotHold) {
  const double cases[] = {std::numeric_limits<double>::quiet_NaN(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(), 1e39, -3.5e38};
  for (const double value : cases) {
    SCOPED_TRACE(value);
    EXPECT_TRUE(FormatSingle(value).isEmpty());
  }
}

// --- Windows-1252 ---------------------------------------------------------------------------

TEST(Windows1252, EveryByteDecodesAndEncodesBack) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const QString text = DecodeWindows1252(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(text[0x80], QChar(0x20AC));
  EXPECT_EQ(text[0x81], QChar(0x0081));
  EXPECT_EQ(text[0x9F], QChar(0x0178));
  EXPECT_EQ(text[0xE8], QChar(0x00E8));
  EXPECT_EQ(EncodeWindows1252(text), all);
}

TEST(Windows1252, CharactersMapToTheirSingleByte) {
  EXPECT_EQ(EncodeWindows1252(U("è à € ’ Ÿ")), QByteArray("\xE8 \xE0 \x80 \x92 \x9F"));
  EXPECT_EQ(EncodeWindows1252(QString(QChar(0x8D))), QByteArray("\x8D"));
}

TEST(Windows1252, RefusesWhatTheCodePageCannotHold) {
  struct Case {
    QString text;
    char32_t bad;
  };
  const Case cases[] = {
      {U("a→b"), 0x2192},
      {U("中"), 0x4E2D},
      {U("x😀"), 0x1F600},                // a surrogate pair is one character
      {QString(QChar(0x0080)), 0x0080},  // the byte 0x80 is "€", not U+0080
      {QString(QChar(0x009F)), 0x009F},
      {QString(QChar(0xD800)), 0xD800},  // a lone surrogate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    char32_t bad = 0;
    EXPECT_FALSE(EncodeWindows1252(c.text, &bad).has_value());
    EXPECT_EQ(bad, c.bad);
  }
}

// --- Writing --------------------------------------------------------------------------------

TEST(EncodeRecords, WritesEachValueKindByteExactly) {
  const std::vector<Record> records = {
      {QStringLiteral("A"), TextValue(QStringLiteral("x"))},
      {QStringLiteral("B"), LongValue(-12)},
      {QStringLiteral("C"), IntegerValue(3)},
      {QStringLiteral("D"), SingleValue(0.25)},
      {QStringLiteral("E"), BooleanValue(true)},
      {QStringLiteral("F"), BooleanValue(false)},
      {QStringLiteral("G"), RecordValue::Empty()},
      {QStringLiteral("H"), TextValue(QString())},
      {QStringLiteral("I"), SingleValue(-1234.5678)},
  };
  const CodecResult<QByteArray> bytes = EncodeRecords(records);
  ASSERT_TRUE(bytes.ok()) << bytes.error().description.toStdString();
  EXPECT_EQ(bytes.value(), QByteArray("\"A\",\"x\"\r\n"
                                      "\"B\",-12\r\n"
                                      "\"C\",3\r\n"
                                      "\"D\",0.25\r\n"
                                      "\"E\",#TRUE#\r\n"
                                      "\"F\",#FALSE#\r\n"
                                      "\"G\",\r\n"
                                      "\"H\",\"\"\r\n"
                                      "\"I\",-1234.568\r\n"));
  const CodecResult<std::vector<Record>> back = DecodeRecords(bytes.value());
  ASSERT_TRUE(back.ok()) << back.error().description.toStdString();
  EXPECT_EQ(back.value(), records);
}

TEST(EncodeRecords, DoublesQuotesAndReadsThemBackIntact) {
  EXPECT_EQ(EncodeRecords({{QStringLiteral("K"), TextValue(QStringLiteral("a\"b"))}}).value(),
            QByteArray("\"K\",\"a\"\"b\"\r\n"));
  const QString texts[] = {
      QStringLiteral("a\"b"),    QStringLiteral("\""),    QStringLiteral("\"\""),
      QStringLiteral("\"start"), QStringLiteral("end\""), QStringLiteral("x=\"1\",\r\n\"y\""),
      QStringLiteral("\",\r\n"),
  };
  std::vector<Record> records;
  for (const QString& text : texts) records.push_back({text, TextValue(text)});
  records.push_back({QStringLiteral("after"), LongValue(7)});
  const CodecResult<QByteArray> bytes = EncodeRecords(records);
  ASSERT_TRUE(bytes.ok());
  const CodecResult<std::vector<Record>> back = DecodeRecords(bytes.value());
  ASSERT_TRUE(back.ok()) << back.error().description.toStdString();
  EXPECT_EQ(back.value(), records);
}

TEST(EncodeRecords, RefusesACharacterOutsideTheCodePageNamingRecordAndCharacter) {
  const std::vector<Record> records = {
      {QStringLiteral("A"), TextValue(QStringLiteral("ok"))},
      {QStringLiteral("B"), TextValue(U("x→y"))},
  };
  const CodecResult<QByteArray> bytes = EncodeRecords(records);
  ASSERT_FALSE(bytes.ok());
  EXPECT_EQ(bytes.error().kind, Kind::Unencodable);
  EXPECT_EQ(bytes.error().record, 2);
  EXPECT_EQ(bytes.error().description,
            U("Record 2 (\"B\"): il carattere \"→\" (U+2192) non può essere salvato nella "
              "codifica Windows-1252"));

  const CodecResult<QByteArray> bad_key = EncodeRecords({{U("中"), LongValue(1)}});
  ASSERT_FALSE(bad_key.ok());
  EXPECT_EQ(bad_key.error().record, 1);
  EXPECT_TRUE(bad_key.error().description.contains(QStringLiteral("U+4E2D")));
}

TEST(EncodeRecords, RefusesNumbersThatAreNotPlainNumberText) {
  const RecordValue cases[] = {
      SingleValue(std::numeric_limits<double>::quiet_NaN()),
      SingleValue(std::numeric_limits<double>::infinity()),
      SingleValue(1e39),
      RecordValue::Number(1.5, QStringLiteral("1,5")),
      RecordValue::Number(1, QString()),
  };
  for (const RecordValue& value : cases) {
    SCOPED_TRACE(value.text().toStdString());
    const CodecResult<QByteArray> bytes =
        EncodeRecords({{QStringLiteral("A"), LongValue(1)}, {QStringLiteral("X"), value}});
    ASSERT_FALSE(bytes.ok());
    EXPECT_EQ(bytes.error().kind, Kind::UnwritableNumber);
    EXPECT_EQ(bytes.error().record, 2);
  }
}

// --- Reading --------------------------------------------------------------------------------

TEST(DecodeRecords, KeepsLineBreaksInsideATextExactly) {
  const QByteArray bytes(
      "\"Fil\",\"a=1\r\nb=2\r\nvo=vi\r\n\"\r\n"
      "\"Odd\",\"cr\ronly lf\nonly\"\n"  // LF alone between records is accepted
      "\"X\",5");                        // and the last line end may be missing
  const CodecResult<std::vector<Record>> records = DecodeRecords(bytes);
  ASSERT_TRUE(records.ok()) << records.error().description.toStdString();
  ASSERT_EQ(records.value().size(), 3u);
  EXPECT_EQ(records.value()[0].value, TextValue(QStringLiteral("a=1\r\nb=2\r\nvo=vi\r\n")));
  EXPECT_EQ(records.value()[1].value, TextValue(QStringLiteral("cr\ronly lf\nonly")));
  EXPECT_EQ(records.value()[2], (Record{QStringLiteral("X"), LongValue(5)}));
}

TEST(DecodeRecords, AcceptsLenientForms) {
  struct Case {
    const char* bytes;
    RecordValue value;
  };
  const Case cases[] = {
      {"\"K\", 12 \r\n", RecordValue::Number(12, QStringLiteral("12"))},
      {"\"K\",\t-3\t\r\n", RecordValue::Number(-3, QStringLiteral("-3"))},
      {"\"K\",.5", RecordValue::Number(0.5, QStringLiteral(".5"))},
      {"\"K\",+2\r\n", RecordValue::Number(2, QStringLiteral("+2"))},
      {"\"K\",1.5E3\r\n", RecordValue::Number(1500, QStringLiteral("1.5E3"))},
      {"\"K\",7.\r\n", RecordValue::Number(7, QStringLiteral("7."))},
      {"\"K\",#true#\r\n", RecordValue::Boolean(true)},
      {"\"K\", #FALSE# \r\n", RecordValue::Boolean(false)},
      {"\"K\" , \"t\" \r\n", RecordValue::Text(QStringLiteral("t"))},
      {"\r\n\r\n\"K\",\"t\"\r\n\r\n  \r\n", RecordValue::Text(QStringLiteral("t"))},
      {"\"K\",\r", RecordValue::Empty()},
      {"\"K\",   \r\n", RecordValue::Empty()},
      {"\"K\",\"\xE8\x80\"\r\n", RecordValue::Text(U("è€"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const CodecResult<std::vector<Record>> records = DecodeRecords(QByteArray(c.bytes));
    ASSERT_TRUE(records.ok()) << records.error().description.toStdString();
    ASSERT_EQ(records.value().size(), 1u);
    EXPECT_EQ(records.value()[0].key, QStringLiteral("K"));
    EXPECT_EQ(records.value()[0].value, c.value);
  }
}

TEST(DecodeRecords, MalformedBytesGiveTheRecordAndWhatIsWrong) {
  struct Case {
    const char* bytes;
    Kind kind;
    int record;
    const char* description;
  };
  const Case cases[] = {
      {"", Kind::UnexpectedEnd, 1, "Il file termina all'interno del record 1"},
      {" \r\n\r\n", Kind::UnexpectedEnd, 1, "Il file termina all'interno del record 1"},
      {"\"A\"", Kind::UnexpectedEnd, 1, "Il file termina all'interno del record 1"},
      {"\"A\",1\r\n\"B\",\"abc\r\n", Kind::UnexpectedEnd, 2,
       "Il file termina all'interno del record 2"},
      {"\"A\",1\r\n\"B", Kind::UnexpectedEnd, 2, "Il file termina all'interno del record 2"},
      {"\"A\",\"x\"\"", Kind::UnexpectedEnd, 1, "Il file termina all'interno del record 1"},
      {"\"A\",1\r\n\"B\",x1\r\n", Kind::InvalidValue, 2, "Record 2: valore non valido (x1)"},
      {"\"A\",1\r\n\"B\",2\r\n\"C\",1,5\r\n", Kind::Syntax, 3,
       "Record 3: contenuto non previsto dopo il valore"},
      {"\"A\",\"t\"x\r\n", Kind::Syntax, 1, "Record 1: contenuto non previsto dopo il valore"},
      {"\"A\" 1\r\n", Kind::Syntax, 1, "Record 1: manca la virgola dopo la chiave"},
      {"A,1\r\n", Kind::InvalidKey, 1, "Record 1: la chiave non è un testo tra virgolette"},
      {"\"A\",1\r\ngarbage\r\n", Kind::InvalidKey, 2,
       "Record 2: la chiave non è un testo tra virgolette"},
      {"\"A\",#TRUE\r\n", Kind::InvalidValue, 1, "Record 1: valore non valido (#TRUE)"},
      {"\"A\",1 2\r\n", Kind::InvalidValue, 1, "Record 1: valore non valido (1 2)"},
      {"\"A\",1e999\r\n", Kind::InvalidValue, 1, "Record 1: numero fuori intervallo (1e999)"},
      {"\"A\",-\r\n", Kind::InvalidValue, 1, "Record 1: valore non valido (-)"},
      {"\"A\",1e\r\n", Kind::InvalidValue, 1, "Record 1: valore non valido (1e)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const CodecResult<std::vector<Record>> records = DecodeRecords(QByteArray(c.bytes));
    ASSERT_FALSE(records.ok());
    EXPECT_EQ(records.error().kind, c.kind);
    EXPECT_EQ(records.error().record, c.record);
    EXPECT_EQ(records.error().description, U(c.description));
  }
}

TEST(RecordReader, HandsOutRecordsUntilTheFirstError) {
  RecordReader reader(QByteArray("\"A\",1\r\n\"B\",bad\r\n\"C\",3\r\n"));
  ASSERT_FALSE(reader.AtEnd());
  const CodecResult<Record> first = reader.Next();
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.value(), (Record{QStringLiteral("A"), LongValue(1)}));
  EXPECT_EQ(reader.record_number(), 1);
  const CodecResult<Record> second = reader.Next();
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error().record, 2);
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_FALSE(reader.Next().ok());
}

// --- Conversions ----------------------------------------------------------------------------

RecordValue Num(double value) { return RecordValue::Number(value, QString::number(value)); }

TEST(Conversions, ToLongRoundsHalvesToEvenAndReportsFailures) {
  struct Case {
    RecordValue value;
    std::optional<std::int32_t> expected;  // nothing: fails with `kind`
    Kind kind = Kind::TypeMismatch;
  };
  const Case cases[] = {
      {Num(2.5), 2},
      {Num(3.5), 4},
      {Num(-2.5), -2},
      {Num(-3.5), -4},
      {Num(2.4999), 2},
      {Num(1.5), 2},
      {RecordValue::Text(QStringLiteral("7")), 7},
      {RecordValue::Text(QStringLiteral(" 2.6 ")), 3},
      {RecordValue::Empty(), 0},
      {RecordValue::Boolean(true), -1},
      {RecordValue::Boolean(false), 0},
      {Num(2147483647), 2147483647},
      {Num(-2147483648.0), std::numeric_limits<std::int32_t>::min()},
      {Num(2147483647.5), std::nullopt, Kind::Overflow},
      {Num(-2147483649.0), std::nullopt, Kind::Overflow},
      {RecordValue::Text(QStringLiteral("abc")), std::nullopt, Kind::TypeMismatch},
      {RecordValue::Text(QString()), std::nullopt, Kind::TypeMismatch},
      {RecordValue::Text(QStringLiteral("1,5")), std::nullopt, Kind::TypeMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToText(c.value).toStdString());
    const CodecResult<std::int32_t> result = ToLong(c.value);
    ASSERT_EQ(result.ok(), c.expected.has_value());
    if (c.expected) {
      EXPECT_EQ(result.value(), *c.expected);
    } else {
      EXPECT_EQ(result.error().kind, c.kind);
      EXPECT_FALSE(result.error().description.isEmpty());
    }
  }
}

TEST(Conversions, ToIntegerChecksTheSixteenBitRange) {
  EXPECT_EQ(ToInteger(Num(32767)).value(), 32767);
  EXPECT_EQ(ToInteger(Num(-32768)).value(), -32768);
  EXPECT_EQ(ToInteger(Num(4.5)).value(), 4);
  EXPECT_EQ(ToInteger(Num(32768)).error().kind, Kind::Overflow);
  EXPECT_EQ(ToInteger(Num(32767.5)).error().kind, Kind::Overflow);
  EXPECT_EQ(ToInteger(Num(-32769)).error().kind, Kind::Overflow);
  EXPECT_EQ(ToInteger(RecordValue::Text(QStringLiteral("x"))).error().kind, Kind::TypeMismatch);
}

TEST(Conversions, ToSingleAndToBoolean) {
  EXPECT_EQ(ToSingle(Num(0.1)).value(), 0.1f);
  EXPECT_EQ(ToSingle(RecordValue::Empty()).value(), 0.0f);
  EXPECT_EQ(ToSingle(RecordValue::Text(QStringLiteral("0.75"))).value(), 0.75f);
  EXPECT_EQ(ToSingle(Num(1e39)).error().kind, Kind::Overflow);
  EXPECT_EQ(ToSingle(RecordValue::Text(QStringLiteral("x"))).error().kind, Kind::TypeMismatch);

  struct Case {
    RecordValue value;
    std::optional<bool> expected;
  };
  const Case cases[] = {
      {Num(0), false},
      {Num(2), true},
      {Num(-1), true},
      {Num(0.5), true},
      {RecordValue::Boolean(true), true},
      {RecordValue::Boolean(false), false},
      {RecordValue::Empty(), false},
      {RecordValue::Text(QStringLiteral("True")), true},
      {RecordValue::Text(QStringLiteral("#FALSE#")), false},
      {RecordValue::Text(QStringLiteral("0")), false},
      {RecordValue::Text(QStringLiteral("abc")), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(ToText(c.value).toStdString());
    const CodecResult<bool> result = ToBoolean(c.value);
    ASSERT_EQ(result.ok(), c.expected.has_value());
    if (c.expected) {
      EXPECT_EQ(result.value(), *c.expected);
    }
  }
}

TEST(Conversions, ToTextGivesTheFieldAsWritten) {
  EXPECT_EQ(ToText(RecordValue::Number(1.5, QStringLiteral("1.50"))), QStringLiteral("1.50"));
  EXPECT_EQ(ToText(RecordValue::Boolean(true)), QStringLiteral("#TRUE#"));
  EXPECT_EQ(ToText(RecordValue::Empty()), QString());
  EXPECT_EQ(ToText(TextValue(QStringLiteral("a\r\nb"))), QStringLiteral("a\r\nb"));
}

// --- Robustness -----------------------------------------------------------------------------

// Decoding anything either fails with a record number or gives records that encode and decode
// to themselves.
void CheckDecodesSafely(const QByteArray& bytes) {
  const CodecResult<std::vector<Record>> records = DecodeRecords(bytes);
  if (!records.ok()) {
    EXPECT_GE(records.error().record, 1);
    EXPECT_FALSE(records.error().description.isEmpty());
    return;
  }
  const CodecResult<QByteArray> again = EncodeRecords(records.value());
  ASSERT_TRUE(again.ok()) << again.error().description.toStdString();
  const CodecResult<std::vector<Record>> back = DecodeRecords(again.value());
  ASSERT_TRUE(back.ok()) << back.error().description.toStdString();
  EXPECT_EQ(back.value(), records.value());
}

TEST(DecodeRobustness, RandomBytesNeverCrash) {
  std::mt19937 random(20240611);
  const std::string alphabet = "\"\",,\r\n\r\n #TRUEFALS01.-+eE x";
  std::uniform_int_distribution<int> length(0, 120);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<std::size_t> from_alphabet(0, alphabet.size() - 1);
  std::bernoulli_distribution pick_alphabet(0.8);
  int decoded = 0;
  for (int round = 0; round < 5000; ++round) {
    QByteArray bytes;
    const int n = length(random);
    for (int i = 0; i < n; ++i) {
      bytes += pick_alphabet(random) ? alphabet[from_alphabet(random)]
                                     : static_cast<char>(any_byte(random));
    }
    SCOPED_TRACE(bytes.toHex().toStdString());
    CheckDecodesSafely(bytes);
    if (DecodeRecords(bytes).ok()) ++decoded;
    if (HasFatalFailure()) return;
  }
  EXPECT_GT(decoded, 0);  // the generator does reach valid files too
}

TEST(DecodeRobustness, EveryTruncationOfAValidFileFailsInPlaceOrKeepsAPrefix) {
  const std::vector<Record> records = {
      {QStringLiteral("Quorvel - Ombrat"), TextValue(QStringLiteral("1.0.0"))},
      {QStringLiteral("Fil"), TextValue(U("a=\"1\"\r\nb=è\r\nvo=a+b"))},
      {QStringLiteral("StFM"), LongValue(-123)},
      {QStringLiteral("ShCF"), BooleanValue(false)},
      {QStringLiteral("UnitAmp"), RecordValue::Empty()},
      {QStringLiteral("Fil1X"), SingleValue(0.3333333)},
  };
  const QByteArray full = EncodeRecords(records).value();
  for (qsizetype cut = 0; cut <= full.size(); ++cut) {
    SCOPED_TRACE(cut);
    const QByteArray bytes = full.left(cut);
    CheckDecodesSafely(bytes);
    const CodecResult<std::vector<Record>> decoded = DecodeRecords(bytes);
    if (decoded.ok()) {
      // Only the last record may be cut short (a number or a missing value).
      const std::vector<Record>& got = decoded.value();
      ASSERT_LE(got.size(), records.size());
      for (std::size_t i = 0; i + 1 < got.size(); ++i) EXPECT_EQ(got[i], records[i]);
      EXPECT_EQ(got.back().key, records[got.size() - 1].key);
    } else {
      EXPECT_LE(decoded.error().record, static_cast<int>(records.size()));
    }
  }
  EXPECT_EQ(DecodeRecords(full).value(), records);
}

}  // namespace
}  // namespace quorvel
