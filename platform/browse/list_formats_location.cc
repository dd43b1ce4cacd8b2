#include "platform/browse/list_formats_location.h"

#include <cstdlib>

#include "platform/settings_location.h"

namespace orvel::browse {

std::string list_formats_file_path(const char* orvel_formats, const char* xdg_config_home,
                                   const char* home) {
  if (orvel_formats != nullptr && *orvel_formats != '\0') return orvel_formats;
  if (xdg_config_home != nullptr && xdg_config_home[0] == '/') {
    return std::string(xdg_config_home) + "/orvel/Formats.FDB";
  }
  if (home != nullptr && *home != '\0') return std::string(home) + "/.config/orvel/Formats.FDB";
  return "orvel/Formats.FDB";
}

std::string list_formats_file_path() {
#ifdef _WIN32
  return "C:\\Temp\\Formats.FDB";
#else
  return list_formats_file_path(std::getenv("ORVEL_FORMATS"), std::getenv("XDG_CONFIG_HOME"),
                                std::getenv("HOME"));
#endif
}

int create_list_formats_directory(const std::string& file_path) {
  return platform::create_settings_directory(file_path);
}

}  // namespace orvel::browse
