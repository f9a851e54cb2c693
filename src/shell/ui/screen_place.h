// Where the program's windows open.
#pragma once

#include <QWidget>

namespace vorpane {

// Moves a top-level window so that it is centred on its screen:
// left = (screen width - window width) / 2, the same for the top.
void centre_on_screen(QWidget& window);

// Text with its CR LF line breaks as the single line feeds that Qt breaks at.
QString with_line_feeds(QString text);

}  // namespace vorpane
