#include "datafile/shared_file.h"

#include <filesystem>
#include <map>
#include <thread>
#include <tuple>

#include "platform/error_codes.h"

namespace orvel::datafile {
namespace {

namespace om = platform::open_mode;

// Open objects by file system, normalised path and owning thread (none for shared ones).
using RegistryKey = std::tuple<platform::FileSystem*, std::string, std::thread::id>;
std::map<RegistryKey, std::weak_ptr<SharedFile>>& registry() {
  static std::map<RegistryKey, std::weak_ptr<SharedFile>> files;
  return files;
}

std::string normalised(const std::string& name) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(name, ec);
  if (ec) return name;
  return path.lexically_normal().string();
}

int reconcile(int held, int asked) {
  int access = om::access(held) == om::access(asked) ? om::access(held) : om::kReadWrite;
  int a = om::sharing(held), b = om::sharing(asked);
  int sharing = a == b ? a : (a == om::kDenyNone ? b : (b == om::kDenyNone ? a : om::kDenyAll));
  return access | sharing;
}

}  // namespace

int SharedFile::acquire(platform::FileSystem& fs, const std::string& file_name, int mode,
                        bool per_thread, std::shared_ptr<SharedFile>* out) {
  RegistryKey key{&fs, normalised(file_name),
                  per_thread ? std::this_thread::get_id() : std::thread::id()};
  auto& files = registry();
  if (auto it = files.find(key); it != files.end()) {
    if (std::shared_ptr<SharedFile> existing = it->second.lock()) {
      if (int rc = existing->join(mode); rc != kNoError) return rc;
      *out = std::move(existing);
      return kNoError;
    }
    files.erase(it);
  }
  std::shared_ptr<SharedFile> created(new SharedFile(fs, file_name));
  if (int rc = created->open_handle(mode); rc != kNoError) return rc;
  files[key] = created;
  *out = std::move(created);
  return kNoError;
}

SharedFile::~SharedFile() {
  for (auto it = registry().begin(); it != registry().end();) {
    it = it->second.expired() ? registry().erase(it) : std::next(it);
  }
}

int SharedFile::open_handle(int mode) {
  std::unique_ptr<platform::File> file;
  if (int rc = fs_.open(file_name_, mode, platform::Disposition::kOpenExisting, &file);
      rc != kNoError) {
    return rc;
  }
  std::unique_ptr<DataFile> data;
  if (int rc = DataFile::open(std::move(file), mode, DataFileOptions{}, &data); rc != kNoError) {
    return rc;
  }
  data_ = std::move(data);
  mode_ = mode;
  return kNoError;
}

int SharedFile::join(int mode) {
  int reconciled = reconcile(mode_, mode);
  if (reconciled == mode_) return kNoError;
  if (om::can_write(reconciled) && !writable()) {
    // The handle cannot write: open the file again for the reconciled mode. Nothing is
    // pending between operations, so the old handle goes without losing anything.
    std::unique_ptr<DataFile> old = std::move(data_);
    int old_mode = mode_;
    old.reset();
    if (int rc = open_handle(reconciled); rc != kNoError) {
      open_handle(old_mode);
      return rc;
    }
    return kNoError;
  }
  mode_ = reconciled;
  return kNoError;
}

}  // namespace orvel::datafile
