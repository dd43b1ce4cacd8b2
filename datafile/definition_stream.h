// The byte stream of a table definition and its storage as definition records.
//
// Numbers in the stream are u16 little-endian unless written as u8. A string is its
// characters and a 0x00 byte; an empty string is 0x00 0x00 and an absent one 0x00 0x01.
// The stream is cut into 512-byte blocks, block k being the data of the definition record
// (table number, 0xFA, k as u16 little-endian); every block but the last is full.
//
// The reader fetches blocks as it goes. A missing block, and the rest of a short one, read
// as zero bytes, so a damaged or truncated stream yields zeros, never a read out of bounds.
// Both classes keep a reference to the store; it must outlive them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "datafile/record_store.h"

namespace orvel::datafile {

inline constexpr size_t kDefinitionBlockSize = 512;

class DefinitionWriter {
 public:
  void put_u8(uint8_t value) { stream_.push_back(value); }
  void put_u16(uint16_t value);
  void put_string(std::string_view text);
  void put_absent_string();
  // Absent when empty: how the optional names of memos and keys are written.
  void put_optional_string(std::string_view text);

  const Bytes& stream() const { return stream_; }

 private:
  Bytes stream_;
};

// Inserts the blocks of stream as definition records of table.
void store_definition_stream(RecordStore& store, uint32_t table, const Bytes& stream);

class DefinitionReader {
 public:
  DefinitionReader(RecordStore& store, uint32_t table);
  DefinitionReader(const DefinitionReader&) = delete;
  DefinitionReader& operator=(const DefinitionReader&) = delete;

  uint8_t u8();
  uint16_t u16();
  // nullopt for an absent string.
  std::optional<std::string> string();

 private:
  void load_block(uint32_t block);

  RecordStore& store_;
  uint32_t table_;
  uint32_t block_ = 0;  // number of the block in block_bytes_
  size_t position_ = 0;
  uint8_t block_bytes_[kDefinitionBlockSize];
};

}  // namespace orvel::datafile
