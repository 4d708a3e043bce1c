#include "documents/test_document.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "printers.h"

namespace quorvel {
namespace {

using Kind = CodecError::Kind;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The file of a default test, record by record.
const char kDefaultFile[] =
    "\"Quorvel - Ombrat\",\"1.0.0\"\r\n"
    "\"StF\",\"1\"\r\n"
    "\"StFM\",0\r\n"
    "\"EnF\",\"1\"\r\n"
    "\"EnFM\",1\r\n"
    "\"Osc\",2\r\n"
    "\"Ca\",20\r\n"
    "\"logF\",10\r\n"
    "\"logX\",0\r\n"
    "\"logY\",0\r\n"
    "\"Par\",\"\"\r\n"
    "\"Fil\",\"vo=vi\r\n\"\r\n"
    "\"ShCF\",#TRUE#\r\n"
    "\"ShTr\",#TRUE#\r\n"
    "\"ShFil1\",#TRUE#\r\n"
    "\"Fil1X\",0\r\n"
    "\"Fil1Y\",0\r\n"
    "\"Fil2X\",0\r\n"
    "\"Fil2Y\",0\r\n"
    "\"UnitAmp\",\r\n"
    "\"UnitPh\",\"deg\"\r\n"
    "\"Graphs\",1\r\n";

const char kHeader[] = "\"Quorvel - Ombrat\",\"1.0.0\"\r\n";

QByteArray Write(const TestDocument& document) {
  const CodecResult<QByteArray> bytes = WriteTestDocument(document);
  EXPECT_TRUE(bytes.ok()) << bytes.error().description.toStdString();
  return bytes.ok() ? bytes.value() : QByteArray();
}

TestDocument Read(const QByteArray& bytes) {
  const CodecResult<TestDocument> document = ReadTestDocument(bytes);
  EXPECT_TRUE(document.ok()) << document.error().description.toStdString();
  return document.ok() ? document.value() : TestDocument{};
}

// A document with every setting away from its default.
TestDocument EverythingChanged() {
  TestDocument d;
  d.start_frequency = QStringLiteral("2,5");
  d.start_multiplier = 1;
  d.end_frequency = QStringLiteral("100");
  d.end_multiplier = 3;
  d.oscillations = 17;
  d.samples = 455;
  d.log_depth = 66;
  d.log_x = 1;
  d.log_y = 2;
  d.parameters = QStringLiteral("k=2\r\nc=0");
  d.functions = QStringLiteral("vo=k*vi");
  d.show_cutoff = false;
  d.show_trace = false;
  d.show_filter = false;
  d.filter1_x = 0.25f;
  d.filter1_y = 0.75f;
  d.filter2_x = 0.3f;
  d.filter2_y = 1;
  d.unit_amplitude = QStringLiteral("db");
  d.unit_phase = QStringLiteral("rad");
  d.graphs = 4;
  OscilloscopeSection& o = d.oscilloscope.emplace();
  o.window_state = 0;
  o.width = 9000.5f;
  o.height = 7200;
  o.waveform = QStringLiteral("vi=sin(PI2*_f*t)");
  o.start_frequency = QStringLiteral("3");
  o.end_frequency = QStringLiteral("30");
  o.start_multiplier = 2;
  o.end_multiplier = 3;
  o.frequency_position = 40;
  o.oscillations = 9;
  o.samples = 1500;
  o.overlay_x = 0.6f;
  o.overlay_y = 0.1f;
  o.show_filter = true;
  o.separate_signals = true;
  o.parametric_filter = true;
  o.point_density = true;
  o.time_unit = QStringLiteral("deg");
  o.vdiv_in = 0;
  o.vdiv_out = 12;
  o.parameter_items = {QStringLiteral("a 50% [0;1]"), QStringLiteral("b 25% [-1,5;2]"),
                       QStringLiteral("c 100% [1;1]")};
  return d;
}

TEST(WriteTestDocument, DefaultTestIsTwentyTwoRecordsByteExactly) {
  const QByteArray bytes = Write(TestDocument{});
  EXPECT_EQ(bytes, QByteArray(kDefaultFile));
  const CodecResult<std::vector<Record>> records = DecodeRecords(bytes);
  ASSERT_TRUE(records.ok());
  EXPECT_EQ(records.value().size(), 22u);
  EXPECT_EQ(Read(bytes), TestDocument{});
}

TEST(WriteTestDocument, ThePreciseMethodIsOneRecordAfterGraphsOnlyWhenOn) {
  TestDocument d;
  d.precise_method = true;
  d.oscilloscope.emplace();
  const QByteArray bytes = Write(d);
  EXPECT_TRUE(bytes.startsWith(QByteArray(kDefaultFile) + "\"MetPrec\",#TRUE#\r\n\"-addin-\","));
  EXPECT_EQ(Read(bytes), d);
  d.precise_method = false;
  EXPECT_FALSE(Write(d).contains("MetPrec")) << "off: the bytes a test always had";

  // A reader that does not know the record (an older program) reads the rest as before: here,
  // the same document as without the record. And #FALSE# reads as off.
  TestDocument read_old = Read(bytes);
  read_old.precise_method = false;
  EXPECT_EQ(read_old, d);
  EXPECT_FALSE(Read(QByteArray(kDefaultFile) + "\"MetPrec\",#FALSE#\r\n").precise_method);
}

TEST(WriteTestDocument, OscilloscopeSectionFollowsInOrderWithOneRecordPerItem) {
  TestDocument d;
  d.oscilloscope.emplace().parameter_items = {QStringLiteral("k 30% [0;10]"),
                                              QStringLiteral("a 50% [1;2]")};
  const QByteArray bytes = Write(d);
  const QByteArray section(
      "\"-addin-\",\"Oscilloscopio\"\r\n"
      "\"OscSt\",0\r\n"
      "\"OscW\",7800\r\n"
      "\"OscH\",6500\r\n"
      "\"OscWF\",\"sinusoidale\"\r\n"
      "\"OscStF\",\"1\"\r\n"
      "\"OscEnF\",\"1\"\r\n"
      "\"OscStFM\",0\r\n"
      "\"OscEnFM\",1\r\n"
      "\"OscFreq\",0\r\n"
      "\"OscOsc\",2\r\n"
      "\"OscCa\",1000\r\n"
      "\"OscFilX\",0\r\n"
      "\"OscFilY\",0\r\n"
      "\"OscShFil\",#FALSE#\r\n"
      "\"OscSepSign\",#FALSE#\r\n"
      "\"OscParFil\",#FALSE#\r\n"
      "\"OscShowPD\",#FALSE#\r\n"
      "\"OscUnitX\",\"s\"\r\n"
      "\"OscVDivI\",6\r\n"
      "\"OscVDivO\",6\r\n"
      "\"OscParS\",\"k 30% [0;10]\"\r\n"
      "\"OscParS\",\"a 50% [1;2]\"\r\n");
  EXPECT_EQ(bytes, QByteArray(kDefaultFile) + section);
  EXPECT_EQ(Read(bytes), d);
}

TEST(WriteTestDocument, EverySettingRoundTrips) {
  const TestDocument d = EverythingChanged();
  const QByteArray bytes = Write(d);
  const CodecResult<std::vector<Record>> records = DecodeRecords(bytes);
  ASSERT_TRUE(records.ok());
  ASSERT_EQ(records.value().size(), 46u);  // 43 plus three parameter items
  EXPECT_EQ(records.value()[43].value, TextValue(QStringLiteral("a 50% [0;1]")));
  EXPECT_EQ(records.value()[44].value, TextValue(QStringLiteral("b 25% [-1,5;2]")));
  EXPECT_EQ(records.value()[45].value, TextValue(QStringLiteral("c 100% [1;1]")));
  EXPECT_EQ(Read(bytes), d);
}

TEST(WriteTestDocument, EmptyParameterListWritesNoItemRecord) {
  TestDocument d;
  d.oscilloscope.emplace();
  const QByteArray bytes = Write(d);
  EXPECT_EQ(DecodeRecords(bytes).value().size(), 43u);
  EXPECT_FALSE(bytes.contains("OscParS"));
  EXPECT_EQ(Read(bytes), d);
}

TEST(WriteTestDocument, MultiLineFilterTextIsOneRecordAndReadsBackIdentical) {
  TestDocument d;
  d.parameters = QStringLiteral("k=2\r\n\r\nc=1e-3");
  d.functions = QStringLiteral("x=x+dt*(vi-x)/k\r\ny=x\r\nvo=y");
  const QByteArray bytes = Write(d);
  EXPECT_TRUE(bytes.contains("\r\n\"Fil\",\"x=x+dt*(vi-x)/k\r\ny=x\r\nvo=y\"\r\n\"ShCF\","));
  EXPECT_EQ(DecodeRecords(bytes).value().size(), 22u);
  const TestDocument back = Read(bytes);
  EXPECT_EQ(back.functions, d.functions);
  EXPECT_EQ(back.parameters, d.parameters);
  EXPECT_EQ(back, d);
}

TEST(WriteTestDocument, QuotesAreDoubledAndReadBack) {
  TestDocument d;
  d.functions = QStringLiteral("s=\"a,b\"\r\nvo=vi");
  d.oscilloscope.emplace().waveform = QStringLiteral("vi=\"\"");
  const QByteArray bytes = Write(d);
  EXPECT_TRUE(bytes.contains("\"Fil\",\"s=\"\"a,b\"\"\r\nvo=vi\"\r\n"));
  EXPECT_TRUE(bytes.contains("\"OscWF\",\"vi=\"\"\"\"\"\r\n"));
  EXPECT_EQ(Read(bytes), d);
}

TEST(WriteTestDocument, AccentsAreSingleWindows1252Bytes) {
  TestDocument d;
  d.parameters = U("// è à €");
  const QByteArray bytes = Write(d);
  EXPECT_TRUE(bytes.contains("\"Par\",\"// \xE8 \xE0 \x80\"\r\n"));
  EXPECT_EQ(Read(bytes).parameters, d.parameters);
}

TEST(WriteTestDocument, RefusesACharacterOutsideWindows1252) {
  struct Case {
    const char* name;
    std::function<void(TestDocument&)> change;
    int record;
    const char* what;
  };
  const Case cases[] = {
      {"arrow in Fil", [](TestDocument& d) { d.functions = U("vo=vi → out"); }, 12, "U+2192"},
      {"CJK in a parameter item",
       [](TestDocument& d) {
         d.oscilloscope.emplace().parameter_items = {QStringLiteral("a 1% [0;1]"), U("中 1% [0;1]"),
                                                     QStringLiteral("c")};
       },
       45, "U+4E2D"},
      {"infinite overlay position",
       [](TestDocument& d) { d.filter1_x = std::numeric_limits<float>::infinity(); }, 16, "Fil1X"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDocument d;
    c.change(d);
    const CodecResult<QByteArray> bytes = WriteTestDocument(d);
    ASSERT_FALSE(bytes.ok());
    EXPECT_EQ(bytes.error().record, c.record);
    EXPECT_TRUE(bytes.error().description.contains(QString::fromLatin1(c.what)))
        << bytes.error().description.toStdString();
  }
}

TEST(ReadTestDocument, HeaderMustBeThisProgramsIdentification) {
  struct Case {
    const char* bytes;
    bool loads;
  };
  const Case cases[] = {
      {"\"Quorvel - Ombrat\",\"1.0.0\"\r\n", true},
      {"\"Quorvel - Ombrat\",\"2.7.13\"\r\n", true},  // any version
      {"\"Quorvel - Ombrat\",3\r\n", true},
      {"\"Quorvel - Ombrat\",", true},
      {"\"quorvel - ombrat\",\"1.0.0\"\r\n", false},
      {"\"Quorvel - ombrat\",\"1.0.0\"\r\n", false},
      {"\"QUORVEL - OMBRAT\",\"1.0.0\"\r\n", false},
      {"\"Quorvel - Ombrat \",\"1.0.0\"\r\n", false},
      {"\"StF\",\"1\"\r\n", false},
      {"Quorvel - Ombrat,1.0.0\r\n", false},
      {"\xEF\xBB\xBF\"Quorvel - Ombrat\",\"1.0.0\"\r\n", false},
      {"\"Quorvel - Ombrat\",\"1.0.0\",x\r\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bytes);
    const CodecResult<TestDocument> document = ReadTestDocument(QByteArray(c.bytes));
    ASSERT_EQ(document.ok(), c.loads);
    if (c.loads) {
      EXPECT_EQ(document.value(), TestDocument{});  // only the header: every setting default
    } else {
      EXPECT_EQ(document.error().kind, Kind::BadHeader);
      EXPECT_EQ(document.error().record, 1);
      EXPECT_EQ(document.error().description, U("Il formato del file non è valido"));
    }
  }
}

TEST(ReadTestDocument, BadHeaderWinsOverLaterErrors) {
  const CodecResult<TestDocument> document =
      ReadTestDocument(QByteArray("\"Quorvel\",\"1.0.0\"\r\n\"Graphs\",9\r\n\"X\",\"open"));
  ASSERT_FALSE(document.ok());
  EXPECT_EQ(document.error().description, U("Il formato del file non è valido"));
}

TEST(ReadTestDocument, MalformedFilesNameTheRecord) {
  QByteArray default_file(kDefaultFile);
  struct Case {
    const char* name;
    QByteArray bytes;
    Kind kind;
    int record;
    const char* description;
  };
  const Case cases[] = {
      {"empty file", QByteArray(), Kind::UnexpectedEnd, 1,
       "Il file termina all'interno del record 1"},
      {"truncated inside the header", QByteArray("\"Quorvel - Omb"), Kind::UnexpectedEnd, 1,
       "Il file termina all'interno del record 1"},
      {"truncated inside the functions text", default_file.left(default_file.indexOf("vo=vi") + 3),
       Kind::UnexpectedEnd, 12, "Il file termina all'interno del record 12"},
      {"bad number", QByteArray(default_file).replace("\"StFM\",0", "\"StFM\",0,5"), Kind::Syntax,
       3, "Record 3: contenuto non previsto dopo il valore"},
      {"not a number", QByteArray(default_file).replace("\"StFM\",0", "\"StFM\",zero"),
       Kind::InvalidValue, 3, "Record 3: valore non valido (zero)"},
      {"text where a number belongs",
       QByteArray(default_file).replace("\"StFM\",0", "\"StFM\",\"zero\""), Kind::TypeMismatch, 3,
       "Record 3 (\"StFM\"): tipo non corrispondente (\"zero\")"},
      {"long text where a number belongs",
       QByteArray(kHeader) + "\"Osc\",\"x=1\r\ny=2\r\nvo=x+y+1234567890\"\r\n", Kind::TypeMismatch,
       2, "Record 2 (\"Osc\"): tipo non corrispondente (\"x=1\r\ny=2\r\nvo=x+y+1234567...\")"},
      {"tab index 5", QByteArray(default_file).replace("\"Graphs\",1", "\"Graphs\",5"),
       Kind::Rejected, 22, "Record 22 (\"Graphs\"): valore non accettato: 5 (ammessi da 1 a 4)"},
      {"tab index 0", QByteArray(kHeader) + "\"Graphs\",0\r\n", Kind::Rejected, 2,
       "Record 2 (\"Graphs\"): valore non accettato: 0 (ammessi da 1 a 4)"},
      {"tab index beyond Integer", QByteArray(kHeader) + "\"Graphs\",40000\r\n", Kind::Overflow, 2,
       "Record 2 (\"Graphs\"): valore fuori intervallo (40000)"},
      {"check box 3", QByteArray(kHeader) + "\"logX\",3\r\n", Kind::Rejected, 2,
       "Record 2 (\"logX\"): valore non accettato: 3 (ammessi da 0 a 2)"},
      {"check box #TRUE# (-1)", QByteArray(kHeader) + "\"logY\",#TRUE#\r\n", Kind::Rejected, 2,
       "Record 2 (\"logY\"): valore non accettato: -1 (ammessi da 0 a 2)"},
      {"slider beyond 100", QByteArray(kHeader) + "\"logF\",101\r\n", Kind::Rejected, 2,
       "Record 2 (\"logF\"): valore non accettato: 101 (ammessi da 0 a 100)"},
      {"frequency slider below 0", QByteArray(kHeader) + "\"OscFreq\",-1\r\n", Kind::Rejected, 2,
       "Record 2 (\"OscFreq\"): valore non accettato: -1 (ammessi da 0 a 100)"},
      {"window state 3", QByteArray(kHeader) + "\"OscSt\",3\r\n", Kind::Rejected, 2,
       "Record 2 (\"OscSt\"): valore non accettato: 3 (ammessi da 0 a 2)"},
      {"volts per division 13", QByteArray(kHeader) + "\"OscVDivO\",13\r\n", Kind::Rejected, 2,
       "Record 2 (\"OscVDivO\"): valore non accettato: 13 (ammessi da 0 a 12)"},
      {"negative width", QByteArray(kHeader) + "\"OscW\",-1\r\n", Kind::Rejected, 2,
       "Record 2 (\"OscW\"): valore non accettato: -1 (una dimensione non può essere negativa)"},
      {"Single beyond range", QByteArray(kHeader) + "\"Fil1X\",1e39\r\n", Kind::Overflow, 2,
       "Record 2 (\"Fil1X\"): valore fuori intervallo (1e39)"},
      {"check mark from text", QByteArray(kHeader) + "\"ShCF\",\"forse\"\r\n", Kind::TypeMismatch,
       2, "Record 2 (\"ShCF\"): tipo non corrispondente (\"forse\")"},
      {"garbage after the last record", QByteArray(kDefaultFile) + "garbage", Kind::InvalidKey, 23,
       "Record 23: la chiave non è un testo tra virgolette"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CodecResult<TestDocument> document = ReadTestDocument(c.bytes);
    ASSERT_FALSE(document.ok());
    EXPECT_EQ(document.error().kind, c.kind);
    EXPECT_EQ(document.error().record, c.record);
    EXPECT_EQ(document.error().description, U(c.description));
  }
}

// Records after the header, applied to a default test, and what they must leave.
TEST(ReadTestDocument, AppliesEachKeyByItsRule) {
  struct Case {
    const char* records;
    std::function<void(const TestDocument&)> check;
  };
  const Case cases[] = {
      {"\"Pippo\",\"x\"\r\n\"StF\",\"5\"\r\n\"Zeta\",#TRUE#\r\n",  // unknown keys ignored
       [](const TestDocument& d) {
         TestDocument expected;
         expected.start_frequency = QStringLiteral("5");
         EXPECT_EQ(d, expected);
       }},
      {"\"StF\",\"5\"\r\n\"StF\",\"7\"\r\n",  // a key twice: applied twice
       [](const TestDocument& d) { EXPECT_EQ(d.start_frequency, QStringLiteral("7")); }},
      {"\"StF\",12.50\r\n",  // a number into a text box: as written
       [](const TestDocument& d) { EXPECT_EQ(d.start_frequency, QStringLiteral("12.50")); }},
      {"\"StFM\",7\r\n\"EnFM\",-2\r\n\"Osc\",1000\r\n\"Ca\",0\r\n",  // reversed: clamped
       [](const TestDocument& d) {
         EXPECT_EQ(d.start_multiplier, 3);
         EXPECT_EQ(d.end_multiplier, 0);
         EXPECT_EQ(d.oscillations, 100);
         EXPECT_EQ(d.samples, 5);
       }},
      {"\"Osc\",2.5\r\n\"Ca\",\"37.5\"\r\n\"logF\",99.5\r\n",  // rounded halves to even
       [](const TestDocument& d) {
         EXPECT_EQ(d.oscillations, 2);
         EXPECT_EQ(d.samples, 38);
         EXPECT_EQ(d.log_depth, 100);
       }},
      {"\"Graphs\",4\r\n\"logX\",2\r\n\"logY\",1\r\n\"ShCF\",0\r\n\"ShTr\",5\r\n\"ShFil1\",#FALSE#"
       "\r\n",
       [](const TestDocument& d) {
         EXPECT_EQ(d.graphs, 4);
         EXPECT_EQ(d.log_x, 2);
         EXPECT_EQ(d.log_y, 1);
         EXPECT_FALSE(d.show_cutoff);
         EXPECT_TRUE(d.show_trace);
         EXPECT_FALSE(d.show_filter);
       }},
      {"\"Fil1X\",.5\r\n\"Fil2Y\",0.1\r\n\"Fil1Y\",\r\n",
       [](const TestDocument& d) {
         EXPECT_EQ(d.filter1_x, 0.5f);
         EXPECT_EQ(d.filter2_y, 0.1f);
         EXPECT_EQ(d.filter1_y, 0.0f);
       }},
      {"\"UnitAmp\",\"db\"\r\n\"UnitPh\",\"rad\"\r\n",  // a different tag switches
       [](const TestDocument& d) {
         EXPECT_EQ(d.unit_amplitude, QStringLiteral("db"));
         EXPECT_EQ(d.unit_phase, QStringLiteral("rad"));
       }},
      {"\"UnitAmp\",\r\n\"UnitAmp\",\"\"\r\n\"UnitPh\",\"deg\"\r\n",  // the same tag: untouched
       [](const TestDocument& d) {
         EXPECT_EQ(d.unit_amplitude, std::nullopt);
         EXPECT_EQ(d.unit_phase, QStringLiteral("deg"));
       }},
      {"\"UnitAmp\",\"db\"\r\n\"UnitAmp\",\"db\"\r\n\"UnitAmp\",\"\"\r\n",  // one click each time
       [](const TestDocument& d) { EXPECT_EQ(d.unit_amplitude, QString()); }},
      {"\"UnitPh\",\"gradi\"\r\n\"UnitAmp\",\"DB\"\r\n",  // any other tag: one click
       [](const TestDocument& d) {
         EXPECT_EQ(d.unit_phase, QStringLiteral("rad"));
         EXPECT_EQ(d.unit_amplitude, QStringLiteral("db"));
       }},
      {"\"-addin-\",\"Altro\"\r\n\"-addin-\",\r\n\"OscPippo\",1\r\n",  // no section
       [](const TestDocument& d) { EXPECT_EQ(d, TestDocument{}); }},
      {"\"StF\",\"2\"\r\n\"StFM\",2\r\n\"EnF\",\"3\"\r\n\"EnFM\",3\r\n\"Osc\",50\r\n\"Ca\",100\r\n"
       "\"-addin-\",\"Oscilloscopio\"\r\n",  // opening copies frequencies and oscillations
       [](const TestDocument& d) {
         ASSERT_TRUE(d.oscilloscope.has_value());
         OscilloscopeSection expected;
         expected.start_frequency = QStringLiteral("2");
         expected.start_multiplier = 2;
         expected.end_frequency = QStringLiteral("3");
         expected.end_multiplier = 3;
         expected.oscillations = 50;
         EXPECT_EQ(*d.oscilloscope, expected);
       }},
      {"\"StF\",\"2\"\r\n\"OscWF\",\"quadra\"\r\n\"-addin-\",\"Oscilloscopio\"\r\n",
       [](const TestDocument& d) {  // an existing section stays as it is
         ASSERT_TRUE(d.oscilloscope.has_value());
         EXPECT_EQ(d.oscilloscope->waveform, QStringLiteral("quadra"));
         EXPECT_EQ(d.oscilloscope->start_frequency, QStringLiteral("1"));
       }},
      {"\"OscParS\",\"k 30% [0;10]\"\r\n\"OscParS\",\"a 5% [1;2]\"\r\n",  // creates the section
       [](const TestDocument& d) {
         ASSERT_TRUE(d.oscilloscope.has_value());
         OscilloscopeSection expected;
         expected.parameter_items = {QStringLiteral("k 30% [0;10]"), QStringLiteral("a 5% [1;2]")};
         EXPECT_EQ(*d.oscilloscope, expected);
       }},
      // A name that is not an identifier would run as code: the item is skipped and counted; an
      // item without a blank is left for the run, which skips and counts it as malformed.
      {"\"OscParS\",\"Math.random 1% [0;1]\"\r\n\"OscParS\",\"k 30% [0;10]\"\r\n"
       "\"OscParS\",\"1k 5% [1;2]\"\r\n\"OscParS\",\" 5% [1;2]\"\r\n"
       "\"OscParS\",\"a;b=1 5% [1;2]\"\r\n\"OscParS\",\"malformed\"\r\n",
       [](const TestDocument& d) {
         ASSERT_TRUE(d.oscilloscope.has_value());
         EXPECT_EQ(d.oscilloscope->parameter_items,
                   (QStringList{QStringLiteral("k 30% [0;10]"), QStringLiteral("malformed")}));
         EXPECT_EQ(d.oscilloscope->skipped_parameter_items, 4);
       }},
      {"\"OscSt\",1\r\n\"OscW\",9000\r\n\"OscH\",8000\r\n",  // minimized: size kept
       [](const TestDocument& d) {
         ASSERT_TRUE(d.oscilloscope.has_value());
         EXPECT_EQ(d.oscilloscope->window_state, 1);
         EXPECT_EQ(d.oscilloscope->width, 7800.0f);
         EXPECT_EQ(d.oscilloscope->height, 6500.0f);
       }},
      {"\"OscW\",9000\r\n\"OscSt\",2\r\n\"OscH\",8000\r\n\"OscW\",\"x\"\r\n",
       [](const TestDocument& d) {  // the size applies only while the state is normal
         ASSERT_TRUE(d.oscilloscope.has_value());
         EXPECT_EQ(d.oscilloscope->width, 9000.0f);
         EXPECT_EQ(d.oscilloscope->height, 6500.0f);
       }},
      {"\"OscUnitX\",\"deg\"\r\n\"OscCa\",50\r\n\"OscOsc\",0\r\n\"OscStFM\",9\r\n"
       "\"OscParFil\",#TRUE#\r\n\"OscVDivI\",12\r\n",
       [](const TestDocument& d) {
         ASSERT_TRUE(d.oscilloscope.has_value());
         EXPECT_EQ(d.oscilloscope->time_unit, QStringLiteral("deg"));
         EXPECT_EQ(d.oscilloscope->samples, 100);
         EXPECT_EQ(d.oscilloscope->oscillations, 1);
         EXPECT_EQ(d.oscilloscope->start_multiplier, 3);
         EXPECT_TRUE(d.oscilloscope->parametric_filter);
         EXPECT_EQ(d.oscilloscope->vdiv_in, 12);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    const CodecResult<TestDocument> document =
        ReadTestDocument(QByteArray(kHeader) + QByteArray(c.records));
    ASSERT_TRUE(document.ok()) << document.error().description.toStdString();
    c.check(document.value());
  }
}

TEST(ReadTestDocument, MinimizedOscilloscopeKeepsItsNormalSize) {
  TestDocument d;
  OscilloscopeSection& o = d.oscilloscope.emplace();
  o.window_state = 1;
  o.width = 12000;
  o.height = 9000;
  const QByteArray bytes = Write(d);
  EXPECT_TRUE(bytes.contains("\"OscSt\",1\r\n\"OscW\",12000\r\n\"OscH\",9000\r\n"));
  const TestDocument back = Read(bytes);
  ASSERT_TRUE(back.oscilloscope.has_value());
  EXPECT_EQ(back.oscilloscope->window_state, 1);
  EXPECT_EQ(back.oscilloscope->width, 7800.0f);
  EXPECT_EQ(back.oscilloscope->height, 6500.0f);
}

TEST(ReadTestDocument, TruncationsAndDamageNeverCrash) {
  const QByteArray full = Write(EverythingChanged());
  ASSERT_FALSE(full.isEmpty());
  for (qsizetype cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    const CodecResult<TestDocument> document = ReadTestDocument(full.left(cut));
    if (!document.ok()) {
      EXPECT_GE(document.error().record, 1);
      EXPECT_LE(document.error().record, 46);
    }
  }
  std::mt19937 random(7);
  std::uniform_int_distribution<qsizetype> position(0, full.size() - 1);
  std::uniform_int_distribution<int> any_byte(0, 255);
  for (int round = 0; round < 3000; ++round) {
    QByteArray damaged = full;
    for (int k = 0; k < 3; ++k) damaged[position(random)] = static_cast<char>(any_byte(random));
    const CodecResult<TestDocument> document = ReadTestDocument(damaged);
    if (!document.ok()) {
      EXPECT_GE(document.error().record, 1);
      EXPECT_FALSE(document.error().description.isEmpty());
    }
  }
}

}  // namespace
}  // namespace quorvel
