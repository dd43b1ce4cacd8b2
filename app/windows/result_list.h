// The search-result list of the main window (?LIST2): the rows of the last search, one per
// passport found, in six columns whose titles, widths, alignments and cell texts are those
// of app/screen_text.h. Columns can be resized; each has a divider on its right and its
// text indented from its alignment side.
//
// A double-click on a row, or Enter while the list has the focus, chooses that row: the
// list emits row_chosen() and keeps the key to itself, so Enter here never also presses the
// window's default button.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>
#include <vector>

#include "app/passport_record.h"
#include "platform/toolkit/dialog_units.h"

namespace orvel::windows {

class ResultListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void set_rows(std::vector<app::RQ> rows);
  const std::vector<app::RQ>& rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<app::RQ> rows_;
};

class ResultList : public QTreeView {
  Q_OBJECT

 public:
  // units: those of the window, for the column widths and the indent.
  ResultList(const platform::toolkit::DialogUnits& units, QWidget* parent);

  void set_rows(std::vector<app::RQ> rows);
  const std::vector<app::RQ>& rows() const { return model_.rows(); }

 signals:
  void row_chosen(int row);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  ResultListModel model_;
};

}  // namespace orvel::windows
