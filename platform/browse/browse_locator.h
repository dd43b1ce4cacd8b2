// The locator entry of a browse list: a single-line entry that shows and edits the locator
// text of the list's current order (40 characters) and, when accepted, jumps the list to
// the first entry not lower than it.
//
// The entry is accepted when its text changed and Enter is pressed or the focus leaves it;
// the text is then upper-cased, as the list positions with it. In the entry, Enter and the
// Down arrow move the focus on to the next control, and the Up arrow back to the previous
// one, as Tab and Shift+Tab do. Printable keys typed in the list come to this entry.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;

namespace orvel::browse {

class BrowseList;

class BrowseLocator : public QObject {
  Q_OBJECT

 public:
  // The entry and the list belong to the caller's window and outlive the locator.
  BrowseLocator(QLineEdit* entry, BrowseList* list);

  // Positions the list when the text differs from the one last accepted.
  void accept();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void show_locator_text();
  void move_focus(bool forward);

  QLineEdit* entry_;
  BrowseList* list_;
  QString accepted_;
};

}  // namespace orvel::browse
