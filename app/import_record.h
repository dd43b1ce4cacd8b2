// The import record: one line of the semicolon-separated text files that import reads and
// export writes.
//
// IMP, record length 830, all fields STRING; note COMMENT before DATE_IMP, unlike PSP:
//   no.  offset  width  field
//   0    0       20     SER
//   1    20      20     NUM
//   2    40      250    FIO
//   3    290     20     DATE_PAS  a date as text in the picture d10- (2006-01-05)
//   4    310     500    COMMENT
//   5    810     20     DATE_IMP  likewise
//
// The file behind it, labelled "import", has no keys; its name is taken at each open from
// the import file name, and its driver options are "/COMMA=59" (fields separated by ';').
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <vector>

#include "app/record_fields.h"
#include "datafile/declaration.h"

namespace orvel::app {

struct IMP {
  char SER[20];
  char NUM[20];
  char FIO[250];
  char DATE_PAS[20];
  char COMMENT[500];
  char DATE_IMP[20];
};

inline constexpr size_t kImportRecordLength = 830;
inline constexpr const char* kImportLabel = "import";
inline constexpr const char* kImportDriverOptions = "/COMMA=59";

// The six fields in declaration order, labels "IMP:SER" and so on. Built once.
const std::vector<datafile::FieldDecl>& imp_fields();

// The declaration of the import file for the given name: label "import", driver options
// "/COMMA=59", record length 830, the fields above, no keys, attribute CREATE.
datafile::TableDecl import_table(std::string file_name);

// All fields to blanks.
void clear(IMP& record);

static_assert(std::is_trivially_copyable_v<IMP> && std::is_standard_layout_v<IMP>);
static_assert(sizeof(IMP) == kImportRecordLength);
static_assert(offsetof(IMP, SER) == 0);
static_assert(offsetof(IMP, NUM) == 20);
static_assert(offsetof(IMP, FIO) == 40);
static_assert(offsetof(IMP, DATE_PAS) == 290);
static_assert(offsetof(IMP, COMMENT) == 310);
static_assert(offsetof(IMP, DATE_IMP) == 810);

}  // namespace orvel::app
