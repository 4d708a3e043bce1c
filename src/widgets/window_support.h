#pragma once

// Small helpers that both windows use to create their controls and menus: every control and
// menu entry carries its name as object name.

#include <QAction>
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

// A control at a rectangle in twips of its parent, converted at the control's resolution.
inline void PlaceTwips(QWidget* widget, const TwipRect& rect) {
  widget->setGeometry(TwipRectToPixels(rect, *widget));
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
    QRect pixels = TwipRectToPixels(rect, device);
    if (qobject_cast<QLabel*>(widget)) {
      pixels.setWidth(std::max(pixels.width(), widget->sizeHint().width()));
    }
    widget->setGeometry(pixels);
  }
}

}  // namespace quorvel
