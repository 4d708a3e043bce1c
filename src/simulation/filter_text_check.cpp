#include "simulation/filter_text_check.h"

#include <QStringView>

namespace quorvel {

namespace {

bool IsNameStart(QChar c) {
  const char16_t u = c.unicode();
  return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || u == u'_' || u == u'$' ||
         u >= 0x80;
}

bool IsNamePart(QChar c) {
  const char16_t u = c.unicode();
  return IsNameStart(c) || (u >= u'0' && u <= u'9');
}

// Words after which a "/" starts a regular expression rather than a division.
bool WordBeforeAnOperand(QStringView word) {
  static constexpr QStringView kWords[] = {u"return", u"typeof", u"instanceof", u"in",    u"of",
                                           u"new",    u"delete", u"void",       u"throw", u"case",
                                           u"do",     u"else",   u"yield",      u"await"};
  for (const QStringView w : kWords) {
    if (word == w) return true;
  }
  return false;
}

// A scanner that knows just enough of the language to find words outside brackets, comments,
// strings, template literals and regular expressions.
class Scanner {
 public:
  explicit Scanner(const QString& text) : text_(text) {}

  std::optional<TopLevelDeclaration> Find() {
    while (pos_ < text_.size()) {
      const QChar c = text_[pos_];
      if (c == u'\n') {
        ++line_;
        ++pos_;
      } else if (c.isSpace()) {
        ++pos_;
      } else if (c == u'/' && Peek(1) == u'/') {
        while (pos_ < text_.size() && text_[pos_] != u'\n') ++pos_;
      } else if (c == u'/' && Peek(1) == u'*') {
        SkipBlockComment();
      } else if (c == u'\'' || c == u'"') {
        SkipString(c);
        previous_ = Token::kOperand;
      } else if (c == u'`') {
        SkipTemplate();
        previous_ = Token::kOperand;
      } else if (c == u'/') {
        if (previous_ == Token::kOperand || previous_ == Token::kCloser) {
          ++pos_;  // a division
          previous_ = Token::kOther;
        } else {
          SkipRegularExpression();
          previous_ = Token::kOperand;
        }
      } else if (IsNameStart(c)) {
        if (auto found = Word()) return found;
      } else if (c.isDigit()) {
        while (pos_ < text_.size() && (IsNamePart(text_[pos_]) || text_[pos_] == u'.')) ++pos_;
        previous_ = Token::kOperand;
      } else {
        Punctuator(c);
      }
    }
    return std::nullopt;
  }

 private:
  enum class Token { kStart, kOperand, kCloser, kStatementEnd, kDot, kOther };

  QChar Peek(qsizetype ahead) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : QChar();
  }

  void SkipBlockComment() {
    pos_ += 2;
    while (pos_ < text_.size() && !(text_[pos_] == u'*' && Peek(1) == u'/')) {
      if (text_[pos_] == u'\n') ++line_;
      ++pos_;
    }
    pos_ += 2;
  }

  void SkipString(QChar quote) {
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != quote && text_[pos_] != u'\n') {
      if (text_[pos_] == u'\\') ++pos_;
      ++pos_;
    }
    ++pos_;
  }

  // A template literal, with the expressions in "${ }" skipped by counting braces.
  void SkipTemplate() {
    ++pos_;
    while (pos_ < text_.size() && text_[pos_] != u'`') {
      if (text_[pos_] == u'\\') {
        ++pos_;
      } else if (text_[pos_] == u'\n') {
        ++line_;
      } else if (text_[pos_] == u'$' && Peek(1) == u'{') {
        int depth = 0;
        do {
          if (text_[pos_] == u'{') ++depth;
          if (text_[pos_] == u'}') --depth;
          if (text_[pos_] == u'\n') ++line_;
          ++pos_;
        } while (pos_ < text_.size() && depth > 0);
        continue;
      }
      ++pos_;
    }
    ++pos_;
  }

  void SkipRegularExpression() {
    ++pos_;
    bool in_class = false;
    while (pos_ < text_.size() && text_[pos_] != u'\n') {
      const QChar c = text_[pos_];
      if (c == u'\\') {
        ++pos_;
      } else if (c == u'[') {
        in_class = true;
      } else if (c == u']') {
        in_class = false;
      } else if (c == u'/' && !in_class) {
        break;
      }
      ++pos_;
    }
    ++pos_;
    while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;  // flags
  }

  // The next significant character after the current position, without moving.
  QChar NextSignificant() const {
    qsizetype p = pos_;
    while (p < text_.size()) {
      if (text_[p].isSpace()) {
        ++p;
      } else if (text_[p] == u'/' && p + 1 < text_.size() && text_[p + 1] == u'/') {
        while (p < text_.size() && text_[p] != u'\n') ++p;
      } else if (text_[p] == u'/' && p + 1 < text_.size() && text_[p + 1] == u'*') {
        p += 2;
        while (p + 1 < text_.size() && !(text_[p] == u'*' && text_[p + 1] == u'/')) ++p;
        p += 2;
      } else {
        return text_[p];
      }
    }
    return QChar();
  }

  std::optional<TopLevelDeclaration> Word() {
    const qsizetype start = pos_;
    while (pos_ < text_.size() && IsNamePart(text_[pos_])) ++pos_;
    const QStringView word = QStringView(text_).mid(start, pos_ - start);
    const Token before = previous_;
    const bool new_line = line_ > previous_line_;
    previous_ = WordBeforeAnOperand(word) ? Token::kOther : Token::kOperand;
    previous_line_ = line_;
    if (depth_ != 0 || before == Token::kDot) return std::nullopt;
    // A line end may end a statement too (automatic semicolons).
    const bool statement_start =
        before == Token::kStart || before == Token::kStatementEnd || new_line;
    if (word == u"const") return TopLevelDeclaration{line_, word.toString()};
    if (word == u"let") {
      const QChar next = NextSignificant();
      if (IsNameStart(next) || next == u'[' || next == u'{') {
        return TopLevelDeclaration{line_, word.toString()};
      }
    }
    if (word == u"class" && statement_start && IsNameStart(NextSignificant())) {
      return TopLevelDeclaration{line_, word.toString()};
    }
    return std::nullopt;
  }

  void Punctuator(QChar c) {
    ++pos_;
    previous_line_ = line_;
    switch (c.unicode()) {
      case u'(':
      case u'[':
        ++depth_;
        previous_ = Token::kOther;
        break;
      case u'{':
        ++depth_;
        previous_ = Token::kStatementEnd;
        break;
      case u')':
      case u']':
        --depth_;
        previous_ = Token::kCloser;
        break;
      case u'}':
        --depth_;
        previous_ = Token::kStatementEnd;
        break;
      case u';':
        previous_ = Token::kStatementEnd;
        break;
      case u'.':
        previous_ = Token::kDot;
        break;
      default:
        previous_ = Token::kOther;
        break;
    }
  }

  const QString& text_;
  qsizetype pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
  Token previous_ = Token::kStart;
  int previous_line_ = 0;  // the line of the previous token
};

}  // namespace

std::optional<TopLevelDeclaration> FindTopLevelDeclaration(const QString& text) {
  return Scanner(text).Find();
}

std::optional<QString> TopLevelDeclarationProblem(const QString& parameters,
                                                  const QString& functions) {
  struct Text {
    const QString& text;
    const char16_t* name;
  };
  for (const Text& t :
       {Text{functions, u"Funzioni del filtro"}, Text{parameters, u"Parametri del filtro"}}) {
    if (const std::optional<TopLevelDeclaration> found = FindTopLevelDeclaration(t.text)) {
      return QStringLiteral(
                 "%1, riga %2: la dichiarazione %3 fuori da un blocco verrebbe ripetuta a ogni "
                 "esecuzione del testo, che il motore rifiuta; usare var o un'assegnazione (o "
                 "racchiuderla in un blocco { })")
          .arg(QString::fromUtf16(t.name))
          .arg(found->line)
          .arg(found->keyword);
    }
  }
  return std::nullopt;
}

}  // namespace quorvel
