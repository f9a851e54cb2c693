// The engine's one entry. The program loads this library at run time and
// calls it once with a skin in memory that it frees as soon as the call
// returns, so everything the skin leaves behind is copied into the
// application: its palette and style sheet are Qt's own values.

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>

#include "skin/skin_format.h"
#include "skin/skin_style.h"

namespace {

using vorpane::skin::Skin;
using vorpane::skin::SkinStatus;

int result(SkinStatus status) {
  return static_cast<int>(status);
}

}  // namespace

// `password` and the three numbers are part of the entry's calling convention
// and mean nothing to this format: the skins are plain text.
extern "C" __attribute__((visibility("default"))) int SkinH_AttachRes(const unsigned char* data,
                                                                      int length,
                                                                      const char* password, int,
                                                                      int, int) {
  (void)password;
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  // Widgets may only be restyled on the thread that runs the application.
  if (application == nullptr || QThread::currentThread() != application->thread()) {
    return result(SkinStatus::no_application);
  }

  Skin skin;
  const SkinStatus parsed = vorpane::skin::parse_skin(data, length, skin);
  if (parsed != SkinStatus::applied) return result(parsed);

  // Fusion draws every part of a widget from the palette, so the skin's colours
  // show the same on every desktop. It is built into Qt Widgets.
  const bool on_fusion =
      QApplication::style() != nullptr &&
      QApplication::style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
  if (!on_fusion) {
    QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion == nullptr) return result(SkinStatus::style_unavailable);
    // The application takes ownership. A new style brings its own palette,
    // so the skin's palette follows it.
    QApplication::setStyle(fusion);
  }
  QApplication::setPalette(vorpane::skin::skin_palette(skin));
  application->setStyleSheet(vorpane::skin::skin_style_sheet(skin));
  return result(SkinStatus::applied);
}
