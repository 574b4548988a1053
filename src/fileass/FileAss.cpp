#include "fileass/FileAss.h"

#include <exception>

#include "common/codepage.h"
#include "common/funPub.h"

namespace fileass {

using reg::THive;

namespace {

constexpr std::string_view kDefault = "";

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

std::vector<std::string> HandledExtensions() {
  std::vector<std::string> out;
  for (const std::string& ext : funPub::SplitString(kExtensions, ";")) {
    out.push_back(Lower(ext));
  }
  return out;
}

std::string ExtensionKey(std::string_view ext) {
  return "." + std::string(ext);
}

std::string FileType(std::string_view ext) {
  return "LyranoAssType." + std::string(ext);
}

std::string ExplorerKey(std::string_view ext) {
  return std::string(kExplorerFileExts) + ExtensionKey(ext);
}

std::string IconValue(std::string_view programPath) {
  return std::string(programPath) + ",0";
}

std::string OpenCommand(std::string_view programPath) {
  return "\"" + std::string(programPath) + "\" \"%1\"";
}

TFileAss::TFileAss(reg::TRegistryStore& registry, std::string programPath,
                   std::function<void(uint32_t event)> changeNotify)
    : registry_(registry),
      programPath_(std::move(programPath)),
      changeNotify_(std::move(changeNotify)) {}

void TFileAss::AssociateFiles(bool on) {
  for (const std::string& ext : HandledExtensions()) {
    if (on) {
      ClaimExtension(ext);
    } else {
      ReleaseExtension(ext);
    }
  }
}

void TFileAss::ClaimExtension(std::string_view ext) {
  try {
    Claim(ext);
  } catch (const std::exception&) {
    // The failing step ends this extension; the earlier steps stay done.
  }
}

void TFileAss::ReleaseExtension(std::string_view ext) {
  try {
    Release(ext);
  } catch (const std::exception&) {
    // As for a claim.
  }
}

bool TFileAss::IsExtensionClaimed(std::string_view ext) const {
  try {
    return registry_.ValueExists(THive::ClassesRoot, ExtensionKey(ext), kBackupValue);
  } catch (const std::exception&) {
    return false;
  }
}

void TFileAss::Claim(std::string_view ext) {
  const std::string extKey = ExtensionKey(ext);
  const std::string type = FileType(ext);
  reg::TRegistryStore& r = registry_;

  // 1. The extension key names our file type; its earlier one is kept once.
  if (r.KeyExists(THive::ClassesRoot, extKey)) {
    if (!r.ValueExists(THive::ClassesRoot, extKey, kBackupValue)) {
      std::string earlier = r.ReadValue(THive::ClassesRoot, extKey, kDefault).value_or("");
      if (earlier != type) r.WriteValue(THive::ClassesRoot, extKey, kBackupValue, earlier);
    }
  }
  r.WriteValue(THive::ClassesRoot, extKey, kDefault, type);
  // 2-5. The file type: its name, icon and open command.
  r.WriteValue(THive::ClassesRoot, type, kDefault, cp::Utf8ToAnsi("Lyrano媒体文件"));
  r.WriteValue(THive::ClassesRoot, type + "\\DefaultIcon", kDefault, IconValue(programPath_));
  r.WriteValue(THive::ClassesRoot, type + "\\Shell", kDefault, "Open");
  r.WriteValue(THive::ClassesRoot, type + "\\Shell\\Open\\Command", kDefault,
               OpenCommand(programPath_));
  // 6.
  changeNotify_(SHCNE_ASSOCCHANGED);
  // 7. The user's own choice, only where the user has made one.
  const std::string explorer = ExplorerKey(ext);
  if (r.KeyExists(THive::CurrentUser, explorer)) {
    if (!r.ValueExists(THive::CurrentUser, explorer, kBackupValue)) {
      std::string earlier = r.ReadValue(THive::CurrentUser, explorer, "Progid").value_or("");
      if (earlier != type) r.WriteValue(THive::CurrentUser, explorer, kBackupValue, earlier);
    }
    r.WriteValue(THive::CurrentUser, explorer, "Progid", type);
  }
  // 8.
  changeNotify_(SHCNE_EXTENDED_EVENT);
}

void TFileAss::Release(std::string_view ext) {
  const std::string extKey = ExtensionKey(ext);
  const std::string type = FileType(ext);
  reg::TRegistryStore& r = registry_;

  // 1. The user's own choice comes back, with the lists of programs offered.
  const std::string explorer = ExplorerKey(ext);
  if (r.KeyExists(THive::CurrentUser, explorer)) {
    if (auto earlier = r.ReadValue(THive::CurrentUser, explorer, kBackupValue)) {
      r.WriteValue(THive::CurrentUser, explorer, "Progid", *earlier);
      r.DeleteValue(THive::CurrentUser, explorer, kBackupValue);
      r.DeleteKey(THive::CurrentUser, explorer + "\\OpenWithList");
      r.DeleteKey(THive::CurrentUser, explorer + "\\OpenWithProgids");
    }
  }
  // 2.
  changeNotify_(SHCNE_EXTENDED_EVENT);
  // 3. The extension key gets its earlier file type back, or goes when it was
  // ours alone.
  if (r.KeyExists(THive::ClassesRoot, extKey)) {
    if (auto earlier = r.ReadValue(THive::ClassesRoot, extKey, kBackupValue)) {
      r.WriteValue(THive::ClassesRoot, extKey, kDefault, *earlier);
      r.DeleteValue(THive::ClassesRoot, extKey, kBackupValue);
    } else if (r.ReadValue(THive::ClassesRoot, extKey, kDefault).value_or("") == type) {
      r.DeleteKey(THive::ClassesRoot, extKey);
    }
  }
  // 4.
  r.DeleteKey(THive::ClassesRoot, type);
  // 5.
  changeNotify_(SHCNE_ASSOCCHANGED);
}

}  // namespace fileass
