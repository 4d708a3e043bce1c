#pragma once

// Readable GoogleTest output for the Qt and record types the document tests compare.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "documents/record_codec.h"

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
  *os << '"';
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\r') {
      *os << "\\r";
    } else if (c == '\n') {
      *os << "\\n";
    } else if (b < 0x20 || b >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      *os << "\\x" << kHex[b >> 4] << kHex[b & 0xF];
    } else {
      *os << c;
    }
  }
  *os << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '{';
  for (const QString& item : list) {
    PrintTo(item, os);
    *os << ' ';
  }
  *os << '}';
}

namespace quorvel {

inline void PrintTo(const RecordValue& value, std::ostream* os) {
  switch (value.kind()) {
    case RecordValue::Kind::Empty:
      *os << "Empty";
      break;
    case RecordValue::Kind::Text:
      *os << "Text ";
      ::PrintTo(value.text(), os);
      break;
    case RecordValue::Kind::Number:
      *os << "Number " << value.number() << " written " << value.text().toStdString();
      break;
    case RecordValue::Kind::Boolean:
      *os << (value.boolean() ? "#TRUE#" : "#FALSE#");
      break;
  }
}

inline void PrintTo(const Record& record, std::ostream* os) {
  ::PrintTo(record.key, os);
  *os << ", ";
  PrintTo(record.value, os);
}

}  // namespace quorvel
