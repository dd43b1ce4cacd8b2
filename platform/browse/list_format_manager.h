// The list-format manager of a browse list: named column layouts (which columns, in which
// order, how wide) kept in the list-formats file (list_format_store.h), offered in the list's
// context menu and managed in a set-up window.
//
// The caller tells it which layout goes with the list's current sort order: switch_to()
// first keeps the columns as they are under the layout in force, then applies the layout of
// the given number, or, when the file has none of that number yet, saves the columns under
// that number and name. store_current() keeps the columns as the window closes. Layouts the
// operator saves in the set-up window are numbered from 100 up, below which the numbers
// are the caller's.
//
// The context menu gets a submenu "List &Formats" with the saved layouts and the entry
// "Format &Setup...". A layout chosen there is applied and then the list's order is applied
// again, which ends any header sort.
//
// start() makes the directory of the file when it is missing; when that fails it shows
// "An error occured during directory creating!" and then "List Format Manager cannot work
// properly!" and "Program is terminated!" (caption "List Format Manager") and ends the
// program. Other errors of the file leave the manager without saved layouts and are
// reported through file_error().
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/browse/browse_list.h"
#include "platform/browse/list_format_store.h"
#include "platform/browse/list_layout.h"

namespace orvel::browse {

inline constexpr int kFirstOperatorLayout = 100;
inline constexpr char kManagerCaption[] = "List Format Manager";
inline constexpr char kManagerSection[] = "List Format Manager";

class ListFormatManager : public QObject, public ContextMenuPart {
  Q_OBJECT

 public:
  // decl: the list-formats table, which must outlive the manager; ini_path: the INI file
  // that keeps the position of the set-up window.
  ListFormatManager(BrowseList* list, const datafile::TableDecl& decl, std::string application,
                    std::string procedure, int control, std::string ini_path,
                    platform::FileSystem& fs = platform::system_file_system());
  ~ListFormatManager() override;

  // How messages are shown and how the program ends; message boxes and exit by default.
  void set_message_box(std::function<void(const std::string& caption, const std::string& text)> f);
  void set_terminate(std::function<void()> f);

  // Makes the directory and opens (or creates) the file. 0, or the error of the file.
  int start();

  void switch_to(int number, const std::string& name);
  int current_number() const { return current_number_; }
  const std::string& current_name() const { return current_name_; }
  void store_current();

  // The list's columns as they are now, and putting a layout on the list.
  ListLayout current_layout() const;
  void apply(const ListLayout& layout);

  // For the set-up window. Each returns 0 or the error of the file.
  int layouts(std::vector<SavedLayout>* saved);
  int save_current_as(const std::string& name, int* number);
  int rename(int number, const std::string& name);
  int remove(int number);
  int apply_saved(int number);
  void open_setup();
  const std::string& ini_path() const { return ini_path_; }

  // ContextMenuPart.
  QList<QAction*> add_to(QMenu* menu) override;
  void carry_out(QAction* chosen) override;
  bool owns(QAction* action) const override;

 signals:
  void file_error(int code);

 private:
  int report(int rc);

  BrowseList* list_;
  const std::string file_path_;
  const std::string ini_path_;
  std::unique_ptr<ListFormatStore> store_;
  int current_number_ = 0;
  std::string current_name_;
  std::function<void(const std::string&, const std::string&)> message_box_;
  std::function<void()> terminate_;
  QList<QPointer<QAction>> menu_actions_;
  QPointer<QAction> setup_action_;
};

}  // namespace orvel::browse
