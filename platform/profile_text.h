// The text of one INI file in memory, changed line by line so that everything the program
// does not touch comes out byte for byte as it went in.
//
// The text is a list of lines. A line whose first non-blank byte is "[" opens a section; its
// name runs to the first "]" (or, when the "]" is missing, to the end of the line), with blanks
// and tabs around it dropped. Inside a section, a line with "=" that is neither a comment
// (first non-blank byte ";") nor a header is an entry: the key is the text before the first
// "=", the value the text after it, both with surrounding blanks and tabs dropped. Every
// other line (comments, blank lines, lines without "=", entries before the first header) is
// kept and never matched. Section and key names compare with ASCII letters folded; other
// bytes (code page 1251 letters included) compare exactly. No byte is converted.
//
// When a section name occurs more than once, all its blocks count as one section: lookups
// take the first matching entry, new entries go to the end of the first block, deletions
// remove every match. Line ends are kept per line ("\n" or "\r\n"); lines added take the end
// of the first line of the text, "\r\n" for an empty text.
//
// Not thread-safe; a value type.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvel::platform {

class ProfileText {
 public:
  ProfileText() = default;
  // Splits text into lines; accepts any bytes.
  explicit ProfileText(std::string_view text);

  // The text with every line and its line end, as it would be written to the file.
  std::string to_string() const;

  // The trimmed value of key in section, or nothing when there is no such entry.
  std::optional<std::string> get(std::string_view section, std::string_view key) const;

  struct Entry {
    std::string key;  // as spelled
    std::string value;
  };

  // Replaces the value of the first matching entry, keeping the key as it is spelled there;
  // without one, appends "key=value" after the last entry of the first block of the section,
  // and without the section, appends "[section]" and the entry at the end of the text.
  // REQUIRES: is_storable_name(section, key) and is_storable_value(value).
  void set(std::string_view section, std::string_view key, std::string_view value);
  // set() for each of entries in one pass over the text; new ones are appended in the order
  // given. A key given twice takes the last value.
  void set_all(std::string_view section, const std::vector<Entry>& entries);

  // Removes every entry of key in section. Returns whether one was removed.
  bool remove_key(std::string_view section, std::string_view key);
  // Removes every entry of the section whose key (as spelled) doomed accepts. Returns
  // whether one was removed.
  bool remove_entries_if(std::string_view section,
                         const std::function<bool(std::string_view key)>& doomed);

  // Removes every block of the section: its header and all lines up to the next header.
  // Returns whether one was removed.
  bool remove_section(std::string_view section);

  // The entries of the section in the order of the text, duplicates included.
  std::vector<Entry> entries(std::string_view section) const;

  // Whether a section and key can be written so that they read back as given: non-empty, no
  // line break, no blank or tab at either end, no "]" in the section, no "=" in the key and
  // the key not beginning with ";" or "[".
  static bool is_storable_name(std::string_view section, std::string_view key);
  // Whether a value can be written so that it reads back as given: no line break, no blank
  // or tab at either end.
  static bool is_storable_value(std::string_view value);

  // ASCII-folded equality, the comparison of section and key names.
  static bool names_equal(std::string_view a, std::string_view b);

 private:
  struct Line {
    std::string text;  // without the line end
    std::string end;   // "\n", "\r\n" or empty for a last line without one
  };
  enum class Kind { kHeader, kEntry, kOther };
  struct Parsed {
    Kind kind = Kind::kOther;
    std::string_view name;  // section name of a header, key of an entry
    std::string_view value;
  };

  static Parsed parse(const std::string& text);
  // Calls visit(index, parsed) for each entry of the section, in order, across all blocks.
  template <typename Visit>
  void for_each_entry(std::string_view section, Visit visit) const;
  std::string new_line_end() const;

  std::vector<Line> lines_;
};

}  // namespace orvel::platform
