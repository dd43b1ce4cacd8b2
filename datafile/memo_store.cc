#include "datafile/memo_store.h"

#include <algorithm>

#include "datafile/byte_order.h"
#include "datafile/record_keys.h"
#include "platform/oem_codepage.h"

namespace orvel::datafile {
namespace {

constexpr uint8_t kSpace = 0x20;

bool is_blob(const MemoDecl& decl) {
  return decl.flags & memo_flag::kBlob;
}
bool converts(const MemoDecl& decl, bool oem) {
  return oem && !is_blob(decl) && !(decl.flags & memo_flag::kBinary);
}

KeyView view(const Bytes& bytes) {
  return KeyView(bytes.data(), bytes.size());
}

Record chunk_record(const MemoSlot& slot, uint16_t sequence, KeyView data) {
  Bytes key = memo_chunk_key(slot.table, slot.record_number, slot.memo, sequence);
  return make_record(view(key), data);
}

// Calls visit(record) for every stored chunk of the records whose keys start with prefix,
// in key order. visit may erase the record it is given.
template <class Visit>
void for_each_chunk(RecordStore& store, const Bytes& prefix, Visit visit) {
  Bytes cursor = prefix;
  for (;;) {
    std::optional<Record> record = store.find_first_above(view(cursor));
    if (!record || !has_prefix(record->key(), view(prefix))) return;
    cursor.assign(record->key().begin(), record->key().end());
    visit(*record);
  }
}

bool is_chunk_key(KeyView key) {
  return key.size() == kMemoChunkKeyLength;
}

}  // namespace

std::vector<Record> memo_chunks(const MemoSlot& slot, const MemoDecl& decl, bool oem,
                                KeyView value) {
  std::vector<Record> chunks;
  if (is_blob(decl)) {
    Bytes first(kBlobLengthPrefix);
    store_u32_le(first.data(), uint32_t(value.size()));
    for (size_t at = 0; at < value.size(); at += kBlobChunkSize) {
      KeyView piece = value.substr(at, kBlobChunkSize);
      if (at == 0) {
        first.insert(first.end(), piece.begin(), piece.end());
        chunks.push_back(chunk_record(slot, 0, view(first)));
      } else {
        chunks.push_back(chunk_record(slot, uint16_t(chunks.size()), piece));
      }
    }
    return chunks;
  }
  size_t length = value.size();
  while (length > 0 && value[length - 1] == kSpace) --length;
  Bytes text(value.begin(), value.begin() + length);
  if (converts(decl, oem)) platform::ansi_to_oem(text.data(), text.size());
  for (size_t at = 0; at < text.size(); at += kMemoChunkSize) {
    KeyView piece = view(text).substr(at, kMemoChunkSize);
    chunks.push_back(chunk_record(slot, uint16_t(chunks.size()), piece));
  }
  return chunks;
}

void store_memo(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem,
                KeyView value) {
  std::vector<Record> chunks = memo_chunks(slot, decl, oem, value);
  std::vector<bool> in_place(chunks.size(), false);
  for_each_chunk(store, memo_prefix(slot.table, slot.record_number, slot.memo),
                 [&](const Record& old) {
                   if (is_chunk_key(old.key())) {
                     size_t sequence = memo_sequence_of(old.key());
                     if (sequence < chunks.size() && chunks[sequence] == old) {
                       in_place[sequence] = true;
                       return;
                     }
                   }
                   store.erase(old.key());
                 });
  for (size_t k = 0; k < chunks.size(); ++k) {
    if (!in_place[k]) store.insert(chunks[k]);
  }
}

Bytes read_memo(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem) {
  Bytes value;
  bool blob = is_blob(decl);
  size_t limit = blob ? SIZE_MAX : decl.size;
  bool first = true;
  for_each_chunk(
      store, memo_prefix(slot.table, slot.record_number, slot.memo), [&](const Record& chunk) {
        KeyView data = chunk.data();
        if (blob && first) {
          // Only chunk 0 carries the length; without it nothing can be trusted.
          bool has_length = is_chunk_key(chunk.key()) && memo_sequence_of(chunk.key()) == 0 &&
                            data.size() >= kBlobLengthPrefix;
          limit = has_length ? load_u32_le(data.data()) : 0;
          data = data.substr(std::min(data.size(), kBlobLengthPrefix));
        }
        first = false;
        size_t take = std::min(data.size(), limit - std::min(limit, value.size()));
        value.insert(value.end(), data.begin(), data.begin() + take);
      });
  if (blob) return value;
  if (converts(decl, oem)) platform::oem_to_ansi(value.data(), value.size());
  value.resize(decl.size, kSpace);
  return value;
}

bool memo_matches(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem,
                  KeyView value) {
  std::vector<Record> chunks = memo_chunks(slot, decl, oem, value);
  size_t seen = 0;
  bool same = true;
  for_each_chunk(store, memo_prefix(slot.table, slot.record_number, slot.memo),
                 [&](const Record& old) {
                   if (seen >= chunks.size() || !(chunks[seen] == old)) same = false;
                   ++seen;
                 });
  return same && seen == chunks.size();
}

void delete_memos(RecordStore& store, uint32_t table, uint32_t record_number) {
  Bytes prefix = memo_prefix(table, record_number, 0);
  prefix.pop_back();
  for_each_chunk(store, prefix, [&](const Record& old) { store.erase(old.key()); });
}

}  // namespace orvel::datafile
