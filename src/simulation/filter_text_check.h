#pragma once

// Checks made on the filter texts before a run.
//
// Both texts run as global code again and again (the functions at every attempt, the parameters
// at every frequency). A `let`, `const` or `class` declaration at the top level of such a text
// makes a global binding that the next run of the same text declares again, which the engine
// refuses ("redeclaration"): the filter would fail at every step after the first. Inside a block
// or a function they are fresh at each run and work as expected; `var`, functions and plain
// assignments keep their global meaning.

#include <QString>

#include <optional>

namespace quorvel {

struct TopLevelDeclaration {
  int line = 0;     // 1-based
  QString keyword;  // "let", "const" or "class"
};

// The first `let`, `const` or `class` declaration at the top level of `text` (outside any
// brackets), skipping comments, strings, template literals and regular expressions. `let` counts
// as a declaration when a name, "[" or "{" follows it (otherwise it is a plain name in sloppy
// code); `class` when it starts a statement.
std::optional<TopLevelDeclaration> FindTopLevelDeclaration(const QString& text);

// The message that refuses a run whose texts hold such a declaration (the functions text
// first), or nullopt.
std::optional<QString> TopLevelDeclarationProblem(const QString& parameters,
                                                  const QString& functions);

}  // namespace quorvel
