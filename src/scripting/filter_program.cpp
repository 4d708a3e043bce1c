#include "scripting/filter_program.h"

namespace quorvel {

QString PreludeText() {
  return QStringLiteral(
      "function sgn(n){if (n > 0) return 1; if (n < 0) return -1; return 0;}\r\n"
      "function pows(b, e){return Math.pow(Math.abs(b), e) * sgn(b)}\r\n"
      "function int(n){if (n >= 0) return Math.floor(n); else return Math.ceil(n)}"
      "function mod(n1, n2){r = n1 / n2; return (r - int(r)) * n2}");
}

QString ParametersSourceName() { return QStringLiteral("Parametri del filtro"); }
QString FunctionsSourceName() { return QStringLiteral("Funzioni del filtro"); }

}  // namespace quorvel
