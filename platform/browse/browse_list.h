// The browse list widget: a table of one page of rows (browse_page.h) over a keyed table,
// with its own scroll thumb, the keyboard and mouse moves of a list, the sort orders the
// caller registers and one locator text per order.
//
// Set-up by the caller: set_table(), set_columns(), add_order() for each order (key and
// locator field), apply_order() to choose one; set_locator_entry() names the entry into
// which printable keys typed in the list go. The list reads only while it is visible or
// when the caller asks it to (apply_order, locate, refresh), and never more rows than fit.
//
// A header sort (header_sorter.h) replaces the order's rows by sorted rows until the order
// is applied again or the sorted rows are taken away.
//
// The context menu holds the list's own entries (context_menu()) and, after a separator,
// the entries of an attached part such as the list-format manager, which are added before
// the menu opens and taken out after it closed.
//
// Read errors end the move that met them; the list keeps the rows it has and emits
// read_error() with the engine's error number for the caller's error reporter.
#pragma once

#include <QList>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "platform/browse/browse_page.h"
#include "platform/browse/column_format.h"
#include "platform/browse/key_rows.h"

class QAction;
class QLineEdit;
class QMenu;
class QScrollBar;
class QTableView;

namespace orvel::browse {

class BrowseModel;

// Entries another component adds to the list's context menu.
class ContextMenuPart {
 public:
  virtual ~ContextMenuPart() = default;
  // Adds the entries to menu before it opens; returns the actions added at its top level.
  virtual QList<QAction*> add_to(QMenu* menu) = 0;
  // The operator chose one of the entries (an action of the menu or of a submenu it added).
  virtual void carry_out(QAction* chosen) = 0;
  // Whether the action is one of the part's entries.
  virtual bool owns(QAction* action) const = 0;
};

class BrowseList : public QWidget {
  Q_OBJECT

 public:
  explicit BrowseList(QWidget* parent = nullptr);
  ~BrowseList() override;

  // The table must be open while the list reads and outlive the list.
  void set_table(datafile::Table* table);
  datafile::Table* table() const { return table_; }
  void set_columns(std::vector<ColumnFormat> columns);
  const std::vector<ColumnFormat>& columns() const;

  // Registers an order; returns its number, 1 for the first one registered.
  int add_order(int key, int locator_field);
  // Makes the order current and drops any header sort; the page starts at the order's
  // locator text (the top when it is empty).
  void apply_order(int order);
  int order() const { return order_; }  // 0 before the first apply_order()
  int order_key() const;
  int order_locator_field() const;

  // The locator text of the current order, code page 1251, at most 40 characters.
  const std::string& locator_text() const;
  // Keeps text (upper-cased, cut to 40 characters) as the current order's locator and
  // highlights the first row not lower; an empty text goes to the top.
  void locate(const std::string& text);
  void set_locator_entry(QLineEdit* entry) { locator_entry_ = entry; }

  // Rows that replace the order's rows (a header sort); null returns to the key order.
  void set_sorted_rows(std::unique_ptr<RowSource> rows);
  bool is_sorted() const { return sorted_ != nullptr; }

  void home();
  void end();
  void page_down();
  void page_up();
  void line_down();
  void line_up();
  void refresh();

  const BrowsePage& page() const { return page_; }
  const BrowseRecord* current_record() const { return page_.selected_row(); }

  QTableView* view() const { return view_; }
  QScrollBar* thumb() const { return thumb_; }
  BrowseModel* model() const { return model_; }

  // The list's own context-menu entries; empty at first.
  QMenu* context_menu() const { return own_menu_; }
  void set_context_menu_part(ContextMenuPart* part) { menu_part_ = part; }
  // Fills menu as it opens, and acts on the choice after it closed (null for none).
  void fill_context_menu(QMenu* menu);
  void context_menu_closed(QMenu* menu, QAction* chosen);

  // Dialog units of the list's font, horizontally, and back.
  int pixels(int dialog_units) const;
  int dialog_units(int pixels) const;

 signals:
  void accepted();  // double-click or Enter on a row
  void current_changed();
  void order_applied(int order);
  void read_error(int code);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  struct Order {
    int key;
    int locator_field;
    std::string locator;
    std::unique_ptr<KeyRows> rows;
  };

  // Shows the page after a move, and reports the move's error.
  void shown(int rc);
  void fit_page();
  bool key_pressed(class QKeyEvent* event);
  void thumb_action(int action);
  void show_thumb();
  void open_context_menu(const QPoint& global);

  datafile::Table* table_ = nullptr;
  std::vector<Order> orders_;
  int order_ = 0;
  std::unique_ptr<RowSource> sorted_;
  BrowsePage page_;
  BrowseModel* model_;
  QTableView* view_;
  QScrollBar* thumb_;
  QMenu* own_menu_;
  ContextMenuPart* menu_part_ = nullptr;
  QLineEdit* locator_entry_ = nullptr;
  bool showing_ = false;  // the page is being put on screen: selection signals are ours
  QList<QAction*> added_;
};

}  // namespace orvel::browse
