#include "app/passport_record.h"

#include <string>

namespace orvel::app {
namespace {

using datafile::FieldDecl;
using datafile::FieldType;
using datafile::KeyDecl;

// The six passport fields, which RQ and BrowseRow share at the same offsets.
std::vector<FieldDecl> passport_fields(const std::string& prefix) {
  return {
      text_field(prefix + "SER", offsetof(PSP, SER), sizeof(PSP::SER)),
      text_field(prefix + "NUM", offsetof(PSP, NUM), sizeof(PSP::NUM)),
      text_field(prefix + "FIO", offsetof(PSP, FIO), sizeof(PSP::FIO)),
      integer_field(prefix + "DATE_PAS", FieldType::kLong, offsetof(PSP, DATE_PAS),
                    sizeof(PSP::DATE_PAS)),
      integer_field(prefix + "DATE_IMP", FieldType::kLong, offsetof(PSP, DATE_IMP),
                    sizeof(PSP::DATE_IMP)),
      text_field(prefix + "COMMENT", offsetof(PSP, COMMENT), sizeof(PSP::COMMENT)),
  };
}

constexpr uint8_t kPassportKeyAttributes = datafile::key_attr::kDup | datafile::key_attr::kNoCase;

}  // namespace

const std::vector<FieldDecl>& psp_fields() {
  static const std::vector<FieldDecl> fields = passport_fields("PSP:");
  return fields;
}

const std::vector<FieldDecl>& rq_fields() {
  static const std::vector<FieldDecl> fields = passport_fields("RQ:");
  return fields;
}

const std::vector<FieldDecl>& browse_row_fields() {
  static const std::vector<FieldDecl> fields = [] {
    std::vector<FieldDecl> row = passport_fields("BRW:");
    row.push_back(integer_field("BRW:MARK", FieldType::kByte, offsetof(BrowseRow, MARK),
                                sizeof(BrowseRow::MARK)));
    row.push_back(text_field("BRW:VIEWPOSITION", offsetof(BrowseRow, VIEWPOSITION),
                             sizeof(BrowseRow::VIEWPOSITION)));
    return row;
  }();
  return fields;
}

const std::vector<KeyDecl>& passport_keys() {
  static const std::vector<KeyDecl> keys = {
      key("PSP:KL_SER_NUM", "ser+num", kPassportKeyAttributes, {kPspSer, kPspNum}),
      key("PSP:KL_NUM_SER", "num+ser", kPassportKeyAttributes, {kPspNum, kPspSer}),
      key("PSP:KL_FIO", "fio", kPassportKeyAttributes, {kPspFio}),
      key("PSP:KL_DATEIMP_NUM_SER", "date_imp+num+ser", kPassportKeyAttributes,
          {kPspDateImp, kPspNum, kPspSer, kPspFio}),
  };
  return keys;
}

datafile::TableDecl passport_table() {
  datafile::TableDecl table;
  table.label = kPassportLabel;
  table.file_name = kPassportFileName;
  table.record_length = kPassportRecordLength;
  table.fields = psp_fields();
  table.keys = passport_keys();
  table.attributes = datafile::file_attr::kCreate | datafile::file_attr::kThread;
  return table;
}

void clear(PSP& record) {
  clear_image(&record, sizeof record, psp_fields());
}
void clear(RQ& record) {
  clear_image(&record, sizeof record, rq_fields());
}
void clear(BrowseRow& record) {
  clear_image(&record, sizeof record, browse_row_fields());
}

}  // namespace orvel::app
