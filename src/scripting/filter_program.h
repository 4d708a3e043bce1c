#pragma once

#include <QString>

namespace quorvel {

// A filter under test: statements run before each frequency, and statements run at every step.
struct FilterProgram {
  QString parameters;
  QString functions = QStringLiteral("vo=vi\r\n");
};

// Utility functions every filter can call; loaded once into the host before anything else runs.
QString PreludeText();

// Source names that error descriptions carry, so that a message points at the right text box.
QString ParametersSourceName();
QString FunctionsSourceName();

}  // namespace quorvel
