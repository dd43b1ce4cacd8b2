#include "app/import_file.h"

#include "app/import_record.h"
#include "app/search_text.h"

namespace orvel::app {

void ImportFileName::assign(std::string_view name) {
  text_.assign(name.substr(0, kImportFileNameWidth));
  text_.resize(kImportFileNameWidth, ' ');
}

std::string_view ImportFileName::trimmed() const {
  return trim_right(text_);
}

textfile::TextFileDecl import_text_file(const ImportFileName& name) {
  textfile::TextFileDecl decl;
  for (const datafile::FieldDecl& field : imp_fields()) {
    decl.layout.add_text(field.label, field.size);
  }
  decl.name = [&name] { return name.text(); };
  decl.options = kImportDriverOptions;
  decl.create = true;
  return decl;
}

}  // namespace orvel::app
