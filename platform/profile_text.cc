#include "platform/profile_text.h"

#include <algorithm>
#include <iterator>
#include <unordered_map>

namespace orvel::platform {
namespace {

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_blank(s.back())) s.remove_suffix(1);
  return s;
}

char fold(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = fold(c);
  return out;
}

bool has_line_break(std::string_view s) {
  return s.find_first_of("\r\n") != s.npos;
}

bool trimmed(std::string_view s) {
  return trim(s).size() == s.size();
}

}  // namespace

ProfileText::ProfileText(std::string_view text) {
  while (!text.empty()) {
    size_t nl = text.find('\n');
    Line line;
    if (nl == text.npos) {
      line.text = std::string(text);
      text = {};
    } else {
      bool crlf = nl > 0 && text[nl - 1] == '\r';
      line.text = std::string(text.substr(0, crlf ? nl - 1 : nl));
      line.end = crlf ? "\r\n" : "\n";
      text.remove_prefix(nl + 1);
    }
    lines_.push_back(std::move(line));
  }
}

std::string ProfileText::to_string() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.text;
    out += line.end;
  }
  return out;
}

bool ProfileText::names_equal(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return fold(x) == fold(y); });
}

bool ProfileText::is_storable_name(std::string_view section, std::string_view key) {
  return !section.empty() && !key.empty() && !has_line_break(section) && !has_line_break(key) &&
         trimmed(section) && trimmed(key) && section.find(']') == section.npos &&
         key.find('=') == key.npos && key.front() != ';' && key.front() != '[';
}

bool ProfileText::is_storable_value(std::string_view value) {
  return !has_line_break(value) && trimmed(value);
}

ProfileText::Parsed ProfileText::parse(const std::string& text) {
  std::string_view rest = text;
  while (!rest.empty() && is_blank(rest.front())) rest.remove_prefix(1);
  Parsed parsed;
  if (rest.empty() || rest.front() == ';') return parsed;
  if (rest.front() == '[') {
    rest.remove_prefix(1);
    parsed.kind = Kind::kHeader;
    parsed.name = trim(rest.substr(0, rest.find(']')));
    return parsed;
  }
  size_t eq = rest.find('=');
  if (eq == rest.npos) return parsed;
  parsed.name = trim(rest.substr(0, eq));
  if (parsed.name.empty()) return parsed;
  parsed.kind = Kind::kEntry;
  parsed.value = trim(rest.substr(eq + 1));
  return parsed;
}

template <typename Visit>
void ProfileText::for_each_entry(std::string_view section, Visit visit) const {
  bool inside = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    Parsed parsed = parse(lines_[i].text);
    if (parsed.kind == Kind::kHeader) {
      inside = names_equal(parsed.name, section);
    } else if (inside && parsed.kind == Kind::kEntry) {
      visit(i, parsed);
    }
  }
}

std::optional<std::string> ProfileText::get(std::string_view section, std::string_view key) const {
  std::optional<std::string> found;
  for_each_entry(section, [&](size_t, const Parsed& parsed) {
    if (!found && names_equal(parsed.name, key)) found = std::string(parsed.value);
  });
  return found;
}

std::vector<ProfileText::Entry> ProfileText::entries(std::string_view section) const {
  std::vector<Entry> out;
  for_each_entry(section, [&](size_t, const Parsed& parsed) {
    out.push_back({std::string(parsed.name), std::string(parsed.value)});
  });
  return out;
}

std::string ProfileText::new_line_end() const {
  if (!lines_.empty() && !lines_.front().end.empty()) return lines_.front().end;
  return "\r\n";
}

void ProfileText::set(std::string_view section, std::string_view key, std::string_view value) {
  set_all(section, {{std::string(key), std::string(value)}});
}

void ProfileText::set_all(std::string_view section, const std::vector<Entry>& entries) {
  // Folded key -> the value to store, and whether an entry of the text already took it.
  std::unordered_map<std::string, size_t> wanted;
  for (size_t i = 0; i < entries.size(); ++i) wanted[folded(entries[i].key)] = i;
  std::vector<bool> stored(entries.size(), false);

  std::optional<size_t> after;  // the last entry, or the header, of the first block
  bool inside = false;
  bool first_block_done = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    Parsed parsed = parse(lines_[i].text);
    if (parsed.kind == Kind::kHeader) {
      if (inside) first_block_done = true;
      inside = names_equal(parsed.name, section);
      if (inside && !after) after = i;
      continue;
    }
    if (!inside || parsed.kind != Kind::kEntry) continue;
    if (!first_block_done) after = i;
    auto it = wanted.find(folded(parsed.name));
    if (it == wanted.end() || stored[it->second]) continue;
    stored[it->second] = true;
    // Keep the key and whatever stands before the "=" as they are.
    std::string& text = lines_[i].text;
    text.resize(text.find('=') + 1);
    text += entries[it->second].value;
  }

  std::vector<Line> added;
  const std::string end = new_line_end();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (stored[i] || wanted[folded(entries[i].key)] != i) continue;
    added.push_back({entries[i].key + "=" + entries[i].value, end});
  }
  if (added.empty()) return;
  if (!after) {
    if (!lines_.empty() && lines_.back().end.empty()) lines_.back().end = end;
    lines_.push_back({"[" + std::string(section) + "]", end});
    after = lines_.size() - 1;
  }
  if (lines_[*after].end.empty()) lines_[*after].end = end;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(*after + 1),
                std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

bool ProfileText::remove_key(std::string_view section, std::string_view key) {
  return remove_entries_if(section, [&](std::string_view name) { return names_equal(name, key); });
}

bool ProfileText::remove_entries_if(std::string_view section,
                                    const std::function<bool(std::string_view key)>& doomed) {
  std::vector<bool> drop(lines_.size(), false);
  bool removed = false;
  for_each_entry(section, [&](size_t i, const Parsed& parsed) {
    if (doomed(parsed.name)) drop[i] = removed = true;
  });
  if (!removed) return false;
  std::vector<Line> kept;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!drop[i]) kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
  return true;
}

bool ProfileText::remove_section(std::string_view section) {
  std::vector<Line> kept;
  bool inside = false;
  bool removed = false;
  for (Line& line : lines_) {
    Parsed parsed = parse(line.text);
    if (parsed.kind == Kind::kHeader) {
      inside = names_equal(parsed.name, section);
      removed = removed || inside;
    }
    if (!inside) kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
  return removed;
}

}  // namespace orvel::platform
