// The browse list on a large passport file: the moves an operator makes on tab 4, and a
// column-header sort of the whole file.
//
// Builds a passport file of N passports (default 1,000,000; loaded with append() and one
// build() of the keys) in a private directory under TMPDIR, or reuses the one a previous
// run left there when it holds N records. Then, on a page of 20 rows by number:
//   open          a new list's first page (the file open already, as the window has it)
//   locate        a locator jump to a random number
//   page_down     one page down from a random place
//   end           the last page
//   thumb         a jump of the scroll thumb to a random place
// each timed over many runs (median and worst), and a header sort of every record by date
// and by name, with its time and the peak memory of the process while it sorts.
// Prints "bench NAME value unit" lines.
// Usage: orvel-bench-browse [passports] [--fresh]
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/passport_record.h"
#include "app/record_buffer.h"
#include "datafile/table.h"
#include "platform/browse/browse_page.h"
#include "platform/browse/external_sort.h"
#include "platform/browse/header_sort.h"
#include "platform/browse/key_rows.h"
#include "platform/browse/sorted_rows.h"
#include "platform/error_codes.h"

namespace {

using orvel::browse::BrowsePage;
using orvel::browse::KeyRows;
using orvel::datafile::Table;
using Clock = std::chrono::steady_clock;

constexpr size_t kPageRows = 20;
constexpr int kRuns = 200;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int fail(const char* what, int rc) {
  std::fprintf(stderr, "%s failed: %d %s\n", what, rc, orvel::error_text(rc).c_str());
  return 1;
}

unsigned below(std::mt19937& rng, unsigned n) {
  return static_cast<unsigned>(rng() % n);
}

// Upper-case Cyrillic words in code page 1251.
std::string words(std::mt19937& rng, unsigned char first, size_t min, size_t max) {
  size_t len = min + below(rng, unsigned(max - min + 1));
  std::string s;
  while (s.size() < len) {
    if (!s.empty()) s.push_back(' ');
    for (size_t i = 0, n = 3 + below(rng, 9); i < n && s.size() < len; ++i) {
      s.push_back(static_cast<char>(first + below(rng, 32)));
    }
  }
  return s;
}

std::string random_number(std::mt19937& rng) {
  char number[8];
  std::snprintf(number, sizeof number, "%06u", below(rng, 1000000));
  return number;
}

int build_file(Table& table, uint32_t count) {
  if (int rc = table.create(); rc != orvel::kNoError) return fail("create", rc);
  if (int rc = table.open(0x22); rc != orvel::kNoError) return fail("open", rc);
  std::mt19937 rng(20261211);
  const auto start = Clock::now();
  orvel::app::PSP record;
  // A commit per append would write the file a million times; batches in one transaction
  // each commit once.
  constexpr uint32_t kBatch = 20000;
  for (uint32_t i = 0; i < count; ++i) {
    if (i % kBatch == 0) {
      if (int rc = table.logout(); rc != orvel::kNoError) return fail("logout", rc);
    }
    orvel::app::clear(record);
    char series[8];
    std::snprintf(series, sizeof series, "%02u %02u", below(rng, 100), below(rng, 100));
    orvel::app::assign(record.SER, series);
    orvel::app::assign(record.NUM, random_number(rng));
    orvel::app::assign(record.FIO, words(rng, 0xC0, 15, 40));
    record.DATE_PAS.set(int32_t(70000 + below(rng, 10000)));
    record.DATE_IMP.set(int32_t(75000 + below(rng, 3000)));
    orvel::app::assign(record.COMMENT, words(rng, 0xE0, 10, 60));
    orvel::app::write_record(table, record);
    if (int rc = table.append(); rc != orvel::kNoError) return fail("append", rc);
    if ((i + 1) % kBatch == 0 || i + 1 == count) {
      if (int rc = table.commit(); rc != orvel::kNoError) return fail("commit", rc);
    }
  }
  const double loaded = ms_since(start);
  if (int rc = table.build(); rc != orvel::kNoError) return fail("build", rc);
  std::printf("built %u passports: append %.1f s, build %.1f s\n", count, loaded / 1000,
              (ms_since(start) - loaded) / 1000);
  return table.close();
}

struct Timings {
  std::vector<double> ms;
  void print(const char* name) {
    std::sort(ms.begin(), ms.end());
    std::printf("bench browse_%s_median %.3f ms\n", name, ms[ms.size() / 2]);
    std::printf("bench browse_%s_worst %.3f ms\n", name, ms.back());
  }
};

// Times move(i) for i = 0 .. runs - 1; prepare(i) runs before each, untimed.
template <typename Prepare, typename Move>
int time_moves(const char* name, int runs, Prepare prepare, Move move) {
  Timings t;
  for (int i = 0; i < runs; ++i) {
    if (int rc = prepare(i); rc != orvel::kNoError) return fail(name, rc);
    const auto start = Clock::now();
    if (int rc = move(i); rc != orvel::kNoError) return fail(name, rc);
    t.ms.push_back(ms_since(start));
  }
  t.print(name);
  return 0;
}

int nothing(int) {
  return orvel::kNoError;
}

// The process's peak resident memory since the last reset, in megabytes (Linux).
void reset_peak_memory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}
double peak_memory_mb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024;
  }
  return 0;
}

int time_sort(Table& table, const char* name, int column) {
  std::vector<orvel::browse::ColumnFormat> columns(6);
  const uint16_t fields[] = {orvel::app::kPspSer,     orvel::app::kPspNum,
                             orvel::app::kPspFio,     orvel::app::kPspDatePas,
                             orvel::app::kPspDateImp, orvel::app::kPspComment};
  for (size_t i = 0; i < 6; ++i) columns[i].field = fields[i];
  orvel::browse::HeaderSort sort;
  sort.click(column, false);
  const auto order =
      orvel::browse::header_order(sort, columns, table.declaration(), orvel::app::kKeyNumSer);
  reset_peak_memory();
  const double before = peak_memory_mb();
  const auto start = Clock::now();
  std::unique_ptr<orvel::browse::SortedNumbers> sorted;
  orvel::browse::SortStatistics stats;
  if (int rc = orvel::browse::sort_table(table, order, &sorted, {}, &stats); rc != 0) {
    return fail("sort", rc);
  }
  orvel::browse::SortedRows rows(table, std::move(sorted), orvel::app::kKeyNumSer,
                                 orvel::app::kPspNum);
  BrowsePage page(&rows);
  page.set_size(kPageRows);
  if (int rc = page.home(); rc != 0) return fail("sorted first page", rc);
  const double ms = ms_since(start);
  std::printf("bench browse_sort_%s %.0f ms\n", name, ms);
  std::printf("bench browse_sort_%s_peak_memory %.1f MB\n", name, peak_memory_mb());
  std::printf("bench browse_sort_%s_memory_growth %.1f MB\n", name, peak_memory_mb() - before);
  std::printf("bench browse_sort_%s_key_memory %.1f MB\n", name,
              double(stats.peak_memory_bytes) / (1 << 20));
  std::printf("bench browse_sort_%s_runs %zu runs\n", name, stats.runs);
  Timings t;
  for (int i = 0; i < 50; ++i) {
    const auto s = Clock::now();
    if (int rc = page.page_down(); rc != 0) return fail("sorted page down", rc);
    t.ms.push_back(ms_since(s));
  }
  std::string page_name = std::string("sorted_") + name + "_page_down";
  t.print(page_name.c_str());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t count = 1000000;
  bool fresh = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh") == 0) {
      fresh = true;
    } else {
      count = uint32_t(std::strtoul(argv[i], nullptr, 10));
    }
  }
  const char* tmp = std::getenv("TMPDIR");
  const std::string dir =
      std::string(tmp && *tmp ? tmp : "/tmp") + "/orvel-bench-browse-" + std::to_string(getuid());
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return fail("mkdir", errno);
  orvel::datafile::TableDecl decl = orvel::app::passport_table();
  decl.file_name = dir + "/passport.hvk";
  Table table(decl);

  uint32_t records = 0;
  if (!fresh && table.open(0x42) == orvel::kNoError) {
    table.records(&records);
    table.close();
  }
  if (records != count) {
    if (int rc = build_file(table, count); rc != 0) return rc;
  } else {
    std::printf("reusing %s with %u passports\n", decl.file_name.c_str(), records);
  }
  if (int rc = table.open(0x42); rc != orvel::kNoError) return fail("open", rc);

  std::mt19937 rng(7);
  if (time_moves("open_first_page", kRuns, nothing, [&](int) {
        KeyRows rows(table, orvel::app::kKeyNumSer, orvel::app::kPspNum);
        BrowsePage page(&rows);
        page.set_size(kPageRows);
        return page.home();
      })) {
    return 1;
  }

  KeyRows rows(table, orvel::app::kKeyNumSer, orvel::app::kPspNum);
  BrowsePage page(&rows);
  page.set_size(kPageRows);
  auto random_place = [&](int) { return page.locate(random_number(rng)); };
  if (time_moves("locate", kRuns, nothing, random_place) ||
      time_moves("page_down", kRuns, random_place, [&](int) { return page.page_down(); }) ||
      time_moves("page_up", kRuns, random_place, [&](int) { return page.page_up(); }) ||
      time_moves("end", kRuns, random_place, [&](int) { return page.end(); }) ||
      time_moves("home", kRuns, random_place, [&](int) { return page.home(); }) ||
      time_moves("thumb", kRuns, nothing,
                 [&](int) { return page.to_thumb(int(below(rng, 1001))); })) {
    return 1;
  }

  if (time_sort(table, "by_date", 3)) return 1;
  if (time_sort(table, "by_name", 2)) return 1;
  return table.close() == orvel::kNoError ? 0 : 1;
}
