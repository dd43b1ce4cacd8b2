// Sorting a table by fields through the external sort, against a plain sort of the records in
// memory, with memory limits small enough to force runs and merges of several passes; and
// the sorted order read page by page.
#include "platform/browse/external_sort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/browse/browse_page.h"
#include "platform/browse/field_values.h"
#include "platform/browse/sorted_rows.h"
#include "platform/browse/tests/passport_table.h"

namespace orvel::browse {
namespace {

using testing::PassportTable;

struct Model {
  uint32_t number;
  std::string fio;  // upper-cased, trailing blanks gone
  int32_t date;
  std::string num;
};

std::vector<uint32_t> sorted_numbers(SortedNumbers& sorted) {
  std::vector<uint32_t> out;
  EXPECT_EQ(sorted.read(0, sorted.size(), &out), kNoError);
  return out;
}

class ExternalSort : public ::testing::Test {
 protected:
  void SetUp() override {
    std::mt19937 rng(20261211);
    std::printf("seed 20261211\n");
    const char* names[] = {"ivanov", "IVANOV", "Ivanova", "petrov", "PETROV ", "", "abc"};
    for (int i = 0; i < 600; ++i) {
      std::string fio = names[rng() % 7];
      int32_t date = int32_t(rng() % 5) - 2;  // negative, zero and positive day numbers
      std::string number = std::to_string(rng() % 50);
      uint32_t n = file.add("45 01", number, fio, date);
      model.push_back({n, upper_case(std::string(trim_blanks(fio))), date, number});
    }
  }

  PassportTable file;
  std::vector<Model> model;
};

TEST_F(ExternalSort, MatchesASortInMemoryWhateverTheMemoryLimit) {
  // Date descending, then the name upper-cased, then the record number.
  const std::vector<SortComponent> order = {{app::kPspDatePas, true, false},
                                            {app::kPspFio, false, true}};
  std::vector<Model> expected = model;
  std::sort(expected.begin(), expected.end(), [](const Model& a, const Model& b) {
    if (a.date != b.date) return a.date > b.date;
    if (a.fio != b.fio) return a.fio < b.fio;
    return a.number < b.number;
  });
  std::vector<uint32_t> want;
  for (const Model& m : expected) want.push_back(m.number);

  struct Limits {
    size_t memory;
    size_t fan_in;
    bool runs;
  };
  for (const Limits& l :
       {Limits{size_t(1) << 20, 32, false}, Limits{4096, 32, true}, Limits{1024, 2, true}}) {
    SCOPED_TRACE(l.memory);
    std::unique_ptr<SortedNumbers> sorted;
    SortStatistics stats;
    ASSERT_EQ(sort_table(file.table(), order, &sorted, {l.memory, l.fan_in}, &stats), kNoError);
    EXPECT_EQ(stats.records, model.size());
    EXPECT_EQ(stats.runs > 0, l.runs);
    EXPECT_EQ(sorted_numbers(*sorted), want);
  }
}

TEST(ExternalSortText, TrailingBlanksNeverCountAndLowerBytesSortFirst) {
  PassportTable file;
  const uint32_t a_blank = file.add("", "", "A");
  const uint32_t a_low = file.add("", "", "A\x10");
  const uint32_t a_b = file.add("", "", "A B");
  const uint32_t a = file.add("", "", "a");
  const uint32_t empty = file.add("", "", "");
  std::unique_ptr<SortedNumbers> sorted;
  ASSERT_EQ(sort_table(file.table(), {{app::kPspFio, false, true}}, &sorted), kNoError);
  EXPECT_EQ(sorted_numbers(*sorted), (std::vector<uint32_t>{empty, a_low, a_blank, a, a_b}));

  // Compared exactly, lower-case "a" comes after every "A".
  ASSERT_EQ(sort_table(file.table(), {{app::kPspFio, false, false}}, &sorted), kNoError);
  EXPECT_EQ(sorted_numbers(*sorted), (std::vector<uint32_t>{empty, a_low, a_blank, a_b, a}));
}

TEST(SortedRows, PagesReadBySortedIndexPassOverRemovedRecordsAndLocateByKey) {
  PassportTable file;
  // Names in reverse order of their numbers.
  for (int i = 0; i < 30; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "N%02d", 29 - i);
    file.add("", std::to_string(100 + i), name);
  }
  std::unique_ptr<SortedNumbers> sorted;
  ASSERT_EQ(sort_table(file.table(), {{app::kPspFio, false, true}}, &sorted), kNoError);
  SortedRows rows(file.table(), std::move(sorted), app::kKeyNumSer, app::kPspNum);
  BrowsePage page(&rows);
  page.set_size(5);

  ASSERT_EQ(page.home(), kNoError);
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"129", "128", "127", "126", "125"}));
  ASSERT_EQ(page.page_down(), kNoError);
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"124", "123", "122", "121", "120"}));
  ASSERT_EQ(page.end(), kNoError);
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"104", "103", "102", "101", "100"}));

  // The locator still works by number and highlights the record where the sort put it.
  ASSERT_EQ(page.locate("115"), kNoError);
  EXPECT_EQ(testing::num(*page.selected_row()), "115");
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"115", "114", "113", "112", "111"}));

  // A record removed since the sort is passed over.
  datafile::Table& table = file.table();
  app::PSP wanted;
  app::clear(wanted);
  app::assign(wanted.NUM, "113");
  app::write_record(table, wanted);
  ASSERT_EQ(table.set_at(app::kKeyNumSer), kNoError);
  ASSERT_EQ(table.next(), kNoError);
  ASSERT_EQ(table.erase(), kNoError);
  ASSERT_EQ(page.refresh(), kNoError);
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"115", "114", "112", "111", "110"}));
  ASSERT_EQ(page.page_up(), kNoError);
  EXPECT_EQ(testing::nums(page.rows()),
            (std::vector<std::string>{"120", "119", "118", "117", "116"}));
}

}  // namespace
}  // namespace orvel::browse
