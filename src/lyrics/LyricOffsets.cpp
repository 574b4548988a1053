#include "lyrics/LyricOffsets.h"

#include <charconv>
#include <optional>
#include <utility>
#include <vector>

#include "common/FileIO.h"
#include "common/codepage.h"
#include "common/errors.h"
#include "common/funPub.h"
#include "lyrics/LyricTimeline.h"

namespace {

constexpr std::string_view kFileKind = "file";
constexpr std::string_view kSongKind = "song";
constexpr char kHex[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '%';
}

void AppendEscaped(std::string& out, std::string_view field) {
  for (char ch : field) {
    auto c = static_cast<unsigned char>(ch);
    if (NeedsEscape(c)) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// A field as AppendEscaped writes it: no control byte, every "%" followed by
// two hexadecimal digits.
bool IsEscapedField(std::string_view field) {
  for (size_t k = 0; k < field.size(); ++k) {
    auto c = static_cast<unsigned char>(field[k]);
    if (c < 0x20 || c == 0x7F) return false;
    if (c == '%' &&
        (k + 2 >= field.size() || !IsHexDigit(field[k + 1]) || !IsHexDigit(field[k + 2])))
      return false;
  }
  return true;
}

// The key of a line (everything after the value), when it is one we write.
bool IsKey(std::string_view key) {
  // SplitString gives at least one field.
  std::vector<std::string> fields = funPub::SplitString(key, "\t");
  size_t wanted = fields[0] == kFileKind ? 2 : fields[0] == kSongKind ? 3 : 0;
  if (fields.size() != wanted) return false;
  for (size_t k = 1; k < fields.size(); ++k) {
    if (!IsEscapedField(fields[k])) return false;
  }
  // A song needs a title, a file a path.
  return !fields[1].empty();
}

// An optional sign and decimal digits, nothing around them; 0 and values
// beyond kMaxLyricOffsetMs are no offset.
std::optional<int> ParseOffset(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    // Stops long before an int could overflow.
    if (value > kMaxLyricOffsetMs) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return negative ? -value : value;
}

// Sets a song's offset in `offsets`; 0 removes it.
void Put(TLyricOffsetMap& offsets, const std::string& key, int offsetMs) {
  if (offsetMs == 0) {
    offsets.erase(key);
  } else {
    offsets[key] = offsetMs;
  }
}

// The file's offsets; throws lyrano::FileError when it exists and cannot be read.
TLyricOffsetMap ReadOffsetFile(const std::string& path) {
  std::optional<std::string> bytes = fileio::ReadFileIfPresent(path, kMaxLyricOffsetFileBytes);
  return bytes ? ParseLyricOffsets(*bytes) : TLyricOffsetMap{};
}

}  // namespace

std::string LyricSongKey(std::string_view title, std::string_view singer, std::string_view path) {
  std::string key;
  std::string trimmedPath = funPub::Trim(path);
  if (!trimmedPath.empty()) {
    key = kFileKind;
    key += '\t';
    AppendEscaped(key, trimmedPath);
    return key;
  }
  key = kSongKind;
  key += '\t';
  AppendEscaped(key, funPub::Trim(title));
  key += '\t';
  AppendEscaped(key, funPub::Trim(singer));
  return key;
}

TLyricOffsetMap ParseLyricOffsets(std::string_view text) {
  TLyricOffsetMap offsets;
  size_t pos = 0;
  while (pos < text.size()) {
    std::string_view line = funPub::NextLine(text, pos);
    if (line.empty() || line.front() == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) continue;
    std::optional<int> offset = ParseOffset(line.substr(0, tab));
    std::string_view key = line.substr(tab + 1);
    if (!offset || !IsKey(key)) continue;
    offsets[std::string(key)] = *offset;
  }
  return offsets;
}

std::string FormatLyricOffsets(const TLyricOffsetMap& offsets) {
  std::string text =
      "# Lyrano lyric timing: milliseconds (positive: earlier), then file and path, or song, "
      "title and singer\n";
  for (const auto& [key, offset] : offsets) {
    if (offset == 0) continue;
    char buf[16];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, offset);
    (void)ec;
    text.append(buf, end);
    text += '\t';
    text += key;
    text += '\n';
  }
  return text;
}

void TLyricOffsetStore::Open(const std::string& path) {
  path_ = path;
  try {
    offsets_ = ReadOffsetFile(path_);
  } catch (const lyrano::Error&) {
    offsets_.clear();
  }
}

int TLyricOffsetStore::Get(const std::string& key) const {
  auto it = offsets_.find(key);
  return it == offsets_.end() ? 0 : it->second;
}

void TLyricOffsetStore::Set(const std::string& key, int offsetMs) {
  Put(offsets_, key, offsetMs);
  if (path_.empty()) return;
  TLyricOffsetMap onDisk = ReadOffsetFile(path_);
  Put(onDisk, key, offsetMs);
  int err = fileio::ReplaceFileContent(cp::AnsiToPath(path_), FormatLyricOffsets(onDisk));
  if (err != 0) {
    throw lyrano::FileError("Cannot create file \"" + path_ + "\". " +
                            fileio::SystemErrorText(err));
  }
  offsets_ = std::move(onDisk);
}
