#pragma once

#include <QGroupBox>

#include "window_core/drag.h"
#include "window_core/window_geometry.h"

class QLabel;
class QPlainTextEdit;

namespace quorvel {

// The movable panel that shows the report of the last run inside a window. Its title bar
// `lblRep` drags it, `Label10` ("Chiudi") hides it; hidden, it keeps its text and its place.
// The position is kept in twips in the owner's inner coordinates, like the window layouts.
class ReportPanel : public QGroupBox {
  Q_OBJECT

 public:
  // `design` is the panel's rectangle in twips inside `parent` (the window's client area).
  ReportPanel(const TwipRect& design, QWidget* parent);

  // Pulls the panel inside an inner area of the given size (left and top edges first, so a
  // panel larger than the area ends with its right and bottom edges on the area's edges), brings
  // it to the front and shows it.
  void ShowPanel(double inner_width_twips, double inner_height_twips);

  // Replaces the report; CR LF line ends become plain line breaks.
  void SetReport(const QString& text);
  QString Report() const;

  const TwipRect& rect_twips() const { return rect_; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Panel_MouseDown(QPointF global_position);
  void Panel_MouseMove(QPointF global_position);
  void Label10_Click();
  QPointF CursorTwips(QPointF global_position) const;
  void ApplyRect();

  TwipRect rect_;
  DragOffsets drag_offsets_;
  QLabel* lblRep_ = nullptr;
  QPlainTextEdit* txtRep_ = nullptr;
  QLabel* Label10_ = nullptr;
};

}  // namespace quorvel
