// Modules opened on first need: where they are looked for, and that a missing,
// foreign or mismatched module is an error with a reason, never a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <vector>

#include "common/LazyModule.h"
#include "net/WebTable.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

const fs::path kWebModule = fs::path(LYRANO_BINARY_DIR) / web::kWebModuleFile;

// Points the module search at one folder for the life of the object.
class ModuleDir {
 public:
  explicit ModuleDir(const fs::path& dir) { setenv("LYRANO_MODULE_DIR", dir.c_str(), 1); }
  ~ModuleDir() { unsetenv("LYRANO_MODULE_DIR"); }
};

TEST(LazyModuleOpen, GivesTheTableOrSaysWhyNot) {
  testsupport::TempDir dir;
  const fs::path garbage = dir.path() / "garbage.so";
  std::ofstream(garbage) << "this is not a shared object\n";
  // Whole headers but the rest missing: dlopen alone would map past the end
  // and die of SIGBUS.
  const fs::path cut = dir.path() / "cut.so";
  std::string whole = testsupport::ReadFile(kWebModule);
  testsupport::WriteFile(cut, whole.substr(0, 4096));

  struct Row {
    const char* name;
    fs::path file;
    const char* entry;
    uint32_t version;
    const char* reason;  // part of the error; null for success
  };
  const Row rows[] = {
      {"the real module", kWebModule, web::kWebEntry, web::kWebTableVersion, nullptr},
      {"missing file", dir.path() / "none.so", web::kWebEntry, web::kWebTableVersion, "none.so"},
      {"not a shared object", garbage, web::kWebEntry, web::kWebTableVersion, "garbage.so"},
      {"cut short", cut, web::kWebEntry, web::kWebTableVersion, "cut.so is cut short"},
      {"no such entry", kWebModule, "lyrano_no_such_entry", web::kWebTableVersion,
       "no entry point lyrano_no_such_entry"},
      {"another version", kWebModule, web::kWebEntry, web::kWebTableVersion + 1, "another version"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::string error;
    const void* table = lazymod::LazyModule::Open(r.file, r.entry, r.version, &error);
    if (r.reason == nullptr) {
      EXPECT_NE(table, nullptr) << error;
    } else {
      EXPECT_EQ(table, nullptr);
      EXPECT_NE(error.find(r.reason), std::string::npos) << error;
    }
  }
}

TEST(LazyModuleSearch, EnvironmentFolderReplacesTheOthers) {
  testsupport::TempDir dir;
  {
    ModuleDir only(dir.path());
    EXPECT_EQ(lazymod::SearchFolders(), std::vector<fs::path>{dir.path()});
  }
  // Without it: the program's folder first, the build folder among the rest.
  auto folders = lazymod::SearchFolders();
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.front(), fs::read_symlink("/proc/self/exe").parent_path());
  EXPECT_NE(std::find(folders.begin(), folders.end(), fs::path(LYRANO_BINARY_DIR)), folders.end());
}

TEST(LazyModuleLoad, MissingModuleFailsOnceAndSkipsTheStartUpSteps) {
  testsupport::TempDir dir;
  ModuleDir only(dir.path());
  lazymod::LazyModule module(web::kWebModuleFile, web::kWebEntry, web::kWebTableVersion);
  bool ran = false;
  module.AfterLoad([&](const void*) { ran = true; });
  EXPECT_EQ(module.Get(), nullptr);
  EXPECT_NE(module.Error().find("lyrano-web.so was not found"), std::string::npos)
      << module.Error();
  EXPECT_FALSE(ran);
  // The attempt is not repeated, even once the file appears.
  fs::copy_file(kWebModule, dir.path() / web::kWebModuleFile);
  EXPECT_EQ(module.Get(), nullptr);
  EXPECT_EQ(module.IfLoaded(), nullptr);
}

TEST(LazyModuleLoad, BrokenModuleInFirstFolderIsAnErrorNotAFallback) {
  testsupport::TempDir dir;
  std::ofstream(dir.path() / web::kWebModuleFile) << "truncated";
  ModuleDir only(dir.path());
  lazymod::LazyModule module(web::kWebModuleFile, web::kWebEntry, web::kWebTableVersion);
  EXPECT_EQ(module.Get(), nullptr);
  EXPECT_FALSE(module.Error().empty());
}

// A background load and callers on other threads: every caller gets the table
// only after the start-up steps have run, and each step runs once.
TEST(LazyModuleLoad, CallersWaitForTheBackgroundLoadAndItsSteps) {
  lazymod::LazyModule module(web::kWebModuleFile, web::kWebEntry, web::kWebTableVersion);
  std::atomic<int> steps{0};
  module.AfterLoad([&](const void* table) {
    EXPECT_NE(table, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ++steps;
  });
  EXPECT_EQ(module.IfLoaded(), nullptr);
  module.LoadInBackground();
  std::vector<std::thread> callers;
  std::atomic<int> sawSteps{0};
  for (int i = 0; i < 4; ++i) {
    callers.emplace_back([&] {
      if (module.Get() != nullptr) sawSteps += steps.load();
    });
  }
  for (auto& t : callers) t.join();
  EXPECT_EQ(steps.load(), 1);
  EXPECT_EQ(sawSteps.load(), 4);
  // Once loaded, a further step runs at once on the caller's thread.
  bool now = false;
  module.AfterLoad([&](const void*) { now = true; });
  EXPECT_TRUE(now);
  EXPECT_NE(module.IfLoaded(), nullptr);
}

}  // namespace
