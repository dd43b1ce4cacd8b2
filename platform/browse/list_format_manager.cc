#include "platform/browse/list_format_manager.h"

#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <cstdlib>

#include "platform/browse/browse_model.h"
#include "platform/browse/format_setup_dialog.h"
#include "platform/browse/list_formats_location.h"
#include "platform/error_codes.h"

namespace orvel::browse {

ListFormatManager::ListFormatManager(BrowseList* list, const datafile::TableDecl& decl,
                                     std::string application, std::string procedure, int control,
                                     std::string ini_path, platform::FileSystem& fs)
    : QObject(list),
      list_(list),
      file_path_(decl.file_name),
      ini_path_(std::move(ini_path)),
      store_(std::make_unique<ListFormatStore>(decl, std::move(application), std::move(procedure),
                                               control, fs)),
      message_box_([list](const std::string& caption, const std::string& text) {
        QMessageBox::warning(list, screen_text(caption), screen_text(text));
      }),
      terminate_([] { std::exit(EXIT_FAILURE); }) {
  list->set_context_menu_part(this);
}

ListFormatManager::~ListFormatManager() {
  list_->set_context_menu_part(nullptr);
}

void ListFormatManager::set_message_box(
    std::function<void(const std::string&, const std::string&)> f) {
  message_box_ = std::move(f);
}

void ListFormatManager::set_terminate(std::function<void()> f) {
  terminate_ = std::move(f);
}

int ListFormatManager::report(int rc) {
  if (rc != kNoError) emit file_error(rc);
  return rc;
}

int ListFormatManager::start() {
  if (int rc = create_list_formats_directory(file_path_); rc != kNoError) {
    message_box_(kManagerCaption, "An error occured during directory creating!");
    message_box_(kManagerCaption,
                 "List Format Manager cannot work properly!\nProgram is terminated!");
    terminate_();
    return rc;
  }
  return report(store_->open());
}

ListLayout ListFormatManager::current_layout() const {
  const QHeaderView* header = list_->view()->horizontalHeader();
  ListLayout layout;
  for (int visual = 0; visual < header->count(); ++visual) {
    const int column = header->logicalIndex(visual);
    if (header->isSectionHidden(column)) continue;
    layout.columns.push_back({column, list_->dialog_units(header->sectionSize(column))});
  }
  return layout;
}

void ListFormatManager::apply(const ListLayout& layout) {
  QHeaderView* header = list_->view()->horizontalHeader();
  const int count = header->count();
  std::vector<bool> shown(size_t(count), false);
  int place = 0;
  for (const ColumnPlace& p : layout.columns) {
    if (p.column < 0 || p.column >= count) continue;
    header->moveSection(header->visualIndex(p.column), place++);
    header->resizeSection(p.column, list_->pixels(p.width));
    shown[size_t(p.column)] = true;
  }
  // A layout that names none of the list's columns would leave an empty list.
  if (place == 0) return;
  for (int column = 0; column < count; ++column)
    header->setSectionHidden(column, !shown[size_t(column)]);
}

void ListFormatManager::store_current() {
  if (current_number_ == 0 || !store_->is_open()) return;
  report(store_->save({current_number_, current_name_, layout_text(current_layout())}));
}

void ListFormatManager::switch_to(int number, const std::string& name) {
  store_current();
  current_number_ = number;
  current_name_ = name;
  if (!store_->is_open()) return;
  SavedLayout saved;
  const int rc = store_->find(number, &saved);
  if (rc == kNoError) {
    current_name_ = saved.name;
    if (std::optional<ListLayout> layout = parse_layout(saved.format)) apply(*layout);
  } else if (rc == kRecordNotFound) {
    report(store_->save({number, name, layout_text(current_layout())}));
  } else {
    report(rc);
  }
}

int ListFormatManager::layouts(std::vector<SavedLayout>* saved) {
  if (!store_->is_open()) return saved->clear(), kFileNotOpen;
  return report(store_->list(saved));
}

int ListFormatManager::save_current_as(const std::string& name, int* number) {
  if (!store_->is_open()) return kFileNotOpen;
  if (int rc = store_->free_number(kFirstOperatorLayout, number); rc != kNoError) return report(rc);
  return report(store_->save({*number, name, layout_text(current_layout())}));
}

int ListFormatManager::rename(int number, const std::string& name) {
  if (!store_->is_open()) return kFileNotOpen;
  const int rc = store_->rename(number, name);
  if (rc == kNoError && number == current_number_) current_name_ = name;
  return report(rc);
}

int ListFormatManager::remove(int number) {
  if (!store_->is_open()) return kFileNotOpen;
  return report(store_->remove(number));
}

int ListFormatManager::apply_saved(int number) {
  if (!store_->is_open()) return kFileNotOpen;
  SavedLayout saved;
  if (int rc = store_->find(number, &saved); rc != kNoError) return report(rc);
  std::optional<ListLayout> layout = parse_layout(saved.format);
  if (!layout) return kNoError;  // a layout this manager cannot read is left alone
  // The columns as they were go back under the layout that was in force.
  if (number != current_number_) store_current();
  apply(*layout);
  current_number_ = number;
  current_name_ = saved.name;
  // A new layout ends any header sort: the list's order applies again.
  if (list_->order() > 0) list_->apply_order(list_->order());
  return kNoError;
}

void ListFormatManager::open_setup() {
  FormatSetupDialog dialog(this, list_);
  dialog.exec();
}

QList<QAction*> ListFormatManager::add_to(QMenu* menu) {
  menu_actions_.clear();
  QMenu* formats = menu->addMenu(QStringLiteral("List &Formats"));
  std::vector<SavedLayout> saved;
  if (store_->is_open()) layouts(&saved);
  for (const SavedLayout& layout : saved) {
    QAction* action = formats->addAction(screen_text(layout.name));
    action->setData(layout.number);
    action->setCheckable(true);
    action->setChecked(layout.number == current_number_);
    menu_actions_.push_back(action);
  }
  if (!saved.empty()) formats->addSeparator();
  setup_action_ = formats->addAction(QStringLiteral("Format &Setup..."));
  menu_actions_.push_back(setup_action_);
  return {formats->menuAction()};
}

bool ListFormatManager::owns(QAction* action) const {
  for (const QPointer<QAction>& mine : menu_actions_) {
    if (mine == action) return true;
  }
  return false;
}

void ListFormatManager::carry_out(QAction* chosen) {
  if (chosen == setup_action_) {
    open_setup();
  } else {
    apply_saved(chosen->data().toInt());
  }
}

}  // namespace orvel::browse
