// The command line of orvel-cli, parsed into one command.
//
//   orvel-cli [-C DIR] count
//   orvel-cli [-C DIR] search number|series|name TEXT [--tsv]
//   orvel-cli [-C DIR] show SERIES NUMBER [--tsv]
//   orvel-cli [-C DIR] browse number|name [--from TEXT] [--limit N] [--tsv]
//   orvel-cli [-C DIR] import [--batch N] FILE
//   orvel-cli [-C DIR] export FILE
//   orvel-cli --help
//
// Arguments are kept as given (UTF-8 from the terminal); converting texts to code page 1251
// is the command's business, and file names stay as the system spells them.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace orvel::tools {

enum class CommandKind { kHelp, kCount, kSearch, kShow, kBrowse, kImport, kExport };

struct CliCommand {
  CommandKind kind = CommandKind::kHelp;
  std::vector<std::string> directories;  // each -C, in order
  std::string mode;                      // search: number|series|name; browse: number|name
  std::string text;                      // search text, series, or file name
  std::string number;                    // show
  std::string from;                      // browse locator
  size_t limit = std::numeric_limits<size_t>::max();
  bool tsv = false;
  size_t batch = 1;  // import: lines per commit
};

struct ParseResult {
  bool ok = false;
  std::string error;  // why the arguments were refused
  CliCommand command;
};

// args without the program name.
ParseResult parse_cli_args(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace orvel::tools
