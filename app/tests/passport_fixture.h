// Shared by the tests of the application logic: a passport file on an in-memory file system,
// entries put in directly, screen parts that record what they were asked to do, and a fixed
// "today".
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/error_reporter.h"
#include "app/import_file.h"
#include "app/operation_ui.h"
#include "app/passport_file.h"
#include "app/passport_record.h"
#include "app/record_buffer.h"
#include "platform/error_codes.h"
#include "platform/mem_file_system.h"
#include "textfile/text_file.h"

namespace orvel::app::testing {

// Sets ORVEL_TODAY for the life of the object.
class ScopedToday {
 public:
  explicit ScopedToday(const char* date) { setenv("ORVEL_TODAY", date, 1); }
  ~ScopedToday() { unsetenv("ORVEL_TODAY"); }
};

struct Entry {
  std::string ser{};
  std::string num{};
  std::string fio{};
  int32_t date_pas = 0;
  int32_t date_imp = 0;
  std::string comment{};
};

inline PSP make_passport(const Entry& e) {
  PSP record;
  clear(record);
  assign(record.SER, e.ser);
  assign(record.NUM, e.num);
  assign(record.FIO, e.fio);
  record.DATE_PAS.set(e.date_pas);
  record.DATE_IMP.set(e.date_imp);
  assign(record.COMMENT, e.comment);
  return record;
}

class FakeChooser : public FileChooser {
 public:
  bool choose_open(std::string_view title, std::string_view, ImportFileName& name) override {
    return choose(title, name);
  }
  bool choose_save(std::string_view title, std::string_view, ImportFileName& name) override {
    return choose(title, name);
  }
  std::optional<std::string> answer;  // nothing: the operator cancels
  std::string title;
  std::string initial;

 private:
  bool choose(std::string_view t, ImportFileName& name) {
    title = t;
    initial = name.trimmed();
    if (!answer) return false;
    name.assign(*answer);
    return true;
  }
};

class RecordingProgress : public ProgressDisplay {
 public:
  void show() override { events.push_back("show"); }
  void set_upper_bound(int64_t bound) override { upper_bound = bound; }
  void set_value(int64_t value) override { values.push_back(value); }
  void redisplay() override {}
  void hide() override { events.push_back("hide"); }
  void set_passport_count(uint32_t c) override { count = c; }
  std::vector<std::string> events;
  std::vector<int64_t> values;
  int64_t upper_bound = -1;
  int64_t count = -1;
};

class RecordingCursor : public WaitCursor {
 public:
  void set_wait() override { waiting = true; }
  void restore() override { waiting = false; }
  bool waiting = false;
};

class RecordingMessages : public MessageDisplay {
 public:
  void show_text(std::string_view text) override { texts.emplace_back(text); }
  std::vector<std::string> texts;
};

// An open passport file, an update/export file and recording screen parts, all in memory.
class PassportFixture : public ::testing::Test {
 protected:
  static constexpr const char* kDir = "/data";
  static constexpr const char* kTextName = "/data/update.txt";

  PassportFixture() : text_file(import_text_file(name), fs) {
    fs.add_directory(kDir);
    // The engine may resolve the passport file against the current directory.
    fs.add_directory(std::filesystem::current_path().string());
  }
  void SetUp() override { ASSERT_TRUE(passports.use(reporter)) << messages_text(); }
  void TearDown() override {
    fs.clear_faults();
    passports.release();
  }

  datafile::Table& table() { return passports.table(); }

  uint32_t add(const Entry& e) {
    write_record(table(), make_passport(e));
    EXPECT_EQ(table().add(), kNoError);
    return table().pointer();
  }

  // Every entry in record-number order.
  std::vector<PSP> records() {
    std::vector<PSP> out;
    EXPECT_EQ(table().set(), kNoError);
    while (table().next() == kNoError) out.push_back(read_record<PSP>(table()));
    return out;
  }

  void write_text(const std::string& bytes) {
    fs.set_contents(kTextName, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
  std::string read_text() {
    std::vector<uint8_t> bytes = fs.contents(kTextName);
    return std::string(bytes.begin(), bytes.end());
  }

  std::string messages_text() {
    std::string out;
    for (const ErrorMessage& m : reporter.messages) out += m.title + ": " + m.text + "\n";
    return out;
  }

  OperationUi ui() { return {chooser, progress, cursor, boxes}; }

  platform::MemFileSystem fs;
  PassportFile passports{fs};
  CollectingReporter reporter;
  ImportFileName name;
  textfile::TextFile text_file;
  FakeChooser chooser;
  RecordingProgress progress;
  RecordingCursor cursor;
  RecordingMessages boxes;
};

}  // namespace orvel::app::testing
