// A part of the program built as a module of its own (the audio engine, the
// page fetcher), opened with dlopen the first time it is needed, so its
// libraries neither load nor initialise before the window is up.
//
// A module exports one function, `entry`, that takes the table version the
// program was built with and returns its table of entry points (null when the
// versions differ). The table is the only way in.
//
// Where a module is looked for, first hit wins:
//   1. the folder in LYRANO_MODULE_DIR, when set (and then only there);
//   2. the program's own folder (the build folder, a copied program folder);
//   3. the installed program folder (<prefix>/lib/lyrano);
//   4. the build folder (tests and tools run from their own subfolders).
//
// Thread-safe. Get() loads on the calling thread, or waits for a load already
// under way on another; LoadInBackground() starts the load on a thread of the
// module's own and returns at once. A module that cannot be found, opened or
// does not offer a matching table is a failure with a reason, never a crash;
// the attempt is made once per run. A loaded module stays loaded.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lazymod {

// The folders searched for a module, in order (see above).
std::vector<std::filesystem::path> SearchFolders();

class LazyModule {
 public:
  // `fileName` is looked for in SearchFolders(); `entry` names the exported
  // function; `version` is the table version this program was built with.
  LazyModule(std::string fileName, std::string entry, uint32_t version);
  // Joins a background load still running.
  ~LazyModule();
  LazyModule(const LazyModule&) = delete;
  LazyModule& operator=(const LazyModule&) = delete;

  // The module's table, loading it first if need be; null when it cannot be
  // had, with Error() telling why.
  const void* Get();
  // The table if loaded already, else null; never loads or waits.
  const void* IfLoaded() const;
  // Starts loading on a thread of its own unless a load was started already.
  void LoadInBackground();
  // Runs `step` once on the loading thread after a successful load, before
  // Get() returns to anyone (the engine's deferred start-up); at once on the
  // calling thread when the module is loaded already; never when the load
  // failed.
  void AfterLoad(std::function<void(const void* table)> step);
  std::string Error() const;

  // Loads from one exact file: the search of Get() for one candidate.
  static const void* Open(const std::filesystem::path& file, const std::string& entry,
                          uint32_t version, std::string* error);

 private:
  enum class State { NotStarted, Loading, Loaded, Failed };
  void Load();  // on the thread that moved the state to Loading

  const std::string fileName_;
  const std::string entry_;
  const uint32_t version_;

  mutable std::mutex mutex_;
  std::condition_variable done_;
  State state_ = State::NotStarted;                      // under mutex_
  const void* table_ = nullptr;                          // set before state_ turns Loaded
  std::string error_;                                    // under mutex_
  std::vector<std::function<void(const void*)>> after_;  // under mutex_
  std::thread loader_;
};

}  // namespace lazymod
