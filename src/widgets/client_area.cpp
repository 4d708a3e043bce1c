#include "widgets/client_area.h"

#include <QMainWindow>

namespace quorvel {

ClientArea::ClientArea(QMainWindow& window) : QWidget(&window) {
  setObjectName(QStringLiteral("client"));
  window.setCentralWidget(this);
  QFont dialog_font = font();
  dialog_font.setPointSize(8);
  setFont(dialog_font);
}

void ClientArea::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  emit Resized();
}

}  // namespace quorvel
