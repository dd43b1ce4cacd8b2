// Reading an update file record by record through the delimited text file object, as the
// import does: the import record, options "/COMMA=59", mode 22 (read/write, no sharing).
//
// Writes a file of about 100 MB of realistic lines (series "NN NN", six-digit numbers,
// upper-case names and lower-case reasons in code page 1251, dates) into a private temp
// directory through the same object, then reads it three times and reports the best pass.
// Usage: orvel-bench-textfile [megabytes]
#include <stdlib.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "platform/error_codes.h"
#include "textfile/text_file.h"

namespace {

using orvel::textfile::RecordLayout;
using orvel::textfile::TextFile;
using orvel::textfile::TextFileDecl;
using Clock = std::chrono::steady_clock;

constexpr int kImportMode = 22;

RecordLayout import_layout() {
  RecordLayout layout;
  layout.add_text("IMP:SER", 20)
      .add_text("IMP:NUM", 20)
      .add_text("IMP:FIO", 250)
      .add_text("IMP:DATE_PAS", 20)
      .add_text("IMP:COMMENT", 500)
      .add_text("IMP:DATE_IMP", 20);
  return layout;
}

// Words of letters from [first, first + 32) in code page 1251, total length in [min, max].
std::string words(std::mt19937& rng, unsigned char first, size_t min, size_t max) {
  size_t len = min + rng() % (max - min + 1);
  std::string s;
  while (s.size() < len) {
    if (!s.empty()) s.push_back(' ');
    size_t word = 3 + rng() % 10;
    for (size_t i = 0; i < word && s.size() < len; ++i) {
      s.push_back(static_cast<char>(first + rng() % 32));
    }
  }
  return s;
}

unsigned below(std::mt19937& rng, unsigned n) {
  return static_cast<unsigned>(rng() % n);
}

std::string date(std::mt19937& rng) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04u-%02u-%02u", 1990 + below(rng, 20), 1 + below(rng, 12),
                1 + below(rng, 28));
  return buf;
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

int fail(const char* what, int rc) {
  std::fprintf(stderr, "%s failed: %d %s\n", what, rc, orvel::error_text(rc).c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const uint64_t target = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100) << 20;
  char pattern[] = "/tmp/orvel-bench-textfile-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return fail("mkdtemp", errno);
  const std::string dir = pattern;
  std::string name = dir + "/update.txt";

  TextFile file(
      TextFileDecl{import_layout(), [&] { return std::string_view(name); }, "/COMMA=59", true});
  const RecordLayout& layout = file.layout();
  std::mt19937 rng(12345);
  uint64_t size = 0, lines = 0;
  auto start = Clock::now();
  if (int rc = file.create(); rc != 0) return fail("create", rc);
  if (int rc = file.open(kImportMode); rc != 0) return fail("open", rc);
  while (size < target) {
    char series[8], number[8];
    std::snprintf(series, sizeof series, "%02u %02u", below(rng, 100), below(rng, 100));
    std::snprintf(number, sizeof number, "%06u", below(rng, 1000000));
    layout.set_text(file.record(), 0, series);
    layout.set_text(file.record(), 1, number);
    layout.set_text(file.record(), 2, words(rng, 0xC0, 20, 40));
    layout.set_text(file.record(), 3, date(rng));
    layout.set_text(file.record(), 4, words(rng, 0xE0, 10, 30));
    layout.set_text(file.record(), 5, date(rng));
    if (int rc = file.append(); rc != 0) return fail("append", rc);
    ++lines;
    if (int rc = file.bytes(&size); rc != 0) return fail("bytes", rc);
  }
  if (int rc = file.close(); rc != 0) return fail("close", rc);
  double write_s = seconds_since(start);
  std::printf("wrote %llu lines, %.1f MB in %.2f s (%.0f MB/s)\n",
              static_cast<unsigned long long>(lines), size / 1e6, write_s, size / 1e6 / write_s);

  double best = 1e300;
  for (int pass = 0; pass < 3; ++pass) {
    start = Clock::now();
    if (int rc = file.open(kImportMode); rc != 0) return fail("open", rc);
    uint64_t records = 0, bytes = 0, length = 0;
    file.set();
    while (file.next() == 0) {
      file.bytes(&length);
      bytes += length;
      ++records;
    }
    file.close();
    double s = seconds_since(start);
    if (records != lines || bytes != size) {
      std::fprintf(stderr, "read %llu records of %llu bytes, expected %llu of %llu\n",
                   static_cast<unsigned long long>(records), static_cast<unsigned long long>(bytes),
                   static_cast<unsigned long long>(lines), static_cast<unsigned long long>(size));
      return 1;
    }
    std::printf("pass %d: %.3f s, %.0f MB/s, %.0f records/s\n", pass + 1, s, size / 1e6 / s,
                records / s);
    if (s < best) best = s;
  }
  std::remove(name.c_str());
  std::remove(dir.c_str());
  std::printf("best: %.0f MB/s, %.0f records/s\n", size / 1e6 / best, lines / best);
  std::printf("bench textfile_read mb_per_s=%.0f\n", size / 1e6 / best);
  return 0;
}
