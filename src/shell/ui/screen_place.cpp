#include "shell/ui/screen_place.h"

#include <QGuiApplication>
#include <QScreen>

namespace vorpane {

void centre_on_screen(QWidget& window) {
  QScreen* screen = window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->geometry();
  // Before the first show the frame is not known yet; the window's own size
  // stands for it.
  const QSize size = window.frameGeometry().size().expandedTo(window.size());
  window.move(area.left() + (area.width() - size.width()) / 2,
              area.top() + (area.height() - size.height()) / 2);
}

QString with_line_feeds(QString text) {
  return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace vorpane
