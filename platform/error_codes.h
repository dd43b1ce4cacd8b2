// Error numbers shared by the engine, the delimited text files and the program's messages.
//
// Every file operation returns one of these numbers, 0 for success. Numbers that are not in
// the table below are operating-system errors passed through unchanged; on POSIX systems the
// file layer translates errno values to the Windows numbers the program was built around, so
// that a number means the same on every system.
#pragma once

#include <string>

namespace orvel {

enum ErrorCode : int {
  kNoError = 0,
  kFileNotFound = 2,
  kPathNotFound = 3,
  kTooManyOpenFiles = 4,
  kAccessDenied = 5,
  kFileIsAlreadyLocked = 32,
  kRecordNotAvailable = 33,
  kRecordNotFound = 35,
  kInvalidDataFile = 36,
  kFileNotOpen = 37,
  kCreatesDuplicateKey = 40,
  kRecordIsAlreadyHeld = 43,
  kInvalidFilename = 45,
  kInvalidRecordDeclaration = 47,
  kFileAlreadyOpen = 52,
  kNoCreateAttribute = 54,
  kInvalidFieldTypeDescriptor = 75,
  kUnsupportedFunction = 80,
  kRecordChangedByAnotherStation = 89,
  kFileSystemError = 90,
};

// Operating-system numbers that the file layer reports besides the table above.
enum SystemErrorCode : int {
  kSystemInvalidHandle = 6,
  kSystemWriteProtect = 19,
  kSystemLockViolation = 33,  // a byte-range lock held by another opener, as LockFile reports it
  kSystemDiskFull = 112,
  kSystemInvalidName = 123,
  kSystemIoError = 1117,
};

// The text of an error number: the system's own text for the numbers of the table, a short
// description for the known system numbers, else "Error N".
std::string error_text(int code);

}  // namespace orvel
