// The workloads on our engine, through the same calls as the program: the passport table
// opened read/write and shared (0x42), the import of the application for update files.
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/import_file.h"
#include "app/import_record.h"
#include "app/operation_ui.h"
#include "app/passport_file.h"
#include "app/passport_import.h"
#include "app/passport_record.h"
#include "app/record_buffer.h"
#include "bench/orvel_bench_engines.h"
#include "datafile/table.h"
#include "platform/error_codes.h"
#include "textfile/text_file.h"

namespace orvel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void set_error(Outcome& out, const char* what, int rc) {
  std::snprintf(out.error, sizeof out.error, "%s: %d %s", what, rc, error_text(rc).c_str());
}

uint64_t file_size(const std::string& file) {
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(file, ec);
  return ec ? 0 : size;
}

// The passport table of one file, created when missing and open while the object lives.
class PassportTable {
 public:
  explicit PassportTable(const std::string& file) : decl_(declaration(file)), table_(decl_) {
    if (!std::filesystem::exists(file)) rc_ = table_.create();
    if (rc_ == kNoError) rc_ = table_.open(app::kPassportOpenMode);
  }
  ~PassportTable() {
    if (table_.is_open()) table_.close();
  }
  int rc() const { return rc_; }
  datafile::Table& table() { return table_; }

 private:
  static datafile::TableDecl declaration(const std::string& file) {
    datafile::TableDecl decl = app::passport_table();
    decl.file_name = file;
    return decl;
  }
  const datafile::TableDecl decl_;
  datafile::Table table_;
  int rc_ = kNoError;
};

// The screen parts of an import that has no screen: the dialog answers with the file.
class QuietUi final : public app::FileChooser,
                      public app::ProgressDisplay,
                      public app::WaitCursor,
                      public app::MessageDisplay {
 public:
  explicit QuietUi(std::string file) : file_(std::move(file)) {}
  bool choose_open(std::string_view, std::string_view, app::ImportFileName& name) override {
    name.assign(file_);
    return true;
  }
  bool choose_save(std::string_view, std::string_view, app::ImportFileName&) override {
    return false;
  }
  void show() override {}
  void set_upper_bound(int64_t) override {}
  void set_value(int64_t) override {}
  void redisplay() override {}
  void hide() override {}
  void set_passport_count(uint32_t) override {}
  void set_wait() override {}
  void restore() override {}
  void show_text(std::string_view text) override { message_.assign(text); }
  const std::string& message() const { return message_; }

 private:
  std::string file_;
  std::string message_;
};

app::PSP passport_record(const Passport& p) {
  app::IMP line;
  app::clear(line);
  app::assign(line.SER, p.series);
  app::assign(line.NUM, p.number);
  app::assign(line.FIO, p.name);
  app::assign(line.DATE_PAS, p.passport_date);
  app::assign(line.COMMENT, p.reason);
  app::assign(line.DATE_IMP, p.import_date);
  return app::passport_from_line(line);
}

// Reads the record buffer the way a caller does, so that the copy is part of the cost.
volatile uint8_t g_sink;
void consume(datafile::Table& table) {
  app::PSP record = app::read_record<app::PSP>(table);
  g_sink = static_cast<uint8_t>(record.FIO[0] + record.COMMENT[0]);
}

class Ours final : public Engine {
 public:
  explicit Ours(uint64_t batch) : batch_(batch) {}

  Outcome durable_add(const std::string& file, const std::vector<Passport>& passports) override {
    Outcome out;
    PassportTable t(file);
    if (t.rc() != kNoError) return set_error(out, "open", t.rc()), out;
    std::vector<app::PSP> records;
    for (const Passport& p : passports) records.push_back(passport_record(p));
    auto start = Clock::now();
    for (const app::PSP& record : records) {
      app::write_record(t.table(), record);
      if (int rc = t.table().add(); rc != kNoError) return set_error(out, "add", rc), out;
    }
    out.seconds = seconds_since(start);
    out.operations = records.size();
    return out;
  }

  Outcome load(const std::string& file, const std::string& update_file) override {
    return import(file, update_file, batch_);
  }

  Outcome import_lines(const std::string& file, const std::string& update_file) override {
    return import(file, update_file, 1);
  }

  Outcome lookup(const std::string& file, const std::vector<SeriesAndNumber>& probes) override {
    Outcome out;
    PassportTable t(file);
    if (t.rc() != kNoError) return set_error(out, "open", t.rc()), out;
    app::PSP record;
    app::clear(record);
    auto pass = [&] {
      for (const SeriesAndNumber& probe : probes) {
        app::assign(record.SER, probe.series);
        app::assign(record.NUM, probe.number);
        app::write_record(t.table(), record);
        if (int rc = t.table().get(app::kKeySerNum); rc != kNoError) return rc;
        consume(t.table());
      }
      return int(kNoError);
    };
    if (int rc = pass(); rc != kNoError) return set_error(out, "get", rc), out;
    auto start = Clock::now();
    if (int rc = pass(); rc != kNoError) return set_error(out, "get", rc), out;
    out.seconds = seconds_since(start);
    out.operations = probes.size();
    return out;
  }

  Outcome number_scan(const std::string& file, const std::vector<std::string>& prefixes,
                      size_t rows) override {
    return scan(file, prefixes, rows, app::kKeyNumSer);
  }

  Outcome name_scan(const std::string& file, const std::vector<std::string>& prefixes,
                    size_t rows) override {
    return scan(file, prefixes, rows, app::kKeyFio);
  }

  Outcome full_scan(const std::string& file) override {
    Outcome out;
    PassportTable t(file);
    if (t.rc() != kNoError) return set_error(out, "open", t.rc()), out;
    auto start = Clock::now();
    if (int rc = t.table().set(); rc != kNoError) return set_error(out, "set", rc), out;
    while (t.table().next() == kNoError) {
      consume(t.table());
      ++out.operations;
    }
    out.seconds = seconds_since(start);
    return out;
  }

 private:
  Outcome import(const std::string& file, const std::string& update_file, uint64_t batch) {
    Outcome out;
    PassportTable t(file);
    if (t.rc() != kNoError) return set_error(out, "open", t.rc()), out;
    app::ImportFileName name;
    textfile::TextFile text(app::import_text_file(name));
    QuietUi ui(update_file);
    auto start = Clock::now();
    app::ImportResult result =
        app::import_updates(t.table(), text, name, {ui, ui, ui, ui}, {batch});
    out.seconds = seconds_since(start);
    out.operations = result.added + result.changed;
    if (result.open_error != kNoError) set_error(out, "open update file", result.open_error);
    if (result.failures.count != 0) set_error(out, "import", result.failures.first_error);
    if (int rc = t.table().close(); rc != kNoError) set_error(out, "close", rc);
    out.file_bytes = file_size(file);
    return out;
  }

  Outcome scan(const std::string& file, const std::vector<std::string>& prefixes, size_t rows,
               int key) {
    Outcome out;
    PassportTable t(file);
    if (t.rc() != kNoError) return set_error(out, "open", t.rc()), out;
    app::PSP record;
    app::clear(record);
    auto start = Clock::now();
    for (const std::string& prefix : prefixes) {
      app::clear(record);
      if (key == app::kKeyFio) {
        app::assign(record.FIO, prefix);
      } else {
        app::assign(record.NUM, prefix);
      }
      app::write_record(t.table(), record);
      if (int rc = t.table().set_at(key); rc != kNoError) return set_error(out, "set", rc), out;
      for (size_t r = 0; r < rows && t.table().next() == kNoError; ++r) consume(t.table());
      ++out.operations;
    }
    out.seconds = seconds_since(start);
    return out;
  }

  uint64_t batch_;
};

}  // namespace

std::unique_ptr<Engine> our_engine(uint64_t batch) {
  return std::make_unique<Ours>(batch);
}

}  // namespace orvel::bench
