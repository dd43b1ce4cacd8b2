#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/import_record.h"
#include "app/list_formats_record.h"
#include "app/passport_record.h"

namespace orvel::app {
namespace {

using datafile::FieldDecl;
using datafile::FieldType;
using datafile::KeyDecl;
namespace key_attr = datafile::key_attr;
namespace file_attr = datafile::file_attr;

struct ExpectedField {
  const char* label;
  FieldType type;
  uint16_t offset;
  uint16_t size;
  const char* picture;
};

void expect_fields(const std::vector<FieldDecl>& fields, const std::vector<ExpectedField>& expected,
                   size_t record_length) {
  ASSERT_EQ(fields.size(), expected.size());
  size_t running = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldDecl& f = fields[i];
    const ExpectedField& e = expected[i];
    EXPECT_EQ(f.label, e.label) << i;
    EXPECT_EQ(f.external_name, "") << e.label;
    EXPECT_EQ(f.type, e.type) << e.label;
    EXPECT_EQ(f.offset, e.offset) << e.label;
    EXPECT_EQ(f.size, e.size) << e.label;
    EXPECT_EQ(f.elements, 1) << e.label;
    EXPECT_FALSE(f.over) << e.label;
    EXPECT_EQ(f.places, 0) << e.label;
    EXPECT_EQ(f.picture, e.picture) << e.label;
    EXPECT_EQ(f.offset, running) << e.label << " follows the field before it";
    running += f.size;
  }
  EXPECT_EQ(running, record_length) << "the fields fill the record";
}

const std::vector<ExpectedField> kPassportFields = {
    {"PSP:SER", FieldType::kString, 0, 20, "@s20"},
    {"PSP:NUM", FieldType::kString, 20, 20, "@s20"},
    {"PSP:FIO", FieldType::kString, 40, 250, "@s250"},
    {"PSP:DATE_PAS", FieldType::kLong, 290, 4, ""},
    {"PSP:DATE_IMP", FieldType::kLong, 294, 4, ""},
    {"PSP:COMMENT", FieldType::kString, 298, 500, "@s500"},
};

TEST(RecordsTest, PassportFields) {
  expect_fields(psp_fields(), kPassportFields, 798);
}

TEST(RecordsTest, SearchResultFields) {
  std::vector<ExpectedField> expected = kPassportFields;
  const char* labels[] = {"RQ:SER", "RQ:NUM", "RQ:FIO", "RQ:DATE_PAS", "RQ:DATE_IMP", "RQ:COMMENT"};
  for (size_t i = 0; i < expected.size(); ++i) expected[i].label = labels[i];
  expect_fields(rq_fields(), expected, 798);
}

TEST(RecordsTest, BrowseRowFields) {
  std::vector<ExpectedField> expected = kPassportFields;
  const char* labels[] = {"BRW:SER",      "BRW:NUM",      "BRW:FIO",
                          "BRW:DATE_PAS", "BRW:DATE_IMP", "BRW:COMMENT"};
  for (size_t i = 0; i < expected.size(); ++i) expected[i].label = labels[i];
  expected.push_back({"BRW:MARK", FieldType::kByte, 798, 1, ""});
  expected.push_back({"BRW:VIEWPOSITION", FieldType::kString, 799, 1024, "@s1024"});
  expect_fields(browse_row_fields(), expected, 1823);
}

TEST(RecordsTest, ImportFields) {
  expect_fields(imp_fields(),
                {
                    {"IMP:SER", FieldType::kString, 0, 20, "@s20"},
                    {"IMP:NUM", FieldType::kString, 20, 20, "@s20"},
                    {"IMP:FIO", FieldType::kString, 40, 250, "@s250"},
                    {"IMP:DATE_PAS", FieldType::kString, 290, 20, "@s20"},
                    {"IMP:COMMENT", FieldType::kString, 310, 500, "@s500"},
                    {"IMP:DATE_IMP", FieldType::kString, 810, 20, "@s20"},
                },
                830);
}

TEST(RecordsTest, ListFormatsFields) {
  expect_fields(cfg_fields(),
                {
                    {"CFG:APPNAME", FieldType::kString, 0, 30, "@s30"},
                    {"CFG:PROCID", FieldType::kString, 30, 30, "@s30"},
                    {"CFG:USERID", FieldType::kShort, 60, 2, ""},
                    {"CFG:CTRLID", FieldType::kShort, 62, 2, ""},
                    {"CFG:FORMATID", FieldType::kShort, 64, 2, ""},
                    {"CFG:FORMATNAME", FieldType::kString, 66, 30, "@s30"},
                    {"CFG:FLAG", FieldType::kByte, 96, 1, ""},
                    {"CFG:FORMAT", FieldType::kString, 97, 5120, "@s5120"},
                    {"CFG:VARLINE", FieldType::kString, 5217, 2048, "@s2048"},
                },
                7265);
}

TEST(RecordsTest, RecordSizes) {
  EXPECT_EQ(sizeof(PSP), 798u);
  EXPECT_EQ(sizeof(RQ), 798u);
  EXPECT_EQ(sizeof(BrowseRow), 1823u);
  EXPECT_EQ(sizeof(IMP), 830u);
  EXPECT_EQ(sizeof(CFG), 7265u);
}

struct ExpectedKey {
  const char* label;
  const char* description;
  uint8_t attributes;
  std::vector<uint16_t> fields;
};

void expect_keys(const std::vector<KeyDecl>& keys, const std::vector<ExpectedKey>& expected,
                 const std::vector<FieldDecl>& fields,
                 const std::vector<std::vector<const char*>>& component_labels) {
  ASSERT_EQ(keys.size(), expected.size());
  for (size_t k = 0; k < keys.size(); ++k) {
    const KeyDecl& key = keys[k];
    const ExpectedKey& e = expected[k];
    EXPECT_EQ(key.label, e.label);
    EXPECT_EQ(key.external_name, "") << e.label;
    EXPECT_EQ(key.description, e.description) << e.label;
    EXPECT_EQ(key.attributes, e.attributes) << e.label;
    ASSERT_EQ(key.components.size(), e.fields.size()) << e.label;
    for (size_t c = 0; c < key.components.size(); ++c) {
      EXPECT_EQ(key.components[c].field, e.fields[c]) << e.label << " component " << c;
      EXPECT_FALSE(key.components[c].descending) << e.label << " component " << c;
      ASSERT_LT(key.components[c].field, fields.size());
      EXPECT_EQ(fields[key.components[c].field].label, component_labels[k][c])
          << e.label << " component " << c;
    }
  }
}

TEST(RecordsTest, PassportKeys) {
  const uint8_t dup_nocase = key_attr::kDup | key_attr::kNoCase;
  EXPECT_EQ(dup_nocase, 0x05);
  expect_keys(passport_keys(),
              {
                  {"PSP:KL_SER_NUM", "ser+num", dup_nocase, {0, 1}},
                  {"PSP:KL_NUM_SER", "num+ser", dup_nocase, {1, 0}},
                  {"PSP:KL_FIO", "fio", dup_nocase, {2}},
                  {"PSP:KL_DATEIMP_NUM_SER", "date_imp+num+ser", dup_nocase, {4, 1, 0, 2}},
              },
              psp_fields(),
              {
                  {"PSP:SER", "PSP:NUM"},
                  {"PSP:NUM", "PSP:SER"},
                  {"PSP:FIO"},
                  {"PSP:DATE_IMP", "PSP:NUM", "PSP:SER", "PSP:FIO"},
              });
  EXPECT_EQ(passport_keys()[kKeySerNum].label, "PSP:KL_SER_NUM");
  EXPECT_EQ(passport_keys()[kKeyNumSer].label, "PSP:KL_NUM_SER");
  EXPECT_EQ(passport_keys()[kKeyFio].label, "PSP:KL_FIO");
  EXPECT_EQ(passport_keys()[kKeyDateImpNumSer].label, "PSP:KL_DATEIMP_NUM_SER");
}

TEST(RecordsTest, ListFormatsKey) {
  const uint8_t opt_nocase = key_attr::kOpt | key_attr::kNoCase;
  EXPECT_EQ(opt_nocase, 0x06);
  expect_keys(list_formats_keys(), {{"CFG:KEY_MAIN", "", opt_nocase, {0, 1, 2, 3, 4}}},
              cfg_fields(),
              {{"CFG:APPNAME", "CFG:PROCID", "CFG:USERID", "CFG:CTRLID", "CFG:FORMATID"}});
}

TEST(RecordsTest, PassportTable) {
  const datafile::TableDecl table = passport_table();
  EXPECT_EQ(table.label, "passport");
  EXPECT_EQ(table.file_name, "passport.hvk");
  EXPECT_EQ(table.driver_options, "");
  EXPECT_EQ(table.record_length, 798);
  EXPECT_EQ(table.fields.size(), 6u);
  EXPECT_EQ(table.fields[3].label, "PSP:DATE_PAS");
  EXPECT_TRUE(table.memos.empty());
  EXPECT_EQ(table.keys.size(), 4u);
  EXPECT_EQ(table.keys[3].components.size(), 4u);
  EXPECT_EQ(table.attributes, file_attr::kCreate | file_attr::kThread);
  EXPECT_EQ(table.attributes & file_attr::kOem, 0u);
}

TEST(RecordsTest, ListFormatsTable) {
  const datafile::TableDecl table = list_formats_table("C:\\Temp\\Formats.FDB");
  EXPECT_EQ(table.label, "formats");
  EXPECT_EQ(table.file_name, "C:\\Temp\\Formats.FDB");
  EXPECT_EQ(std::string(kListFormatsFileName), "C:\\Temp\\Formats.FDB");
  EXPECT_EQ(table.record_length, 7265);
  EXPECT_EQ(table.fields.size(), 9u);
  EXPECT_TRUE(table.memos.empty());
  ASSERT_EQ(table.keys.size(), 1u);
  EXPECT_EQ(table.keys[0].label, "CFG:KEY_MAIN");
  EXPECT_EQ(table.attributes, file_attr::kCreate);
}

TEST(RecordsTest, ImportTable) {
  const datafile::TableDecl table = import_table("/tmp/update.txt");
  EXPECT_EQ(table.label, "import");
  EXPECT_EQ(table.file_name, "/tmp/update.txt");
  EXPECT_EQ(table.driver_options, "/COMMA=59");
  EXPECT_EQ(table.record_length, 830);
  EXPECT_EQ(table.fields.size(), 6u);
  EXPECT_TRUE(table.keys.empty());
  EXPECT_EQ(table.attributes, file_attr::kCreate);
}

// The bytes of a record image, as the engine copies them.
template <typename R>
std::vector<uint8_t> image_of(const R& record) {
  std::vector<uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

template <typename R>
void expect_cleared(const R& record, const std::vector<FieldDecl>& fields) {
  const std::vector<uint8_t> bytes = image_of(record);
  for (const FieldDecl& f : fields) {
    const uint8_t fill = f.type == FieldType::kString ? ' ' : 0;
    for (size_t i = f.offset; i < size_t(f.offset) + f.size; ++i) {
      ASSERT_EQ(bytes[i], fill) << f.label << " byte " << i - f.offset;
    }
  }
}

TEST(RecordsTest, ClearSetsTextToBlanksAndIntegersToZero) {
  PSP psp;
  std::memset(&psp, 0xAB, sizeof psp);
  clear(psp);
  expect_cleared(psp, psp_fields());
  EXPECT_EQ(psp.DATE_PAS.get(), 0);

  RQ rq;
  std::memset(&rq, 0xAB, sizeof rq);
  clear(rq);
  expect_cleared(rq, rq_fields());

  BrowseRow row;
  std::memset(&row, 0xAB, sizeof row);
  clear(row);
  expect_cleared(row, browse_row_fields());
  EXPECT_EQ(row.MARK, 0);

  IMP imp;
  std::memset(&imp, 0xAB, sizeof imp);
  clear(imp);
  expect_cleared(imp, imp_fields());

  CFG cfg;
  std::memset(&cfg, 0xAB, sizeof cfg);
  clear(cfg);
  expect_cleared(cfg, cfg_fields());
  EXPECT_EQ(cfg.FORMATID.get(), 0);
  EXPECT_EQ(cfg.FLAG, 0);
}

TEST(RecordsTest, IntegersAreLittleEndianAtTheirOffsets) {
  PSP psp;
  clear(psp);
  psp.DATE_PAS.set(74883);  // 0x00012483
  psp.DATE_IMP.set(-1);
  const std::vector<uint8_t> bytes = image_of(psp);
  EXPECT_EQ(bytes[290], 0x83);
  EXPECT_EQ(bytes[291], 0x24);
  EXPECT_EQ(bytes[292], 0x01);
  EXPECT_EQ(bytes[293], 0x00);
  for (size_t i = 294; i < 298; ++i) EXPECT_EQ(bytes[i], 0xFF);
  EXPECT_EQ(bytes[289], ' ');
  EXPECT_EQ(bytes[298], ' ');

  CFG cfg;
  clear(cfg);
  cfg.USERID.set(0x0102);
  cfg.CTRLID.set(-2);
  cfg.FORMATID.set(3);
  cfg.FLAG = 0xFE;
  const std::vector<uint8_t> c = image_of(cfg);
  EXPECT_EQ(c[60], 0x02);
  EXPECT_EQ(c[61], 0x01);
  EXPECT_EQ(c[62], 0xFE);
  EXPECT_EQ(c[63], 0xFF);
  EXPECT_EQ(c[64], 0x03);
  EXPECT_EQ(c[65], 0x00);
  EXPECT_EQ(c[96], 0xFE);
  EXPECT_EQ(cfg.CTRLID.get(), -2);
}

TEST(RecordsTest, ImageCopiesByteForByte) {
  PSP a;
  clear(a);
  assign(a.SER, "45 04");
  assign(a.NUM, "123456");
  assign(a.FIO, "IVANOV IVAN");
  a.DATE_PAS.set(74883);
  a.DATE_IMP.set(72687);
  assign(a.COMMENT, "\xD3\xF2\xE5\xF0\xFF\xED");
  std::vector<uint8_t> bytes = image_of(a);
  PSP b;
  std::memcpy(&b, bytes.data(), bytes.size());
  EXPECT_EQ(trimmed(b.SER), "45 04");
  EXPECT_EQ(trimmed(b.FIO), "IVANOV IVAN");
  EXPECT_EQ(b.DATE_PAS.get(), 74883);
  EXPECT_EQ(b.DATE_IMP.get(), 72687);
  EXPECT_EQ(trimmed(b.COMMENT), "\xD3\xF2\xE5\xF0\xFF\xED");
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

}  // namespace
}  // namespace orvel::app
