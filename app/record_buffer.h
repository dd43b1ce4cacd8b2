// Copies between the program's record structs and the record buffers of the file objects.
//
// The engine's table and the delimited text file each own a record buffer of the record's
// length; the program fills it before an operation and reads it after one. The structs are
// plain byte images of the same length, so a copy moves every field.
#pragma once

#include <cstring>
#include <span>
#include <type_traits>

#include "datafile/table.h"

namespace orvel::app {

template <typename R>
R read_record(datafile::Table& table) {
  static_assert(std::is_trivially_copyable_v<R>);
  R record;
  std::memcpy(&record, table.record(), sizeof record);
  return record;
}

template <typename R>
void write_record(datafile::Table& table, const R& record) {
  static_assert(std::is_trivially_copyable_v<R>);
  std::memcpy(table.record(), &record, sizeof record);
}

// buffer must hold sizeof(R) bytes at least (the text file's record of that layout).
template <typename R>
R read_record(std::span<const uint8_t> buffer) {
  static_assert(std::is_trivially_copyable_v<R>);
  R record;
  std::memcpy(&record, buffer.data(), sizeof record);
  return record;
}

template <typename R>
void write_record(std::span<uint8_t> buffer, const R& record) {
  static_assert(std::is_trivially_copyable_v<R>);
  std::memcpy(buffer.data(), &record, sizeof record);
}

}  // namespace orvel::app
