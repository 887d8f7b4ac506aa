// Runs a fuzz target's body over saved inputs, without libFuzzer: the
// committed seeds and the inputs that fuzzing found are replayed this way in
// every native tree (the 32-bit one included), where clang's libFuzzer may be
// missing. A failed invariant aborts, which fails the run.
//
// Usage: <target>_replay PATH...   (a file, or a folder whose files are fed in
// name order; folders are not searched below their first level)
// Exit code: 0 when at least one input was fed and none failed, 1 when a
// path cannot be read or holds no input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool Feed(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) {
    std::fprintf(stderr, "cannot read %s\n", file.string().c_str());
    return false;
  }
  // An empty input is fed as a valid pointer with size 0, as libFuzzer does.
  static const std::uint8_t kNothing = 0;
  const std::uint8_t* data = bytes.empty() ? &kNothing : reinterpret_cast<const std::uint8_t*>(bytes.data());
  LLVMFuzzerTestOneInput(data, bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t fed = 0;
  bool ok = argc > 1;
  for (int a = 1; a < argc; ++a) {
    const std::filesystem::path path(argv[a]);
    std::error_code error;
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(path, error)) {
      for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (entry.is_regular_file(error)) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
    } else if (std::filesystem::is_regular_file(path, error)) {
      files.push_back(path);
    }
    if (error || files.empty()) {
      std::fprintf(stderr, "%s: no input there\n", argv[a]);
      ok = false;
      continue;
    }
    for (const auto& file : files) {
      if (Feed(file)) {
        ++fed;
      } else {
        ok = false;
      }
    }
  }
  std::printf("%zu inputs replayed\n", fed);
  return ok && fed > 0 ? 0 : 1;
}
