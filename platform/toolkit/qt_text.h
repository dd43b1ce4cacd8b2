// Text between the program and the toolkit: the program holds code page 1251 bytes, the
// toolkit's strings are Unicode. Conversion happens here and nowhere else, at the screen.
//
// File names are not screen text: they go to and from the toolkit in the file system's own
// encoding (file_name_to_qt, file_name_from_qt), so that a chosen file opens as chosen.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace orvel::platform::toolkit {

QString to_qt(std::string_view cp1251);
// Characters that code page 1251 lacks become "?".
std::string from_qt(const QString& text);

QString file_name_to_qt(std::string_view name);
std::string file_name_from_qt(const QString& name);

}  // namespace orvel::platform::toolkit
