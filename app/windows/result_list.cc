#include "app/windows/result_list.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "app/screen_text.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::windows {
namespace {

using app::ColumnAlignment;
using app::kResultColumns;

Qt::Alignment alignment_of(ColumnAlignment alignment) {
  switch (alignment) {
    case ColumnAlignment::kLeft:
      return Qt::AlignLeft | Qt::AlignVCenter;
    case ColumnAlignment::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case ColumnAlignment::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

// Draws each cell with its text indented on both sides and a divider on its right.
class ColumnDelegate : public QStyledItemDelegate {
 public:
  ColumnDelegate(int indent, QObject* parent) : QStyledItemDelegate(parent), indent_(indent) {}

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem indented = option;
    indented.rect.adjust(indent_, 0, -indent_, 0);
    // The selection fills the whole cell, not only the indented text.
    if (option.state & QStyle::State_Selected) {
      painter->fillRect(option.rect, option.palette.highlight());
    }
    QStyledItemDelegate::paint(painter, indented, index);
    painter->save();
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->restore();
  }

 private:
  int indent_;
};

}  // namespace

void ResultListModel::set_rows(std::vector<app::RQ> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

int ResultListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ResultListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(kResultColumns.size());
}

QVariant ResultListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
    return {};
  }
  const auto column = static_cast<size_t>(index.column());
  switch (role) {
    case Qt::DisplayRole:
      return platform::toolkit::to_qt(
          app::result_cell(rows_[static_cast<size_t>(index.row())], column));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(alignment_of(kResultColumns[column].cell));
  }
  return {};
}

QVariant ResultListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const app::ListColumn& column = kResultColumns[static_cast<size_t>(section)];
  switch (role) {
    case Qt::DisplayRole:
      return platform::toolkit::to_qt(column.title);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(alignment_of(column.header));
  }
  return {};
}

ResultList::ResultList(const platform::toolkit::DialogUnits& units, QWidget* parent)
    : QTreeView(parent), model_(this) {
  setModel(&model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setItemDelegate(new ColumnDelegate(units.x(app::kColumnIndent), this));
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  for (size_t i = 0; i < kResultColumns.size(); ++i) {
    header()->resizeSection(static_cast<int>(i), units.x(kResultColumns[i].width));
  }
  connect(this, &QTreeView::doubleClicked, this,
          [this](const QModelIndex& index) { emit row_chosen(index.row()); });
}

void ResultList::set_rows(std::vector<app::RQ> rows) {
  model_.set_rows(std::move(rows));
}

void ResultList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (currentIndex().isValid()) emit row_chosen(currentIndex().row());
    event->accept();
    return;
  }
  QTreeView::keyPressEvent(event);
}

}  // namespace orvel::windows
