// Conversions between the program's code page 936 texts and Qt's strings,
// made only where a text enters or leaves a widget.
#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

#include "web/text.h"

namespace vorpane {

QString to_qstring(TextView text);
Text from_qstring(const QString& text);

// A UTF-8 source literal as a Qt string.
QString utf8_qstring(std::string_view utf8);

// Code page 936 bytes kept unchanged in a widget's item data.
QByteArray to_item_data(TextView text);
Text from_item_data(const QByteArray& data);

}  // namespace vorpane
