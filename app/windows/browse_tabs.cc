#include "app/windows/browse_tabs.h"

#include <QLineEdit>

#include "app/list_formats_record.h"
#include "app/main_tabs.h"
#include "app/passport_browse.h"
#include "app/record_buffer.h"
#include "app/record_fields.h"
#include "app/screen_text.h"
#include "app/windows/main_window.h"
#include "platform/browse/browse_list.h"
#include "platform/browse/browse_locator.h"
#include "platform/browse/column_format.h"
#include "platform/browse/header_sorter.h"
#include "platform/browse/list_format_manager.h"
#include "platform/error_codes.h"

namespace orvel::windows {
namespace {

using browse::Alignment;
using browse::ColumnFormat;

constexpr char kApplication[] = "orvel";
constexpr char kProcedure[] = "Main";
constexpr int kListControl = 1;  // ?LIST
constexpr char kLayoutName[] = "\xD1\xEE\xF0\xF2\xE8\xF0\xEE\xE2\xEA\xE0";  // Сортировка

std::vector<ColumnFormat> passport_columns() {
  auto column = [](const char* title, int width, Alignment cell, uint16_t field,
                   size_t characters) {
    ColumnFormat c;
    c.title = title;
    c.width = width;
    c.cell_alignment = cell;
    c.title_alignment = Alignment::kLeft;
    c.field = field;
    c.characters = characters;
    return c;
  };
  auto date = [](ColumnFormat c) {
    c.picture = [](int64_t day) { return app::screen_date(static_cast<int32_t>(day)); };
    return c;
  };
  return {
      column("\xD1\xE5\xF0\xE8\xFF", 30, Alignment::kLeft, app::kPspSer, 20),   // Серия
      column("\xCD\xEE\xEC\xE5\xF0", 30, Alignment::kLeft, app::kPspNum, 20),   // Номер
      column("\xD4\xC8\xCE", 120, Alignment::kLeft, app::kPspFio, 250),         // ФИО
      date(column("\xC4\xE0\xF2\xE0", 44, Alignment::kRight, app::kPspDatePas, 0)),  // Дата
      // Импортирован
      date(column("\xC8\xEC\xEF\xEE\xF0\xF2\xE8\xF0\xEE\xE2\xE0\xED", 44, Alignment::kRight,
                  app::kPspDateImp, 0)),
      column("\xCF\xF0\xE8\xF7\xE8\xED\xE0", 1020, Alignment::kLeft, app::kPspComment,
             app::kReasonShown),  // Причина
  };
}

// The layout the list-format manager keeps for an order: 3 «Сортировка2» for order 1 or
// below, 2 «Сортировка1» for any other.
std::pair<int, std::string> layout_of_order(int order) {
  if (order <= 1) return {order + 2, kLayoutName + std::to_string(order + 1)};
  return {2, std::string(kLayoutName) + "1"};
}

}  // namespace

BrowseTabs::BrowseTabs(Parts parts)
    : parts_(std::move(parts)), formats_decl_(app::list_formats_table(parts_.list_formats_path)) {
  list_ = new browse::BrowseList(&parts_.window);
  list_->set_table(&parts_.passports.table());
  // Registered in this order, they are numbers kByNameOrder and kByNumberOrder.
  list_->add_order(app::kKeyFio, app::kPspFio);
  list_->add_order(app::kKeyNumSer, app::kPspNum);
  list_->set_columns(passport_columns());
  parts_.window.set_browse_list(list_);

  auto* entry = parts_.window.findChild<QLineEdit*>("?LOC:F1");
  list_->set_locator_entry(entry);
  locator_ = new browse::BrowseLocator(entry, list_);

  formats_ = std::make_unique<browse::ListFormatManager>(
      list_, formats_decl_, kApplication, kProcedure, kListControl, parts_.ini_path);
  formats_->set_message_box([this](const std::string& caption, const std::string& text) {
    parts_.boxes.show_error(&parts_.window, caption, text, /*fatal=*/false);
  });
  formats_->set_terminate([this] { fatal_ = true; });
  list_->set_context_menu_part(formats_.get());
  sorter_ = new browse::HeaderSorter(list_);

  QObject::connect(list_, &browse::BrowseList::accepted, list_, [this] { row_accepted(); });
  QObject::connect(list_, &browse::BrowseList::read_error, list_, [this](int code) {
    parts_.boxes.show_plain(&parts_.window, error_text(code));
  });
  QObject::connect(formats_.get(), &browse::ListFormatManager::file_error, list_,
                   [this](int code) {
                     parts_.boxes.show_plain(&parts_.window, error_text(code));
                   });
  parts_.window.set_browse_order([this](int tab) { apply_order_of_tab(tab); });
}

BrowseTabs::~BrowseTabs() {
  if (last_order_ != 0) formats_->store_current();
  // The list lives on with the window; it must not reach the manager after this.
  list_->set_context_menu_part(nullptr);
}

bool BrowseTabs::start() {
  formats_->start();
  return !fatal_;
}

void BrowseTabs::apply_order_of_tab(int tab) {
  const int order = tab == app::kBrowseByNameTab ? kByNameOrder : kByNumberOrder;
  if (order != last_order_) {
    sorter_->clear();
    auto [number, name] = layout_of_order(order);
    formats_->switch_to(number, name);
    last_order_ = order;
  }
  list_->apply_order(order);
}

void BrowseTabs::row_accepted() {
  const browse::BrowseRecord* row = list_->current_record();
  if (!row || row->image.size() < sizeof(app::PSP)) return;
  const app::PSP shown = app::read_record<app::PSP>(row->image);
  app::PSP passport;
  if (app::fetch_passport(parts_.passports.table(), app::text_of(shown.SER),
                          app::text_of(shown.NUM), &passport) != kNoError) {
    return;  // removed meanwhile
  }
  if (parts_.open_view_form) parts_.open_view_form(passport);
}

}  // namespace orvel::windows
