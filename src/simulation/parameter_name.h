#pragma once

#include <QStringView>

namespace quorvel {

// A name the oscilloscope's parameter list can assign: an identifier made of the characters of
// IsIdentChar (scripting/script_var_list.h: ASCII letters, digits and "_") that does not start
// with a digit. A run assigns an item with the statement "name=value", so anything else would run
// as code. Header-only so that the test file reader uses it without the rest of the runs; a test
// checks that it agrees with IsIdentChar character by character.
inline bool IsParameterName(QStringView name) {
  if (name.isEmpty()) return false;
  for (const QChar c : name) {
    const char16_t u = c.unicode();
    const bool letter = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_';
    const bool digit = u >= u'0' && u <= u'9';
    if (!letter && !digit) return false;
  }
  const char16_t first = name.front().unicode();
  return !(first >= u'0' && first <= u'9');
}

}  // namespace quorvel
