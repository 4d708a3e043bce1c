#pragma once

// A shown main window per test, with the ways the tests reach and drive its controls.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>

#include <cmath>
#include <memory>

#include "gui_test_support.h"
#include "main_window/main_window.h"
#include "main_window/response_graphs.h"
#include "main_window/test_documents.h"
#include "widgets/frequency_range.h"
#include "widgets/status_panels.h"
#include "window_core/twips.h"

namespace quorvel::testing {

class MainWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override { OpenWindow(); }
  // A new window in place of the current one (one script host at a time).
  void OpenWindow() {
    window_.reset();
    window_ = std::make_unique<Form1>();
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    Activate();
  }
  // Makes the window the active one, as a click on it would, so that its menu shortcuts answer
  // the keys (a run's progress window, shown above it, takes the activation on this platform).
  void Activate() {
    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->isActiveWindow(); }));
  }

  // Resizes the window and waits until it has laid itself out for its new size (or for its
  // minimum, when the size asked for is below it).
  void Resize(int width, int height) {
    window_->resize(width, height);
    QWidget* client = C<QWidget>("client");
    ASSERT_TRUE(QTest::qWaitFor([&] {
      const double inner_width = client->width() * TwipsPerPixelX(*window_);
      return (window_->size() == QSize(width, height) || width < window_->width() ||
              height < window_->height()) &&
             std::abs(window_->geometry_twips().Frame1.width - inner_width) < 1e-6;
    }));
  }
  // Waits until the timer has served the redraw asked for.
  void WaitForRedraw() {
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->Graphs().RedrawPending() == 0; }));
  }

  Form1& w() { return *window_; }
  template <typename T>
  T* C(const char* name) {
    return Child<T>(*window_, name);
  }
  StatusPanels& SB1() { return *C<StatusPanels>("SB1"); }
  QString Panel(int i) { return SB1().Text(i); }
  void ClickPanel(int i) { QTest::mouseClick(SB1().Panel(i), Qt::LeftButton); }
  void ClickTab(int index) {
    QTabBar* tabs = C<QTabBar>("TS1");
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
  }
  // Replaces the text of a one-line box by typing.
  void Type(const char* box, const QString& text) {
    auto* edit = C<QLineEdit>(box);
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }
  // Replaces the text of a filter text box by typing.
  void TypeFilter(const char* box, const QString& text) {
    auto* edit = C<QPlainTextEdit>(box);
    edit->selectAll();
    QTest::keyClicks(edit, text);
  }

  std::unique_ptr<Form1> window_;
};

}  // namespace quorvel::testing
