#include "platform/browse/browse_model.h"

#include "platform/cp1251.h"

namespace orvel::browse {

Qt::Alignment qt_alignment(Alignment alignment) {
  switch (alignment) {
    case Alignment::kCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case Alignment::kRight:
      return Qt::AlignRight | Qt::AlignVCenter;
    case Alignment::kLeft:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

QString screen_text(const std::string& cp1251) {
  return QString::fromStdString(platform::cp1251_to_utf8(cp1251));
}

std::string program_text(const QString& text) {
  return platform::utf8_to_cp1251(text.toStdString());
}

BrowseModel::BrowseModel(const BrowsePage& page, QObject* parent)
    : QAbstractTableModel(parent), page_(page) {}

void BrowseModel::set_declaration(const datafile::TableDecl* decl) {
  beginResetModel();
  decl_ = decl;
  endResetModel();
}

void BrowseModel::set_columns(std::vector<ColumnFormat> columns) {
  beginResetModel();
  columns_ = std::move(columns);
  endResetModel();
}

void BrowseModel::set_header_suffix(std::function<std::string(int)> suffix) {
  suffix_ = std::move(suffix);
  headers_changed();
}

void BrowseModel::page_changed() {
  beginResetModel();
  endResetModel();
}

void BrowseModel::headers_changed() {
  if (!columns_.empty()) emit headerDataChanged(Qt::Horizontal, 0, int(columns_.size()) - 1);
}

int BrowseModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || decl_ == nullptr ? 0 : int(page_.rows().size());
}

int BrowseModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : int(columns_.size());
}

QVariant BrowseModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || decl_ == nullptr || index.row() >= rowCount() ||
      index.column() >= columnCount()) {
    return {};
  }
  const ColumnFormat& column = columns_[size_t(index.column())];
  switch (role) {
    case Qt::DisplayRole:
      return screen_text(cell_text(column, *decl_, page_.rows()[size_t(index.row())].image.data()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(qt_alignment(column.cell_alignment));
    default:
      return {};
  }
}

QVariant BrowseModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
  const ColumnFormat& column = columns_[size_t(section)];
  switch (role) {
    case Qt::DisplayRole: {
      std::string title = column.title;
      if (suffix_) {
        if (std::string suffix = suffix_(section); !suffix.empty()) title += " " + suffix;
      }
      return screen_text(title);
    }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(qt_alignment(column.title_alignment));
    default:
      return {};
  }
}

}  // namespace orvel::browse
