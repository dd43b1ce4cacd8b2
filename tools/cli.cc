#include "tools/cli.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/import_file.h"
#include "app/passport_browse.h"
#include "app/passport_export.h"
#include "app/passport_file.h"
#include "app/passport_import.h"
#include "app/passport_search.h"
#include "platform/cp1251.h"
#include "platform/error_codes.h"
#include "textfile/text_file.h"
#include "tools/cli_args.h"
#include "tools/row_output.h"
#include "tools/terminal_ui.h"

namespace orvel::tools {
namespace {

class Session {
 public:
  Session(std::ostream& out, std::ostream& err, bool err_is_terminal)
      : out_(out), err_(err), err_is_terminal_(err_is_terminal) {}

  int run(const CliCommand& command) {
    StderrReporter reporter(err_);
    if (!passports_.use(reporter)) return kExitError;
    int status = dispatch(command);
    if (int rc = passports_.release(); rc != kNoError) {
      fail("closing " + passports_.message_name(), rc);
      status = kExitError;
    }
    return status;
  }

 private:
  int dispatch(const CliCommand& command) {
    switch (command.kind) {
      case CommandKind::kCount:
        return count();
      case CommandKind::kSearch:
        return search(command);
      case CommandKind::kShow:
        return show(command);
      case CommandKind::kBrowse:
        return browse(command);
      case CommandKind::kImport:
        return import(command.text, command.batch);
      case CommandKind::kExport:
        return export_to(command.text);
      case CommandKind::kHelp:
        break;
    }
    return kExitOk;
  }

  int fail(const std::string& what, int rc) {
    err_ << "orvel-cli: " << what << ": " << error_text(rc) << '\n';
    return kExitError;
  }

  void write_rows(const std::vector<app::RQ>& rows, bool tsv) {
    if (tsv) {
      write_tsv(out_, rows);
    } else if (!rows.empty()) {
      write_table(out_, rows);
    }
  }

  int count() {
    uint32_t count = 0;
    if (int rc = passports_.table().records(&count); rc != kNoError) {
      return fail(passports_.message_name(), rc);
    }
    out_ << count << '\n';
    return kExitOk;
  }

  int search(const CliCommand& command) {
    const app::SearchTab tab = command.mode == "number"   ? app::SearchTab::kNumber
                               : command.mode == "series" ? app::SearchTab::kSeries
                                                          : app::SearchTab::kName;
    app::SearchResult result =
        app::search_passports(passports_.table(), tab, platform::utf8_to_cp1251(command.text));
    write_rows(result.rows, command.tsv);
    if (result.error != kNoError) return fail(passports_.message_name(), result.error);
    if (result.not_found()) {
      err_ << platform::cp1251_to_utf8(app::kNotFoundMessage) << '\n';
      return kExitNotFound;
    }
    return kExitOk;
  }

  int show(const CliCommand& command) {
    app::PSP record;
    int rc = app::fetch_passport(passports_.table(), platform::utf8_to_cp1251(command.text),
                                 platform::utf8_to_cp1251(command.number), &record);
    if (rc == kRecordNotFound) {
      err_ << "orvel-cli: " << error_text(rc) << '\n';
      return kExitNotFound;
    }
    if (rc != kNoError) return fail(passports_.message_name(), rc);
    app::RQ row;
    std::memcpy(&row, &record, sizeof row);
    write_rows({row}, command.tsv);
    return kExitOk;
  }

  int browse(const CliCommand& command) {
    const app::BrowseOrder order =
        command.mode == "number" ? app::BrowseOrder::kByNumber : app::BrowseOrder::kByName;
    app::BrowseResult result = app::browse_passports(
        passports_.table(), order, platform::utf8_to_cp1251(command.from), command.limit);
    write_rows(result.rows, command.tsv);
    if (result.error != kNoError) return fail(passports_.message_name(), result.error);
    return kExitOk;
  }

  // The file of import and export, with the screen parts of the terminal.
  struct TextSide {
    TextSide(const std::string& file, std::ostream& err, bool terminal)
        : text_file(app::import_text_file(name)),
          chooser(file),
          progress(err, terminal),
          messages(err, file),
          ui{chooser, progress, cursor, messages} {}
    app::ImportFileName name;
    textfile::TextFile text_file;
    ArgumentChooser chooser;
    TerminalProgress progress;
    NoCursor cursor;
    StderrMessages messages;
    app::OperationUi ui;
  };

  bool name_fits(const std::string& file) {
    if (file.size() <= app::kImportFileNameWidth) return true;
    err_ << "orvel-cli: " << file << ": " << error_text(kInvalidFilename) << " (more than "
         << app::kImportFileNameWidth << " characters)\n";
    return false;
  }

  int report_failures(const app::WriteFailures& failures, app::Operation operation) {
    if (failures.count == 0) return kExitOk;
    err_ << "orvel-cli: " << platform::cp1251_to_utf8(app::failure_summary(failures, operation))
         << '\n';
    return kExitError;
  }

  int import(const std::string& file, size_t batch) {
    if (!name_fits(file)) return kExitError;
    TextSide side(file, err_, err_is_terminal_);
    app::ImportResult result =
        app::import_updates(passports_.table(), side.text_file, side.name, side.ui, {batch});
    if (result.open_error != kNoError) return kExitError;
    out_ << "records_read=" << result.records_read << '\n'
         << "added=" << result.added << '\n'
         << "changed=" << result.changed << '\n'
         << "skipped=" << result.skipped << '\n'
         << "passports=" << result.passports << '\n'
         << "progress_total=" << result.progress_total << '\n'
         << "file_size=" << result.file_size << '\n'
         << "failed=" << result.failures.count << '\n';
    return report_failures(result.failures, app::Operation::kImport);
  }

  int export_to(const std::string& file) {
    if (!name_fits(file)) return kExitError;
    TextSide side(file, err_, err_is_terminal_);
    app::ExportResult result =
        app::export_passports(passports_.table(), side.text_file, side.name, side.ui);
    if (result.open_error != kNoError) return kExitError;
    out_ << "exported=" << result.exported << '\n'
         << "failed=" << result.failures.count << '\n'
         << "passports=" << result.passports << '\n';
    return report_failures(result.failures, app::Operation::kExport);
  }

  std::ostream& out_;
  std::ostream& err_;
  const bool err_is_terminal_;
  app::PassportFile passports_;
};

}  // namespace

int run_cli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
            bool err_is_terminal) {
  ParseResult parsed = parse_cli_args(args);
  if (!parsed.ok) {
    err << "orvel-cli: " << parsed.error << '\n' << kUsage;
    return kExitError;
  }
  const CliCommand& command = parsed.command;
  if (command.kind == CommandKind::kHelp) {
    out << kUsage;
    return kExitOk;
  }
  for (const std::string& directory : command.directories) {
    std::error_code ec;
    std::filesystem::current_path(directory, ec);
    if (ec) {
      err << "orvel-cli: cannot change to " << directory << ": " << ec.message() << '\n';
      return kExitError;
    }
  }
  Session session(out, err, err_is_terminal);
  return session.run(command);
}

}  // namespace orvel::tools
