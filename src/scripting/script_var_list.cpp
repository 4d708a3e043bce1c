#include "scripting/script_var_list.h"

#include "numbers/number_text.h"
#include "scripting/script_host.h"

namespace quorvel {

bool IsIdentChar(QChar c) {
  const char16_t u = c.unicode();
  return u == u'_' || (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') ||
         (u >= u'A' && u <= u'Z');
}

namespace {
// Code unit by code unit, as the list is kept.
int CompareNames(const QString& a, const QString& b) {
  return QStringView(a).compare(QStringView(b), Qt::CaseSensitive);
}
}  // namespace

int FindVar(const ScriptVarList& list, const QString& name) {
  int lo = 0;
  int hi = list.count() - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int c = CompareNames(name, list.names[static_cast<size_t>(mid)]);
    if (c == 0) return mid;
    if (c > 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
    }
  }
  return -1;
}

void SetVar(ScriptVarList& list, const QString& name, const QString& value) {
  const int index = FindVar(list, name);
  if (index >= 0) {
    list.values[static_cast<size_t>(index)] = value;
    return;
  }
  auto pos =
      std::upper_bound(list.names.begin(), list.names.end(), name,
                       [](const QString& a, const QString& b) { return CompareNames(a, b) < 0; });
  const auto offset = pos - list.names.begin();
  list.names.insert(pos, name);
  list.values.insert(list.values.begin() + offset, value);
}

void CollectAssignedNames(const QString& text, ScriptVarList& list) {
  const QString zero = QStringLiteral("0");
  for (qsizetype eq = text.indexOf(u'='); eq >= 0; eq = text.indexOf(u'=', eq + 1)) {
    qsizetype end = eq;
    while (end > 0 && !IsIdentChar(text[end - 1])) --end;
    if (end == 0) continue;
    qsizetype begin = end - 1;
    while (begin > 0 && IsIdentChar(text[begin - 1])) --begin;
    SetVar(list, text.mid(begin, end - begin), zero);
  }
}

QString ScriptStringLiteral(const QString& text) {
  QString out;
  out.reserve(text.size() + 2);
  out += u'"';
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u == u'"' || u == u'\\') {
      out += u'\\';
      out += c;
    } else if (u < 0x20 || u == 0x2028 || u == 0x2029 || u == 0x7F) {
      out += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
    } else {
      out += c;
    }
  }
  out += u'"';
  return out;
}

std::optional<ScriptError> ReadVarValues(ScriptVarList& list, ScriptHost& host) {
  for (size_t i = 0; i < list.names.size(); ++i) {
    auto value = host.Evaluate(list.names[i]);
    if (!value) {
      if (script_errors::StopsTheRun(value.error().number)) return value.error();
      continue;
    }
    switch (value->kind()) {
      case ScriptValue::Kind::Number:
        list.values[i] = NumberText(value->number());
        break;
      case ScriptValue::Kind::Boolean:
        list.values[i] = value->boolean() ? QStringLiteral("true") : QStringLiteral("false");
        break;
      case ScriptValue::Kind::Text:
        list.values[i] = ScriptStringLiteral(value->text());
        break;
      case ScriptValue::Kind::Undefined:
      case ScriptValue::Kind::Object:
        list.values[i].clear();
        break;
      case ScriptValue::Kind::Null:
        break;
    }
  }
  return std::nullopt;
}

std::optional<ScriptError> WriteVarValues(const ScriptVarList& list, ScriptHost& host) {
  for (size_t i = 0; i < list.names.size(); ++i) {
    const QString& value = list.values[i];
    if (value.isEmpty()) continue;
    // A string literal is written as it stands; a number's text takes the script's point.
    QString statement = list.names[i] + u'=';
    if (value.startsWith(u'"')) {
      statement += value;
    } else {
      statement += QString(value).replace(u',', u'.');
    }
    auto result = host.Evaluate(statement);
    if (!result && script_errors::StopsTheRun(result.error().number)) return result.error();
  }
  return std::nullopt;
}

void ListItemsToArray(const QStringList& items, QStringList& array) {
  if (!items.isEmpty()) array = items;
}

}  // namespace quorvel
