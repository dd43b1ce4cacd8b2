// The browse of the main window's tabs 4 and 5: the browse list at the place of ?LIST over
// the passport file, its two orders with their locators on ?LOC:F1, the six columns, the
// list-format manager and the column-header sorter.
//
// Orders, numbered as registered: 1 by name (KL_FIO, locator on FIO) for tab 5, 2 by
// number (KL_NUM_SER, locator on NUM) for every other tab. Applying an order other than the
// last one applied first clears the header sort and switches the list-format manager to
// the layout of that order: number 3 «Сортировка2» for order 1, number 2 «Сортировка1» for
// order 2. Then the list reads its rows again.
//
// Double-click or Enter on a row reads the passport again by series and number (the first
// in KL_SER_NUM order) and hands it to the view form; a passport gone meanwhile opens
// nothing. Read errors of the list are shown in a message box; the list keeps its rows.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/passport_file.h"
#include "app/passport_record.h"
#include "datafile/declaration.h"
#include "platform/toolkit/message_boxes.h"

namespace orvel::browse {
class BrowseList;
class BrowseLocator;
class HeaderSorter;
class ListFormatManager;
}  // namespace orvel::browse

namespace orvel::windows {

class MainWindow;

inline constexpr int kByNameOrder = 1;
inline constexpr int kByNumberOrder = 2;

class BrowseTabs {
 public:
  struct Parts {
    MainWindow& window;
    app::PassportFile& passports;
    platform::toolkit::MessageBoxes& boxes;
    std::string ini_path;
    std::string list_formats_path;
    std::function<void(const app::PSP&)> open_view_form;
  };

  // Sets the browse up in the window, which must be open and outlive this object.
  explicit BrowseTabs(Parts parts);
  ~BrowseTabs();

  // Makes the list-formats directory and file; false after the manager's fatal messages.
  bool start();

  // The order of a tab (4 or 5), applied; on tab changes and on "Найти" in tab 4.
  void apply_order_of_tab(int tab);
  int last_order() const { return last_order_; }

  browse::BrowseList& list() { return *list_; }
  browse::ListFormatManager& formats() { return *formats_; }
  browse::HeaderSorter& sorter() { return *sorter_; }

 private:
  void row_accepted();

  Parts parts_;
  const datafile::TableDecl formats_decl_;
  browse::BrowseList* list_;  // a child of the window
  browse::BrowseLocator* locator_;  // a child of the locator entry
  browse::HeaderSorter* sorter_;  // a child of the list
  std::unique_ptr<browse::ListFormatManager> formats_;
  int last_order_ = 0;
  bool fatal_ = false;
};

}  // namespace orvel::windows
