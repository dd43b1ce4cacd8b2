#include "app/passport_file.h"

#include "app/passport_record.h"
#include "platform/error_codes.h"

namespace orvel::app {

PassportFile::PassportFile(platform::FileSystem& fs)
    : decl_(passport_table()), table_(decl_, fs), message_name_(kPassportLabel) {}

bool PassportFile::use(ErrorReporter& reporter) {
  if (use_count_ > 0) {
    ++use_count_;
    return true;
  }
  if (!used_before_) {
    message_name_ = table_.name();
    used_before_ = true;
  }
  int rc = kNoError;
  for (int attempt = 0; attempt < 2; ++attempt) {
    rc = table_.open(mode_);
    if (rc == kAccessDenied) rc = table_.open(mode_);
    if (rc == kNoError) {
      use_count_ = 1;
      return true;
    }
    if (rc == kFileNotFound) {
      if (int created = table_.create(); created != kNoError) {
        report(reporter, kMsgFileCreationError, message_name_, error_text(created));
        return false;
      }
      continue;
    }
    if (rc == kAccessDenied && platform::open_mode::can_write(mode_)) {
      mode_ = platform::open_mode::sharing(mode_) | platform::open_mode::kReadOnly;
      report(reporter, kMsgWriteAccessDenied, message_name_, error_text(rc));
      continue;
    }
    break;
  }
  report(reporter, kMsgFileAccessError, message_name_, error_text(rc));
  return false;
}

int PassportFile::release() {
  if (use_count_ == 0) return kNoError;
  if (--use_count_ > 0) return kNoError;
  return table_.close();
}

uint32_t PassportFile::passport_count() {
  uint32_t count = 0;
  if (table_.records(&count) != kNoError) return 0;
  return count;
}

}  // namespace orvel::app
