// The workloads on SQLite: one table of the six passport fields, text columns COLLATE NOCASE,
// and four indexes like our keys (series+number, number+series, name,
// import date+number+series+name), with synchronous=FULL and the rollback journal
// (journal_mode=DELETE) or the write-ahead log. Update lines are parsed and converted (name
// upper-cased, dates as day numbers) exactly as our import converts them.
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "app/dates.h"
#include "app/search_text.h"
#include "bench/orvel_bench_engines.h"
#include "datafile/locale_tables.h"

namespace orvel::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

constexpr const char* kTable =
    "CREATE TABLE passport(ser TEXT COLLATE NOCASE, num TEXT COLLATE NOCASE, "
    "fio TEXT COLLATE NOCASE, date_pas INTEGER, date_imp INTEGER, comment TEXT COLLATE NOCASE)";
constexpr const char* kIndexes =
    "CREATE INDEX ser_num ON passport(ser, num);"
    "CREATE INDEX num_ser ON passport(num, ser);"
    "CREATE INDEX fio ON passport(fio);"
    "CREATE INDEX dateimp_num_ser ON passport(date_imp, num, ser, fio);";
constexpr const char* kColumns = "SELECT ser, num, fio, date_pas, date_imp, comment FROM passport ";

// A row as the program would hold it: fixed fields, filled from the columns.
struct Row {
  char ser[20], num[20], fio[250];
  int32_t date_pas, date_imp;
  char comment[500];
};

volatile char g_sink;

void copy_text(sqlite3_stmt* s, int column, char* field, size_t width) {
  const unsigned char* text = sqlite3_column_text(s, column);
  size_t n = std::min<size_t>(size_t(sqlite3_column_bytes(s, column)), width);
  std::memcpy(field, text, n);
  std::memset(field + n, ' ', width - n);
}

void consume(sqlite3_stmt* s) {
  Row row;
  copy_text(s, 0, row.ser, sizeof row.ser);
  copy_text(s, 1, row.num, sizeof row.num);
  copy_text(s, 2, row.fio, sizeof row.fio);
  row.date_pas = sqlite3_column_int(s, 3);
  row.date_imp = sqlite3_column_int(s, 4);
  copy_text(s, 5, row.comment, sizeof row.comment);
  g_sink = static_cast<char>(row.fio[0] + row.comment[0]);
}

// The fields of one update line as the import stores them.
struct Converted {
  std::string ser, num, fio, comment;
  int32_t date_pas = 0, date_imp = 0;
};

bool convert(const std::string& line, Converted* out) {
  std::vector<std::string> f = split_update_line(line);
  if (f.size() != 6) return false;
  out->ser = f[0];
  out->num = f[1];
  out->fio = app::upper_case(f[2], datafile::program_locale());
  out->date_pas = app::parse_date(f[3], app::DatePicture::kD10);
  out->comment = f[4];
  out->date_imp = f[5].empty() ? app::today() : app::parse_date(f[5], app::DatePicture::kD10);
  return true;
}

class Database {
 public:
  Database(const std::string& file, bool wal) {
    if (sqlite3_open(file.c_str(), &db_) != SQLITE_OK) {
      fail("open");
      return;
    }
    exec(wal ? "PRAGMA journal_mode=WAL" : "PRAGMA journal_mode=DELETE");
    exec("PRAGMA synchronous=FULL");
  }
  ~Database() {
    for (sqlite3_stmt* s : statements_) sqlite3_finalize(s);
    sqlite3_close(db_);
  }
  bool ok() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  bool exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) != SQLITE_OK) {
      error_ = std::string(sql).substr(0, 40) + ": " + (message ? message : "?");
      sqlite3_free(message);
      return false;
    }
    return true;
  }
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) fail("prepare");
    statements_.push_back(s);
    return s;
  }
  // Runs a statement that returns no rows; resets it.
  bool run(sqlite3_stmt* s) {
    int rc = sqlite3_step(s);
    sqlite3_reset(s);
    if (rc != SQLITE_DONE) fail("step");
    return rc == SQLITE_DONE;
  }
  int64_t last_rowid() { return sqlite3_last_insert_rowid(db_); }

 private:
  void fail(const char* what) { error_ = std::string(what) + ": " + sqlite3_errmsg(db_); }
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> statements_;
  std::string error_;
};

void bind_text(sqlite3_stmt* s, int i, const std::string& text) {
  sqlite3_bind_text(s, i, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

void bind_row(sqlite3_stmt* s, const Converted& c) {
  bind_text(s, 1, c.ser);
  bind_text(s, 2, c.num);
  bind_text(s, 3, c.fio);
  sqlite3_bind_int(s, 4, c.date_pas);
  sqlite3_bind_int(s, 5, c.date_imp);
  bind_text(s, 6, c.comment);
}

Outcome failed(const std::string& error) {
  Outcome out;
  std::snprintf(out.error, sizeof out.error, "%s", error.c_str());
  return out;
}

uint64_t file_size(const std::string& file) {
  std::error_code ec;
  uint64_t size = std::filesystem::file_size(file, ec);
  return ec ? 0 : size;
}

class Peer final : public Engine {
 public:
  explicit Peer(bool wal) : wal_(wal) {}

  Outcome durable_add(const std::string& file, const std::vector<Passport>& passports) override {
    Database db(file, wal_);
    if (!db.exec(kTable) || !db.exec(kIndexes)) return failed(db.error());
    sqlite3_stmt* insert = db.prepare("INSERT INTO passport VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    std::vector<Converted> rows;
    for (const Passport& p : passports) {
      Converted c;
      convert(update_line(p), &c);
      rows.push_back(std::move(c));
    }
    Outcome out;
    auto start = Clock::now();
    for (const Converted& c : rows) {
      bind_row(insert, c);
      if (!db.run(insert)) return failed(db.error());
    }
    out.seconds = seconds_since(start);
    out.operations = rows.size();
    return out;
  }

  Outcome load(const std::string& file, const std::string& update_file) override {
    Database db(file, wal_);
    if (!db.exec(kTable)) return failed(db.error());
    sqlite3_stmt* insert = db.prepare("INSERT INTO passport VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    Outcome out;
    auto start = Clock::now();
    std::ifstream in(update_file, std::ios::binary);
    std::string line;
    Converted c;
    db.exec("BEGIN");
    while (std::getline(in, line)) {
      if (!convert(line, &c)) continue;
      bind_row(insert, c);
      if (!db.run(insert)) return failed(db.error());
      ++out.operations;
    }
    if (!db.exec("COMMIT") || !db.exec(kIndexes)) return failed(db.error());
    out.seconds = seconds_since(start);
    out.file_bytes = file_size(file);
    return out;
  }

  Outcome import_lines(const std::string& file, const std::string& update_file) override {
    Database db(file, wal_);
    sqlite3_stmt* find = db.prepare(
        "SELECT rowid FROM passport WHERE ser = ?1 AND num = ?2 ORDER BY rowid LIMIT 1");
    sqlite3_stmt* insert = db.prepare("INSERT INTO passport VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    sqlite3_stmt* update = db.prepare(
        "UPDATE passport SET fio = ?3, date_pas = ?4, date_imp = ?5, comment = ?6 "
        "WHERE rowid = ?7");
    sqlite3_stmt* begin = db.prepare("BEGIN IMMEDIATE");
    sqlite3_stmt* commit = db.prepare("COMMIT");
    if (!db.ok()) return failed(db.error());
    Outcome out;
    auto start = Clock::now();
    std::ifstream in(update_file, std::ios::binary);
    std::string line;
    Converted c;
    while (std::getline(in, line)) {
      if (!convert(line, &c)) continue;
      if (!db.run(begin)) return failed(db.error());
      bind_text(find, 1, c.ser);
      bind_text(find, 2, c.num);
      int64_t rowid = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
      sqlite3_reset(find);
      sqlite3_stmt* write = rowid != 0 ? update : insert;
      bind_row(write, c);
      if (rowid != 0) sqlite3_bind_int64(update, 7, rowid);
      if (!db.run(write) || !db.run(commit)) return failed(db.error());
      ++out.operations;
    }
    out.seconds = seconds_since(start);
    return out;
  }

  Outcome lookup(const std::string& file, const std::vector<SeriesAndNumber>& probes) override {
    Database db(file, wal_);
    sqlite3_stmt* find = db.prepare(std::string(kColumns) + "WHERE ser = ?1 AND num = ?2");
    if (!db.ok()) return failed(db.error());
    auto pass = [&] {
      for (const SeriesAndNumber& probe : probes) {
        bind_text(find, 1, probe.series);
        bind_text(find, 2, probe.number);
        bool found = sqlite3_step(find) == SQLITE_ROW;
        if (found) consume(find);
        sqlite3_reset(find);
        if (!found) return false;
      }
      return true;
    };
    if (!pass()) return failed("a probe was not found");
    Outcome out;
    auto start = Clock::now();
    pass();
    out.seconds = seconds_since(start);
    out.operations = probes.size();
    return out;
  }

  Outcome number_scan(const std::string& file, const std::vector<std::string>& prefixes,
                      size_t rows) override {
    return scan(file, prefixes, rows, "WHERE num >= ?1 ORDER BY num, ser LIMIT ?2");
  }

  Outcome name_scan(const std::string& file, const std::vector<std::string>& prefixes,
                    size_t rows) override {
    return scan(file, prefixes, rows, "WHERE fio >= ?1 ORDER BY fio LIMIT ?2");
  }

  Outcome full_scan(const std::string& file) override {
    Database db(file, wal_);
    sqlite3_stmt* all = db.prepare(kColumns);
    if (!db.ok()) return failed(db.error());
    Outcome out;
    auto start = Clock::now();
    while (sqlite3_step(all) == SQLITE_ROW) {
      consume(all);
      ++out.operations;
    }
    out.seconds = seconds_since(start);
    return out;
  }

 private:
  Outcome scan(const std::string& file, const std::vector<std::string>& prefixes, size_t rows,
               const char* where) {
    Database db(file, wal_);
    sqlite3_stmt* s = db.prepare(std::string(kColumns) + where);
    if (!db.ok()) return failed(db.error());
    Outcome out;
    auto start = Clock::now();
    for (const std::string& prefix : prefixes) {
      bind_text(s, 1, prefix);
      sqlite3_bind_int64(s, 2, int64_t(rows));
      while (sqlite3_step(s) == SQLITE_ROW) consume(s);
      sqlite3_reset(s);
      ++out.operations;
    }
    out.seconds = seconds_since(start);
    return out;
  }

  bool wal_;
};

}  // namespace

std::unique_ptr<Engine> sqlite_engine(bool wal) {
  return std::make_unique<Peer>(wal);
}

}  // namespace orvel::bench
