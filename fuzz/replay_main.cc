// Runs a fuzz target's LLVMFuzzerTestOneInput on saved inputs, without libFuzzer, so that the
// normal build and CTest replay every committed corpus file.
//
// Usage: NAME PATH...; a directory stands for every regular file in it, in name order. A
// finding aborts (the target's checks, a sanitizer report or an escaping exception); finding
// no input at all fails too, so that a missing corpus does not pass unnoticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Defined by the targets that set something up once, as libFuzzer calls it.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

std::vector<std::filesystem::path> inputs_of(const std::filesystem::path& path) {
  if (!std::filesystem::is_directory(path)) return {path};
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(path)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  if (LLVMFuzzerInitialize != nullptr) LLVMFuzzerInitialize(&argc, &argv);
  size_t replayed = 0;
  for (int i = 1; i < argc; ++i) {
    for (const auto& file : inputs_of(argv[i])) {
      // Exactly the input's size, so that AddressSanitizer sees any read beyond it.
      std::vector<uint8_t> bytes(std::filesystem::file_size(file));
      std::ifstream in(file, std::ios::binary);
      if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return 1;
      }
      std::fprintf(stderr, "replay %s (%zu bytes)\n", file.c_str(), bytes.size());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  std::fprintf(stderr, "%zu inputs replayed\n", replayed);
  return replayed == 0 ? 1 : 0;
}
