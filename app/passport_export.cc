#include "app/passport_export.h"

#include "app/dates.h"
#include "app/record_buffer.h"
#include "app/search_text.h"
#include "datafile/locale_tables.h"
#include "platform/error_codes.h"

namespace orvel::app {
namespace {

std::string date_text(int32_t day_number) {
  if (day_number == kNoDate) return {};
  return std::string(trim_right(format_date(day_number, DatePicture::kD10)));
}

void write_lines(datafile::Table& passports, textfile::TextFile& export_file, const OperationUi& ui,
                 ExportResult& result) {
  int64_t progress = 0;
  if (passports.set() != kNoError) return;
  while (passports.next() == kNoError) {
    ++progress;
    if (progress % kExportRedisplayEvery == 0) ui.progress.set_value(progress);
    write_record(export_file.record(), line_from_passport(read_record<PSP>(passports)));
    if (result.failures.note(export_file.append()) == kNoError) ++result.exported;
  }
}

}  // namespace

IMP line_from_passport(const PSP& record) {
  IMP line;
  clear(line);
  assign(line.SER, text_of(record.SER));
  assign(line.NUM, text_of(record.NUM));
  assign(line.FIO, upper_case(text_of(record.FIO), datafile::program_locale()));
  assign(line.DATE_PAS, date_text(record.DATE_PAS.get()));
  assign(line.COMMENT, text_of(record.COMMENT));
  assign(line.DATE_IMP, date_text(record.DATE_IMP.get()));
  return line;
}

ExportResult export_passports(datafile::Table& passports, textfile::TextFile& export_file,
                              ImportFileName& name, const OperationUi& ui) {
  ExportResult result;
  begin_operation(ui);
  if (!ui.chooser.choose_save(kExportDialogTitle, kAllFilesFilter, name)) name.blank();

  if (!name.trimmed().empty()) {
    result.file_chosen = true;
    result.open_error = export_file.create();
    if (result.open_error == kNoError) result.open_error = export_file.open(kImportOpenMode);
    if (result.open_error != kNoError) {
      ui.messages.show_text(error_text(result.open_error));
    } else {
      uint32_t count = 0;
      passports.records(&count);
      ui.progress.set_upper_bound(count);
      ui.cursor.set_wait();
      ui.progress.redisplay();
      write_lines(passports, export_file, ui, result);
      result.failures.note(export_file.close());
    }
  }

  result.passports = end_operation(passports, ui);
  return result;
}

}  // namespace orvel::app
