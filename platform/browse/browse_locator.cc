#include "platform/browse/browse_locator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include "platform/browse/browse_list.h"
#include "platform/browse/browse_model.h"
#include "platform/browse/key_rows.h"

namespace orvel::browse {

BrowseLocator::BrowseLocator(QLineEdit* entry, BrowseList* list)
    : QObject(entry), entry_(entry), list_(list) {
  entry->setMaxLength(int(kLocatorWidth));
  entry->installEventFilter(this);
  list->set_locator_entry(entry);
  connect(entry, &QLineEdit::editingFinished, this, &BrowseLocator::accept);
  connect(list, &BrowseList::order_applied, this, &BrowseLocator::show_locator_text);
  show_locator_text();
}

void BrowseLocator::show_locator_text() {
  accepted_ = screen_text(list_->locator_text());
  entry_->setText(accepted_);
}

void BrowseLocator::accept() {
  if (entry_->text() == accepted_) return;
  list_->locate(program_text(entry_->text()));
  show_locator_text();
}

void BrowseLocator::move_focus(bool forward) {
  // A Tab key sent to the entry moves the focus through the window's focus chain.
  QKeyEvent tab(QEvent::KeyPress, forward ? Qt::Key_Tab : Qt::Key_Backtab,
                forward ? Qt::NoModifier : Qt::ShiftModifier);
  QApplication::sendEvent(entry_, &tab);
}

bool BrowseLocator::eventFilter(QObject* watched, QEvent* event) {
  if (watched != entry_ || event->type() != QEvent::KeyPress) return false;
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      accept();
      move_focus(true);
      return true;
    case Qt::Key_Down:
      move_focus(true);
      return true;
    case Qt::Key_Up:
      move_focus(false);
      return true;
    default:
      return false;
  }
}

}  // namespace orvel::browse
