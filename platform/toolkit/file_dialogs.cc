#include "platform/toolkit/file_dialogs.h"

#include <QFileDialog>
#include <QStringList>

#include "platform/toolkit/override_cursor.h"
#include "platform/toolkit/qt_text.h"

namespace orvel::platform::toolkit {
namespace {

std::optional<std::string> run(QWidget* parent, std::string_view title, std::string_view filter,
                               std::string_view initial_name, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, to_qt(title));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilter(qt_name_filter(filter));
  if (!initial_name.empty()) dialog.selectFile(file_name_to_qt(initial_name));
  OverrideCursorSuspended normal_cursor;
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return std::nullopt;
  return file_name_from_qt(chosen.front());
}

}  // namespace

QString qt_name_filter(std::string_view filter) {
  const QStringList parts = to_qt(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns) {
      if (pattern.trimmed() == "*.*") pattern = "*";
    }
    filters << QString("%1 (%2)").arg(parts[i].trimmed(), patterns.join(' '));
  }
  return filters.join(";;");
}

std::optional<std::string> open_file_dialog(QWidget* parent, std::string_view title,
                                            std::string_view filter,
                                            std::string_view initial_name) {
  return run(parent, title, filter, initial_name, QFileDialog::AcceptOpen);
}

std::optional<std::string> save_file_dialog(QWidget* parent, std::string_view title,
                                            std::string_view filter,
                                            std::string_view initial_name) {
  return run(parent, title, filter, initial_name, QFileDialog::AcceptSave);
}

}  // namespace orvel::platform::toolkit
