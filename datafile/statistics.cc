#include "datafile/statistics.h"

#include "datafile/byte_order.h"

namespace orvel::datafile {
Record make_statistics_record(uint32_t table_number, uint8_t index, const Statistics& values) {
  Record record{statistics_key(table_number, index), kStatisticsKeyLength};
  record.bytes.resize(14);
  store_u32_le(record.bytes.data() + 6, values.count);
  store_u32_le(record.bytes.data() + 10, values.mark);
  return record;
}

std::optional<Statistics> read_statistics(RecordStore& store, uint32_t table_number,
                                          uint8_t index) {
  Bytes key = statistics_key(table_number, index);
  std::optional<Record> record = store.find_equal(KeyView(key.data(), key.size()));
  if (!record) return std::nullopt;
  Statistics values;
  if (record->bytes.size() >= 10) values.count = load_u32_le(record->bytes.data() + 6);
  if (record->bytes.size() >= 14) values.mark = load_u32_le(record->bytes.data() + 10);
  return values;
}

void write_statistics(RecordStore& store, uint32_t table_number, uint8_t index,
                      const Statistics& values) {
  store.replace(make_statistics_record(table_number, index, values));
}

}  // namespace orvel::datafile
