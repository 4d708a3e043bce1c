#include <gtest/gtest.h>

#include <QGuiApplication>

int main(int argc, char** argv) {
  // Painting text needs a GUI application; no display is used.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
