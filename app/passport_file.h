// The passport file as the program holds it: one table over passport.hvk, opened at the
// first use and closed when the last user lets it go.
//
// Opening follows a fixed plan. The file is opened read/write, shared with everyone (mode
// 0x42), in at most two attempts; within an attempt an open refused with "Access Denied" is
// tried once more. A missing file is created empty and the next attempt opens it. When
// write access is refused the mode drops to read-only with the same sharing (0x40), notice
// 2 is shown and the next attempt tries that. A failed creation is fatal message 12; any
// other failure, or two attempts without success, fatal message 26. Messages name the file
// by its label "passport" until the first use and then by the name the table reports.
//
// A fatal message means the program must end: use() returns false and the caller ends it.
// One object per thread; it must outlive every user.
#pragma once

#include <cstdint>
#include <string>

#include "app/error_reporter.h"
#include "datafile/declaration.h"
#include "datafile/table.h"
#include "platform/file.h"

namespace orvel::app {

inline constexpr int kPassportOpenMode = 0x42;  // read/write, deny none

class PassportFile {
 public:
  explicit PassportFile(platform::FileSystem& fs = platform::system_file_system());
  PassportFile(const PassportFile&) = delete;
  PassportFile& operator=(const PassportFile&) = delete;

  // Adds a user; the first one opens the file as above. Returns false, with the use count
  // unchanged, after a fatal message: the program must end.
  [[nodiscard]] bool use(ErrorReporter& reporter);
  // Removes a user; the last one closes the file. Returns the close's error number.
  int release();

  int use_count() const { return use_count_; }
  // The open mode in force: 0x42, or 0x40 after the read-only fallback.
  int mode() const { return mode_; }
  const std::string& message_name() const { return message_name_; }

  // The count of passports, 0 when it cannot be read.
  uint32_t passport_count();

  datafile::Table& table() { return table_; }

 private:
  // Constant after construction; the table keeps a reference to the declaration.
  const datafile::TableDecl decl_;
  datafile::Table table_;

  std::string message_name_;
  int mode_ = kPassportOpenMode;
  int use_count_ = 0;
  bool used_before_ = false;
};

}  // namespace orvel::app
