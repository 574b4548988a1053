#include "playlist/PlaylistFile.h"

#include <charconv>
#include <optional>
#include <utility>

#include "common/FileIO.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"

namespace {

[[noreturn]] void ThrowCreateError(std::string_view name, int err) {
  throw lyrano::FileError("Cannot create file \"" + std::string(name) + "\". " +
                          fileio::SystemErrorText(err));
}

}  // namespace

TPlaylistReadResult ParsePlaylistText(std::string_view text) {
  TPlaylistReadResult result;
  result.Status = TPlaylistReadStatus::Complete;
  size_t lineNo = 0;
  size_t start = 0;
  while (start < text.size()) {
    std::string_view line = funPub::NextLine(text, start);
    ++lineNo;
    if (line.find('|') == std::string_view::npos) continue;
    std::vector<std::string> fields = funPub::SplitString(line, "|");
    TPlaylistEntry entry;
    entry.Title = std::move(fields[0]);
    entry.geshou = std::move(fields[1]);
    try {
      entry.SongId = fields.size() >= 3 ? funPub::StrToInt(fields[2]) : 0;
    } catch (const lyrano::ConvertError& e) {
      result.Status = TPlaylistReadStatus::Malformed;
      result.Error = e.what();
      result.ErrorLine = lineNo;
      return result;
    }
    if (fields.size() >= 4) entry.mp3Patch = std::move(fields[3]);
    result.Entries.push_back(std::move(entry));
  }
  return result;
}

TPlaylistReadResult ReadPlaylistFile(std::string_view fileName) {
  std::optional<std::string> bytes = fileio::ReadFileIfPresent(fileName, kMaxPlaylistFileBytes);
  if (!bytes) return {};
  return ParsePlaylistText(*bytes);
}

std::string CurrentFileAfterLoad(const TPlaylistReadResult& result, std::string_view fileName,
                                 std::string_view currentFile) {
  switch (result.Status) {
    case TPlaylistReadStatus::Complete:
      return std::string(fileName);
    case TPlaylistReadStatus::Malformed:
      return std::string();
    case TPlaylistReadStatus::Missing:
      break;
  }
  return std::string(currentFile);
}

std::string FormatPlaylistLine(const TPlaylistEntry& entry) {
  char id[16];
  auto [end, ec] = std::to_chars(id, id + sizeof id, entry.SongId);
  (void)ec;
  std::string line;
  line.reserve(entry.Title.size() + entry.geshou.size() + entry.mp3Patch.size() + 20);
  line += StorableText(entry.Title);
  line += '|';
  line += StorableText(entry.geshou);
  line += '|';
  line.append(id, end);
  line += '|';
  line += funPub::Trim(entry.mp3Patch);
  line += "\r\n";
  return line;
}

std::string FormatPlaylistText(const std::vector<TPlaylistEntry>& entries) {
  std::string text;
  for (const TPlaylistEntry& entry : entries) text += FormatPlaylistLine(entry);
  return text;
}

void WritePlaylistFile(std::string_view fileName, const std::vector<TPlaylistEntry>& entries) {
  if (fileName.empty()) return;
  int err = fileio::ReplaceFileContent(cp::AnsiToPath(fileName), FormatPlaylistText(entries));
  if (err != 0) ThrowCreateError(fileName, err);
}
