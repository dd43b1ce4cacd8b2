// The record of the list-formats file, in which the platform's list-format manager keeps
// named column layouts of lists. The program itself reads and writes nothing in it; it only
// declares the file for the manager.
//
// CFG, record length 7265:
//   no.  offset  width  field       type
//   0    0       30     APPNAME     STRING  application name ("orvel")
//   1    30      30     PROCID      STRING  procedure name ("Main")
//   2    60      2      USERID      SHORT
//   3    62      2      CTRLID      SHORT
//   4    64      2      FORMATID    SHORT   layout number
//   5    66      30     FORMATNAME  STRING  name the layout was saved under
//   6    96      1      FLAG        BYTE
//   7    97      5120   FORMAT      STRING  the list's column-format text
//   8    5217    2048   VARLINE     STRING
//
// One key, key number 0, CFG:KEY_MAIN on APPNAME, PROCID, USERID, CTRLID, FORMATID:
// ascending, unique, case-insensitive, and optional (no entry when all its values are blank
// or zero).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "app/record_fields.h"
#include "datafile/declaration.h"

namespace orvel::app {

struct CFG {
  char APPNAME[30];
  char PROCID[30];
  Int16Field USERID;
  Int16Field CTRLID;
  Int16Field FORMATID;
  char FORMATNAME[30];
  uint8_t FLAG;
  char FORMAT[5120];
  char VARLINE[2048];
};

// Field numbers of the list-formats record, 0-based in declaration order.
enum ListFormatsField : uint16_t {
  kCfgAppName = 0,
  kCfgProcId = 1,
  kCfgUserId = 2,
  kCfgCtrlId = 3,
  kCfgFormatId = 4,
  kCfgFormatName = 5,
  kCfgFlag = 6,
  kCfgFormat = 7,
  kCfgVarLine = 8,
};

inline constexpr size_t kListFormatsRecordLength = 7265;
inline constexpr const char* kListFormatsLabel = "formats";
// The fixed place of the file; its directory is created when missing.
inline constexpr const char* kListFormatsFileName = "C:\\Temp\\Formats.FDB";

// The nine fields in declaration order, labels "CFG:APPNAME" and so on. Built once.
const std::vector<datafile::FieldDecl>& cfg_fields();

// The one key, CFG:KEY_MAIN.
const std::vector<datafile::KeyDecl>& list_formats_keys();

// The declaration of the list-formats table in the given file: label "formats", record
// length 7265, the fields and the key above, no memos, no driver options, attribute CREATE.
datafile::TableDecl list_formats_table(std::string file_name);

// Text fields to blanks, integers to 0.
void clear(CFG& record);

static_assert(std::is_trivially_copyable_v<CFG> && std::is_standard_layout_v<CFG>);
static_assert(sizeof(CFG) == kListFormatsRecordLength);
static_assert(offsetof(CFG, APPNAME) == 0);
static_assert(offsetof(CFG, PROCID) == 30);
static_assert(offsetof(CFG, USERID) == 60);
static_assert(offsetof(CFG, CTRLID) == 62);
static_assert(offsetof(CFG, FORMATID) == 64);
static_assert(offsetof(CFG, FORMATNAME) == 66);
static_assert(offsetof(CFG, FLAG) == 96);
static_assert(offsetof(CFG, FORMAT) == 97);
static_assert(offsetof(CFG, VARLINE) == 5217);

}  // namespace orvel::app
