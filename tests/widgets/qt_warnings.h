#pragma once

// Qt's warnings fail the window test that causes them: a warning is a fault the test would
// otherwise pass over (a connection to a missing slot, a widget painted outside its paint event,
// a layout set twice). The entry point of the window tests installs the watcher.

#include <QRegularExpression>
#include <QtMessageHandler>

namespace quorvel::testing {

// Installs the message handler and the test listener that forgets a test's expectations when it
// ends. Messages of the offscreen platform about what it does not support are not faults of the
// program and pass.
void WatchQtWarnings();

// The next warning or critical message matching `pattern`, in the running test, is expected.
void ExpectQtWarning(const QRegularExpression& pattern);

}  // namespace quorvel::testing
