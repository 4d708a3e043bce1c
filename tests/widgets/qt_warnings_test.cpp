// The window tests' watch on Qt's warnings.
#include "qt_warnings.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QtGlobal>

namespace quorvel {
namespace {

TEST(QtWarnings, AnUnexpectedWarningFailsTheTest) {
  EXPECT_NONFATAL_FAILURE(qWarning("QObject::connect: No such slot Form1::Nothing()"),
                          "Unexpected Qt warning: QObject::connect: No such slot");
}

TEST(QtWarnings, AnExpectedWarningPassesOnceAndThePlatformsLimitsPass) {
  testing::ExpectQtWarning(QRegularExpression(QStringLiteral("^Nothing to draw")));
  qWarning("Nothing to draw on");
  qWarning("This plugin does not support raise()");
  EXPECT_NONFATAL_FAILURE(qWarning("Nothing to draw on"), "Unexpected Qt warning");
}

}  // namespace
}  // namespace quorvel
