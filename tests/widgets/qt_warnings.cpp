#include "qt_warnings.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QMutexLocker>
#include <QString>

#include <vector>

namespace quorvel::testing {

namespace {

// The expectations of the running test; Qt may warn from its own threads.
QMutex expectations_mutex;
std::vector<QRegularExpression>& Expectations() {
  static std::vector<QRegularExpression> expectations;
  return expectations;
}

bool PlatformLimitation(const QString& message) {
  return message.startsWith(QStringLiteral("This plugin does not support"));
}

bool Expected(const QString& message) {
  const QMutexLocker lock(&expectations_mutex);
  auto& expectations = Expectations();
  for (auto it = expectations.begin(); it != expectations.end(); ++it) {
    if (it->match(message).hasMatch()) {
      expectations.erase(it);
      return true;
    }
  }
  return false;
}

void Handler(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
  if (type == QtDebugMsg || type == QtInfoMsg) {
    fprintf(stderr, "%s\n", qPrintable(message));
    return;
  }
  if (PlatformLimitation(message) || Expected(message)) return;
  ADD_FAILURE() << "Unexpected Qt warning: " << message.toStdString();
  if (type == QtFatalMsg) abort();
}

class ForgetExpectations : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo& /*info*/) override {
    const QMutexLocker lock(&expectations_mutex);
    Expectations().clear();
  }
};

}  // namespace

void WatchQtWarnings() {
  qInstallMessageHandler(Handler);
  ::testing::UnitTest::GetInstance()->listeners().Append(new ForgetExpectations);
}

void ExpectQtWarning(const QRegularExpression& pattern) {
  const QMutexLocker lock(&expectations_mutex);
  Expectations().push_back(pattern);
}

}  // namespace quorvel::testing
