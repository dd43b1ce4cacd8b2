// A passport table on an in-memory file system for the browse tests (GoogleTest and QtTest
// alike), with entries put in directly and the record fields read back by name. A failure
// to set the table up ends the test program, as nothing after it could be trusted.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/passport_record.h"
#include "app/record_buffer.h"
#include "datafile/table.h"
#include "platform/browse/row_source.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"

namespace orvel::browse::testing {

inline datafile::TableDecl passport_decl() {
  datafile::TableDecl decl = app::passport_table();
  decl.file_name = "/data/passport.hvk";
  return decl;
}

inline void require(int rc, const char* what) {
  if (rc == kNoError) return;
  std::fprintf(stderr, "%s failed with error %d\n", what, rc);
  std::abort();
}

class PassportTable {
 public:
  PassportTable() : decl_(passport_decl()), table_(decl_, fs_) {
    fs_.add_directory("/data");
    require(table_.create(), "create");
    require(table_.open(0x42), "open");
  }

  datafile::Table& table() { return table_; }

  uint32_t add(const std::string& ser, const std::string& num, const std::string& fio = "",
               int32_t date_pas = 0) {
    app::PSP record;
    app::clear(record);
    app::assign(record.SER, ser);
    app::assign(record.NUM, num);
    app::assign(record.FIO, fio);
    record.DATE_PAS.set(date_pas);
    app::write_record(table_, record);
    require(table_.add(), "add");
    return table_.pointer();
  }

 private:
  platform::MemFileSystem fs_;
  datafile::TableDecl decl_;
  datafile::Table table_;
};

inline const app::PSP& passport(const BrowseRecord& row) {
  return *reinterpret_cast<const app::PSP*>(row.image.data());
}

inline std::string num(const BrowseRecord& row) {
  return app::trimmed_string(passport(row).NUM);
}

inline std::vector<std::string> nums(const Rows& rows) {
  std::vector<std::string> out;
  for (const BrowseRecord& row : rows) out.push_back(num(row));
  return out;
}

}  // namespace orvel::browse::testing
