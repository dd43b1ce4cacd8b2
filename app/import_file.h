// The import file name and the delimited text file behind the import record.
//
// The import file name is one text of 250 characters, blank at start, shared by import and
// export: it holds the last name chosen in either file dialog, and the text file reads it
// at every create and open. One ImportFileName lives as long as the program's file
// objects; the text file declaration keeps a reference to it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "textfile/text_file.h"

namespace orvel::app {

inline constexpr size_t kImportFileNameWidth = 250;
// Read/write, no sharing; the 4 bit has no effect.
inline constexpr int kImportOpenMode = 22;

class ImportFileName {
 public:
  ImportFileName() : text_(kImportFileNameWidth, ' ') {}

  // Cut to 250 characters and padded with blanks.
  void assign(std::string_view name);
  void blank() { assign({}); }
  // The whole 250 characters.
  std::string_view text() const { return text_; }
  // Without the trailing blanks.
  std::string_view trimmed() const;

 private:
  std::string text_;
};

// The text file of import records named by name, "/COMMA=59", with the create attribute.
// name must outlive every TextFile made from the declaration.
textfile::TextFileDecl import_text_file(const ImportFileName& name);

}  // namespace orvel::app
