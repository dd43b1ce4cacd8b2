#include "platform/private_profile.h"

#include <charconv>
#include <memory>

#include "platform/error_codes.h"
#include "platform/file.h"
#include "platform/file_replacement.h"

namespace orvel::platform {
namespace {

// Names beside the file tried for its replacement: one left by a crash or put there by another
// program is passed over, never opened.
constexpr int kReplacementNameTries = 8;

int write_all(File& file, const std::string& data) {
  size_t written = 0;
  int rc = file.write_at(0, data.data(), data.size(), &written);
  if (rc != kNoError) return rc;
  return file.flush();
}

// Applies change to the text of the file and saves it when change returns true.
template <typename Change>
int update_profile(const std::string& path, Change change) {
  ProfileText text;
  int rc = load_profile(path, &text);
  if (rc != kNoError) return rc;
  if (!change(text)) return kNoError;
  return save_profile(path, text);
}

}  // namespace

int load_profile(const std::string& path, ProfileText* text) {
  *text = ProfileText();
  std::unique_ptr<File> file;
  int rc = system_file_system().open(path, open_mode::kReadOnly | open_mode::kDenyNone,
                                     Disposition::kOpenExisting, &file);
  if (rc == kFileNotFound || rc == kPathNotFound) return kNoError;
  if (rc != kNoError) return rc;
  uint64_t size = 0;
  if ((rc = file->size(&size)) != kNoError) return rc;
  if (size > kMaxProfileSize) return kAccessDenied;
  std::string data(static_cast<size_t>(size), '\0');
  size_t got = 0;
  if ((rc = file->read_at(0, data.data(), data.size(), &got)) != kNoError) return rc;
  data.resize(got);
  *text = ProfileText(data);
  return kNoError;
}

int save_profile(const std::string& path, const ProfileText& text) {
  const std::string target = replacement_target(path);
  std::string temp;
  std::unique_ptr<File> file;
  int rc = kAccessDenied;
  for (int i = 0; i < kReplacementNameTries && rc == kAccessDenied; ++i) {
    temp = temporary_name_beside(target);
    rc = system_file_system().open(temp, open_mode::kReadWrite | open_mode::kDenyAll,
                                   Disposition::kCreateNew, &file);
  }
  if (rc != kNoError) return rc;
  rc = write_all(*file, text.to_string());
  file.reset();
  if (rc == kNoError) rc = move_over(temp, target);
  if (rc != kNoError) system_file_system().remove(temp);
  return rc;
}

std::string get_profile_string(const std::string& path, std::string_view section,
                               std::string_view key, std::string_view default_value) {
  ProfileText text;
  if (load_profile(path, &text) != kNoError) return std::string(default_value);
  return text.get(section, key).value_or(std::string(default_value));
}

std::optional<int> profile_int_value(std::string_view value) {
  if (!value.empty() && value.front() == '+') {
    value.remove_prefix(1);
    if (!value.empty() && value.front() == '-') return std::nullopt;
  }
  int result = 0;
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), result);
  if (ec != std::errc()) return std::nullopt;
  return result;
}

int get_profile_int(const std::string& path, std::string_view section, std::string_view key,
                    int default_value) {
  ProfileText text;
  if (load_profile(path, &text) != kNoError) return default_value;
  std::optional<std::string> value = text.get(section, key);
  return value ? profile_int_value(*value).value_or(default_value) : default_value;
}

int write_profile_string(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view value) {
  if (!ProfileText::is_storable_name(section, key) || !ProfileText::is_storable_value(value)) {
    return kSystemInvalidName;
  }
  return update_profile(path, [&](ProfileText& text) {
    if (text.get(section, key) == value) return false;
    text.set(section, key, value);
    return true;
  });
}

int delete_profile_key(const std::string& path, std::string_view section, std::string_view key) {
  return update_profile(path, [&](ProfileText& text) { return text.remove_key(section, key); });
}

int delete_profile_section(const std::string& path, std::string_view section) {
  return update_profile(path, [&](ProfileText& text) { return text.remove_section(section); });
}

}  // namespace orvel::platform
