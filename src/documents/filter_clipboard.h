#pragma once

// The clipboard text of a filter and the name a window shows for a test file.

#include <QString>

#include <optional>

#include "scripting/filter_program.h"

namespace quorvel {

// "Parametri del filtro:", CR LF, the parameters, CR LF, CR LF, "Funzioni del filtro:", CR LF,
// the functions.
QString FilterClipboardText(const QString& parameters, const QString& functions);

// The two texts of a clipboard text made as above. The header and the separator are recognised
// whatever their letter case; the texts keep their own. nullopt when the header is missing, the
// separator is not found, or the first separator begins inside the header line.
std::optional<FilterProgram> ParseFilterClipboardText(const QString& text);

// The part of a path after its last separator ("/" or "\"); the whole path when it has none.
QString FileTitleOf(const QString& path);

// The window title for a test: "Quorvel", and " - " with the file's name once it has one.
QString TestWindowTitle(const QString& test_path);

}  // namespace quorvel
