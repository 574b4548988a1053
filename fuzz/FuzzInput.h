// Helpers shared by the fuzz targets.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The readers that take a path get the input through one file per process,
// in memory where /dev/shm exists, rewritten for every input.
class InputFile {
 public:
  explicit InputFile(std::string_view name) {
    std::filesystem::path dir = std::filesystem::is_directory("/dev/shm")
                                    ? std::filesystem::path("/dev/shm")
                                    : std::filesystem::temp_directory_path();
    path_ = dir / ("lyrano-fuzz-" + std::to_string(::getpid()) + "-" + std::string(name));
  }
  ~InputFile() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Writes the input; false when the file system refused (the input is skipped).
  bool Write(std::string_view bytes) const {
    std::FILE* f = std::fopen(path_.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
  }
  const std::filesystem::path& Path() const { return path_; }
  std::string Ansi() const { return path_.string(); }  // ASCII, so the same bytes

 private:
  std::filesystem::path path_;
};

// Splits "first<NUL>rest" (no NUL: all of it is the first part).
inline std::pair<std::string_view, std::string_view> SplitAtNul(std::string_view in) {
  size_t nul = in.find('\0');
  if (nul == std::string_view::npos) return {in, {}};
  return {in.substr(0, nul), in.substr(nul + 1)};
}

}  // namespace fuzz
