// The saved layouts of one list in the list-formats file, a keyed data file that any number
// of programs and lists share. A layout is found by the application name, the procedure
// (window) name, the user (0 here: the file lives in the user's own directory), the list's
// control number and the layout number, which together make the file's unique key; it
// carries a name and the layout's format text (list_layout.h).
//
// The record is the CFG record: fields 0 to 8 are APPNAME (text 30), PROCID (text 30),
// USERID, CTRLID, FORMATID (16-bit integers), FORMATNAME (text 30), FLAG (8-bit), FORMAT
// (text 5120) and VARLINE (text 2048); its key 0 is the unique key over the first five.
// The caller gives the table declaration; a declaration of another shape fails with 47.
// Names and formats are code page 1251; longer ones are cut to their fields.
//
// Every call returns 0 or the engine's error number; a layout that does not exist is 35.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "datafile/table.h"

namespace orvel::browse {

struct SavedLayout {
  int number = 0;
  std::string name;
  std::string format;
};

class ListFormatStore {
 public:
  ListFormatStore(const datafile::TableDecl& decl, std::string application, std::string procedure,
                  int control, platform::FileSystem& fs = platform::system_file_system());
  ~ListFormatStore();

  // Opens the file for reading and writing, shared with every other program, and creates it
  // when it is missing. Its directory must exist (list_formats_location.h).
  int open();
  bool is_open() const { return table_.is_open(); }

  // The layouts of this list, by number.
  int list(std::vector<SavedLayout>* layouts);
  int find(int number, SavedLayout* layout);
  // Adds the layout, or replaces the one of its number.
  int save(const SavedLayout& layout);
  int rename(int number, const std::string& name);
  int remove(int number);
  // The lowest number from `from` on that no layout of this list has.
  int free_number(int from, int* number);

 private:
  bool declaration_fits() const;
  // The buffer holding this list's key with the given layout number.
  void set_key(int number);
  bool is_this_list();
  SavedLayout layout_in_buffer();

  const datafile::TableDecl& decl_;
  const std::string application_;
  const std::string procedure_;
  const int control_;
  datafile::Table table_;
};

}  // namespace orvel::browse
