#include "shell/ui/caption_label.h"

#include <QPainter>

namespace vorpane {

CaptionLabel::CaptionLabel(QColor colour, bool raised, QWidget* parent)
    : QWidget(parent), colour_(colour), raised_(raised) {}

void CaptionLabel::set_caption(const QString& caption) {
  caption_ = caption;
  // A running scan changes the caption between event dispatches, so it is
  // drawn now rather than at the next paint.
  repaint();
}

void CaptionLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  constexpr int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
  if (raised_) {
    painter.setPen(Qt::white);
    painter.drawText(rect(), flags, caption_);
    painter.setPen(colour_);
    painter.drawText(rect().translated(1, 1), flags, caption_);
    return;
  }
  painter.setPen(colour_);
  painter.drawText(rect(), flags, caption_);
}

}  // namespace vorpane
