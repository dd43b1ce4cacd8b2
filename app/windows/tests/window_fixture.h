// Shared by the window tests: a passport file filled in the current directory, a file
// chooser that answers as the test says, typing as the keyboard does, and the parts of a main
// window as start-up makes them, with message boxes captured.
#pragma once

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/dates.h"
#include "app/error_reporter.h"
#include "app/import_file.h"
#include "app/passport_file.h"
#include "app/passport_record.h"
#include "app/record_buffer.h"
#include "app/windows/box_reporter.h"
#include "app/windows/main_window.h"
#include "platform/cp1251.h"
#include "platform/error_codes.h"
#include "platform/ini_manager.h"
#include "platform/settings_location.h"
#include "platform/toolkit/message_boxes.h"
#include "textfile/text_file.h"

namespace orvel::windows::testing {

// Code page 1251 of UTF-8 source text.
inline std::string cp(const char* utf8) {
  return platform::utf8_to_cp1251(utf8);
}

struct Entry {
  const char* ser;
  const char* num;
  const char* fio;  // UTF-8
  int32_t date_pas = 0;
  const char* comment = "";
};

// Answers the dialogs with a name given by the test, or cancels; keeps what it was asked.
class ScriptedChooser : public app::FileChooser {
 public:
  bool choose_open(std::string_view title, std::string_view, app::ImportFileName& name) override {
    return answer(title, name);
  }
  bool choose_save(std::string_view title, std::string_view, app::ImportFileName& name) override {
    return answer(title, name);
  }
  std::optional<std::string> next;
  // Called while the dialog would be up.
  std::function<void()> during;
  std::vector<std::string> titles;
  std::vector<std::string> initial_names;

 private:
  bool answer(std::string_view title, app::ImportFileName& name) {
    titles.emplace_back(title);
    initial_names.emplace_back(name.trimmed());
    if (during) during();
    if (!next) return false;
    name.assign(*next);
    return true;
  }
};

// Types text as the keyboard would, one character at a time (keyClicks refuses Cyrillic).
inline void type(QWidget* widget, const QString& text) {
  for (QChar ch : text) {
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
  }
}

// Adds the entries to passport.hvk of the current directory, creating it when missing.
inline void fill(const std::vector<Entry>& entries) {
  app::PassportFile file;
  app::CollectingReporter reporter;
  QVERIFY(file.use(reporter));
  for (const Entry& e : entries) {
    app::PSP record;
    app::clear(record);
    app::assign(record.SER, e.ser);
    app::assign(record.NUM, e.num);
    app::assign(record.FIO, cp(e.fio));
    record.DATE_PAS.set(e.date_pas);
    record.DATE_IMP.set(app::day_number(2006, 3, 1));
    app::assign(record.COMMENT, cp(e.comment));
    app::write_record(file.table(), record);
    QCOMPARE(file.table().add(), kNoError);
  }
  QCOMPARE(file.release(), kNoError);
}

// A scratch directory as the current one, with orvel.INI in its config/, the list-formats
// file in its formats/ and a fixed today, for the life of the object: a whole run of the
// program then touches nothing of the user's own settings.
class ScratchDirectory {
 public:
  ScratchDirectory() : previous_(QDir::currentPath()) {
    QDir::setCurrent(dir_.path());
    ini_path_ = dir_.filePath("config/orvel.INI").toStdString();
    setenv("ORVEL_INI", ini_path_.c_str(), 1);
    setenv("ORVEL_FORMATS", dir_.filePath("formats/Formats.FDB").toLocal8Bit().constData(), 1);
    setenv("ORVEL_TODAY", "2006-03-01", 1);
  }
  ~ScratchDirectory() {
    QDir::setCurrent(previous_);
    unsetenv("ORVEL_INI");
    unsetenv("ORVEL_FORMATS");
    unsetenv("ORVEL_TODAY");
  }
  bool valid() const {
    return dir_.isValid() && QDir::currentPath() == QDir(dir_.path()).absolutePath();
  }
  QString file_path(const QString& name) const { return dir_.filePath(name); }
  const std::string& ini_path() const { return ini_path_; }

 private:
  QTemporaryDir dir_;
  QString previous_;
  std::string ini_path_;
};

// The parts of a window, as start-up makes them.
struct Program {
  explicit Program(app::FileChooser* chooser, platform::NotificationArea* tray_area = nullptr)
      : import_file(app::import_text_file(import_name)),
        ini(platform::settings_file_path()),
        reporter(boxes) {
    boxes.set_capture(true);
    window = std::make_unique<MainWindow>(MainWindow::Parts{
        passports, import_name, import_file, ini, boxes, reporter, chooser, tray_area});
  }
  app::PassportFile passports;
  app::ImportFileName import_name;
  textfile::TextFile import_file;
  platform::IniManager ini;
  platform::toolkit::MessageBoxes boxes;
  BoxReporter reporter;
  std::unique_ptr<MainWindow> window;
};

}  // namespace orvel::windows::testing
