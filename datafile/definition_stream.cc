#include "datafile/definition_stream.h"

#include <algorithm>
#include <cstring>

#include "datafile/byte_order.h"
#include "datafile/record_keys.h"

namespace orvel::datafile {
namespace {

// Block numbers are u16; a reader that runs past the last one reads zeros instead of
// wrapping round to block 0.
constexpr uint32_t kBlockLimit = 0x10000;

}  // namespace

void DefinitionWriter::put_u16(uint16_t value) {
  uint8_t bytes[2];
  store_u16_le(bytes, value);
  stream_.insert(stream_.end(), bytes, bytes + 2);
}

void DefinitionWriter::put_string(std::string_view text) {
  stream_.insert(stream_.end(), text.begin(), text.end());
  stream_.push_back(0);
  if (text.empty()) stream_.push_back(0);
}

void DefinitionWriter::put_absent_string() {
  stream_.push_back(0);
  stream_.push_back(1);
}

void DefinitionWriter::put_optional_string(std::string_view text) {
  if (text.empty()) {
    put_absent_string();
  } else {
    put_string(text);
  }
}

void store_definition_stream(RecordStore& store, uint32_t table, const Bytes& stream) {
  for (size_t start = 0, block = 0; start < stream.size(); start += kDefinitionBlockSize, ++block) {
    size_t length = std::min(kDefinitionBlockSize, stream.size() - start);
    Bytes key = definition_key(table, uint16_t(block));
    store.insert(
        make_record(KeyView(key.data(), key.size()), KeyView(stream.data() + start, length)));
  }
}

DefinitionReader::DefinitionReader(RecordStore& store, uint32_t table)
    : store_(store), table_(table) {
  load_block(0);
}

void DefinitionReader::load_block(uint32_t block) {
  block_ = block;
  position_ = 0;
  std::memset(block_bytes_, 0, sizeof block_bytes_);
  if (block >= kBlockLimit) return;
  Bytes key = definition_key(table_, uint16_t(block));
  std::optional<Record> record = store_.find_equal(KeyView(key.data(), key.size()));
  if (!record) return;
  KeyView data = record->data();
  std::memcpy(block_bytes_, data.data(), std::min(data.size(), sizeof block_bytes_));
}

uint8_t DefinitionReader::u8() {
  if (position_ == kDefinitionBlockSize) {
    if (block_ >= kBlockLimit) return 0;
    load_block(block_ + 1);
  }
  return block_bytes_[position_++];
}

uint16_t DefinitionReader::u16() {
  uint8_t low = u8();
  return uint16_t(low | (u8() << 8));
}

std::optional<std::string> DefinitionReader::string() {
  std::string text;
  for (uint8_t c = u8(); c != 0; c = u8()) text.push_back(char(c));
  if (!text.empty()) return text;
  if (u8() == 1) return std::nullopt;
  return text;
}

}  // namespace orvel::datafile
