#include "shell/ui/info_dialog.h"

#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QShowEvent>

#include "shell/ui/artwork.h"
#include "shell/ui/screen_place.h"
#include "shell/ui/text_boundary.h"

namespace vorpane {
namespace {

// The outer sizes count a frame of 8 pixels at the sides and the bottom and
// a 31-pixel title bar; the client area is what they leave.
constexpr int frame_width = 8;
constexpr int title_bar_height = 31;

QRect to_rect(const Rectangle& place) {
  return QRect(place.left, place.top, place.width, place.height);
}

// The places were measured for fonts with tighter lines than the usual Linux
// ones; a label whose wrapped text would not fit its box takes a smaller
// font, so that no line is cut off.
void fit_text_in_place(QLabel& label) {
  constexpr int smallest_pixel_size = 9;
  QFont font = label.font();
  int pixel_size = QFontInfo(font).pixelSize();
  while (label.heightForWidth(label.width()) > label.height() && pixel_size > smallest_pixel_size) {
    font.setPixelSize(--pixel_size);
    label.setFont(font);
  }
}

QImage picture_image(Picture picture) {
  switch (picture) {
    case Picture::author:
      return author_picture();
  }
  return {};
}

}  // namespace

InfoDialog::InfoDialog(const ModalWindow& layout, QWidget* owner) : QDialog(owner) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(to_qstring(layout.title));
  setModal(true);
  setFixedSize(layout.width - 2 * frame_width, layout.height - title_bar_height - frame_width);

  auto* group_box = new QGroupBox(to_qstring(layout.group_box_caption), this);
  group_box->setObjectName(to_qstring(layout.group_box_name));
  group_box->setAlignment(Qt::AlignHCenter);
  group_box->setGeometry(to_rect(layout.group_box_place));

  for (const ModalPicture& picture : layout.pictures) {
    auto* box = new QLabel(group_box);
    box->setObjectName(to_qstring(picture.name));
    box->setFrameShape(QFrame::NoFrame);
    box->setAlignment(Qt::AlignCenter);
    box->setPixmap(QPixmap::fromImage(picture_image(picture.picture)));
    box->setGeometry(to_rect(picture.place));
  }
  for (const ModalLabel& label : layout.labels) {
    auto* text = new QLabel(group_box);
    text->setObjectName(to_qstring(label.name));
    text->setTextFormat(Qt::PlainText);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setWordWrap(true);
    text->setText(with_line_feeds(to_qstring(label.text)));
    text->setGeometry(to_rect(label.place));
    fit_text_in_place(*text);
  }
  centre_on_screen(*this);
}

void InfoDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Shown, the window knows its frame, which counts in its centred place.
  centre_on_screen(*this);
}

}  // namespace vorpane
