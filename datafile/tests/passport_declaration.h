// Declarations for tests: a field maker and the passport table (six fields, four
// DUP + NOCASE keys, no memos).
#pragma once

#include <string>

#include "datafile/declaration.h"

namespace orvel::datafile {

inline FieldDecl field_decl(std::string label, FieldType type, uint16_t offset, uint16_t size,
                            uint16_t elements = 1, bool over = false, uint8_t places = 0,
                            std::string picture = "") {
  FieldDecl field;
  field.label = std::move(label);
  field.type = type;
  field.offset = offset;
  field.size = size;
  field.elements = elements;
  field.over = over;
  field.places = places;
  field.picture = std::move(picture);
  return field;
}

inline MemoDecl memo_decl(std::string label, uint16_t size, uint16_t flags,
                          std::string external_name = "") {
  MemoDecl memo;
  memo.label = std::move(label);
  memo.external_name = std::move(external_name);
  memo.size = size;
  memo.flags = flags;
  return memo;
}

inline TableDecl passport_declaration() {
  TableDecl decl;
  decl.label = "passport";
  decl.file_name = "passport.hvk";
  decl.record_length = 798;
  decl.attributes = file_attr::kCreate | file_attr::kThread;
  decl.fields = {
      field_decl("PSP:SER", FieldType::kString, 0, 20, 1, false, 0, "@s20"),
      field_decl("PSP:NUM", FieldType::kString, 20, 20, 1, false, 0, "@s20"),
      field_decl("PSP:FIO", FieldType::kString, 40, 250, 1, false, 0, "@s250"),
      field_decl("PSP:DATE_PAS", FieldType::kLong, 290, 4),
      field_decl("PSP:DATE_IMP", FieldType::kLong, 294, 4),
      field_decl("PSP:COMMENT", FieldType::kString, 298, 500, 1, false, 0, "@s500"),
  };
  uint8_t attributes = key_attr::kDup | key_attr::kNoCase;
  decl.keys = {
      {"PSP:KL_SER_NUM", "", "ser+num", attributes, {{0}, {1}}},
      {"PSP:KL_NUM_SER", "", "num+ser", attributes, {{1}, {0}}},
      {"PSP:KL_FIO", "", "fio", attributes, {{2}}},
      {"PSP:KL_DATEIMP_NUM_SER", "", "date_imp+num+ser", attributes, {{4}, {1}, {0}, {2}}},
  };
  return decl;
}

}  // namespace orvel::datafile
