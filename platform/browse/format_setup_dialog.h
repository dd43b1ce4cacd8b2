// The set-up window of the list-format manager: the layouts saved for the list, a name
// entry, and buttons to save the list's columns as a new layout, rename, delete and apply
// the selected one. Its position is kept in the INI file, section "List Format Manager",
// entries "browse_x" and "browse_y".
#pragma once

#include <QDialog>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvel::browse {

class ListFormatManager;

class FormatSetupDialog : public QDialog {
  Q_OBJECT

 public:
  FormatSetupDialog(ListFormatManager* manager, QWidget* parent = nullptr);

  QListWidget* layouts() const { return layouts_; }
  QLineEdit* name() const { return name_; }

  // The buttons' work, also for callers that drive the window without clicks.
  void save_new();
  void rename_selected();
  void delete_selected();
  void apply_selected();

 protected:
  void done(int result) override;

 private:
  void reload(int select_number);
  int selected_number() const;

  ListFormatManager* manager_;
  QListWidget* layouts_;
  QLineEdit* name_;
};

}  // namespace orvel::browse
