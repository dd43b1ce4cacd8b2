#include "platform/settings_location.h"

#include <errno.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/error_codes.h"

namespace orvel::platform {
namespace {

bool is_set(const char* value) {
  return value != nullptr && value[0] != '\0';
}

std::string home_from_user_database() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !is_set(found->pw_dir)) {
    return {};
  }
  return found->pw_dir;
}

int mkdir_error(int err) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case EROFS:
      return kSystemWriteProtect;
    case ENOSPC:
    case EDQUOT:
      return kSystemDiskFull;
    default:
      return kSystemIoError;
  }
}

}  // namespace

std::string settings_file_path(const char* orvel_ini, const char* xdg_config_home,
                               const char* home) {
  if (is_set(orvel_ini)) return orvel_ini;
  if (is_set(xdg_config_home) && xdg_config_home[0] == '/') {
    return std::string(xdg_config_home) + "/" + kSettingsFileName;
  }
  std::string home_dir = is_set(home) ? std::string(home) : home_from_user_database();
  if (home_dir.empty()) return kSettingsFileName;
  return home_dir + "/.config/" + kSettingsFileName;
}

std::string settings_file_path() {
  return settings_file_path(::getenv("ORVEL_INI"), ::getenv("XDG_CONFIG_HOME"), ::getenv("HOME"));
}

int create_settings_directory(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return kNoError;
  const std::string directory = path.substr(0, slash);
  // Each prefix that ends before a "/" in turn, then the directory itself.
  for (size_t pos = directory.find('/', 1);; pos = directory.find('/', pos + 1)) {
    const std::string part = directory.substr(0, pos);
    if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return mkdir_error(errno);
    if (pos == std::string::npos) break;
  }
  struct stat st;
  if (::stat(directory.c_str(), &st) != 0) return mkdir_error(errno);
  return S_ISDIR(st.st_mode) ? kNoError : kPathNotFound;
}

}  // namespace orvel::platform
