// A test file written by hand from the file format's rules, record by record, opens in the
// windows and saves back byte for byte.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QTemporaryDir>

#include "oscilloscope_test_support.h"

namespace quorvel {
namespace {

// Every key of both windows in the writer's order, CR LF line ends, a Windows-1252 accented
// letter (0xE8, "è"), a three-line text in one record, and three parameter items.
constexpr char kGolden[] =
    "\"Quorvel - Ombrat\",\"1.0.0\"\r\n"
    "\"StF\",\"10\"\r\n"
    "\"StFM\",0\r\n"
    "\"EnF\",\"10\"\r\n"
    "\"EnFM\",1\r\n"
    "\"Osc\",3\r\n"
    "\"Ca\",40\r\n"
    "\"logF\",33\r\n"
    "\"logX\",1\r\n"
    "\"logY\",0\r\n"
    "\"Par\",\"// parametri del filtro \xE8 RC\r\nRC = 1/(2*3.14159265358979*1000)\r\nk = 2\"\r\n"
    "\"Fil\",\"vo = vo + (vi - vo) * dt / RC\r\n\"\r\n"
    "\"ShCF\",#TRUE#\r\n"
    "\"ShTr\",#FALSE#\r\n"
    "\"ShFil1\",#TRUE#\r\n"
    "\"Fil1X\",0.25\r\n"
    "\"Fil1Y\",0.75\r\n"
    "\"Fil2X\",0.5\r\n"
    "\"Fil2Y\",0\r\n"
    "\"UnitAmp\",\"db\"\r\n"
    "\"UnitPh\",\"rad\"\r\n"
    "\"Graphs\",4\r\n"
    "\"-addin-\",\"Oscilloscopio\"\r\n"
    "\"OscSt\",0\r\n"
    "\"OscW\",9000\r\n"
    "\"OscH\",7500\r\n"
    "\"OscWF\",\"quadra\"\r\n"
    "\"OscStF\",\"100\"\r\n"
    "\"OscEnF\",\"1\"\r\n"
    "\"OscStFM\",0\r\n"
    "\"OscEnFM\",1\r\n"
    "\"OscFreq\",20\r\n"
    "\"OscOsc\",3\r\n"
    "\"OscCa\",500\r\n"
    "\"OscFilX\",0.125\r\n"
    "\"OscFilY\",0.5\r\n"
    "\"OscShFil\",#TRUE#\r\n"
    "\"OscSepSign\",#TRUE#\r\n"
    "\"OscParFil\",#TRUE#\r\n"
    "\"OscShowPD\",#FALSE#\r\n"
    "\"OscUnitX\",\"deg\"\r\n"
    "\"OscVDivI\",6\r\n"
    "\"OscVDivO\",8\r\n"
    "\"OscParS\",\"k 30% [0;10]\"\r\n"
    "\"OscParS\",\"RC 50% [0,0001;0,001]\"\r\n"
    "\"OscParS\",\"g 0% [1;2]\"\r\n";

class GoldenFileTest : public testing::OscilloscopeWithMainTest {};

TEST_F(GoldenFileTest, OpensAndSavesBackByteForByte) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray golden(kGolden, sizeof kGolden - 1);
  QFile in(dir.filePath(QStringLiteral("golden.flt")));
  ASSERT_TRUE(in.open(QIODevice::WriteOnly));
  in.write(golden);
  in.close();

  ASSERT_TRUE(main().Documents().ReadTestFile(in.fileName()));
  ASSERT_NE(main().oscilloscope(), nullptr);
  EXPECT_TRUE(testing::Child<QCheckBox>(main(), "chkLogX")->isChecked());
  EXPECT_EQ(main().ParametersText(),
            QString::fromUtf8("// parametri del filtro \u00E8 RC\r\n"
                              "RC = 1/(2*3.14159265358979*1000)\r\nk = 2"));
  WaitForRuns(*main().oscilloscope(), 1);

  const QString out = dir.filePath(QStringLiteral("saved.flt"));
  ASSERT_TRUE(main().Documents().WriteTestFile(out));
  QFile saved(out);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  EXPECT_EQ(bytes.toStdString(), golden.toStdString());
}

}  // namespace
}  // namespace quorvel
