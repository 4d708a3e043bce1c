#include "window_core/help_book.h"

#include <gtest/gtest.h>

#include "qstring_printer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <optional>
#include <set>

#include "window_core/program_icon.h"
#include "window_core/version_info.h"

namespace quorvel {
namespace {

void WriteFile(const QString& path, const QByteArray& content = "<html></html>") {
  ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath())) << path.toStdString();
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(content);
}

QString ReadText(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return QString::fromUtf8(file.readAll());
}

TEST(HelpBook, TopicPathGivesTheContextsPageOrTheDefaultTopic) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  WriteFile(dir.filePath(QStringLiteral("index.html")));
  WriteFile(dir.filePath(QStringLiteral("1022.html")));
  WriteFile(dir.filePath(QStringLiteral("1007.html")));
  const HelpBook book(dir.path());
  ASSERT_TRUE(book.Available());

  struct Case {
    const char* name;
    std::optional<int> context;
    const char* file;
  };
  const Case cases[] = {
      {"context with a page", 1022, "1022.html"},
      {"another context with a page", 1007, "1007.html"},
      {"no context", std::nullopt, "index.html"},
      {"unknown number", 9999, "index.html"},
      {"known number whose page is missing", 1006, "index.html"},
      {"zero", 0, "index.html"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(book.TopicPath(c.context), dir.filePath(QLatin1String(c.file)));
  }
}

TEST(HelpBook, AFolderWithoutItsIndexIsNotAvailable) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  WriteFile(dir.filePath(QStringLiteral("1022.html")));
  EXPECT_FALSE(HelpBook(dir.path()).Available());
  EXPECT_FALSE(HelpBook(dir.filePath(QStringLiteral("missing"))).Available());
  // A folder named like the index is not a page.
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("index.html")));
  EXPECT_FALSE(HelpBook(dir.path()).Available());
}

TEST(HelpBook, ContextOfTagReadsDecimalNumbersOnly) {
  struct Case {
    const char* tag;
    std::optional<int> context;
  };
  const Case cases[] = {
      {"", std::nullopt},    {"1022", 1022},
      {" 1007 ", 1007},      {"10a2", std::nullopt},
      {"-5", std::nullopt},  {"1.5", std::nullopt},
      {"abc", std::nullopt}, {"99999999999", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tag);
    EXPECT_EQ(ContextOfTag(QString::fromLatin1(c.tag)), c.context);
  }
}

TEST(HelpFolderFor, PrefersTheFolderBesideTheProgramThenTheInstalledLayout) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString bin = dir.filePath(QStringLiteral("prefix/bin"));
  ASSERT_TRUE(QDir().mkpath(bin));
  const QString installed = dir.filePath(QStringLiteral("prefix/share/quorvel/help"));

  // Nothing installed: the installed path, which is not available.
  EXPECT_EQ(HelpFolderFor(bin), installed);
  EXPECT_FALSE(HelpBook(HelpFolderFor(bin)).Available());

  WriteFile(installed + QStringLiteral("/index.html"));
  EXPECT_EQ(HelpFolderFor(bin), installed);
  EXPECT_TRUE(HelpBook(HelpFolderFor(bin)).Available());

  // A build tree copies the pages beside the program; that copy wins.
  WriteFile(bin + QStringLiteral("/help/index.html"));
  EXPECT_EQ(QDir::cleanPath(HelpFolderFor(bin)), QDir::cleanPath(bin + QStringLiteral("/help")));
}

TEST(HelpFolderFor, TheBuildTreeCopyBesideTheProgramIsComplete) {
  const HelpBook book(HelpFolderFor(QStringLiteral(QUORVEL_PROGRAM_DIR)));
  ASSERT_TRUE(book.Available()) << book.folder().toStdString();
  for (const int context : HelpBook::kContexts) {
    SCOPED_TRACE(context);
    EXPECT_EQ(QFileInfo(book.TopicPath(context)).fileName(), TopicFileName(context));
  }
}

// The pages themselves: one per context number, all reachable from the default topic, and no
// link that leads nowhere.
TEST(HelpContent, EveryContextHasAPageLinkedFromTheIndexAndEveryLinkResolves) {
  const QDir folder(QStringLiteral(QUORVEL_HELP_SOURCE_DIR));
  const HelpBook book(folder.path());
  ASSERT_TRUE(book.Available());
  const QString index = ReadText(book.IndexPath());

  const QRegularExpression href(QStringLiteral("href=\"([^\"#]+)\""));
  std::set<QString> linked_from_index;
  for (const auto& match : href.globalMatch(index)) linked_from_index.insert(match.captured(1));

  for (const int context : HelpBook::kContexts) {
    SCOPED_TRACE(context);
    const QString page = TopicFileName(context);
    EXPECT_TRUE(QFileInfo(folder.filePath(page)).isFile());
    EXPECT_TRUE(linked_from_index.count(page)) << "not linked from the index";
  }

  const QStringList pages = folder.entryList({QStringLiteral("*.html")}, QDir::Files);
  ASSERT_GE(pages.size(), static_cast<qsizetype>(HelpBook::kContexts.size() + 1));
  for (const QString& page : pages) {
    SCOPED_TRACE(page.toStdString());
    const QString text = ReadText(folder.filePath(page));
    EXPECT_TRUE(text.contains(QStringLiteral("<title>"))) << "no title";
    EXPECT_TRUE(text.contains(QStringLiteral("charset=\"utf-8\""))) << "no charset";
    if (page != QStringLiteral("index.html")) {
      EXPECT_TRUE(linked_from_index.count(page)) << "not linked from the index";
    }
    for (const auto& match : href.globalMatch(text)) {
      const QString target = match.captured(1);
      if (target.contains(u':')) continue;  // no external links expected, but not ours to check
      EXPECT_TRUE(QFileInfo(folder.filePath(target)).isFile()) << target.toStdString();
    }
  }
}

TEST(VersionInfo, TheProgramIsQuorvel100ByOmbrat) {
  const VersionInfo version = ProgramVersion();
  EXPECT_EQ(version.title, QStringLiteral("Quorvel"));
  EXPECT_EQ(version.VersionText(), QStringLiteral("1.0.0"));
  EXPECT_EQ(version.company, QStringLiteral("Ombrat (Ferrolt)"));
  EXPECT_EQ(version.comments, QStringLiteral("Tester per filtri digitali"));
}

TEST(ProgramIcon, PaintsTheCurveOnARoundedSquareAtAnySize) {
  for (const int size : {16, 48, 256}) {
    SCOPED_TRACE(size);
    const QImage icon = PaintProgramIcon(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << "corners stay transparent";
    EXPECT_EQ(qAlpha(icon.pixel(size / 2, size - size / 8)), 255) << "the square is opaque";
  }
  // The curve's yellow lies at the top left, where a low-pass passes its band.
  const QImage icon = PaintProgramIcon(256);
  const QColor pass = icon.pixelColor(60, 74);
  EXPECT_GT(pass.red(), 200);
  EXPECT_GT(pass.green(), 150);
  EXPECT_LT(pass.blue(), 120);
}

TEST(ProgramIcon, TheSvgHoldsTheSameShapes) {
  const QString svg = ProgramIconSvg();
  EXPECT_TRUE(svg.startsWith(QStringLiteral("<?xml")));
  EXPECT_TRUE(svg.contains(QStringLiteral("viewBox=\"0 0 256 256\"")));
  const QRegularExpression points(QStringLiteral("<polyline points=\"([^\"]*)\""));
  const auto match = points.match(svg);
  ASSERT_TRUE(match.hasMatch());
  const QStringList pairs = match.captured(1).split(u' ');
  EXPECT_EQ(pairs.size(), 33);
  EXPECT_TRUE(pairs.front().startsWith(QStringLiteral("40.00,")));
  EXPECT_TRUE(pairs.back().startsWith(QStringLiteral("216.00,")));
  EXPECT_TRUE(svg.trimmed().endsWith(QStringLiteral("</svg>")));
}

}  // namespace
}  // namespace quorvel
