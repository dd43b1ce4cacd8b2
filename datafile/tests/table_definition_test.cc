#include "datafile/table_definition.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "datafile/definition_stream.h"
#include "datafile/record_keys.h"
#include "datafile/tests/map_record_store.h"
#include "datafile/tests/passport_declaration.h"

namespace orvel::datafile {
namespace {

constexpr uint32_t kTable = 1;

std::vector<size_t> block_lengths(const MapRecordStore& store) {
  std::vector<size_t> lengths;
  for (const auto& [key, record] : store.records()) {
    EXPECT_EQ(key.size(), kDefinitionKeyLength);
    EXPECT_EQ(key[4], record_kind::kDefinition);
    lengths.push_back(record.data().size());
  }
  return lengths;
}

TEST(TableDefinitionTest, PassportDefinitionIsOneBlock) {
  TableDecl decl = passport_declaration();
  ASSERT_TRUE(check_declaration_limits(decl).ok());
  MapRecordStore store;
  write_definition(store, kTable, decl);
  ASSERT_EQ(store.records().size(), 1u);
  const auto& [key, record] = *store.records().begin();
  EXPECT_EQ(key, (Bytes{0, 0, 0, 1, 0xFA, 0, 0}));
  KeyView data = record.data();
  ASSERT_LE(data.size(), kDefinitionBlockSize);
  // version 1, length 798, 6 fields, no memos, 4 keys; then SER: STRING at 0 named PSP:SER.
  const Bytes head = {1,   0,   0x1E, 0x03, 6, 0,  0, 0, 4, 0, 18, 0,  0, 'P', 'S', 'P', ':', 'S',
                      'E', 'R', 0,    1,    0, 20, 0, 0, 0, 0, 0,  20, 0, '@', 's', '2', '0', 0};
  EXPECT_EQ(Bytes(data.begin(), data.begin() + head.size()), head);
  // The last key: no external name, label, DUP + NOCASE, four ascending components.
  const std::string label = "PSP:KL_DATEIMP_NUM_SER";
  Bytes tail = {0, 1};
  tail.insert(tail.end(), label.begin(), label.end());
  const Bytes rest = {0, 0x05, 4, 0, 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0};
  tail.insert(tail.end(), rest.begin(), rest.end());
  EXPECT_EQ(Bytes(data.end() - tail.size(), data.end()), tail);

  EXPECT_TRUE(check_definition(store, kTable, decl).ok());
  TableDecl read;
  ASSERT_TRUE(read_definition(store, kTable, &read).ok());
  EXPECT_EQ(encode_definition(read), encode_definition(decl));
}

TEST(TableDefinitionTest, StreamsAreCutInto512ByteBlocks) {
  for (size_t length : {1u, 511u, 512u, 513u, 1024u, 1300u}) {
    Bytes stream(length);
    for (size_t i = 0; i < length; ++i) stream[i] = uint8_t(1 + i % 200);
    MapRecordStore store;
    store_definition_stream(store, kTable, stream);
    std::vector<size_t> expected;
    for (size_t left = length; left > 0; left -= std::min<size_t>(left, 512)) {
      expected.push_back(std::min<size_t>(left, 512));
    }
    EXPECT_EQ(block_lengths(store), expected) << length;
    DefinitionReader reader(store, kTable);
    Bytes back;
    for (size_t i = 0; i < length + 600; ++i) back.push_back(reader.u8());
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), back.begin())) << length;
    EXPECT_TRUE(std::all_of(back.begin() + length, back.end(), [](uint8_t b) { return b == 0; }));
  }
}

TEST(TableDefinitionTest, MissingBlockReadsAsZeros) {
  Bytes stream(1300, 0x11);
  MapRecordStore store;
  store_definition_stream(store, kTable, stream);
  Bytes block1 = definition_key(kTable, 1);
  store.erase(KeyView(block1.data(), block1.size()));
  DefinitionReader reader(store, kTable);
  for (size_t i = 0; i < 1300; ++i) {
    ASSERT_EQ(reader.u8(), i >= 512 && i < 1024 ? 0 : 0x11) << i;
  }
}

TEST(TableDefinitionTest, StringsEmptyAndAbsent) {
  DefinitionWriter w;
  w.put_string("AB");
  w.put_string("");
  w.put_absent_string();
  w.put_optional_string("");
  w.put_optional_string("K");
  EXPECT_EQ(w.stream(), (Bytes{'A', 'B', 0, 0, 0, 0, 1, 0, 1, 'K', 0}));
  MapRecordStore store;
  store_definition_stream(store, kTable, w.stream());
  DefinitionReader r(store, kTable);
  EXPECT_EQ(r.string(), "AB");
  EXPECT_EQ(r.string(), "");
  EXPECT_EQ(r.string(), std::nullopt);
  EXPECT_EQ(r.string(), std::nullopt);
  EXPECT_EQ(r.string(), "K");
}

TEST(TableDefinitionTest, CheckAgainstADifferentDeclaration) {
  TableDecl stored = passport_declaration();
  stored.fields.push_back(field_decl("PSP:AMOUNT", FieldType::kDecimal, 798, 6, 1, false, 2));
  stored.record_length = 804;
  stored.memos = {{"PSP:NOTE", "", 1000, 0}, {"PSP:SCAN", "", 0, memo_flag::kBlob}};
  MapRecordStore store;
  write_definition(store, kTable, stored);

  struct Case {
    const char* name;
    std::function<void(TableDecl&)> change;
    const char* attribute;  // nullptr: opens
  };
  const Case cases[] = {
      {"same", [](TableDecl&) {}, nullptr},
      {"other picture", [](TableDecl& d) { d.fields[0].picture = "@s10"; }, nullptr},
      {"other names and labels",
       [](TableDecl& d) {
         d.fields[1].label = "X";
         d.keys[0].label = "Y";
         d.memos[0].external_name = "Z";
       },
       nullptr},
      {"other offset", [](TableDecl& d) { d.fields[3].offset = 1; }, nullptr},
      {"longer record buffer", [](TableDecl& d) { d.record_length = 900; }, nullptr},
      {"primary bit", [](TableDecl& d) { d.keys[2].attributes |= key_attr::kPrimary; }, nullptr},
      {"other blob size", [](TableDecl& d) { d.memos[1].size = 77; }, nullptr},
      {"LONG where the file has a STRING",
       [](TableDecl& d) { d.fields[1].type = FieldType::kLong; }, "TYPE"},
      {"one field less", [](TableDecl& d) { d.fields.pop_back(); }, "FIELDS"},
      {"one memo less", [](TableDecl& d) { d.memos.pop_back(); }, "MEMOS"},
      {"one key less", [](TableDecl& d) { d.keys.pop_back(); }, "KEYS"},
      {"array", [](TableDecl& d) { d.fields[0].elements = 2; }, "DIM"},
      {"size", [](TableDecl& d) { d.fields[2].size = 251; }, "SIZE"},
      {"over", [](TableDecl& d) { d.fields[4].over = true; }, "OVER"},
      {"places", [](TableDecl& d) { d.fields[6].places = 3; }, "PLACES"},
      {"memo size", [](TableDecl& d) { d.memos[0].size = 999; }, "SIZE"},
      {"binary", [](TableDecl& d) { d.memos[0].flags |= memo_flag::kBinary; }, "BINARY"},
      {"key attributes", [](TableDecl& d) { d.keys[1].attributes &= ~key_attr::kDup; },
       "ATTRIBUTE"},
      {"key components", [](TableDecl& d) { d.keys[2].components.push_back({0}); }, "FIELDS"},
      {"key field", [](TableDecl& d) { d.keys[0].components[1].field = 2; }, "FIELD"},
      {"key direction", [](TableDecl& d) { d.keys[3].components[2].descending = true; },
       "ASCENDING"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableDecl decl = stored;
    c.change(decl);
    DefinitionResult result = check_definition(store, kTable, decl);
    if (c.attribute == nullptr) {
      EXPECT_TRUE(result.ok()) << result.attribute;
    } else {
      EXPECT_EQ(result.error, kInvalidRecordDeclaration);
      EXPECT_EQ(result.attribute, c.attribute);
    }
  }

  // DecimalCheck OFF reads places and element size without comparing them.
  TableDecl decimal = stored;
  decimal.fields[6].places = 4;
  EXPECT_TRUE(check_definition(store, kTable, decimal, false).ok());
  decimal.fields[6].size = 5;  // still compared as the field's size
  EXPECT_EQ(check_definition(store, kTable, decimal, false).attribute, "SIZE");
}

TEST(TableDefinitionTest, NewerVersionIsRefusedByTheCheckOnly) {
  TableDecl decl = passport_declaration();
  Bytes stream = encode_definition(decl);
  stream[0] = 3;
  MapRecordStore store;
  store_definition_stream(store, kTable, stream);
  DefinitionResult result = check_definition(store, kTable, decl);
  EXPECT_EQ(result.error, kInvalidRecordDeclaration);
  EXPECT_EQ(result.attribute, "VERSION");
  EXPECT_EQ(result.text,
            "You are attempting to open a newer Halvik file format than the driver supports");
  TableDecl read;
  EXPECT_TRUE(read_definition(store, kTable, &read).ok());
  EXPECT_EQ(read.fields.size(), 6u);
}

TEST(TableDefinitionTest, VersionTwoWithBlobs) {
  TableDecl decl = passport_declaration();
  decl.memos = {{"PSP:SCAN", "SCAN", 0, memo_flag::kBlob | memo_flag::kBinary}};
  EXPECT_EQ(encode_definition(decl)[0], 2);
  MapRecordStore store;
  write_definition(store, kTable, decl);
  TableDecl read;
  ASSERT_TRUE(read_definition(store, kTable, &read).ok());
  ASSERT_EQ(read.memos.size(), 1u);
  EXPECT_EQ(read.memos[0].label, "PSP:SCAN");
  EXPECT_EQ(read.memos[0].external_name, "SCAN");
  EXPECT_EQ(read.memos[0].flags, memo_flag::kBlob | memo_flag::kBinary);
  EXPECT_EQ(read.keys[3].components.size(), 4u);
  EXPECT_EQ(read.keys[3].components[0].field, 4);
  EXPECT_EQ(read.fields[5].picture, "@s500");
  EXPECT_EQ(read.record_length, 798);
}

TEST(TableDefinitionTest, DeclarationLimits) {
  struct Case {
    const char* name;
    std::function<void(TableDecl&)> change;
    int error;
    const char* attribute;
  };
  auto add_field = [](TableDecl& d, FieldDecl f) {
    d.fields.push_back(f);
    d.record_length = uint16_t(std::max<int>(d.record_length, f.offset + f.size));
  };
  const Case cases[] = {
      {"passport", [](TableDecl&) {}, kNoError, ""},
      {"PDECIMAL of its own",
       [&](TableDecl& d) { add_field(d, field_decl("X", FieldType::kPDecimal, 798, 4)); },
       kInvalidRecordDeclaration, "TYPE"},
      {"PDECIMAL over another field",
       [&](TableDecl& d) { add_field(d, field_decl("X", FieldType::kPDecimal, 290, 4, 1, true)); },
       kNoError, ""},
      {"unknown type", [&](TableDecl& d) { add_field(d, field_decl("X", FieldType(12), 798, 4)); },
       kInvalidRecordDeclaration, "TYPE"},
      {"gap before a field", [](TableDecl& d) { d.fields[1].offset = 21; },
       kInvalidFieldTypeDescriptor, ""},
      {"GROUP with its members",
       [&](TableDecl& d) {
         add_field(d, field_decl("G", FieldType::kGroup, 798, 8));
         add_field(d, field_decl("A", FieldType::kLong, 798, 4));
         add_field(d, field_decl("B", FieldType::kLong, 802, 4));
       },
       kNoError, ""},
      {"array over 15000 bytes",
       [&](TableDecl& d) {
         d.fields = {field_decl("A", FieldType::kByte, 0, 15001, 15001)};
         d.keys.clear();
         d.record_length = 15001;
       },
       kInvalidRecordDeclaration, "DIM"},
      {"fields over 15000 bytes",
       [&](TableDecl& d) { add_field(d, field_decl("X", FieldType::kString, 798, 14203)); },
       kInvalidRecordDeclaration, "SIZE"},
      {"overlay not counted",
       [&](TableDecl& d) {
         add_field(d, field_decl("X", FieldType::kString, 798, 14202));
         add_field(d, field_decl("Y", FieldType::kString, 0, 798, 1, true));
       },
       kNoError, ""},
      {"STRING over 15000",
       [&](TableDecl& d) {
         d.fields = {field_decl("A", FieldType::kString, 0, 15001)};
         d.keys.clear();
         d.record_length = 15001;
       },
       kInvalidRecordDeclaration, "SIZE"},
      {"empty CSTRING",
       [&](TableDecl& d) { add_field(d, field_decl("X", FieldType::kCString, 798, 0)); },
       kInvalidRecordDeclaration, "SIZE"},
      {"field beyond the record", [](TableDecl& d) { d.record_length = 797; },
       kInvalidRecordDeclaration, "SIZE"},
      {"241 keys", [](TableDecl& d) { d.keys.resize(241, d.keys[0]); }, kInvalidRecordDeclaration,
       "KEY"},
      {"240 keys", [](TableDecl& d) { d.keys.resize(240, d.keys[0]); }, kNoError, ""},
      {"array in a key",
       [&](TableDecl& d) {
         add_field(d, field_decl("X", FieldType::kLong, 798, 8, 2));
         d.keys[0].components.push_back({6});
       },
       kInvalidFieldTypeDescriptor, ""},
      {"key naming no field", [](TableDecl& d) { d.keys[0].components.push_back({6}); },
       kInvalidRecordDeclaration, "FIELD"},
      {"key of 7527 bytes",
       [&](TableDecl& d) {
         add_field(d, field_decl("X", FieldType::kString, 798, 7527));
         d.keys[0].components = {{6}};
       },
       kInvalidRecordDeclaration, "KEY"},
      {"key of 7526 bytes",
       [&](TableDecl& d) {
         add_field(d, field_decl("X", FieldType::kString, 798, 7526));
         d.keys[0].components = {{6}};
       },
       kNoError, ""},
      {"256 memos",
       [](TableDecl& d) {
         d.memos.resize(256, {"M", "", 10, 0});
       },
       kInvalidRecordDeclaration, "MEMO"},
      {"256 blobs",
       [](TableDecl& d) {
         d.memos.resize(256, {"B", "", 0, memo_flag::kBlob});
       },
       kInvalidRecordDeclaration, "BLOB"},
      {"memo over 64000",
       [](TableDecl& d) {
         d.memos = {{"M", "", 64001, 0}};
       },
       kInvalidRecordDeclaration, "SIZE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TableDecl decl = passport_declaration();
    c.change(decl);
    DefinitionResult result = check_declaration_limits(decl);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(result.attribute, c.attribute);
  }
  TableDecl long_key = passport_declaration();
  long_key.fields.push_back(field_decl("X", FieldType::kString, 798, 7527));
  long_key.record_length = 798 + 7527;
  long_key.keys[0].components = {{6}};
  EXPECT_EQ(check_declaration_limits(long_key).text,
            "Key components are more than a total of 7526 bytes long");
}

TEST(TableDefinitionTest, MissingAndDamagedStreams) {
  TableDecl decl = passport_declaration();
  MapRecordStore empty;
  // A missing definition reads as zeros: no fields, no keys.
  EXPECT_EQ(check_definition(empty, kTable, decl).attribute, "FIELDS");
  TableDecl read;
  ASSERT_TRUE(read_definition(empty, kTable, &read).ok());
  EXPECT_TRUE(read.fields.empty());

  Bytes stream = encode_definition(decl);
  std::random_device device;
  unsigned seed = device();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 rng(seed);
  for (int round = 0; round < 2000; ++round) {
    Bytes damaged = stream;
    if (round % 3 == 0) damaged.resize(rng() % stream.size() + 1);
    for (int f = int(rng() % 6); f > 0; --f) damaged[rng() % damaged.size()] = uint8_t(rng());
    MapRecordStore store;
    store_definition_stream(store, kTable, damaged);
    check_definition(store, kTable, decl);
    TableDecl structure;
    if (!read_definition(store, kTable, &structure).ok()) continue;
    // Whatever is read back can be used: fields inside the record, components on fields.
    for (const FieldDecl& f : structure.fields) {
      ASSERT_LE(f.offset + f.size, structure.record_length);
    }
    for (const KeyDecl& k : structure.keys) {
      for (const KeyComponent& c : k.components) ASSERT_LT(c.field, structure.fields.size());
    }
  }
}

}  // namespace
}  // namespace orvel::datafile
