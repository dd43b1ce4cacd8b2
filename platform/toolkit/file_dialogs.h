// The common file dialogs, in their open and their save form.
//
// The filter is given as the program writes it, pairs of a description and a pattern list
// separated by "|" ("Все файлы|*.*"); the pattern "*.*", which on the system the program
// was built for matches every file, matches every file here too, names without a dot
// included. The open form accepts only an existing file; the save form asks before it
// replaces one. Neither changes the program's current directory. While a dialog is up the
// wait cursor of an operation gives way to the ordinary pointer.
//
// Titles and filters are code page 1251; names are in the file system's encoding.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QWidget;

namespace orvel::platform::toolkit {

// The toolkit's filter text of a filter written "description|patterns|...".
QString qt_name_filter(std::string_view filter);

// The chosen name, or nothing when the operator cancels.
std::optional<std::string> open_file_dialog(QWidget* parent, std::string_view title,
                                            std::string_view filter, std::string_view initial_name);
std::optional<std::string> save_file_dialog(QWidget* parent, std::string_view title,
                                            std::string_view filter, std::string_view initial_name);

}  // namespace orvel::platform::toolkit
