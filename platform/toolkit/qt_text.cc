#include "platform/toolkit/qt_text.h"

#include <QFile>

#include "platform/cp1251.h"

namespace orvel::platform::toolkit {

QString to_qt(std::string_view cp1251) {
  return QString::fromStdString(cp1251_to_utf8(cp1251));
}

std::string from_qt(const QString& text) {
  return utf8_to_cp1251(text.toStdString());
}

QString file_name_to_qt(std::string_view name) {
  return QFile::decodeName(QByteArray(name.data(), static_cast<qsizetype>(name.size())));
}

std::string file_name_from_qt(const QString& name) {
  return QFile::encodeName(name).toStdString();
}

}  // namespace orvel::platform::toolkit
