// Numbered error messages and the reporter that shows them.
//
// A message has a number, a level, a title and a text in which "%File" stands for the name
// of the file concerned and "%ErrorText" for the text of the error number that failed. The
// messages the program can raise are kept in one table (error_reporter.cc). A fatal
// message ends with "  Press OK to end this application"; after showing it the caller must
// end the program: the logic never ends the process itself, it returns kFatal and the
// window or the tool acts on it.
//
// A reporter only shows: message boxes in the windows, lines on stderr in the tool, a list
// in the tests. Reporters are used on one thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvel::app {

enum class ErrorLevel { kNotice, kFatal };

// The numbers of the table.
inline constexpr int kMsgWriteAccessDenied = 2;  // notice: trying read-only
inline constexpr int kMsgFileCreationError = 12;
inline constexpr int kMsgFileAccessError = 26;

inline constexpr std::string_view kFatalSuffix = "  Press OK to end this application";

struct ErrorMessage {
  int number = 0;
  ErrorLevel level = ErrorLevel::kNotice;
  std::string title;
  std::string text;  // placeholders filled, the fatal suffix appended
};

// Message number with its placeholders filled in. A number missing from the table gives a
// fatal message titled "Error" that still names the file and the error text.
ErrorMessage make_message(int number, std::string_view file, std::string_view error_text);

class ErrorReporter {
 public:
  virtual ~ErrorReporter() = default;
  virtual void show(const ErrorMessage& message) = 0;
};

// Builds message number, hands it to the reporter and returns its level.
ErrorLevel report(ErrorReporter& reporter, int number, std::string_view file,
                  std::string_view error_text);

// Keeps every message shown, in order.
class CollectingReporter : public ErrorReporter {
 public:
  void show(const ErrorMessage& message) override { messages.push_back(message); }
  std::vector<ErrorMessage> messages;
};

}  // namespace orvel::app
