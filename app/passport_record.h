// The passport record, its four keys and the passport file; the search-result row and the
// browse row, which carry the same six fields.
//
// The passport file `passport.hvk` holds one table of passport records, one entry of the
// directory of invalid passports each. There is no unique identifier: two records may be
// equal in every field. Dates are day numbers (app/dates.h), 0 for no date.
//
// PSP, record length 798 (RQ has the same layout):
//   no.  offset  width  field     type
//   0    0       20     SER       STRING  passport series, e.g. "45 04"
//   1    20      20     NUM       STRING  passport number
//   2    40      250    FIO       STRING  holder's full name, upper-cased by import
//   3    290     4      DATE_PAS  LONG    date of the passport, a day number
//   4    294     4      DATE_IMP  LONG    date of the import, a day number
//   5    298     500    COMMENT   STRING  reason why the passport is invalid
// The field numbers are those of the key components.
//
// BrowseRow, row length 1823: the six fields above at the same offsets, then
//   6    798     1      MARK          BYTE    selection mark
//   7    799     1024   VIEWPOSITION  STRING  position of the row's record in the file
//
// Keys of the passport file, key numbers in declaration order; all four allow duplicates,
// ignore letter case, sort ascending and keep blank values:
//   0  PSP:KL_SER_NUM          SER, NUM                 "ser+num"
//   1  PSP:KL_NUM_SER          NUM, SER                 "num+ser"
//   2  PSP:KL_FIO              FIO                      "fio"
//   3  PSP:KL_DATEIMP_NUM_SER  DATE_IMP, NUM, SER, FIO  "date_imp+num+ser"
// KL_DATEIMP_NUM_SER has FIO as its fourth component although its name lists three.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "app/record_fields.h"
#include "datafile/declaration.h"

namespace orvel::app {

// The directory entry as the passport file stores it.
struct PSP {
  char SER[20];
  char NUM[20];
  char FIO[250];
  Int32Field DATE_PAS;
  Int32Field DATE_IMP;
  char COMMENT[500];
};

// One row of the search-result list, copied field for field from a passport record.
struct RQ {
  char SER[20];
  char NUM[20];
  char FIO[250];
  Int32Field DATE_PAS;
  Int32Field DATE_IMP;
  char COMMENT[500];
};

// One row of the passport browse list. MARK and VIEWPOSITION belong to the browse machinery
// and are never shown.
struct BrowseRow {
  char SER[20];
  char NUM[20];
  char FIO[250];
  Int32Field DATE_PAS;
  Int32Field DATE_IMP;
  char COMMENT[500];
  uint8_t MARK;
  char VIEWPOSITION[1024];
};

// Field numbers of the passport record, 0-based in declaration order.
enum PassportField : uint16_t {
  kPspSer = 0,
  kPspNum = 1,
  kPspFio = 2,
  kPspDatePas = 3,
  kPspDateImp = 4,
  kPspComment = 5,
};

// Key numbers of the passport file, 0-based in declaration order.
enum PassportKey : int {
  kKeySerNum = 0,
  kKeyNumSer = 1,
  kKeyFio = 2,
  kKeyDateImpNumSer = 3,
};

inline constexpr size_t kPassportRecordLength = 798;
inline constexpr size_t kBrowseRowLength = 1823;
inline constexpr const char* kPassportLabel = "passport";
// Without a directory: the file is opened in the process's current directory.
inline constexpr const char* kPassportFileName = "passport.hvk";

// The fields of each record in declaration order, labels with the record prefix ("PSP:SER",
// "RQ:SER", "BRW:SER"). Built once; valid for the whole run.
const std::vector<datafile::FieldDecl>& psp_fields();
const std::vector<datafile::FieldDecl>& rq_fields();
const std::vector<datafile::FieldDecl>& browse_row_fields();

// The four keys of the passport file in key-number order.
const std::vector<datafile::KeyDecl>& passport_keys();

// The declaration of the passport table: label "passport", file "passport.hvk", record
// length 798, the fields and keys above, no memos, no driver options, attributes CREATE and
// THREAD (not OEM: the image is stored unchanged).
datafile::TableDecl passport_table();

// Text fields to blanks, integers to 0.
void clear(PSP& record);
void clear(RQ& record);
void clear(BrowseRow& record);

// The layout above, fixed at compile time. RQ and BrowseRow carry the passport fields at
// the passport record's offsets, so that rows are filled by copying the record image.
template <typename R>
constexpr bool has_passport_fields() {
  return std::is_trivially_copyable_v<R> && std::is_standard_layout_v<R> && offsetof(R, SER) == 0 &&
         offsetof(R, NUM) == 20 && offsetof(R, FIO) == 40 && offsetof(R, DATE_PAS) == 290 &&
         offsetof(R, DATE_IMP) == 294 && offsetof(R, COMMENT) == 298;
}
static_assert(has_passport_fields<PSP>() && sizeof(PSP) == kPassportRecordLength);
static_assert(has_passport_fields<RQ>() && sizeof(RQ) == kPassportRecordLength);
static_assert(has_passport_fields<BrowseRow>() && sizeof(BrowseRow) == kBrowseRowLength);
static_assert(offsetof(BrowseRow, MARK) == 798);
static_assert(offsetof(BrowseRow, VIEWPOSITION) == 799);

}  // namespace orvel::app
