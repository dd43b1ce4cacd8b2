// The workloads of the benchmark, once on our engine and once on SQLite, behind one
// interface so that the driver runs them alike.
//
// Every workload opens the file itself, times only its own work, and returns how many
// operations it did and how long they took; the driver turns that into a rate. The files
// live in the benchmark's temporary directory; load() creates the directory file that the
// read workloads and import_lines() use afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench/orvel_bench_data.h"

namespace orvel::bench {

struct Outcome {
  double seconds = 0;
  uint64_t operations = 0;
  uint64_t file_bytes = 0;  // the file's size afterwards, where it matters
  char error[160] = {};     // empty when the workload ran through
};

struct SeriesAndNumber {
  std::string series;
  std::string number;
};

class Engine {
 public:
  virtual ~Engine() = default;

  // Each passport added and committed on its own, into a new file.
  virtual Outcome durable_add(const std::string& file, const std::vector<Passport>& passports) = 0;
  // The update file into a new, empty directory file by the engine's fastest sound path.
  virtual Outcome load(const std::string& file, const std::string& update_file) = 0;
  // The update file imported into the existing directory, every line committed on its own.
  virtual Outcome import_lines(const std::string& file, const std::string& update_file) = 0;
  // One fetch by series and number per probe, every field read. A first pass warms up.
  virtual Outcome lookup(const std::string& file, const std::vector<SeriesAndNumber>& probes) = 0;
  // From each prefix on, rows passports in number order (number_scan) or name order.
  virtual Outcome number_scan(const std::string& file, const std::vector<std::string>& prefixes,
                              size_t rows) = 0;
  virtual Outcome name_scan(const std::string& file, const std::vector<std::string>& prefixes,
                            size_t rows) = 0;
  // Every passport in the order it was stored.
  virtual Outcome full_scan(const std::string& file) = 0;
};

// Our engine; load() imports with a commit every batch lines.
std::unique_ptr<Engine> our_engine(uint64_t batch);
// SQLite with journal_mode=DELETE, or WAL, and synchronous=FULL.
std::unique_ptr<Engine> sqlite_engine(bool wal);

}  // namespace orvel::bench
