// The record keys of every kind of record a keyed data file holds.
//
// Every record but the sentinel, the table names and the transaction marker starts with the
// table number (4 bytes big-endian, as issued) and a kind byte, so the records of one table
// are adjacent and follow one another by kind:
//   kind        record              key after the table number and kind         K
//   0x00-0xEF   key entry of key k  encoded key value [, record number BE]      5 + ...
//   0xF3        data record         record number, u32 big-endian               9
//   0xF6        statistics          key number, or 0xF3 for the table           6
//   0xFA        definition block    block number, u16 little-endian             7
//   0xFB        collation tables    0x01                                        6
//   0xFC        memo chunk          record number BE, memo number u8,           12
//                                   chunk sequence u16 BE
// Records without a table number: the sentinel (empty key, first of every tree), the table
// name 0xFE + upper-case name (data: the table number), the transaction marker 0xFF.
// Table numbers never have a first byte above 0xFD, so table names sort after all tables.
#pragma once

#include <cstdint>
#include <string_view>

#include "datafile/record.h"

namespace orvel::datafile {

namespace record_kind {
constexpr uint8_t kLastKeyNumber = 0xEF;
constexpr uint8_t kData = 0xF3;
constexpr uint8_t kStatistics = 0xF6;
constexpr uint8_t kDefinition = 0xFA;
constexpr uint8_t kCollation = 0xFB;
constexpr uint8_t kMemoChunk = 0xFC;
constexpr uint8_t kTableName = 0xFE;
constexpr uint8_t kTransactionMarker = 0xFF;
}  // namespace record_kind

// The index byte of the statistics record of the table itself.
constexpr uint8_t kTableStatistics = 0xF3;
constexpr uint8_t kCollationTag = 0x01;

constexpr uint16_t kTablePrefixLength = 5;
constexpr uint16_t kDataKeyLength = 9;
constexpr uint16_t kStatisticsKeyLength = 6;
constexpr uint16_t kDefinitionKeyLength = 7;
constexpr uint16_t kCollationKeyLength = 6;
constexpr uint16_t kMemoChunkKeyLength = 12;
constexpr uint16_t kMemoPrefixLength = 10;  // up to and including the memo number

// Table number and kind: the first five bytes of every record of that kind of the table.
// For a key number it is the prefix of the key's entries.
Bytes table_kind_prefix(uint32_t table, uint8_t kind);
Bytes data_key(uint32_t table, uint32_t record_number);
// The same key held in place, for the paths that read a record per operation.
class DataKey {
 public:
  DataKey(uint32_t table, uint32_t record_number);
  KeyView view() const { return KeyView(bytes_, kDataKeyLength); }

 private:
  uint8_t bytes_[kDataKeyLength];
};
Bytes statistics_key(uint32_t table, uint8_t index);
Bytes definition_key(uint32_t table, uint16_t block);
Bytes collation_key(uint32_t table);
Bytes memo_chunk_key(uint32_t table, uint32_t record_number, uint8_t memo, uint16_t sequence);
// The first 10 bytes of every chunk key of one memo of one record.
Bytes memo_prefix(uint32_t table, uint32_t record_number, uint8_t memo);
// 0xFE followed by the name as given; callers pass the upper-case table name.
Bytes table_name_key(std::string_view name);
Bytes transaction_marker_key();
// The sentinel: empty key, no data.
inline Record sentinel_record() {
  return Record{};
}

// Whether key starts with prefix.
bool has_prefix(KeyView key, KeyView prefix);
// The table number of a key that has one (at least 5 bytes, first byte below 0xFE).
uint32_t table_number_of(KeyView key);
// The record number of a data key, or of a memo chunk key (bytes 5 to 8).
uint32_t record_number_of(KeyView key);
// The chunk sequence number of a memo chunk key.
uint16_t memo_sequence_of(KeyView key);

}  // namespace orvel::datafile
