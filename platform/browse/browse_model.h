// The Qt model of a browse list: exactly the rows of its page (browse_page.h), the columns
// of the caller's column formats, and header titles with the sort suffix of the header
// sorter. The model reads nothing itself; the list tells it when the page has changed.
//
// Texts are converted from code page 1251 for the screen here and nowhere else.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

#include "platform/browse/browse_page.h"
#include "platform/browse/column_format.h"

namespace orvel::browse {

class BrowseModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  BrowseModel(const BrowsePage& page, QObject* parent = nullptr);

  void set_declaration(const datafile::TableDecl* decl);
  void set_columns(std::vector<ColumnFormat> columns);
  const std::vector<ColumnFormat>& columns() const { return columns_; }
  // The suffix shown after a column's title ("[+]"), empty for none.
  void set_header_suffix(std::function<std::string(int column)> suffix);

  // The page has new rows, or the suffixes changed.
  void page_changed();
  void headers_changed();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  const BrowsePage& page_;
  const datafile::TableDecl* decl_ = nullptr;
  std::vector<ColumnFormat> columns_;
  std::function<std::string(int)> suffix_;
};

// The Qt alignment of a column alignment, vertically centred.
Qt::Alignment qt_alignment(Alignment alignment);

// Code page 1251 text for the screen, and back.
QString screen_text(const std::string& cp1251);
std::string program_text(const QString& text);

}  // namespace orvel::browse
