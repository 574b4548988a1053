#include "fileass/Registry.h"

#include <system_error>

namespace fs = std::filesystem;

namespace reg {

namespace {

// The profile-file name of a value: the default value has no name of its own.
std::string_view ValueKey(std::string_view name) {
  return name.empty() ? std::string_view("@") : name;
}

std::string Section(THive hive, std::string_view key) {
  std::string s(HiveName(hive));
  if (!key.empty()) {
    s += '\\';
    s += key;
  }
  return s;
}

// `name` is `key` itself or a key below it.
bool AtOrBelow(std::string_view name, std::string_view key) {
  if (name.size() == key.size()) return TIniFile::SameName(name, key);
  return name.size() > key.size() && name[key.size()] == '\\' &&
         TIniFile::SameName(name.substr(0, key.size()), key);
}

}  // namespace

std::string_view HiveName(THive hive) {
  return hive == THive::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

TIniRegistry::TIniRegistry(fs::path file, std::vector<TRegistrySeed> seed)
    : ini_(std::move(file)), seed_(std::move(seed)) {}

bool TIniRegistry::FileExists() const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(ini_.FileName(), ec));
}

void TIniRegistry::Materialise() {
  if (FileExists()) return;
  std::error_code ec;
  fs::create_directories(ini_.FileName().parent_path(), ec);
  for (const TRegistrySeed& s : seed_) {
    ini_.WriteString(Section(s.Hive, s.Key), ValueKey(s.Name), s.Value);
  }
}

bool TIniRegistry::KeyExists(THive hive, std::string_view key) const {
  const std::string section = Section(hive, key);
  if (!FileExists()) {
    for (const TRegistrySeed& s : seed_) {
      if (AtOrBelow(Section(s.Hive, s.Key), section)) return true;
    }
    return false;
  }
  for (const std::string& name : ini_.ReadSections()) {
    if (AtOrBelow(name, section)) return true;
  }
  return false;
}

std::optional<std::string> TIniRegistry::ReadValue(THive hive, std::string_view key,
                                                   std::string_view name) const {
  const std::string section = Section(hive, key);
  if (!FileExists()) {
    for (const TRegistrySeed& s : seed_) {
      if (TIniFile::SameName(Section(s.Hive, s.Key), section) &&
          TIniFile::SameName(ValueKey(s.Name), ValueKey(name))) {
        return s.Value;
      }
    }
    return std::nullopt;
  }
  if (!ini_.ValueExists(section, ValueKey(name))) return std::nullopt;
  return ini_.ReadString(section, ValueKey(name), "");
}

void TIniRegistry::WriteValue(THive hive, std::string_view key, std::string_view name,
                              std::string_view value) {
  Materialise();
  ini_.WriteString(Section(hive, key), ValueKey(name), value);
}

void TIniRegistry::DeleteValue(THive hive, std::string_view key, std::string_view name) {
  if (!ValueExists(hive, key, name)) return;
  Materialise();
  ini_.DeleteKey(Section(hive, key), ValueKey(name));
}

void TIniRegistry::DeleteKey(THive hive, std::string_view key) {
  if (!KeyExists(hive, key)) return;
  Materialise();
  const std::string section = Section(hive, key);
  for (const std::string& name : ini_.ReadSections()) {
    if (AtOrBelow(name, section)) ini_.EraseSection(name);
  }
}

}  // namespace reg
