#include "common/LazyModule.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

namespace lazymod {
namespace {

using EntryFn = const void* (*)(uint32_t version);

std::filesystem::path ProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

// Checks what dlopen takes on trust: a module cut short (an interrupted copy
// or install) would otherwise be mapped past its end and crash the process
// with SIGBUS at the first touch. Empty when the file is whole.
std::string CheckElf(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  ElfW(Ehdr) eh{};
  if (!in || ec || !in.read(reinterpret_cast<char*>(&eh), sizeof eh)) {
    return file.string() + " cannot be read or is not a module";
  }
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 ||
      eh.e_ident[EI_CLASS] != (sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32) ||
      eh.e_type != ET_DYN || eh.e_phentsize != sizeof(ElfW(Phdr))) {
    return file.string() + " is not a module for this system";
  }
  const uint64_t headersEnd = uint64_t{eh.e_phoff} + uint64_t{eh.e_phnum} * sizeof(ElfW(Phdr));
  if (headersEnd > size) return file.string() + " is cut short";
  in.seekg(static_cast<std::streamoff>(eh.e_phoff));
  for (int i = 0; i < eh.e_phnum; ++i) {
    ElfW(Phdr) ph{};
    if (!in.read(reinterpret_cast<char*>(&ph), sizeof ph)) return file.string() + " cannot be read";
    if ((ph.p_type == PT_LOAD || ph.p_type == PT_DYNAMIC) &&
        uint64_t{ph.p_offset} + uint64_t{ph.p_filesz} > size) {
      return file.string() + " is cut short";
    }
  }
  return {};
}

}  // namespace

std::vector<std::filesystem::path> SearchFolders() {
  if (const char* dir = std::getenv("LYRANO_MODULE_DIR"); dir != nullptr && *dir != '\0') {
    return {std::filesystem::path(dir)};
  }
  std::vector<std::filesystem::path> folders;
  auto add = [&](std::filesystem::path p) {
    if (p.empty()) return;
    for (const auto& f : folders)
      if (f == p) return;
    folders.push_back(std::move(p));
  };
  add(ProgramFolder());
#ifdef LYRANO_MODULE_INSTALL_DIR
  add(LYRANO_MODULE_INSTALL_DIR);
#endif
#ifdef LYRANO_MODULE_BUILD_DIR
  add(LYRANO_MODULE_BUILD_DIR);
#endif
  return folders;
}

LazyModule::LazyModule(std::string fileName, std::string entry, uint32_t version)
    : fileName_(std::move(fileName)), entry_(std::move(entry)), version_(version) {}

LazyModule::~LazyModule() {
  if (loader_.joinable()) loader_.join();
}

const void* LazyModule::Open(const std::filesystem::path& file, const std::string& entry,
                             uint32_t version, std::string* error) {
  if (std::string bad = CheckElf(file); !bad.empty()) {
    *error = std::move(bad);
    return nullptr;
  }
  // Now, not lazily: a missing symbol shows here as an error, not later as a
  // crash. Local, so the module's libraries never stand in for ours.
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    *error = why != nullptr ? why : "cannot open " + file.string();
    return nullptr;
  }
  auto fn = reinterpret_cast<EntryFn>(dlsym(handle, entry.c_str()));
  const void* table = fn != nullptr ? fn(version) : nullptr;
  if (table == nullptr) {
    *error = fn == nullptr ? file.string() + " has no entry point " + entry
                           : file.string() + " was built for another version of the program";
    dlclose(handle);
    return nullptr;
  }
  return table;
}

void LazyModule::Load() {
  std::string error;
  const void* table = nullptr;
  bool found = false;
  for (const auto& folder : SearchFolders()) {
    std::error_code ec;
    auto file = folder / fileName_;
    if (!std::filesystem::exists(file, ec)) continue;
    found = true;
    table = Open(file, entry_, version_, &error);
    break;  // the first one found is the one meant; a broken one is an error
  }
  if (!found) error = fileName_ + " was not found";

  std::unique_lock lock(mutex_);
  if (table == nullptr) {
    error_ = std::move(error);
    after_.clear();
    state_ = State::Failed;
    done_.notify_all();
    return;
  }
  table_ = table;
  while (!after_.empty()) {
    auto steps = std::move(after_);
    after_.clear();
    lock.unlock();
    for (auto& step : steps) step(table);
    lock.lock();
  }
  state_ = State::Loaded;
  done_.notify_all();
}

const void* LazyModule::Get() {
  std::unique_lock lock(mutex_);
  if (state_ == State::NotStarted) {
    state_ = State::Loading;
    lock.unlock();
    Load();
    lock.lock();
  }
  done_.wait(lock, [&] { return state_ == State::Loaded || state_ == State::Failed; });
  return state_ == State::Loaded ? table_ : nullptr;
}

const void* LazyModule::IfLoaded() const {
  std::lock_guard lock(mutex_);
  return state_ == State::Loaded ? table_ : nullptr;
}

void LazyModule::LoadInBackground() {
  std::lock_guard lock(mutex_);
  if (state_ != State::NotStarted) return;
  state_ = State::Loading;
  loader_ = std::thread([this] { Load(); });
}

void LazyModule::AfterLoad(std::function<void(const void* table)> step) {
  std::unique_lock lock(mutex_);
  if (state_ == State::Failed) return;
  if (state_ != State::Loaded) {
    after_.push_back(std::move(step));
    return;
  }
  const void* table = table_;
  lock.unlock();
  step(table);
}

std::string LazyModule::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

}  // namespace lazymod
