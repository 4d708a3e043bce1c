#pragma once

// Small helpers that both windows use to create their controls and menus: every control and
// menu entry carries its name as object name.

#include <QAction>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QWidget>

#include <algorithm>
#include <span>
#include <utility>

#include "window_core/twips.h"

namespace quorvel {

template <typename T>
T* Named(T* object, const char* name) {
  object->setObjectName(QLatin1String(name));
  return object;
}

inline QLabel* NewLabel(const QString& text, QWidget* parent, const char* name = nullptr) {
  auto* label = new QLabel(text, parent);
  if (name) label->setObjectName(QLatin1String(name));
  return label;
}

inline QScrollBar* NewBar(Qt::Orientation orientation, int minimum, int maximum, QWidget* parent,
                          const char* name) {
  auto* bar = Named(new QScrollBar(orientation, parent), name);
  bar->setRange(minimum, maximum);
  bar->setValue(minimum);
  return bar;
}

inline QAction* NewAction(QMenu* menu, const QString& caption, const char* name,
                          const QKeySequence& shortcut = {}) {
  QAction* action = Named(menu->addAction(caption), name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

inline QAction* NewCheck(QMenu* menu, const QString& caption, const char* name, bool checked) {
  QAction* action = NewAction(menu, caption, name);
  action->setCheckable(true);
  action->setChecked(checked);
  return action;
}

inline QMenu* NewMenu(QMenuBar* bar, const QString& caption, const char* name) {
  return Named(bar->addMenu(caption), name);
}

inline QMenu* NewSubmenu(QMenu* parent, const QString& caption, const char* name) {
  return Named(parent->addMenu(caption), name);
}

// Shows a window and brings it forward, restoring it first when it is minimized (a minimized
// window that only changed its contents would seem not to answer).
inline void BringForward(QWidget& window) {
  if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

// The top of a frame's first row of controls in its design, in twips: 240 unless the frame's
// "firstRowTwips" property says otherwise.
inline constexpr char kFirstRowProperty[] = "firstRowTwips";

// How far the controls of a frame move down so that its first row lies below the frame's title
// and border (the design put that row where the style's title and border may reach); 0 for a
// parent that is not a frame.
inline int FrameTitleOffset(const QWidget* parent) {
  const auto* frame = qobject_cast<const QGroupBox*>(parent);
  if (!frame) return 0;
  const QVariant first_row = frame->property(kFirstRowProperty);
  const double top = first_row.isValid() ? first_row.toDouble() : 240;
  return std::max(0, frame->contentsRect().top() + 1 - TwipsToPixelsY(top, *frame));
}

// A control at a rectangle in twips of its parent, converted at the control's resolution.
inline void PlaceTwips(QWidget* widget, const TwipRect& rect) {
  widget->setGeometry(
      TwipRectToPixels(rect, *widget).translated(0, FrameTitleOffset(widget->parentWidget())));
}

// Controls found by name inside `container` get their design rectangles (in twips, converted at
// `device`'s resolution). Captions wider than their design room (a font other than the
// design's) keep their whole width.
inline void PlaceByName(QWidget& container,
                        std::span<const std::pair<const char*, TwipRect>> rectangles,
                        const QPaintDevice& device) {
  for (const auto& [name, rect] : rectangles) {
    auto* widget = container.findChild<QWidget*>(QLatin1String(name));
    if (!widget) continue;
    QRect pixels =
        TwipRectToPixels(rect, device).translated(0, FrameTitleOffset(widget->parentWidget()));
    if (qobject_cast<QLabel*>(widget)) {
      pixels.setWidth(std::max(pixels.width(), widget->sizeHint().width()));
    }
    widget->setGeometry(pixels);
  }
}

}  // namespace quorvel
