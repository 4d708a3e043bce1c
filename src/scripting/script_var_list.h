#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "scripting/script_value.h"

namespace quorvel {

class ScriptHost;

// The script variables a filter assigns, with their saved values. Names are unique and sorted
// code unit by code unit (so "Z" comes before "a"). A value is the text written back on restore:
// a number's general text (decimal comma), a boolean's "true"/"false", or a string as a quoted
// script literal; the empty text means there is nothing to write back.
struct ScriptVarList {
  std::vector<QString> names;
  std::vector<QString> values;

  int count() const { return static_cast<int>(names.size()); }
  void Clear() {
    names.clear();
    values.clear();
  }
};

bool IsIdentChar(QChar c);

// Index of name in the list, or -1.
int FindVar(const ScriptVarList& list, const QString& name);

// Inserts the name with its value in order, or updates the value of a name already there.
void SetVar(ScriptVarList& list, const QString& name, const QString& value);

// Adds, with the value "0", every name written just before an "=" of the text. The scan knows
// nothing of the language: "a == b" gives a, "k[i]=0" gives i, comments count too.
void CollectAssignedNames(const QString& text, ScriptVarList& list);

// The state save: each listed variable's current value becomes its saved text. A name the
// engine does not know, or a null, keeps its previous text; arrays, functions and other objects
// (which cannot be written back) and undefined get the empty text, so a restore skips them.
// A call that the host stops (time limit, memory, cancel) ends the save: its error is returned
// and the later entries keep their texts.
std::optional<ScriptError> ReadVarValues(ScriptVarList& list, ScriptHost& host);

// The state restore: each entry with a value is assigned again; failures are skipped, except
// a call the host stops, which ends the restore and is returned.
std::optional<ScriptError> WriteVarValues(const ScriptVarList& list, ScriptHost& host);

// The text written back for a saved string: a script string literal in double quotes.
QString ScriptStringLiteral(const QString& text);

// Copies the items into the array when there is at least one; otherwise leaves it as it was.
void ListItemsToArray(const QStringList& items, QStringList& array);

}  // namespace quorvel
