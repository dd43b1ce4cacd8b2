#include "platform/browse/browse_list.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <QWheelEvent>
#include <algorithm>

#include "platform/browse/browse_model.h"
#include "platform/browse/field_values.h"
#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

// Rows moved by one step of the mouse wheel.
constexpr int kWheelLines = 3;

}  // namespace

BrowseList::BrowseList(QWidget* parent)
    : QWidget(parent),
      model_(new BrowseModel(page_, this)),
      view_(new QTableView(this)),
      thumb_(new QScrollBar(Qt::Vertical, this)),
      own_menu_(new QMenu(this)) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view_);
  layout->addWidget(thumb_);

  view_->setModel(model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view_->setWordWrap(false);
  view_->setTabKeyNavigation(false);
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
  view_->horizontalHeader()->setSectionsClickable(true);
  view_->horizontalHeader()->setSectionsMovable(true);
  view_->horizontalHeader()->setHighlightSections(false);
  view_->setContextMenuPolicy(Qt::DefaultContextMenu);
  view_->installEventFilter(this);
  view_->viewport()->installEventFilter(this);
  setFocusProxy(view_);

  thumb_->setRange(0, kThumbRange);
  thumb_->setSingleStep(1);
  thumb_->setPageStep(kThumbRange / 20);
  connect(thumb_, &QScrollBar::actionTriggered, this, &BrowseList::thumb_action);
  connect(view_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (showing_ || !current.isValid()) return;
            page_.select(current.row());
            emit current_changed();
          });
  connect(view_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
    if (index.isValid()) emit accepted();
  });
}

BrowseList::~BrowseList() = default;

void BrowseList::set_table(datafile::Table* table) {
  table_ = table;
  orders_.clear();
  order_ = 0;
  sorted_.reset();
  page_.set_source(nullptr);
  model_->set_declaration(table ? &table->declaration() : nullptr);
}

void BrowseList::set_columns(std::vector<ColumnFormat> columns) {
  model_->set_columns(std::move(columns));
  for (size_t i = 0; i < model_->columns().size(); ++i) {
    view_->horizontalHeader()->resizeSection(int(i), pixels(model_->columns()[i].width));
  }
}

const std::vector<ColumnFormat>& BrowseList::columns() const {
  return model_->columns();
}

int BrowseList::add_order(int key, int locator_field) {
  orders_.push_back(
      {key, locator_field, {}, std::make_unique<KeyRows>(*table_, key, locator_field)});
  return int(orders_.size());
}

int BrowseList::order_key() const {
  return order_ > 0 ? orders_[size_t(order_ - 1)].key : -1;
}

int BrowseList::order_locator_field() const {
  return order_ > 0 ? orders_[size_t(order_ - 1)].locator_field : -1;
}

const std::string& BrowseList::locator_text() const {
  static const std::string none;
  return order_ > 0 ? orders_[size_t(order_ - 1)].locator : none;
}

void BrowseList::apply_order(int order) {
  if (order < 1 || size_t(order) > orders_.size()) return;
  order_ = order;
  sorted_.reset();
  page_.set_source(orders_[size_t(order - 1)].rows.get());
  fit_page();
  shown(page_.locate(locator_text()));
  emit order_applied(order);
}

void BrowseList::locate(const std::string& text) {
  if (order_ == 0) return;
  std::string& locator = orders_[size_t(order_ - 1)].locator;
  locator = upper_case(text.substr(0, std::min(text.size(), kLocatorWidth)));
  shown(page_.locate(locator));
}

void BrowseList::set_sorted_rows(std::unique_ptr<RowSource> rows) {
  if (order_ == 0) return;
  sorted_ = std::move(rows);
  page_.set_source(sorted_ ? sorted_.get() : orders_[size_t(order_ - 1)].rows.get());
  fit_page();
  shown(page_.home());
}

void BrowseList::home() {
  shown(page_.home());
}
void BrowseList::end() {
  shown(page_.end());
}
void BrowseList::page_down() {
  shown(page_.page_down());
}
void BrowseList::page_up() {
  shown(page_.page_up());
}
void BrowseList::line_down() {
  shown(page_.line_down());
}
void BrowseList::line_up() {
  shown(page_.line_up());
}
void BrowseList::refresh() {
  shown(page_.refresh());
}

void BrowseList::shown(int rc) {
  showing_ = true;
  model_->page_changed();
  if (page_.selected() >= 0) {
    const QModelIndex current =
        model_->index(page_.selected(), std::max(view_->currentIndex().column(), 0));
    view_->selectionModel()->setCurrentIndex(
        current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  }
  show_thumb();
  showing_ = false;
  emit current_changed();
  if (rc != kNoError) emit read_error(rc);
}

void BrowseList::fit_page() {
  const int row_height = std::max(view_->verticalHeader()->defaultSectionSize(), 1);
  const size_t rows = size_t(std::max(view_->viewport()->height() / row_height, 1));
  if (rows == page_.size()) return;
  const int rc = page_.set_size(rows);
  if (page_.source() != nullptr) shown(rc);
}

void BrowseList::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  fit_page();
}

int BrowseList::pixels(int dialog_units) const {
  return (dialog_units * fontMetrics().averageCharWidth() + 2) / 4;
}

int BrowseList::dialog_units(int pixels) const {
  const int width = std::max(fontMetrics().averageCharWidth(), 1);
  return (pixels * 4 + width / 2) / width;
}

bool BrowseList::key_pressed(QKeyEvent* event) {
  const bool control = event->modifiers() & Qt::ControlModifier;
  switch (event->key()) {
    case Qt::Key_Down:
      line_down();
      return true;
    case Qt::Key_Up:
      line_up();
      return true;
    case Qt::Key_PageDown:
      page_down();
      return true;
    case Qt::Key_PageUp:
      page_up();
      return true;
    case Qt::Key_Home:
      home();
      return true;
    case Qt::Key_End:
      end();
      return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (current_record() != nullptr) emit accepted();
      return true;
    default:
      break;
  }
  const QString text = event->text();
  const bool printable = !text.isEmpty() && text.at(0).isPrint() && !control &&
                         !(event->modifiers() & (Qt::AltModifier | Qt::MetaModifier));
  if (printable && locator_entry_ != nullptr) {
    // The key starts a new locator text in the entry.
    locator_entry_->setFocus(Qt::OtherFocusReason);
    locator_entry_->selectAll();
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), text);
    QApplication::sendEvent(locator_entry_, &copy);
    return true;
  }
  return false;
}

void BrowseList::thumb_action(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      line_down();
      break;
    case QAbstractSlider::SliderSingleStepSub:
      line_up();
      break;
    case QAbstractSlider::SliderPageStepAdd:
      page_down();
      break;
    case QAbstractSlider::SliderPageStepSub:
      page_up();
      break;
    case QAbstractSlider::SliderToMinimum:
      home();
      break;
    case QAbstractSlider::SliderToMaximum:
      end();
      break;
    case QAbstractSlider::SliderMove:
      shown(page_.to_thumb(thumb_->sliderPosition()));
      break;
    default:
      break;
  }
  // The thumb shows where the page is, not where the step alone would put it.
  show_thumb();
}

void BrowseList::show_thumb() {
  // Moving the slider from here must not count as the operator's move.
  const QSignalBlocker quiet(thumb_);
  thumb_->setSliderPosition(page_.thumb());
}

void BrowseList::fill_context_menu(QMenu* menu) {
  menu->addActions(own_menu_->actions());
  added_.clear();
  if (menu_part_ == nullptr) return;
  if (!menu->isEmpty()) added_.push_back(menu->addSeparator());
  added_.append(menu_part_->add_to(menu));
}

void BrowseList::context_menu_closed(QMenu* menu, QAction* chosen) {
  for (QAction* action : added_) {
    menu->removeAction(action);
    if (action->parent() == menu || action->parent() == nullptr) action->deleteLater();
  }
  added_.clear();
  if (chosen != nullptr && menu_part_ != nullptr && menu_part_->owns(chosen)) {
    menu_part_->carry_out(chosen);
  }
}

void BrowseList::open_context_menu(const QPoint& global) {
  QMenu menu(this);
  fill_context_menu(&menu);
  if (menu.isEmpty()) return;
  QAction* chosen = menu.exec(global);
  context_menu_closed(&menu, chosen);
}

void BrowseList::contextMenuEvent(QContextMenuEvent* event) {
  // The context-menu key on the list arrives here.
  open_context_menu(event->globalPos());
}

bool BrowseList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    return key_pressed(static_cast<QKeyEvent*>(event));
  }
  if (watched == view_->viewport()) {
    switch (event->type()) {
      case QEvent::Resize:
        fit_page();
        break;
      case QEvent::Wheel: {
        const int steps = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
        if (steps != 0) shown(page_.scroll(-steps * kWheelLines));
        return true;
      }
      case QEvent::ContextMenu: {
        auto* menu_event = static_cast<QContextMenuEvent*>(event);
        open_context_menu(menu_event->globalPos());
        return true;
      }
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace orvel::browse
