#include "shell/ui/text_boundary.h"

#include "web/codepage.h"

namespace vorpane {

QString to_qstring(TextView text) {
  return QString::fromStdU16String(cp936_to_utf16(text));
}

Text from_qstring(const QString& text) {
  return cp936_from_utf16(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                              static_cast<size_t>(text.size())));
}

QString utf8_qstring(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QByteArray to_item_data(TextView text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

Text from_item_data(const QByteArray& data) {
  return Text(data.constData(), static_cast<size_t>(data.size()));
}

}  // namespace vorpane
