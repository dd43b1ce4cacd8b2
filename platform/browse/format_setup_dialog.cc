#include "platform/browse/format_setup_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/browse/browse_model.h"
#include "platform/browse/list_format_manager.h"
#include "platform/private_profile.h"

namespace orvel::browse {
namespace {

constexpr int kNoPosition = -32768;

}  // namespace

FormatSetupDialog::FormatSetupDialog(ListFormatManager* manager, QWidget* parent)
    : QDialog(parent),
      manager_(manager),
      layouts_(new QListWidget(this)),
      name_(new QLineEdit(this)) {
  setWindowTitle(QStringLiteral("Format Setup"));
  name_->setMaxLength(30);

  auto* buttons = new QVBoxLayout;
  auto add_button = [&](const char* text, void (FormatSetupDialog::*action)()) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, action);
    buttons->addWidget(button);
  };
  add_button("&Save", &FormatSetupDialog::save_new);
  add_button("&Rename", &FormatSetupDialog::rename_selected);
  add_button("&Delete", &FormatSetupDialog::delete_selected);
  add_button("&Apply", &FormatSetupDialog::apply_selected);
  buttons->addStretch();
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(close);

  auto* left = new QVBoxLayout;
  left->addWidget(layouts_);
  auto* name_row = new QHBoxLayout;
  name_row->addWidget(new QLabel(QStringLiteral("&Name:"), this));
  name_row->addWidget(name_);
  left->addLayout(name_row);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(buttons);

  connect(layouts_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item != nullptr) name_->setText(item->data(Qt::UserRole + 1).toString());
  });
  connect(layouts_, &QListWidget::itemDoubleClicked, this, [this] { apply_selected(); });
  reload(manager_->current_number());

  const std::string& ini = manager_->ini_path();
  const int x = platform::get_profile_int(ini, kManagerSection, "browse_x", kNoPosition);
  const int y = platform::get_profile_int(ini, kManagerSection, "browse_y", kNoPosition);
  if (x != kNoPosition && y != kNoPosition) move(x, y);
}

void FormatSetupDialog::done(int result) {
  const std::string& ini = manager_->ini_path();
  platform::write_profile_string(ini, kManagerSection, "browse_x", std::to_string(pos().x()));
  platform::write_profile_string(ini, kManagerSection, "browse_y", std::to_string(pos().y()));
  QDialog::done(result);
}

void FormatSetupDialog::reload(int select_number) {
  layouts_->clear();
  std::vector<SavedLayout> saved;
  manager_->layouts(&saved);
  for (const SavedLayout& layout : saved) {
    auto* item = new QListWidgetItem(screen_text(layout.name), layouts_);
    item->setData(Qt::UserRole, layout.number);
    item->setData(Qt::UserRole + 1, screen_text(layout.name));
    if (layout.number == select_number) layouts_->setCurrentItem(item);
  }
}

int FormatSetupDialog::selected_number() const {
  const QListWidgetItem* item = layouts_->currentItem();
  return item != nullptr ? item->data(Qt::UserRole).toInt() : 0;
}

void FormatSetupDialog::save_new() {
  const QString name = name_->text().trimmed();
  if (name.isEmpty()) return;
  int number = 0;
  if (manager_->save_current_as(program_text(name), &number) == 0) reload(number);
}

void FormatSetupDialog::rename_selected() {
  const int number = selected_number();
  const QString name = name_->text().trimmed();
  if (number == 0 || name.isEmpty()) return;
  if (manager_->rename(number, program_text(name)) == 0) reload(number);
}

void FormatSetupDialog::delete_selected() {
  const int number = selected_number();
  if (number == 0) return;
  if (manager_->remove(number) == 0) reload(manager_->current_number());
}

void FormatSetupDialog::apply_selected() {
  const int number = selected_number();
  if (number != 0) manager_->apply_saved(number);
}

}  // namespace orvel::browse
