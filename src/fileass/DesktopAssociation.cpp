#include "fileass/DesktopAssociation.h"

#include <optional>
#include <system_error>

#include "common/FileIO.h"
#include "common/IniFile.h"
#include "common/XdgDirs.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "fileass/MimeApps.h"

namespace fs = std::filesystem;

namespace fileass {

using reg::THive;

namespace {

// mimeapps.list and desktop entries are small; anything larger is not one.
constexpr size_t kMaxDesktopFile = 1024 * 1024;

struct TTextFile {
  bool Exists = false;
  std::string Text;
};

TTextFile ReadTextFile(const fs::path& path) {
  fileio::ReadResult r = fileio::ReadWholeFile(path, kMaxDesktopFile);
  switch (r.Status) {
    case fileio::ReadStatus::Ok:
      return {true, std::move(r.Bytes)};
    case fileio::ReadStatus::Missing:
      return {};
    case fileio::ReadStatus::Folder:
    case fileio::ReadStatus::Failed:
      break;
  }
  // A file we cannot read whole is never overwritten.
  throw lyrano::FileError("Cannot open file \"" + cp::PathToAnsi(path) + "\". " +
                          fileio::SystemErrorText(r.Error != 0 ? r.Error : EISDIR));
}

// The file a link points at, so a linked-in file stays linked.
fs::path Target(const fs::path& path) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) return resolved;
  }
  return path;
}

void WriteTextFile(const fs::path& path, std::string_view text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (int err = fileio::ReplaceFileContent(path, text); err != 0) {
    throw lyrano::FileError("Cannot create file \"" + cp::PathToAnsi(path) + "\". " +
                            fileio::SystemErrorText(err));
  }
}

// The program of an open command. Ours is "\"<program>\" \"%1\"" (OpenCommand)
// and the program path may hold quotes itself, so the path is what stands
// between the first quote and the fixed end. Any other command: its first
// quoted or blank-separated word.
std::string ProgramOfCommand(std::string_view command) {
  constexpr std::string_view kArgument = "\" \"%1\"";
  if (command.size() > kArgument.size() && command.front() == '"' && command.ends_with(kArgument))
    return std::string(command.substr(1, command.size() - 1 - kArgument.size()));
  if (!command.empty() && command.front() == '"') {
    size_t close = command.find('"', 1);
    return std::string(command.substr(1, close == std::string_view::npos ? close : close - 1));
  }
  return std::string(command.substr(0, command.find(' ')));
}

// The icon of "<program>,<index>": the program folder's own picture, or the
// installed theme icon when the folder has none.
std::string IconOf(std::string_view iconValue) {
  size_t comma = iconValue.rfind(',');
  std::string_view program =
      comma == std::string_view::npos ? iconValue : iconValue.substr(0, comma);
  fs::path picture = cp::AnsiToPath(program).parent_path() / "data" / "lyrano.png";
  std::error_code ec;
  if (!program.empty() && fs::is_regular_file(picture, ec)) return picture.string();
  return "lyrano";
}

// The file type the desktop would open ext with: the user's choice first.
std::string EffectiveFileType(const reg::TRegistryStore& r, std::string_view ext) {
  if (auto progid = r.ReadValue(THive::CurrentUser, ExplorerKey(ext), "Progid")) return *progid;
  return r.ReadValue(THive::ClassesRoot, ExtensionKey(ext), "").value_or("");
}

std::optional<std::string> OpenCommandOf(const reg::TRegistryStore& r, std::string_view ext) {
  return r.ReadValue(THive::ClassesRoot, FileType(ext) + "\\Shell\\Open\\Command", "");
}

// defaults.ini: one section per media type with its earlier entry, and one
// with what the first claim added to the list itself.
constexpr std::string_view kListSection = "mimeapps.list";

mimeapps::TDefaultBackup ReadBackup(const TIniFile& ini, std::string_view mime) {
  mimeapps::TDefaultBackup b;
  b.HadEntry = ini.ReadBool(mime, "HadEntry", false);
  b.EarlierValue = ini.ReadString(mime, "EarlierValue", "");
  return b;
}

void WriteBackup(TIniFile& ini, std::string_view mime, const mimeapps::TDefaultBackup& b) {
  std::error_code ec;
  fs::create_directories(ini.FileName().parent_path(), ec);
  ini.WriteBool(mime, "HadEntry", b.HadEntry);
  ini.WriteString(mime, "EarlierValue", b.EarlierValue);
}

// The entry follows our file types: written while one has an open command;
// when none has, an entry that was there before ours comes back, or ours goes,
// so a type without a default is not left to us by the desktop's fallback.
void ApplyDesktopEntry(const reg::TRegistryStore& r, const TDesktopPlaces& places,
                       TIniFile& defaults) {
  const fs::path file = places.Applications / kDesktopId;
  for (const THandledType& t : kHandledTypes) {
    auto command = OpenCommandOf(r, t.Extension);
    if (!command) continue;
    std::string icon = IconOf(
        r.ReadValue(THive::ClassesRoot, FileType(t.Extension) + "\\DefaultIcon", "").value_or(""));
    std::string text = DesktopEntryText(cp::AnsiToUtf8(ProgramOfCommand(*command)),
                                        cp::AnsiToUtf8(cp::PathToAnsi(icon)));
    TTextFile now = ReadTextFile(file);
    if (now.Exists && now.Text == text) return;
    if (!defaults.SectionExists(kDesktopId)) {
      if (now.Exists) WriteTextFile(places.EarlierEntry, now.Text);
      defaults.WriteBool(kDesktopId, "Existed", now.Exists);
    }
    WriteTextFile(file, text);
    return;
  }
  if (!defaults.SectionExists(kDesktopId)) return;
  std::error_code ec;
  TTextFile earlier = ReadTextFile(places.EarlierEntry);
  if (defaults.ReadBool(kDesktopId, "Existed", false) && earlier.Exists) {
    WriteTextFile(file, earlier.Text);
    fs::remove(places.EarlierEntry, ec);
  } else if (fs::remove(file, ec); ec) {
    throw lyrano::FileError("Cannot delete file \"" + cp::PathToAnsi(file) + "\". " +
                            fileio::SystemErrorText(ec.value()));
  }
  defaults.EraseSection(kDesktopId);
}

}  // namespace

TDesktopPlaces TDesktopPlaces::FromEnvironment() {
  TDesktopPlaces p;
  const fs::path config = xdg::ConfigHome();
  p.Applications = xdg::DataHome() / "applications";
  p.MimeAppsList = config / "mimeapps.list";
  p.Registry = config / "lyrano" / "registry.ini";
  p.Defaults = config / "lyrano" / "defaults.ini";
  p.EarlierEntry = config / "lyrano" / "lyrano.desktop.earlier";
  return p;
}

std::string DesktopExecArgument(std::string_view arg) {
  static constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#`()";
  std::string out;
  const bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string_view::npos;
  if (quote) out += '"';
  for (char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    out += c;
  }
  if (quote) out += '"';
  return out;
}

std::string DesktopEntryText(std::string_view program, std::string_view icon) {
  // The Exec value is a string value too: its backslashes double once more.
  std::string exec;
  for (char c : DesktopExecArgument(program)) {
    if (c == '\\') {
      exec += "\\\\";
    } else if (c == '\n') {
      exec += "\\n";
    } else {
      exec += c;
    }
  }
  std::string text = "[Desktop Entry]\nType=Application\nName=Lyrano\n";
  text += "GenericName=Music Player\n";
  text += "Exec=" + exec + " %f\n";
  text += "Icon=" + std::string(icon) + "\n";
  text += "Terminal=false\n";
  text += "MimeType=";
  for (const THandledType& t : kHandledTypes) text += std::string(t.MimeType) + ";";
  text += "\nCategories=AudioVideo;Audio;Player;\n";
  return text;
}

void ApplyAssociationToDesktop(const reg::TRegistryStore& r, const TDesktopPlaces& places) {
  TIniFile defaults(places.Defaults);
  ApplyDesktopEntry(r, places, defaults);

  const TTextFile list = ReadTextFile(places.MimeAppsList);
  std::string text = list.Text;
  std::vector<std::string> restored;
  for (const THandledType& t : kHandledTypes) {
    const bool ours = EffectiveFileType(r, t.Extension) == FileType(t.Extension) &&
                      OpenCommandOf(r, t.Extension).has_value();
    const bool remembered = defaults.SectionExists(t.MimeType);
    if (ours && !remembered) {
      // The earlier default is kept before the list changes, and only once.
      mimeapps::TSetResult set = mimeapps::SetDefault(text, t.MimeType, kDesktopId);
      WriteBackup(defaults, t.MimeType, set.Backup);
      if (set.AddedSection) {
        defaults.WriteBool(kListSection, "AddedSection", true);
        defaults.WriteBool(kListSection, "AddedLineEnd", set.AddedLineEnd);
        defaults.WriteBool(kListSection, "CreatedFile", !list.Exists);
      }
      text = std::move(set.Text);
    } else if (ours && mimeapps::DefaultFor(text, t.MimeType) != std::string(kDesktopId)) {
      text = mimeapps::SetDefault(text, t.MimeType, kDesktopId).Text;
    } else if (!ours && remembered) {
      text =
          mimeapps::RestoreDefault(text, t.MimeType, kDesktopId, ReadBackup(defaults, t.MimeType));
      restored.push_back(std::string(t.MimeType));
    }
  }
  bool sectionGone = false;
  if (!restored.empty() && defaults.ReadBool(kListSection, "AddedSection", false)) {
    std::string trimmed =
        mimeapps::RemoveEmptySection(text, defaults.ReadBool(kListSection, "AddedLineEnd", false));
    sectionGone = trimmed != text;
    text = std::move(trimmed);
  }
  if (text != list.Text) {
    if (sectionGone && text.empty() && defaults.ReadBool(kListSection, "CreatedFile", false)) {
      std::error_code ec;
      fs::remove(Target(places.MimeAppsList), ec);
      if (ec) {
        throw lyrano::FileError("Cannot delete file \"" + cp::PathToAnsi(places.MimeAppsList) +
                                "\". " + fileio::SystemErrorText(ec.value()));
      }
    } else {
      WriteTextFile(places.MimeAppsList, text);
    }
  }
  // The earlier defaults are forgotten only once they are back in the list.
  for (const std::string& mime : restored) defaults.EraseSection(mime);
  if (sectionGone) defaults.EraseSection(kListSection);
}

std::vector<reg::TRegistrySeed> DesktopSeed(const TDesktopPlaces& places) {
  std::string text;
  try {
    text = ReadTextFile(places.MimeAppsList).Text;
  } catch (const lyrano::Error&) {
    // An unreadable list seeds keys without a default application.
  }
  std::vector<reg::TRegistrySeed> seed;
  for (const THandledType& t : kHandledTypes) {
    std::string app = cp::Utf8ToAnsi(mimeapps::DefaultFor(text, t.MimeType).value_or(""));
    seed.push_back({THive::ClassesRoot, ExtensionKey(t.Extension), "", app});
    seed.push_back(
        {THive::ClassesRoot, ExtensionKey(t.Extension), "Content Type", std::string(t.MimeType)});
  }
  return seed;
}

TDesktopAssociation::TDesktopAssociation(std::string programPath, TDesktopPlaces places)
    : places_(std::move(places)),
      registry_(places_.Registry, DesktopSeed(places_)),
      fileAss_(registry_, std::move(programPath),
               [this](uint32_t) { ApplyAssociationToDesktop(registry_, places_); }) {}

}  // namespace fileass
