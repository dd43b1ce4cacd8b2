#include "app/list_formats_record.h"

namespace orvel::app {

using datafile::FieldType;

const std::vector<datafile::FieldDecl>& cfg_fields() {
  static const std::vector<datafile::FieldDecl> fields = {
      text_field("CFG:APPNAME", offsetof(CFG, APPNAME), sizeof(CFG::APPNAME)),
      text_field("CFG:PROCID", offsetof(CFG, PROCID), sizeof(CFG::PROCID)),
      integer_field("CFG:USERID", FieldType::kShort, offsetof(CFG, USERID), sizeof(CFG::USERID)),
      integer_field("CFG:CTRLID", FieldType::kShort, offsetof(CFG, CTRLID), sizeof(CFG::CTRLID)),
      integer_field("CFG:FORMATID", FieldType::kShort, offsetof(CFG, FORMATID),
                    sizeof(CFG::FORMATID)),
      text_field("CFG:FORMATNAME", offsetof(CFG, FORMATNAME), sizeof(CFG::FORMATNAME)),
      integer_field("CFG:FLAG", FieldType::kByte, offsetof(CFG, FLAG), sizeof(CFG::FLAG)),
      text_field("CFG:FORMAT", offsetof(CFG, FORMAT), sizeof(CFG::FORMAT)),
      text_field("CFG:VARLINE", offsetof(CFG, VARLINE), sizeof(CFG::VARLINE)),
  };
  return fields;
}

const std::vector<datafile::KeyDecl>& list_formats_keys() {
  static const std::vector<datafile::KeyDecl> keys = {
      key("CFG:KEY_MAIN", "", datafile::key_attr::kOpt | datafile::key_attr::kNoCase,
          {kCfgAppName, kCfgProcId, kCfgUserId, kCfgCtrlId, kCfgFormatId}),
  };
  return keys;
}

datafile::TableDecl list_formats_table(std::string file_name) {
  datafile::TableDecl table;
  table.label = kListFormatsLabel;
  table.file_name = std::move(file_name);
  table.record_length = kListFormatsRecordLength;
  table.fields = cfg_fields();
  table.keys = list_formats_keys();
  table.attributes = datafile::file_attr::kCreate;
  return table;
}

void clear(CFG& record) {
  clear_image(&record, sizeof record, cfg_fields());
}

}  // namespace orvel::app
