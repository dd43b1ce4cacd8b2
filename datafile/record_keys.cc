#include "datafile/record_keys.h"

#include "datafile/byte_order.h"

namespace orvel::datafile {
namespace {

Bytes with_prefix(uint32_t table, uint8_t kind, size_t length) {
  Bytes key(length);
  store_u32_be(key.data(), table);
  key[4] = kind;
  return key;
}

}  // namespace

Bytes table_kind_prefix(uint32_t table, uint8_t kind) {
  return with_prefix(table, kind, kTablePrefixLength);
}

DataKey::DataKey(uint32_t table, uint32_t record_number) {
  store_u32_be(bytes_, table);
  bytes_[4] = record_kind::kData;
  store_u32_be(bytes_ + 5, record_number);
}

Bytes data_key(uint32_t table, uint32_t record_number) {
  const DataKey key(table, record_number);
  return Bytes(key.view().begin(), key.view().end());
}

Bytes statistics_key(uint32_t table, uint8_t index) {
  Bytes key = with_prefix(table, record_kind::kStatistics, kStatisticsKeyLength);
  key[5] = index;
  return key;
}

Bytes definition_key(uint32_t table, uint16_t block) {
  Bytes key = with_prefix(table, record_kind::kDefinition, kDefinitionKeyLength);
  store_u16_le(key.data() + 5, block);
  return key;
}

Bytes collation_key(uint32_t table) {
  Bytes key = with_prefix(table, record_kind::kCollation, kCollationKeyLength);
  key[5] = kCollationTag;
  return key;
}

Bytes memo_chunk_key(uint32_t table, uint32_t record_number, uint8_t memo, uint16_t sequence) {
  Bytes key = with_prefix(table, record_kind::kMemoChunk, kMemoChunkKeyLength);
  store_u32_be(key.data() + 5, record_number);
  key[9] = memo;
  store_u16_be(key.data() + 10, sequence);
  return key;
}

Bytes memo_prefix(uint32_t table, uint32_t record_number, uint8_t memo) {
  Bytes key = memo_chunk_key(table, record_number, memo, 0);
  key.resize(kMemoPrefixLength);
  return key;
}

Bytes table_name_key(std::string_view name) {
  Bytes key;
  key.reserve(1 + name.size());
  key.push_back(record_kind::kTableName);
  key.insert(key.end(), name.begin(), name.end());
  return key;
}

Bytes transaction_marker_key() {
  return Bytes{record_kind::kTransactionMarker};
}

bool has_prefix(KeyView key, KeyView prefix) {
  return key.substr(0, prefix.size()) == prefix;
}

uint32_t table_number_of(KeyView key) {
  return load_u32_be(key.data());
}

uint32_t record_number_of(KeyView key) {
  return load_u32_be(key.data() + 5);
}

uint16_t memo_sequence_of(KeyView key) {
  return load_u16_be(key.data() + 10);
}

}  // namespace orvel::datafile
