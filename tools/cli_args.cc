#include "tools/cli_args.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>

namespace orvel::tools {

const char* const kUsage =
    "usage: orvel-cli [-C DIR] COMMAND [ARGS]\n"
    "Works on passport.hvk in the current directory (or DIR), created empty when missing.\n"
    "\n"
    "  count                                    print the number of passports\n"
    "  search number|series|name TEXT [--tsv]   search as the tabs of the main window do\n"
    "  show SERIES NUMBER [--tsv]               show one passport\n"
    "  browse number|name [--from TEXT] [--limit N] [--tsv]\n"
    "                                           list in number or name order from TEXT on\n"
    "  import [--batch N] FILE                  import an update file (';'-separated);\n"
    "                                           --batch commits N lines at a time\n"
    "  export FILE                              export every passport to FILE\n"
    "\n"
    "  --tsv   tab-separated rows: SER NUM FIO DATE_PAS DATE_IMP COMMENT, dates year-month-day\n"
    "Exit status: 0 success, 1 not found, 2 error.\n";

namespace {

ParseResult refuse(std::string error) {
  ParseResult result;
  result.error = std::move(error);
  return result;
}

bool parse_count(const std::string& text, size_t* count) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *count);
  return !text.empty() && ec == std::errc() && ptr == end;
}

}  // namespace

ParseResult parse_cli_args(const std::vector<std::string>& args) {
  ParseResult result;
  CliCommand& command = result.command;
  size_t i = 0;
  while (i < args.size() && (args[i] == "-C" || args[i] == "--help" || args[i] == "-h")) {
    if (args[i] == "-C") {
      if (i + 1 >= args.size()) return refuse("-C needs a directory");
      command.directories.push_back(args[i + 1]);
      i += 2;
    } else {
      result.ok = true;
      command.kind = CommandKind::kHelp;
      return result;
    }
  }
  if (i >= args.size()) return refuse("no command given");
  const std::string name = args[i++];
  constexpr std::string_view kCommands[] = {"count",  "search", "show",
                                            "browse", "import", "export"};
  if (std::find(std::begin(kCommands), std::end(kCommands), name) == std::end(kCommands)) {
    return refuse("unknown command " + name);
  }

  std::vector<std::string> positional;
  for (; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.ok = true;
      command.kind = CommandKind::kHelp;
      return result;
    } else if (arg == "--tsv" && (name == "search" || name == "show" || name == "browse")) {
      command.tsv = true;
    } else if (arg == "--from" && name == "browse") {
      if (++i >= args.size()) return refuse("--from needs a text");
      command.from = args[i];
    } else if (arg == "--limit" && name == "browse") {
      if (++i >= args.size() || !parse_count(args[i], &command.limit)) {
        return refuse("--limit needs a number of rows");
      }
    } else if (arg == "--batch" && name == "import") {
      if (++i >= args.size() || !parse_count(args[i], &command.batch) || command.batch == 0) {
        return refuse("--batch needs a number of lines above 0");
      }
    } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
      return refuse("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }

  auto expect = [&](size_t count) { return positional.size() == count; };
  if (name == "count" && expect(0)) {
    command.kind = CommandKind::kCount;
  } else if (name == "search" && expect(2) &&
             (positional[0] == "number" || positional[0] == "series" || positional[0] == "name")) {
    command.kind = CommandKind::kSearch;
    command.mode = positional[0];
    command.text = positional[1];
  } else if (name == "show" && expect(2)) {
    command.kind = CommandKind::kShow;
    command.text = positional[0];
    command.number = positional[1];
  } else if (name == "browse" && expect(1) &&
             (positional[0] == "number" || positional[0] == "name")) {
    command.kind = CommandKind::kBrowse;
    command.mode = positional[0];
  } else if ((name == "import" || name == "export") && expect(1) && !positional[0].empty()) {
    command.kind = name == "import" ? CommandKind::kImport : CommandKind::kExport;
    command.text = positional[0];
  } else {
    return refuse("bad arguments for " + name);
  }
  result.ok = true;
  return result;
}

}  // namespace orvel::tools
