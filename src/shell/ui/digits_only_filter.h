// Refuses typed characters other than the digits 0 to 9 and "-" in an edit
// box. Control characters (backspace, delete, the editing shortcuts) pass,
// and so do texts that arrive by paste or from the program: only typing is
// filtered.
#pragma once

#include <QObject>

namespace vorpane {

class DigitsOnlyFilter final : public QObject {
 public:
  explicit DigitsOnlyFilter(QObject* parent) : QObject(parent) {}

  // True for a character that typing may put into the box.
  static bool accepts(QChar character);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace vorpane
