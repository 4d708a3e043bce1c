#include "documents/filter_clipboard.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(FilterClipboard, CopiedTextPastesBackToTheSameTexts) {
  const struct {
    const char* parameters;
    const char* functions;
  } cases[] = {
      {"", "vo=vi\r\n"},
      {"RC = 1e-3\r\nk = 2\r\n", "vo = vo + (vi - vo) * dt / RC\r\n"},
      {"a = 1", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.parameters);
    const QString text =
        FilterClipboardText(QString::fromUtf8(c.parameters), QString::fromUtf8(c.functions));
    const auto pasted = ParseFilterClipboardText(text);
    ASSERT_TRUE(pasted.has_value());
    EXPECT_EQ(pasted->parameters, QString::fromUtf8(c.parameters));
    EXPECT_EQ(pasted->functions, QString::fromUtf8(c.functions));
  }
  EXPECT_EQ(FilterClipboardText(QStringLiteral("p"), QStringLiteral("f")),
            QStringLiteral("Parametri del filtro:\r\np\r\n\r\nFunzioni del filtro:\r\nf"));
}

TEST(FilterClipboard, HeaderAndSeparatorIgnoreLetterCaseTheTextsKeepTheirs) {
  const auto pasted = ParseFilterClipboardText(
      QStringLiteral("PARAMETRI DEL FILTRO:\r\nK = 1\r\n\r\nfunzioni DEL filtro:\r\nVo = K*vi"));
  ASSERT_TRUE(pasted.has_value());
  EXPECT_EQ(pasted->parameters, QStringLiteral("K = 1"));
  EXPECT_EQ(pasted->functions, QStringLiteral("Vo = K*vi"));
}

TEST(FilterClipboard, RefusesTextsNotInTheFormat) {
  const char* cases[] = {
      "",
      "vo=vi",
      "Parametri del filtro:",  // no line end after the header
      "Parametri del filtro:\r\nk = 1\r\nFunzioni del filtro:\r\nvo=vi",  // single CR LF
      "Parametri del filtro:\r\nk = 1\r\n\r\nFunzioni:\r\nvo=vi",
      "Parametri del filtro:\r\n\r\nFunzioni del filtro:\r\nvo=vi",  // separator inside the header
      " Parametri del filtro:\r\n\r\n\r\nFunzioni del filtro:\r\nvo=vi",
  };
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(ParseFilterClipboardText(QString::fromUtf8(text)).has_value());
  }
}

TEST(FilterClipboard, FileTitleAndWindowTitle) {
  EXPECT_EQ(FileTitleOf(QStringLiteral("/home/ada/tests/rc.flt")), QStringLiteral("rc.flt"));
  EXPECT_EQ(FileTitleOf(QStringLiteral("C:\\Filtri\\rc.flt")), QStringLiteral("rc.flt"));
  EXPECT_EQ(FileTitleOf(QStringLiteral("rc.flt")), QStringLiteral("rc.flt"));
  EXPECT_EQ(FileTitleOf(QStringLiteral("/tmp/dir/")), QString());
  EXPECT_EQ(TestWindowTitle(QString()), QStringLiteral("Quorvel"));
  EXPECT_EQ(TestWindowTitle(QStringLiteral("/a/b/filtro")), QStringLiteral("Quorvel - filtro"));
}

}  // namespace
}  // namespace quorvel
