#include "textfile/text_file.h"

#include <filesystem>

#include "platform/error_codes.h"
#include "textfile/record_writer.h"

namespace orvel::textfile {

namespace mode_bits = platform::open_mode;

TextFile::TextFile(TextFileDecl decl, platform::FileSystem& fs)
    : decl_(std::move(decl)), fs_(fs), record_(decl_.layout.size()) {
  decl_.layout.blank(record_);
}

TextFile::~TextFile() {
  if (is_open()) close();
}

int TextFile::fail(int code) {
  last_error_ = code;
  return code;
}

int TextFile::resolve_name() {
  std::string_view name = decl_.name ? decl_.name() : std::string_view();
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  if (name.empty() || name.size() >= kMaxNameLength || name.find('\0') != std::string_view::npos) {
    return kInvalidFilename;
  }
  std::filesystem::path path(name);
  // Only a name without a root directory depends on the current directory; on Windows a
  // name such as "\dir\file" stays as written and means the current drive.
  if (!path.has_root_directory()) {
    std::error_code ec;
    auto cwd = std::filesystem::current_path(ec);
    if (ec) return kPathNotFound;
    path = cwd / path;
  }
  resolved_name_ = path.string();
  return kNoError;
}

int TextFile::create() {
  if (is_open()) return fail(kFileAlreadyOpen);
  if (!decl_.create) return fail(kNoCreateAttribute);
  if (int rc = resolve_name(); rc != kNoError) return fail(rc);
  std::unique_ptr<platform::File> file;
  int rc = fs_.open(resolved_name_, mode_bits::kReadWrite | mode_bits::kDenyAll,
                    platform::Disposition::kCreateTruncate, &file);
  if (rc == kSystemInvalidName) rc = kInvalidFilename;
  return rc == kNoError ? kNoError : fail(rc);
}

int TextFile::open(int mode) {
  if (is_open()) return fail(kFileAlreadyOpen);
  if (int rc = resolve_name(); rc != kNoError) return fail(rc);
  std::unique_ptr<platform::File> file;
  int rc = fs_.open(resolved_name_, mode, platform::Disposition::kOpenExisting, &file);
  if (rc == kSystemInvalidName) rc = kInvalidFilename;
  if (rc != kNoError) return fail(rc);
  uint64_t size = 0;
  if (rc = file->size(&size); rc != kNoError) return fail(rc);

  settings_ = driver_settings(decl_.options, mode, decl_.layout);
  reader_.emplace(settings_.format);
  file_ = std::move(file);
  io_ = std::make_unique<FileIo>(*file_, settings_.file_buffer ? settings_.buffer_size : 0);
  mode_ = mode;
  file_size_ = size;
  positioned_ = false;
  next_offset_ = 0;
  has_current_ = false;
  current_length_ = 0;
  return kNoError;
}

int TextFile::set() {
  if (!is_open()) return fail(kFileNotOpen);
  positioned_ = true;
  next_offset_ = 0;
  return kNoError;
}

int TextFile::next() {
  if (!is_open()) return fail(kFileNotOpen);
  int rc = kRecordNotAvailable;
  uint64_t length = 0;
  if (positioned_ && next_offset_ < file_size_) {
    rc = reader_->read(*io_, next_offset_, decl_.layout, record_, &length);
    file_size_ = std::min(file_size_, io_->take_lost_from());
  }
  if (rc != kNoError) {
    positioned_ = false;
    has_current_ = false;
    return fail(rc);
  }
  has_current_ = true;
  current_length_ = length;
  next_offset_ += length;
  return kNoError;
}

int TextFile::bytes(uint64_t* count) {
  if (!is_open()) return fail(kFileNotOpen);
  *count = has_current_ ? current_length_ : file_size_;
  return kNoError;
}

int TextFile::append() {
  if (!is_open()) return fail(kFileNotOpen);
  if (!mode_bits::can_write(mode_)) return fail(kAccessDenied);
  // Others may append too: byte 0 serialises the appends of all openers.
  bool shared = (mode_ & mode_bits::kShareMask) == mode_bits::kDenyNone;
  if (shared) {
    if (file_->lock(0, 1) != kNoError) return fail(kAccessDenied);
    if (!io_->buffered()) {
      if (int rc = file_->size(&file_size_); rc != kNoError) {
        file_->unlock(0, 1);
        return fail(rc);
      }
    }
  }
  line_.clear();
  write_record(decl_.layout, settings_.format, record_, &line_);
  int rc = io_->write(file_size_, line_);
  if (shared) file_->unlock(0, 1);
  file_size_ = std::min(file_size_, io_->take_lost_from());
  if (rc != kNoError) return fail(rc);
  file_size_ += line_.size();
  return kNoError;
}

int TextFile::close() {
  if (!is_open()) return fail(kFileNotOpen);
  int rc = io_->flush();
  int flushed = file_->flush();
  if (rc == kNoError) rc = flushed;
  release();
  return rc == kNoError ? kNoError : fail(rc);
}

void TextFile::release() {
  io_.reset();
  file_.reset();
  reader_.reset();
  positioned_ = false;
  has_current_ = false;
}

int TextFile::records(uint64_t* count) {
  *count = 0;
  return fail(kUnsupportedFunction);
}

int TextFile::unsupported() {
  return fail(kUnsupportedFunction);
}

}  // namespace orvel::textfile
