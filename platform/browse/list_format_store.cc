#include "platform/browse/list_format_store.h"

#include <cstring>

#include "platform/browse/field_values.h"
#include "platform/error_codes.h"

namespace orvel::browse {
namespace {

using datafile::FieldType;

enum Field : size_t {
  kAppName,
  kProcId,
  kUserId,
  kCtrlId,
  kFormatId,
  kFormatName,
  kFlag,
  kFormat,
  kVarLine,
  kFieldCount
};

constexpr int kKeyMain = 0;
constexpr int kThisUser = 0;
constexpr int kOpenMode = 0x42;  // read and write, shared with everyone

bool same_text(std::string_view stored, std::string_view wanted) {
  // The key ignores letter case, so the values it finds do too.
  return upper_case(trim_blanks(stored)) == upper_case(trim_blanks(wanted));
}

}  // namespace

ListFormatStore::ListFormatStore(const datafile::TableDecl& decl, std::string application,
                                 std::string procedure, int control, platform::FileSystem& fs)
    : decl_(decl),
      application_(std::move(application)),
      procedure_(std::move(procedure)),
      control_(control),
      table_(decl, fs) {}

ListFormatStore::~ListFormatStore() {
  if (table_.is_open()) table_.close();
}

bool ListFormatStore::declaration_fits() const {
  static constexpr FieldType kTypes[kFieldCount] = {
      FieldType::kString, FieldType::kString, FieldType::kShort,
      FieldType::kShort,  FieldType::kShort,  FieldType::kString,
      FieldType::kByte,   FieldType::kString, FieldType::kString};
  if (decl_.fields.size() < kFieldCount || decl_.keys.empty()) return false;
  for (size_t i = 0; i < kFieldCount; ++i) {
    if (decl_.fields[i].type != kTypes[i]) return false;
  }
  return true;
}

int ListFormatStore::open() {
  if (!declaration_fits()) return kInvalidRecordDeclaration;
  if (table_.is_open()) return kNoError;
  int rc = table_.open(kOpenMode);
  if (rc == kFileNotFound) {
    if (rc = table_.create(); rc != kNoError) return rc;
    rc = table_.open(kOpenMode);
  }
  return rc;
}

void ListFormatStore::set_key(int number) {
  uint8_t* image = table_.record();
  std::memset(image, 0, decl_.record_length);
  for (size_t text : {kAppName, kProcId, kFormatName, kFormat, kVarLine}) {
    set_text(decl_.fields[text], "", image);
  }
  set_text(decl_.fields[kAppName], application_, image);
  set_text(decl_.fields[kProcId], procedure_, image);
  set_integer(decl_.fields[kUserId], kThisUser, image);
  set_integer(decl_.fields[kCtrlId], control_, image);
  set_integer(decl_.fields[kFormatId], number, image);
}

bool ListFormatStore::is_this_list() {
  const uint8_t* image = table_.record();
  return same_text(field_bytes(decl_.fields[kAppName], image), application_) &&
         same_text(field_bytes(decl_.fields[kProcId], image), procedure_) &&
         integer_value(decl_.fields[kUserId], image) == kThisUser &&
         integer_value(decl_.fields[kCtrlId], image) == control_;
}

SavedLayout ListFormatStore::layout_in_buffer() {
  const uint8_t* image = table_.record();
  return {int(integer_value(decl_.fields[kFormatId], image).value_or(0)),
          std::string(trim_blanks(field_bytes(decl_.fields[kFormatName], image))),
          std::string(trim_blanks(field_bytes(decl_.fields[kFormat], image)))};
}

int ListFormatStore::list(std::vector<SavedLayout>* layouts) {
  layouts->clear();
  if (!table_.is_open()) return kFileNotOpen;
  set_key(INT16_MIN);
  int rc = table_.set_at(kKeyMain);
  while (rc == kNoError) {
    rc = table_.next();
    if (rc != kNoError || !is_this_list()) break;
    layouts->push_back(layout_in_buffer());
  }
  return rc == kRecordNotAvailable ? kNoError : rc;
}

int ListFormatStore::find(int number, SavedLayout* layout) {
  if (!table_.is_open()) return kFileNotOpen;
  set_key(number);
  if (int rc = table_.get(kKeyMain); rc != kNoError) return rc;
  *layout = layout_in_buffer();
  return kNoError;
}

int ListFormatStore::save(const SavedLayout& layout) {
  if (!table_.is_open()) return kFileNotOpen;
  set_key(layout.number);
  const int found = table_.get(kKeyMain);
  if (found != kNoError && found != kRecordNotFound) return found;
  if (found == kRecordNotFound) set_key(layout.number);
  uint8_t* image = table_.record();
  set_text(decl_.fields[kFormatName], layout.name, image);
  set_text(decl_.fields[kFormat], layout.format, image);
  return found == kNoError ? table_.put() : table_.add();
}

int ListFormatStore::rename(int number, const std::string& name) {
  if (!table_.is_open()) return kFileNotOpen;
  set_key(number);
  if (int rc = table_.get(kKeyMain); rc != kNoError) return rc;
  set_text(decl_.fields[kFormatName], name, table_.record());
  return table_.put();
}

int ListFormatStore::remove(int number) {
  if (!table_.is_open()) return kFileNotOpen;
  set_key(number);
  if (int rc = table_.get(kKeyMain); rc != kNoError) return rc;
  return table_.erase();
}

int ListFormatStore::free_number(int from, int* number) {
  std::vector<SavedLayout> layouts;
  if (int rc = list(&layouts); rc != kNoError) return rc;
  int candidate = from;
  for (const SavedLayout& layout : layouts) {
    if (layout.number == candidate) ++candidate;
  }
  *number = candidate;
  return kNoError;
}

}  // namespace orvel::browse
