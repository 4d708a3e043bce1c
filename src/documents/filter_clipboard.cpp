#include "documents/filter_clipboard.h"

#include <algorithm>

namespace quorvel {

namespace {
constexpr QStringView kHeader = u"Parametri del filtro:\r\n";
constexpr QStringView kSeparator = u"\r\n\r\nFunzioni del filtro:\r\n";
}  // namespace

QString FilterClipboardText(const QString& parameters, const QString& functions) {
  return kHeader.toString() + parameters + kSeparator.toString() + functions;
}

std::optional<FilterProgram> ParseFilterClipboardText(const QString& text) {
  if (!text.startsWith(kHeader, Qt::CaseInsensitive)) return std::nullopt;
  const qsizetype separator = text.indexOf(kSeparator, 0, Qt::CaseInsensitive);
  // A separator that begins inside the header line would give the parameters a negative length.
  if (separator < kHeader.size()) return std::nullopt;
  FilterProgram program;
  program.parameters = text.mid(kHeader.size(), separator - kHeader.size());
  program.functions = text.mid(separator + kSeparator.size());
  return program;
}

QString FileTitleOf(const QString& path) {
  const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
  return slash < 0 ? path : path.mid(slash + 1);
}

QString TestWindowTitle(const QString& test_path) {
  return test_path.isEmpty() ? QStringLiteral("Quorvel")
                             : QStringLiteral("Quorvel - ") + FileTitleOf(test_path);
}

}  // namespace quorvel
