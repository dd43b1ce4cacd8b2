// The INI manager: the program's settings file, the list it keeps for the length of a run,
// and the stored positions of windows.
//
// The list lives in section "__Dont_Touch_Me__": entry "Sectors" holds the number of items,
// "Sectors_1" to "Sectors_N" one item each as three comma-separated values. start() reads
// it, shutdown() writes it back in one replacement of the file, removing numbered entries
// beyond the count. Other entries of the section and every other section stay as they are.
//
// A window section holds "Maximize" and "Minimize" ("Yes" or "No") and "XPos", "YPos",
// "Width", "Height" as decimal integers in window units.
//
// Every write first creates the directory of the file when it is missing. Errors are the
// numbers of the private-profile functions (platform/private_profile.h). One object per
// process, used from the thread of the windows.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::platform {

inline constexpr char kListSection[] = "__Dont_Touch_Me__";
inline constexpr char kListCountEntry[] = "Sectors";

// One item of the list: three text values. Reading splits at the first two commas, so the
// third value keeps any further commas; blanks at either end of the whole entry are not kept.
using SectorItem = std::array<std::string, 3>;

// A window as it closes.
struct WindowState {
  bool maximized = false;
  bool minimized = false;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool resizable = false;
};

// What to apply to a window as it opens.
struct WindowPlacement {
  bool maximized = false;
  // Both coordinates, when both are stored as integers.
  std::optional<std::array<int, 2>> position;
  // Width and height, for a resizable window when both are stored as positive integers.
  std::optional<std::array<int, 2>> size;
};

class IniManager {
 public:
  // Binds the manager to the file at path (see settings_location.h); reads nothing yet.
  explicit IniManager(std::string path);
  IniManager(const IniManager&) = delete;
  IniManager& operator=(const IniManager&) = delete;

  const std::string& path() const { return path_; }

  // Reads the list. A missing file, section or count is an empty list. A count that is not
  // a number, or negative, is 0; numbered entries that are missing are skipped. Returns the
  // error of reading the file, with the list left empty.
  int start();

  // Writes "Sectors" (0 for an empty list) and the numbered entries of the list.
  int shutdown();

  const std::vector<SectorItem>& sectors() const { return sectors_; }
  // Replaces the list. kSystemInvalidName, with the list unchanged, when an item would not
  // read back as given: a comma in its first or second value, a line break in any.
  int set_sectors(std::vector<SectorItem> items);

  // Stores the state of a window as it closes in section: "Maximize" and "Minimize"; for a
  // maximised or minimised window the position and size are deleted; otherwise "XPos" and
  // "YPos" are written, and "Width" and "Height" for a resizable window (else deleted).
  int save_window_position(std::string_view section, const WindowState& state);

  // The placement stored in section, or nothing when "Maximize" is missing or holds anything
  // but exactly "Yes" or "No".
  std::optional<WindowPlacement> load_window_position(std::string_view section,
                                                      bool resizable) const;

 private:
  std::string path_;
  std::vector<SectorItem> sectors_;
};

}  // namespace orvel::platform
