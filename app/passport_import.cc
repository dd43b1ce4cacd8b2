#include "app/passport_import.h"

#include <algorithm>

#include "app/dates.h"
#include "app/record_buffer.h"
#include "app/search_text.h"
#include "datafile/locale_tables.h"
#include "platform/error_codes.h"

namespace orvel::app {
namespace {

bool all_blank(std::string_view field) {
  return field.find_first_not_of(' ') == std::string_view::npos;
}

// Name, dates and reason: what a line changes in an entry that exists.
void take_line_fields(const IMP& line, PSP& record) {
  assign(record.FIO, upper_case(text_of(line.FIO), datafile::program_locale()));
  record.DATE_PAS.set(parse_date(text_of(line.DATE_PAS), DatePicture::kD10));
  record.DATE_IMP.set(all_blank(text_of(line.DATE_IMP))
                          ? today()
                          : parse_date(text_of(line.DATE_IMP), DatePicture::kD10));
  assign(record.COMMENT, text_of(line.COMMENT));
}

// The lines written since the last commit, counted into the result only once the commit has
// stored them. With a batch of 1 every add and change commits on its own.
class Batch {
 public:
  Batch(datafile::Table& passports, uint64_t size, ImportResult& result)
      : passports_(passports), size_(size), result_(result) {}

  // Before a line that writes: opens the transaction of a new batch.
  void begin_line() {
    if (size_ > 1 && lines_ == 0) in_transaction_ = passports_.logout() == kNoError;
  }
  // After it: rc is the add's or change's result.
  void end_line(int rc, bool added) {
    if (result_.failures.note(rc) == kNoError) ++(added ? added_ : changed_);
    if (++lines_ >= size_) commit();
  }
  // Stores the open batch, if any.
  void commit() {
    if (lines_ == 0) return;
    if (in_transaction_ && passports_.commit() != kNoError) {
      // Nothing of the batch is stored: every line of it is lost.
      int rc = datafile::last_error().code;
      for (uint64_t i = 0; i < added_ + changed_; ++i) result_.failures.note(rc);
      added_ = changed_ = 0;
    }
    result_.added += added_;
    result_.changed += changed_;
    added_ = changed_ = lines_ = 0;
    in_transaction_ = false;
  }

 private:
  datafile::Table& passports_;
  const uint64_t size_;
  ImportResult& result_;
  bool in_transaction_ = false;
  uint64_t lines_ = 0;
  uint64_t added_ = 0;
  uint64_t changed_ = 0;
};

void read_lines(datafile::Table& passports, textfile::TextFile& update_file, const OperationUi& ui,
                uint64_t batch_size, ImportResult& result) {
  if (update_file.set() != kNoError) return;
  Batch batch(passports, batch_size, result);
  while (update_file.next() == kNoError) {
    ++result.records_read;
    uint64_t length = 0;
    update_file.bytes(&length);
    result.progress_total += static_cast<int64_t>(length);
    ui.progress.set_value(result.progress_total);

    const IMP line = read_record<IMP>(update_file.record());
    if (all_blank(text_of(line.SER)) && all_blank(text_of(line.NUM))) {
      ++result.skipped;
      continue;
    }
    batch.begin_line();
    PSP record = read_record<PSP>(passports);
    assign(record.SER, text_of(line.SER));
    assign(record.NUM, text_of(line.NUM));
    write_record(passports, record);
    if (passports.get(kKeySerNum) != kNoError) {
      write_record(passports, passport_from_line(line));
      batch.end_line(passports.add(), true);
    } else {
      record = read_record<PSP>(passports);
      take_line_fields(line, record);
      write_record(passports, record);
      batch.end_line(passports.put(), false);
    }
  }
  batch.commit();
}

}  // namespace

PSP passport_from_line(const IMP& line) {
  PSP record;
  clear(record);
  assign(record.SER, text_of(line.SER));
  assign(record.NUM, text_of(line.NUM));
  take_line_fields(line, record);
  return record;
}

ImportResult import_updates(datafile::Table& passports, textfile::TextFile& update_file,
                            ImportFileName& name, const OperationUi& ui,
                            const ImportOptions& options) {
  ImportResult result;
  begin_operation(ui);
  if (!ui.chooser.choose_open(kImportDialogTitle, kAllFilesFilter, name)) name.blank();

  if (!name.trimmed().empty()) {
    result.file_chosen = true;
    result.open_error = update_file.open(kImportOpenMode);
    if (result.open_error != kNoError) {
      ui.messages.show_text(error_text(result.open_error));
    } else {
      uint64_t size = 0;
      update_file.bytes(&size);
      result.file_size = static_cast<int64_t>(size);
      ui.progress.set_upper_bound(result.file_size);
      ui.cursor.set_wait();
      ui.progress.redisplay();
      read_lines(passports, update_file, ui, std::max<uint64_t>(options.batch, 1), result);
      update_file.close();
    }
  }

  result.passports = end_operation(passports, ui);
  return result;
}

}  // namespace orvel::app
