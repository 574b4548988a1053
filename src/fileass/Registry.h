// The registry layer the file association works on: two hives of keys holding
// named string values, kept in one profile file. The layout of that file:
//
//   [HKEY_CLASSES_ROOT\.mp3]
//   @=LyranoAssType.mp3
//   LyranoAssType.bak=audio-player.desktop
//
// One section per key, named after its hive and its path; "@" names the key's
// default value (the empty name in this interface). Values follow the profile
// file's rules: one wrapped in quotes of its own (an open command) is stored
// inside one more pair. A key exists while its
// section or a section below it exists. Names compare without regard to ASCII
// letter case, as the registry's do. Every change is written through at once,
// atomically, keeping every other line of the file.
//
// Window's thread only. Failures raise lyrano::Error (a name that cannot be
// stored) or lyrano::FileError (the file cannot be read or written); the file
// is then as it was before that one change.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/IniFile.h"

namespace reg {

enum class THive { ClassesRoot, CurrentUser };

// "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER".
std::string_view HiveName(THive hive);

// Keys and values: paths with "\" between key names, no leading or trailing
// "\"; value names, "" for the default value. Text in the local code page.
class TRegistryStore {
 public:
  virtual ~TRegistryStore() = default;
  virtual bool KeyExists(THive hive, std::string_view key) const = 0;
  // nullopt when the key or the value is missing.
  virtual std::optional<std::string> ReadValue(THive hive, std::string_view key,
                                               std::string_view name) const = 0;
  // Creates the key (and the keys above it) when missing.
  virtual void WriteValue(THive hive, std::string_view key, std::string_view name,
                          std::string_view value) = 0;
  // Nothing happens when the value or the key is missing.
  virtual void DeleteValue(THive hive, std::string_view key, std::string_view name) = 0;
  // The key with every key below it; nothing happens when it is missing.
  virtual void DeleteKey(THive hive, std::string_view key) = 0;

  bool ValueExists(THive hive, std::string_view key, std::string_view name) const {
    return ReadValue(hive, key, name).has_value();
  }
};

// A value a fresh registry starts with.
struct TRegistrySeed {
  THive Hive;
  std::string Key;
  std::string Name;
  std::string Value;
};

// The registry in a profile file. While the file does not exist the registry
// holds `seed`; the first change writes the seed and then the change.
class TIniRegistry : public TRegistryStore {
 public:
  explicit TIniRegistry(std::filesystem::path file, std::vector<TRegistrySeed> seed = {});

  const std::filesystem::path& FileName() const { return ini_.FileName(); }

  bool KeyExists(THive hive, std::string_view key) const override;
  std::optional<std::string> ReadValue(THive hive, std::string_view key,
                                       std::string_view name) const override;
  void WriteValue(THive hive, std::string_view key, std::string_view name,
                  std::string_view value) override;
  void DeleteValue(THive hive, std::string_view key, std::string_view name) override;
  void DeleteKey(THive hive, std::string_view key) override;

 private:
  bool FileExists() const;
  // Writes the seed into a registry file that does not exist yet.
  void Materialise();

  TIniFile ini_;
  std::vector<TRegistrySeed> seed_;
};

}  // namespace reg
