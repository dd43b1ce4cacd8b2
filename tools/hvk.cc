// hvk: a command-line tool for keyed data files of any layout.
//
//   hvk info FILE                  header, regions, pages, tables, keys and counts
//   hvk check FILE                 full integrity check: "ok" and exit 0, else one line per
//                                  problem and exit 1
//   hvk dump FILE [--table NAME]   the records of a table in record-number order
//
// The file is opened read-only, sharing with everyone, and never written; a commit another
// program left pending is read through its journal. Exit 2 when the file cannot be opened.
// Text is shown as UTF-8, converted from code page 1251.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "datafile/byte_order.h"
#include "datafile/corruption.h"
#include "datafile/data_file.h"
#include "datafile/data_record.h"
#include "datafile/file_summary.h"
#include "datafile/record_keys.h"
#include "datafile/table_check.h"
#include "datafile/table_definition.h"
#include "platform/cp1251.h"
#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/terminal.h"

namespace orvel {
namespace {

using namespace datafile;
namespace om = platform::open_mode;

int usage() {
  std::cerr << "usage: hvk info FILE\n"
               "       hvk check FILE\n"
               "       hvk dump FILE [--table NAME]\n";
  return 2;
}

int open_failed(const std::string& path, int rc) {
  std::cerr << "hvk: " << path << ": error " << rc << " " << error_text(rc) << "\n";
  return 2;
}

int open_file(const std::string& path, std::unique_ptr<DataFile>* out) {
  const int mode = om::kReadOnly | om::kDenyNone;
  std::unique_ptr<platform::File> file;
  if (int rc = platform::system_file_system().open(path, mode, platform::Disposition::kOpenExisting,
                                                   &file);
      rc != kNoError) {
    return rc;
  }
  return DataFile::open(std::move(file), mode, {}, out);
}

const char* type_name(FieldType type) {
  switch (type) {
    case FieldType::kByte:
      return "BYTE";
    case FieldType::kShort:
      return "SHORT";
    case FieldType::kUShort:
      return "USHORT";
    case FieldType::kDate:
      return "DATE";
    case FieldType::kTime:
      return "TIME";
    case FieldType::kLong:
      return "LONG";
    case FieldType::kULong:
      return "ULONG";
    case FieldType::kSReal:
      return "SREAL";
    case FieldType::kReal:
      return "REAL";
    case FieldType::kDecimal:
      return "DECIMAL";
    case FieldType::kPDecimal:
      return "PDECIMAL";
    case FieldType::kString:
      return "STRING";
    case FieldType::kCString:
      return "CSTRING";
    case FieldType::kPString:
      return "PSTRING";
    case FieldType::kGroup:
      return "GROUP";
  }
  return "?";
}

std::string key_attributes(uint8_t a) {
  std::string out;
  if (a & key_attr::kDup) out += " DUP";
  if (a & key_attr::kOpt) out += " OPT";
  if (a & key_attr::kNoCase) out += " NOCASE";
  if (a & key_attr::kPrimary) out += " PRIMARY";
  if (a & key_attr::kIndex) out += " INDEX";
  return out;
}

std::string utf8(std::string_view text) {
  return platform::cp1251_to_utf8(text);
}

int info(const std::string& path) {
  std::unique_ptr<DataFile> file;
  if (int rc = open_file(path, &file); rc != kNoError) return open_failed(path, rc);
  FileSummary s = summarize(file.get());
  std::printf("data end        0x%X\njournal end     0x%X\nchange counter  %u\n", s.data_end,
              s.journal_end, s.change_counter);
  std::printf("last issued     %u\nroot page       %d\n", s.last_issued, s.root);
  std::printf("regions\n");
  for (const RegionSummary& r : s.regions) {
    std::printf("  class %2d  %d..%d  %d pages\n", r.size_class, r.start, r.end,
                (r.end - r.start) / r.size_class);
  }
  std::printf("pages by level and size class\n");
  for (const auto& [where, count] : s.pages) {
    std::printf("  level %d  class %2d  %u\n", where.first, where.second, count);
  }
  for (const TableSummary& t : s.tables) {
    std::printf("table %s  number %u  records %u%s\n", utf8(t.name).c_str(), t.number, t.records,
                t.oem ? "  OEM" : "");
    if (t.definition_error != kNoError) {
      std::printf("  definition unreadable: error %d\n", t.definition_error);
      continue;
    }
    std::printf("  record length %u\n", t.definition.record_length);
    for (size_t f = 0; f < t.definition.fields.size(); ++f) {
      const FieldDecl& field = t.definition.fields[f];
      std::printf("  field %zu  %-24s %-8s offset %u size %u%s\n", f, utf8(field.label).c_str(),
                  type_name(field.type), field.offset, field.size, field.over ? " over" : "");
    }
    for (size_t k = 0; k < t.definition.keys.size(); ++k) {
      const KeyDecl& key = t.definition.keys[k];
      std::string components;
      for (const KeyComponent& c : key.components) {
        components +=
            " " + (c.field < t.definition.fields.size() ? utf8(t.definition.fields[c.field].label)
                                                        : std::to_string(c.field));
        if (c.descending) components += "-";
      }
      std::printf("  key %zu  %s%s  (%s )  entries %u\n", k, utf8(key.label).c_str(),
                  key_attributes(key.attributes).c_str(), components.c_str(),
                  k < t.key_entries.size() ? t.key_entries[k] : 0);
    }
  }
  return 0;
}

int check(const std::string& path) {
  std::unique_ptr<DataFile> file;
  if (int rc = open_file(path, &file); rc != kNoError) return open_failed(path, rc);
  std::vector<std::string> problems;
  try {
    problems = check_file(file.get());
  } catch (const CorruptionError& e) {
    problems.push_back(corruption_fatal_text(e.check()));
  }
  if (problems.empty()) {
    std::printf("ok\n");
    return 0;
  }
  for (const std::string& p : problems) std::printf("%s\n", p.c_str());
  return 1;
}

// A field's value as text: numbers in decimal, text trimmed and escaped.
std::string field_text(const FieldDecl& field, const uint8_t* image) {
  const uint8_t* p = image + field.offset;
  auto escaped = [](std::string_view text) {
    std::string out;
    for (char c : text) {
      if (c == '\\')
        out += "\\\\";
      else if (c == '\t')
        out += "\\t";
      else if (c == '\n')
        out += "\\n";
      else if (c == '\r')
        out += "\\r";
      else
        out += c;
    }
    return platform::cp1251_to_utf8(out);
  };
  switch (field.type) {
    case FieldType::kByte:
      return std::to_string(p[0]);
    case FieldType::kShort:
      return std::to_string(int16_t(load_u16_le(p)));
    case FieldType::kUShort:
      return std::to_string(load_u16_le(p));
    case FieldType::kLong:
      return std::to_string(int32_t(load_u32_le(p)));
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kULong:
      return std::to_string(load_u32_le(p));
    case FieldType::kSReal: {
      float v;
      std::memcpy(&v, p, sizeof v);
      return std::to_string(v);
    }
    case FieldType::kReal: {
      double v;
      std::memcpy(&v, p, sizeof v);
      return std::to_string(v);
    }
    case FieldType::kString: {
      std::string_view text(reinterpret_cast<const char*>(p), field.size);
      return escaped(text.substr(0, text.find_last_not_of(' ') + 1));
    }
    case FieldType::kCString: {
      std::string_view text(reinterpret_cast<const char*>(p), field.size);
      return escaped(text.substr(0, text.find('\0')));
    }
    case FieldType::kPString: {
      size_t length = field.size == 0 ? 0 : std::min<size_t>(p[0], field.size - 1u);
      return escaped(std::string_view(reinterpret_cast<const char*>(p + 1), length));
    }
    default: {
      static const char* digits = "0123456789ABCDEF";
      std::string hex;
      for (uint16_t i = 0; i < field.size; ++i) {
        hex += digits[p[i] >> 4];
        hex += digits[p[i] & 15];
      }
      return hex;
    }
  }
}

int dump(const std::string& path, std::string table_name) {
  std::unique_ptr<DataFile> file;
  if (int rc = open_file(path, &file); rc != kNoError) return open_failed(path, rc);
  for (char& c : table_name) c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  try {
    TreeRecordStore store(&file->tree());
    Bytes name_key = table_name_key(table_name);
    auto named = store.find_equal(KeyView(name_key.data(), name_key.size()));
    if (!named || named->data().size() != 4) {
      std::cerr << "hvk: " << path << ": no table " << table_name << "\n";
      return 2;
    }
    uint32_t table = load_u32_be(named->data().data());
    TableDecl decl;
    if (DefinitionResult r = read_definition(store, table, &decl); !r.ok()) {
      std::cerr << "hvk: " << path << ": definition unreadable: error " << r.error << "\n";
      return 2;
    }
    Bytes collation_of_table = collation_key(table);
    auto collation =
        store.find_equal(KeyView(collation_of_table.data(), collation_of_table.size()));
    bool oem = collation && !collation->data().empty() && collation->data()[0] == 1;
    Bytes image(decl.record_length, 0);
    Bytes start = data_key(table, 0);
    for (auto record = store.find_first_above(KeyView(start.data(), start.size()));
         record && record->key_length == kDataKeyLength &&
         table_number_of(record->key()) == table && record->bytes[4] == record_kind::kData;
         record = store.find_first_above(record->key())) {
      read_data_record(*record, decl, oem, image.data(), image.size());
      std::string line = std::to_string(record_number_of(record->key()));
      for (const FieldDecl& field : decl.fields) {
        if (field.type == FieldType::kGroup) continue;
        line += "\t" + field_text(field, image.data());
      }
      std::printf("%s\n", line.c_str());
    }
  } catch (const CorruptionError& e) {
    std::cerr << "hvk: " << path << ": " << corruption_fatal_text(e.check()) << "\n";
    return 2;
  }
  return 0;
}

}  // namespace
}  // namespace orvel

int main(int argc, char** argv) {
  orvel::platform::prepare_standard_streams();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2) return orvel::usage();
  const std::string& command = args[0];
  const std::string& path = args[1];
  try {
    if (command == "info" && args.size() == 2) return orvel::info(path);
    if (command == "check" && args.size() == 2) return orvel::check(path);
    if (command == "dump" && args.size() == 2) return orvel::dump(path, "UNNAMED");
    if (command == "dump" && args.size() == 4 && args[2] == "--table") {
      return orvel::dump(path, args[3]);
    }
  } catch (const orvel::datafile::CorruptionError& e) {
    std::cerr << "hvk: " << path << ": " << orvel::datafile::corruption_fatal_text(e.check())
              << "\n";
    return 2;
  }
  return orvel::usage();
}
