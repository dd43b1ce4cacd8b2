#include "platform/toolkit/program_icons.h"

#include <QDir>

namespace orvel::platform::toolkit {

QIcon program_icon(std::string_view resource_name) {
  if (resource_name.empty()) return {};
  QDir directory(
      QStringLiteral(":/resources/") +
      QString::fromLatin1(resource_name.data(), static_cast<qsizetype>(resource_name.size())));
  QIcon icon;
  for (const QString& file : directory.entryList(QDir::Files, QDir::Name)) {
    icon.addFile(directory.filePath(file));
  }
  return icon;
}

}  // namespace orvel::platform::toolkit
