#include "window_core/help_book.h"

#include <QDir>
#include <QFileInfo>

#include <utility>

namespace quorvel {
namespace {

QString IndexFileName() { return QStringLiteral("index.html"); }

bool IsFile(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile();
}

}  // namespace

HelpBook::HelpBook(QString folder) : folder_(std::move(folder)) {}

bool HelpBook::Available() const { return IsFile(IndexPath()); }

QString HelpBook::IndexPath() const { return QDir(folder_).filePath(IndexFileName()); }

QString HelpBook::TopicPath(std::optional<int> context) const {
  if (context) {
    const QString page = QDir(folder_).filePath(TopicFileName(*context));
    if (IsFile(page)) return page;
  }
  return IndexPath();
}

QString TopicFileName(int context) { return QStringLiteral("%1.html").arg(context); }

std::optional<int> ContextOfTag(QStringView tag) {
  const QStringView trimmed = tag.trimmed();
  if (trimmed.isEmpty()) return std::nullopt;
  for (const QChar c : trimmed) {
    if (c < u'0' || c > u'9') return std::nullopt;
  }
  bool ok = false;
  const int context = trimmed.toInt(&ok);
  if (!ok) return std::nullopt;
  return context;
}

QString HelpFolderFor(const QString& application_dir) {
  const QDir dir(application_dir);
  const QString beside = dir.filePath(QStringLiteral("help"));
  if (HelpBook(beside).Available()) return beside;
  return QDir::cleanPath(dir.filePath(QStringLiteral("../share/quorvel/help")));
}

}  // namespace quorvel
