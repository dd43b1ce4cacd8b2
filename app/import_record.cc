#include "app/import_record.h"

namespace orvel::app {

const std::vector<datafile::FieldDecl>& imp_fields() {
  static const std::vector<datafile::FieldDecl> fields = {
      text_field("IMP:SER", offsetof(IMP, SER), sizeof(IMP::SER)),
      text_field("IMP:NUM", offsetof(IMP, NUM), sizeof(IMP::NUM)),
      text_field("IMP:FIO", offsetof(IMP, FIO), sizeof(IMP::FIO)),
      text_field("IMP:DATE_PAS", offsetof(IMP, DATE_PAS), sizeof(IMP::DATE_PAS)),
      text_field("IMP:COMMENT", offsetof(IMP, COMMENT), sizeof(IMP::COMMENT)),
      text_field("IMP:DATE_IMP", offsetof(IMP, DATE_IMP), sizeof(IMP::DATE_IMP)),
  };
  return fields;
}

datafile::TableDecl import_table(std::string file_name) {
  datafile::TableDecl table;
  table.label = kImportLabel;
  table.file_name = std::move(file_name);
  table.driver_options = kImportDriverOptions;
  table.record_length = kImportRecordLength;
  table.fields = imp_fields();
  table.attributes = datafile::file_attr::kCreate;
  return table;
}

void clear(IMP& record) {
  clear_image(&record, sizeof record, imp_fields());
}

}  // namespace orvel::app
