#include "common/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <system_error>

#include "common/FileIO.h"
#include "common/errors.h"

namespace fs = std::filesystem;

namespace {

// Larger files are not profile files; refusing them keeps memory bounded and,
// on writing, avoids truncating something we could not read whole.
constexpr size_t kMaxFileSize = 64u * 1024 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string_view TrimView(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  size_t e = s.size();
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    return v.substr(1, v.size() - 2);
  }
  return v;
}

// Length of the code-page character starting at s[i]: GB18030 has one-, two-
// and four-byte characters. Trail bytes may be ASCII letters, so folding must
// not touch them.
size_t CharLen(std::string_view s, size_t i) {
  auto b = static_cast<unsigned char>(s[i]);
  if (b < 0x81 || b == 0xFF || i + 1 >= s.size()) return 1;
  auto b2 = static_cast<unsigned char>(s[i + 1]);
  if (b2 >= 0x30 && b2 <= 0x39 && i + 3 < s.size()) return 4;
  return 2;
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive for ASCII letters, exact for every other character.
bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  size_t i = 0;
  while (i < a.size()) {
    size_t n = CharLen(a, i);
    if (n == 1) {
      if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    } else if (a.substr(i, n) != b.substr(i, n)) {
      return false;
    }
    i += n;
  }
  return true;
}

bool ParseDigits(std::string_view s, unsigned base, uint64_t limit, uint64_t& out) {
  if (s.empty()) return false;
  uint64_t v = 0;
  for (char c : s) {
    unsigned d;
    if (c >= '0' && c <= '9') {
      d = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    v = v * base + d;
    if (v > limit) return false;
  }
  out = v;
  return true;
}

bool ParseInteger(std::string_view s, int32_t& out) {
  bool negative = false;
  if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  uint64_t v = 0;
  if (!s.empty() && s[0] == '$') {
    if (!ParseDigits(s.substr(1), 16, 0xFFFFFFFFu, v)) return false;
    auto bits = static_cast<uint32_t>(v);
    if (negative) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    if (!ParseDigits(s.substr(2), 16, 0xFFFFFFFFu, v)) return false;
    auto bits = static_cast<uint32_t>(v);
    if (negative) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  const uint64_t limit = negative ? 2147483648u : 2147483647u;
  if (!ParseDigits(s, 10, limit, v)) return false;
  out = negative ? static_cast<int32_t>(-static_cast<int64_t>(v)) : static_cast<int32_t>(v);
  return true;
}

// One physical line of the file: its bytes without the terminator, and the
// terminator itself ("\r\n", "\n" or nothing for a last unterminated line).
struct Line {
  std::string_view text;
  std::string_view eol;
};

std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t nl = content.find('\n', pos);
    if (nl == std::string_view::npos) {
      lines.push_back({content.substr(pos), {}});
      break;
    }
    size_t end = nl;
    if (end > pos && content[end - 1] == '\r') --end;
    lines.push_back({content.substr(pos, end - pos), content.substr(end, nl + 1 - end)});
    pos = nl + 1;
  }
  return lines;
}

enum class LineKind { Other, Section, Entry };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // entry value, trimmed and unquoted
  size_t valueStart = 0;   // offset in the line where the written value begins
};

ParsedLine ParseLine(std::string_view text, bool first) {
  ParsedLine p;
  size_t bom = 0;
  if (first && text.substr(0, 3) == "\xEF\xBB\xBF") {
    text.remove_prefix(3);
    bom = 3;
  }
  std::string_view t = TrimView(text);
  if (t.empty() || t[0] == ';') return p;
  if (t[0] == '[') {
    std::string_view inner = t.substr(1);
    size_t close = inner.find(']');
    if (close != std::string_view::npos) inner = inner.substr(0, close);
    p.kind = LineKind::Section;
    p.name = TrimView(inner);
    return p;
  }
  size_t eq = text.find('=');
  if (eq == std::string_view::npos) return p;
  std::string_view key = TrimView(text.substr(0, eq));
  if (key.empty()) return p;
  p.kind = LineKind::Entry;
  p.name = key;
  p.value = Unquote(TrimView(text.substr(eq + 1)));
  size_t vs = eq + 1;
  while (vs < text.size() && (text[vs] == ' ' || text[vs] == '\t')) ++vs;
  p.valueStart = bom + vs;  // offset in the line as stored
  return p;
}

enum class ReadResult { Ok, Missing, Failed };

// A folder, like any file that cannot be read whole, is a failure here.
ReadResult ReadWhole(const fs::path& path, std::string& out) {
  fileio::ReadResult r = fileio::ReadWholeFile(path, kMaxFileSize);
  switch (r.Status) {
    case fileio::ReadStatus::Ok:
      out = std::move(r.Bytes);
      return ReadResult::Ok;
    case fileio::ReadStatus::Missing:
      return ReadResult::Missing;
    case fileio::ReadStatus::Folder:
    case fileio::ReadStatus::Failed:
      break;
  }
  return ReadResult::Failed;
}

// The file a write replaces: the one a symbolic link points at, not the link.
fs::path WriteTarget(const fs::path& path) {
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(path, ec))) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (!ec) return resolved;
  }
  return path;
}

// The content a write starts from: empty for a missing file.
std::string ReadForWrite(const fs::path& target) {
  std::string content;
  if (ReadWhole(target, content) == ReadResult::Failed) {
    throw lyrano::FileError("Cannot open file \"" + target.string() + "\". Not readable");
  }
  return content;
}

bool HasLineBreak(std::string_view s) {
  return s.find('\n') != std::string_view::npos || s.find('\r') != std::string_view::npos;
}

std::string EncodeValue(std::string_view value) {
  bool edgeBlank = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  bool looksQuoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                     value.back() == value.front();
  if (edgeBlank || looksQuoted) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

}  // namespace

TIniFile::TIniFile(fs::path path) : path_(std::move(path)) {}

bool TIniFile::SameName(std::string_view a, std::string_view b) {
  return NamesEqual(a, b);
}

void TIniFile::Refresh() const {
  std::error_code ec;
  bool exists = fs::exists(path_, ec) && !ec;
  std::uintmax_t size = 0;
  fs::file_time_type time{};
  if (exists) {
    size = fs::file_size(path_, ec);
    if (ec) size = 0;
    time = fs::last_write_time(path_, ec);
    if (ec) time = {};
  }
  if (loaded_ && exists == stampExists_ && size == stampSize_ && time == stampTime_) return;

  sections_.clear();
  std::string content;
  if (ReadWhole(path_, content) == ReadResult::Ok) {
    auto lines = SplitLines(content);
    Section* current = nullptr;
    for (size_t i = 0; i < lines.size(); ++i) {
      ParsedLine p = ParseLine(lines[i].text, i == 0);
      if (p.kind == LineKind::Section) {
        sections_.push_back({std::string(p.name), {}});
        current = &sections_.back();
      } else if (p.kind == LineKind::Entry && current != nullptr) {
        current->entries.push_back({std::string(p.name), std::string(p.value)});
      }
    }
  }
  loaded_ = true;
  stampExists_ = exists;
  stampSize_ = size;
  stampTime_ = time;
}

const std::string* TIniFile::Find(std::string_view section, std::string_view key) const {
  Refresh();
  for (const Section& s : sections_) {
    if (!NamesEqual(s.name, section)) continue;
    for (const Entry& e : s.entries) {
      if (NamesEqual(e.key, key)) return &e.value;
    }
  }
  return nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view def) const {
  const std::string* v = Find(section, key);
  return v ? *v : std::string(def);
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const std::string* v = Find(section, key);
  if (!v) return def;
  int32_t out = 0;
  return ParseInteger(*v, out) ? out : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

bool TIniFile::SectionExists(std::string_view section) const {
  Refresh();
  for (const Section& s : sections_) {
    if (NamesEqual(s.name, section)) return true;
  }
  return false;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  return Find(section, key) != nullptr;
}

std::vector<std::string> TIniFile::ReadSections() const {
  Refresh();
  std::vector<std::string> names;
  for (const Section& s : sections_) {
    bool seen = false;
    for (const auto& n : names) seen = seen || NamesEqual(n, s.name);
    if (!seen) names.push_back(s.name);
  }
  return names;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  Refresh();
  std::vector<std::string> keys;
  for (const Section& s : sections_) {
    if (!NamesEqual(s.name, section)) continue;
    for (const Entry& e : s.entries) {
      bool seen = false;
      for (const auto& k : keys) seen = seen || NamesEqual(k, e.key);
      if (!seen) keys.push_back(e.key);
    }
  }
  return keys;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  std::string_view tsec = TrimView(section);
  std::string_view tkey = TrimView(key);
  if (tsec.empty() || tsec != section || HasLineBreak(section) ||
      section.find(']') != std::string_view::npos) {
    throw lyrano::Error("Invalid INI section name \"" + std::string(section) + "\"");
  }
  if (tkey.empty() || tkey != key || HasLineBreak(key) || key.find('=') != std::string_view::npos ||
      key[0] == ';' || key[0] == '[') {
    throw lyrano::Error("Invalid INI key name \"" + std::string(key) + "\"");
  }
  if (HasLineBreak(value)) {
    throw lyrano::Error("Invalid INI value for \"" + std::string(key) + "\": line break");
  }

  const fs::path target = WriteTarget(path_);
  std::string content = ReadForWrite(target);

  const std::string eol = content.find("\r\n") != std::string::npos ? "\r\n"
                          : content.find('\n') != std::string::npos ? "\n"
                                                                    : "\r\n";
  const std::string encoded = EncodeValue(value);
  auto lines = SplitLines(content);

  // Find the entry a read would return, and where a new key would go.
  long entryLine = -1;
  long insertAfter = -1;  // last entry (or header) line of the first matching section
  long firstSectionHeader = -1;
  bool inMatch = false;
  bool inFirstMatch = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    ParsedLine p = ParseLine(lines[i].text, i == 0);
    if (p.kind == LineKind::Section) {
      inMatch = NamesEqual(p.name, section);
      inFirstMatch = inMatch && firstSectionHeader < 0;
      if (inFirstMatch) {
        firstSectionHeader = static_cast<long>(i);
        insertAfter = static_cast<long>(i);
      }
    } else if (p.kind == LineKind::Entry && inMatch) {
      if (inFirstMatch) insertAfter = static_cast<long>(i);
      if (entryLine < 0 && NamesEqual(p.name, key)) entryLine = static_cast<long>(i);
    }
    if (entryLine >= 0) break;
  }

  std::string out;
  out.reserve(content.size() + section.size() + key.size() + value.size() + 16);
  auto appendLine = [&](const Line& l) {
    out.append(l.text);
    out.append(l.eol);
  };
  const std::string newEntry = std::string(key) + "=" + encoded;

  if (entryLine >= 0) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (static_cast<long>(i) != entryLine) {
        appendLine(lines[i]);
        continue;
      }
      ParsedLine p = ParseLine(lines[i].text, i == 0);
      out.append(lines[i].text.substr(0, p.valueStart));
      out.append(encoded);
      out.append(lines[i].eol);
    }
  } else if (insertAfter >= 0) {
    for (size_t i = 0; i < lines.size(); ++i) {
      appendLine(lines[i]);
      if (static_cast<long>(i) == insertAfter) {
        if (lines[i].eol.empty()) out.append(eol);
        out.append(newEntry);
        out.append(eol);
      }
    }
  } else {
    out = content;
    if (!out.empty() && out.back() != '\n') out.append(eol);
    if (!lines.empty() && !TrimView(lines.back().text).empty()) out.append(eol);
    out.append("[" + std::string(section) + "]" + eol);
    out.append(newEntry + eol);
  }

  if (int err = fileio::ReplaceFileContent(target, out); err != 0) {
    throw lyrano::FileError("Cannot create file \"" + target.string() + "\". " +
                            fileio::SystemErrorText(err));
  }
  loaded_ = false;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  RemoveLines(section, &key);
}

void TIniFile::EraseSection(std::string_view section) {
  RemoveLines(section, nullptr);
}

void TIniFile::RemoveLines(std::string_view section, const std::string_view* key) {
  const fs::path target = WriteTarget(path_);
  std::error_code ec;
  if (!fs::exists(fs::symlink_status(target, ec))) return;
  const std::string content = ReadForWrite(target);
  const auto lines = SplitLines(content);

  std::string out;
  out.reserve(content.size());
  bool inMatch = false;
  bool removed = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    ParsedLine p = ParseLine(lines[i].text, i == 0);
    if (p.kind == LineKind::Section) inMatch = NamesEqual(p.name, section);
    bool drop =
        inMatch && (key == nullptr || (p.kind == LineKind::Entry && NamesEqual(p.name, *key)));
    if (drop) {
      removed = true;
      continue;
    }
    out.append(lines[i].text);
    out.append(lines[i].eol);
  }
  if (!removed) return;
  if (int err = fileio::ReplaceFileContent(target, out); err != 0) {
    throw lyrano::FileError("Cannot create file \"" + target.string() + "\". " +
                            fileio::SystemErrorText(err));
  }
  loaded_ = false;
}
