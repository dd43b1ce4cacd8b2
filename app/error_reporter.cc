#include "app/error_reporter.h"

#include <array>

namespace orvel::app {
namespace {

struct MessageTemplate {
  int number;
  ErrorLevel level;
  std::string_view title;
  std::string_view text;
};

constexpr std::array kMessages = {
    MessageTemplate{kMsgWriteAccessDenied, ErrorLevel::kNotice, "Access Denied",
                    "Could not get write access to %File so trying read-only."},
    MessageTemplate{kMsgFileCreationError, ErrorLevel::kFatal, "File Creation Error",
                    "Error: (%ErrorText) creating %File."},
    MessageTemplate{kMsgFileAccessError, ErrorLevel::kFatal, "File Access Error",
                    "File %File could not be opened.  Error: %ErrorText."},
};

constexpr MessageTemplate kUnknownMessage{0, ErrorLevel::kFatal, "Error",
                                          "Error: (%ErrorText) on %File."};

// One pass, so a value that itself contains a placeholder is not expanded again.
std::string fill(std::string_view text, std::string_view file, std::string_view error_text) {
  constexpr std::string_view kFile = "%File";
  constexpr std::string_view kErrorText = "%ErrorText";
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (text.substr(i, kFile.size()) == kFile) {
      out += file;
      i += kFile.size();
    } else if (text.substr(i, kErrorText.size()) == kErrorText) {
      out += error_text;
      i += kErrorText.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace

ErrorMessage make_message(int number, std::string_view file, std::string_view error_text) {
  const MessageTemplate* found = &kUnknownMessage;
  for (const MessageTemplate& m : kMessages) {
    if (m.number == number) found = &m;
  }
  ErrorMessage message;
  message.number = number;
  message.level = found->level;
  message.title = found->title;
  message.text = fill(found->text, file, error_text);
  if (message.level == ErrorLevel::kFatal) message.text += kFatalSuffix;
  return message;
}

ErrorLevel report(ErrorReporter& reporter, int number, std::string_view file,
                  std::string_view error_text) {
  ErrorMessage message = make_message(number, file, error_text);
  reporter.show(message);
  return message.level;
}

}  // namespace orvel::app
