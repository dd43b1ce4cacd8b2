// Memo and blob values of data records, stored as chunk records (table number, 0xFC,
// record number, memo number, chunk sequence) through a RecordStore.
//
// A memo value loses its trailing spaces and is cut into chunks of 256 bytes, the last one
// shorter; an empty memo has no chunks. Reading concatenates the chunks and fills the rest
// of the memo's declared size with spaces. A blob is cut into chunks of 10240 bytes, the
// first one preceded by the blob's total length as a u32 little-endian; an empty blob has no
// chunks. In an OEM table memo text that is not binary is converted to the OEM code page
// when stored and back when read; blobs and binary memos are stored as they are.
//
// Storing a value again keeps the chunks whose bytes are unchanged, replaces the changed
// ones and deletes those beyond the new last one, so that an unchanged memo writes nothing.
#pragma once

#include <cstdint>

#include "datafile/declaration.h"
#include "datafile/record.h"
#include "datafile/record_store.h"

namespace orvel::datafile {

inline constexpr size_t kMemoChunkSize = 256;
inline constexpr size_t kBlobChunkSize = 10240;
inline constexpr size_t kBlobLengthPrefix = 4;

// Identifies one memo of one data record.
struct MemoSlot {
  uint32_t table;
  uint32_t record_number;
  uint8_t memo;  // 0-based memo number in the declaration
};

// The chunk records that hold value.
std::vector<Record> memo_chunks(const MemoSlot& slot, const MemoDecl& decl, bool oem,
                                KeyView value);

// Makes the stored chunks of slot hold value.
void store_memo(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem,
                KeyView value);

// The stored value of slot: a memo padded with spaces to its declared size (cut there if
// the chunks hold more), a blob of its stored length (or of what its chunks hold, when
// they hold less).
Bytes read_memo(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem);

// Whether the stored chunks of slot are exactly those that value would give.
bool memo_matches(RecordStore& store, const MemoSlot& slot, const MemoDecl& decl, bool oem,
                  KeyView value);

// Deletes the chunks of every memo of one data record.
void delete_memos(RecordStore& store, uint32_t table, uint32_t record_number);

}  // namespace orvel::datafile
