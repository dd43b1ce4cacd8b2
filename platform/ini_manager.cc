#include "platform/ini_manager.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <utility>

#include "platform/error_codes.h"
#include "platform/private_profile.h"
#include "platform/profile_text.h"
#include "platform/settings_location.h"

namespace orvel::platform {
namespace {

constexpr char kItemPrefix[] = "Sectors_";

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string item_key(size_t number) {
  return kItemPrefix + std::to_string(number);
}

// The number of a key "Sectors_<digits>", case folded; nothing for any other key and for
// numbers too large for size_t, which are beyond every count.
std::optional<size_t> item_number(std::string_view key, bool* beyond) {
  constexpr std::string_view prefix = kItemPrefix;
  *beyond = false;
  if (key.size() <= prefix.size() ||
      !ProfileText::names_equal(key.substr(0, prefix.size()), prefix))
    return std::nullopt;
  std::string_view digits = key.substr(prefix.size());
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  size_t number = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (ec != std::errc()) *beyond = true;
  return number;
}

SectorItem split_item(std::string_view text) {
  SectorItem item;
  for (size_t i = 0; i < 2; ++i) {
    size_t comma = text.find(',');
    if (comma == text.npos) {
      item[i] = std::string(text);
      return item;
    }
    item[i] = std::string(text.substr(0, comma));
    text.remove_prefix(comma + 1);
  }
  item[2] = std::string(text);
  return item;
}

bool is_storable(const SectorItem& item) {
  if (item[0].find(',') != std::string::npos || item[1].find(',') != std::string::npos)
    return false;
  return ProfileText::is_storable_value(item[0] + "," + item[1] + "," + item[2]);
}

int save(const std::string& path, const ProfileText& text) {
  int rc = create_settings_directory(path);
  return rc != kNoError ? rc : save_profile(path, text);
}

}  // namespace

IniManager::IniManager(std::string path) : path_(std::move(path)) {}

int IniManager::start() {
  sectors_.clear();
  ProfileText text;
  int rc = load_profile(path_, &text);
  if (rc != kNoError) return rc;
  std::unordered_map<std::string, std::string> values;  // upper-cased key -> first value
  for (auto& entry : text.entries(kListSection)) {
    values.try_emplace(upper(entry.key), std::move(entry.value));
  }
  auto count_it = values.find(upper(kListCountEntry));
  if (count_it == values.end()) return kNoError;
  int count = profile_int_value(count_it->second).value_or(0);
  // No more items can exist than entries of the section, whatever the count claims.
  size_t last = std::min(static_cast<size_t>(std::max(count, 0)), values.size());
  for (size_t number = 1; number <= last; ++number) {
    auto it = values.find(upper(item_key(number)));
    if (it != values.end()) sectors_.push_back(split_item(it->second));
  }
  return kNoError;
}

int IniManager::shutdown() {
  ProfileText text;
  int rc = load_profile(path_, &text);
  if (rc != kNoError) return rc;
  const size_t count = sectors_.size();
  text.remove_entries_if(kListSection, [count](std::string_view key) {
    bool beyond = false;
    std::optional<size_t> number = item_number(key, &beyond);
    return number && (beyond || *number == 0 || *number > count);
  });
  std::vector<ProfileText::Entry> entries;
  entries.push_back({kListCountEntry, std::to_string(count)});
  for (size_t i = 0; i < count; ++i) {
    const SectorItem& item = sectors_[i];
    entries.push_back({item_key(i + 1), item[0] + "," + item[1] + "," + item[2]});
  }
  text.set_all(kListSection, entries);
  return save(path_, text);
}

int IniManager::set_sectors(std::vector<SectorItem> items) {
  if (!std::all_of(items.begin(), items.end(), is_storable)) return kSystemInvalidName;
  sectors_ = std::move(items);
  return kNoError;
}

int IniManager::save_window_position(std::string_view section, const WindowState& state) {
  if (!ProfileText::is_storable_name(section, "Maximize")) return kSystemInvalidName;
  ProfileText text;
  int rc = load_profile(path_, &text);
  if (rc != kNoError) return rc;
  std::vector<ProfileText::Entry> entries = {
      {"Maximize", state.maximized ? "Yes" : "No"},
      {"Minimize", state.minimized ? "Yes" : "No"},
  };
  std::vector<std::string_view> removed;
  if (state.maximized || state.minimized) {
    removed = {"XPos", "YPos", "Width", "Height"};
  } else {
    entries.push_back({"XPos", std::to_string(state.x)});
    entries.push_back({"YPos", std::to_string(state.y)});
    if (state.resizable) {
      entries.push_back({"Width", std::to_string(state.width)});
      entries.push_back({"Height", std::to_string(state.height)});
    } else {
      removed = {"Width", "Height"};
    }
  }
  text.set_all(section, entries);
  text.remove_entries_if(section, [&](std::string_view key) {
    return std::any_of(removed.begin(), removed.end(),
                       [&](std::string_view name) { return ProfileText::names_equal(key, name); });
  });
  return save(path_, text);
}

std::optional<WindowPlacement> IniManager::load_window_position(std::string_view section,
                                                                bool resizable) const {
  ProfileText text;
  if (load_profile(path_, &text) != kNoError) return std::nullopt;
  std::optional<std::string> maximize = text.get(section, "Maximize");
  if (!maximize || (*maximize != "Yes" && *maximize != "No")) return std::nullopt;
  // A value that is not a number counts as missing.
  auto number = [&](std::string_view key) -> std::optional<int> {
    std::optional<std::string> value = text.get(section, key);
    return value ? profile_int_value(*value) : std::nullopt;
  };
  WindowPlacement placement;
  placement.maximized = *maximize == "Yes";
  std::optional<int> x = number("XPos"), y = number("YPos");
  if (x && y) placement.position = std::array<int, 2>{*x, *y};
  if (resizable) {
    std::optional<int> width = number("Width"), height = number("Height");
    if (width && height && *width > 0 && *height > 0) {
      placement.size = std::array<int, 2>{*width, *height};
    }
  }
  return placement;
}

}  // namespace orvel::platform
