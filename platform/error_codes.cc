#include "platform/error_codes.h"

namespace orvel {

std::string error_text(int code) {
  switch (code) {
    case kNoError:
      return "";
    case kFileNotFound:
      return "File Not Found";
    case kPathNotFound:
      return "Path Not Found";
    case kTooManyOpenFiles:
      return "Too Many Open Files";
    case kAccessDenied:
      return "Access Denied";
    case kFileIsAlreadyLocked:
      return "File Is Already Locked";
    case kRecordNotAvailable:
      return "Record Not Available";
    case kRecordNotFound:
      return "Record Not Found";
    case kInvalidDataFile:
      return "Invalid Data File";
    case kFileNotOpen:
      return "File Not Open";
    case kCreatesDuplicateKey:
      return "Creates Duplicate Key";
    case kRecordIsAlreadyHeld:
      return "Record Is Already Held";
    case kInvalidFilename:
      return "Invalid Filename";
    case kInvalidRecordDeclaration:
      return "Invalid Record Declaration";
    case kFileAlreadyOpen:
      return "File Already Open";
    case kNoCreateAttribute:
      return "No Create Attribute";
    case kInvalidFieldTypeDescriptor:
      return "Invalid Field Type Descriptor";
    case kUnsupportedFunction:
      return "Unsupported File Driver Function";
    case kRecordChangedByAnotherStation:
      return "Record Changed By Another Station";
    case kFileSystemError:
      return "File System Error";
    case kSystemInvalidHandle:
      return "Invalid Handle";
    case kSystemWriteProtect:
      return "Disk Is Write-Protected";
    case kSystemDiskFull:
      return "Disk Full";
    case kSystemInvalidName:
      return "Invalid Name";
    case kSystemIoError:
      return "I/O Device Error";
    default:
      return "Error " + std::to_string(code);
  }
}

}  // namespace orvel
