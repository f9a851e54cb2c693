#include "shell/ui/digits_only_filter.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

namespace vorpane {

bool DigitsOnlyFilter::accepts(QChar character) {
  const char16_t code = character.unicode();
  // Control characters are keys, not typed characters: the Delete key comes
  // with 0x7F, which must pass like backspace.
  return character.category() == QChar::Other_Control || (code >= u'0' && code <= u'9') ||
         code == u'-';
}

bool DigitsOnlyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QString typed = static_cast<QKeyEvent*>(event)->text();
    for (const QChar character : typed) {
      if (!accepts(character)) return true;
    }
    return false;
  }
  if (event->type() == QEvent::InputMethod) {
    // Characters composed by an input method arrive here, not as key presses;
    // the refused ones are taken out of what it commits.
    auto* input = static_cast<QInputMethodEvent*>(event);
    const QString committed = input->commitString();
    QString kept;
    for (const QChar character : committed) {
      if (accepts(character)) kept += character;
    }
    if (kept == committed) return false;
    QInputMethodEvent filtered(input->preeditString(), input->attributes());
    filtered.setCommitString(kept, input->replacementStart(), input->replacementLength());
    QCoreApplication::sendEvent(watched, &filtered);
    return true;
  }
  return false;
}

}  // namespace vorpane
