#include "shell/ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

namespace vorpane {
namespace {

QImage blank_image(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

// A magnifier over three list rows: the program looks through numbers and
// lists what it finds. Drawn on a 128-unit square and scaled to `size`.
void draw_icon(QPainter& painter, int size) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 128.0, size / 128.0);

  QLinearGradient background(0, 0, 0, 128);
  background.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
  background.setColorAt(1, QColor(0x1c, 0x3f, 0x85));
  painter.setPen(Qt::NoPen);
  painter.setBrush(background);
  painter.drawRoundedRect(QRectF(4, 4, 120, 120), 24, 24);

  painter.setBrush(QColor(255, 255, 255, 220));
  for (int row = 0; row < 3; ++row) {
    painter.drawRoundedRect(QRectF(20, 26 + row * 24, row == 1 ? 56 : 76, 12), 6, 6);
  }

  const QPointF centre(78, 72);
  QPen handle(QColor(0xf6, 0xb2, 0x3c), 16, Qt::SolidLine, Qt::RoundCap);
  painter.setPen(handle);
  painter.drawLine(centre + QPointF(20, 20), QPointF(110, 110));
  painter.setPen(QPen(QColor(0xf6, 0xb2, 0x3c), 9));
  painter.setBrush(QColor(255, 255, 255, 90));
  painter.drawEllipse(centre, 27, 27);
}

// A pane of glass with a "V" cut into it and a spark in its corner.
void draw_author_picture(QPainter& painter) {
  painter.setRenderHint(QPainter::Antialiasing);

  QRadialGradient glow(QPointF(45, 40), 52);
  glow.setColorAt(0, QColor(0xff, 0xf4, 0xd6));
  glow.setColorAt(1, QColor(0xf0, 0x9a, 0x3e));
  painter.setPen(Qt::NoPen);
  painter.setBrush(glow);
  painter.drawEllipse(QRectF(3, 3, 84, 84));

  QPainterPath pane;
  pane.addRoundedRect(QRectF(20, 18, 50, 54), 6, 6);
  painter.setBrush(QColor(0x1f, 0x4e, 0x9a, 200));
  painter.drawPath(pane);

  QPainterPath letter;
  letter.moveTo(28, 28);
  letter.lineTo(45, 64);
  letter.lineTo(62, 28);
  painter.setPen(QPen(Qt::white, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(letter);

  QPainterPath spark;
  const QPointF tip(70, 18);
  spark.moveTo(tip + QPointF(0, -9));
  spark.quadTo(tip, tip + QPointF(9, 0));
  spark.quadTo(tip, tip + QPointF(0, 9));
  spark.quadTo(tip, tip + QPointF(-9, 0));
  spark.quadTo(tip, tip + QPointF(0, -9));
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawPath(spark);
}

}  // namespace

QImage program_icon_image(int size) {
  QImage image = blank_image(size);
  QPainter painter(&image);
  draw_icon(painter, size);
  painter.end();
  return image;
}

QIcon program_icon() {
  QIcon icon;
  for (const int size : program_icon_sizes)
    icon.addPixmap(QPixmap::fromImage(program_icon_image(size)));
  return icon;
}

QImage author_picture() {
  QImage image = blank_image(90);
  QPainter painter(&image);
  draw_author_picture(painter);
  painter.end();
  return image;
}

}  // namespace vorpane
