// A main-window label: one line of text, left-aligned and centred vertically
// over the window's background, drawn in one colour, optionally raised over a
// white copy of itself. Ampersands are drawn as they are.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

namespace vorpane {

class CaptionLabel final : public QWidget {
 public:
  CaptionLabel(QColor colour, bool raised, QWidget* parent);

  void set_caption(const QString& caption);
  const QString& caption() const { return caption_; }
  QColor colour() const { return colour_; }
  bool raised() const { return raised_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  QColor colour_;
  bool raised_;
};

}  // namespace vorpane
