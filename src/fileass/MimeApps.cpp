#include "fileass/MimeApps.h"

#include <vector>

namespace mimeapps {

namespace {

std::string_view Trim(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  size_t e = s.size();
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

struct Line {
  std::string_view text;  // without its end
  std::string_view eol;   // "\n", "\r\n" or nothing for an unterminated last line
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
    size_t end = (nl > pos && content[nl - 1] == '\r') ? nl - 1 : nl;
    lines.push_back({content.substr(pos, end - pos), content.substr(end, nl + 1 - end)});
    pos = nl + 1;
  }
  return lines;
}

bool IsHeader(std::string_view text) {
  std::string_view t = Trim(text);
  return !t.empty() && t.front() == '[';
}

bool IsOurHeader(std::string_view text) {
  std::string_view t = Trim(text);
  return t.size() == kDefaultSection.size() + 2 && t.front() == '[' && t.back() == ']' &&
         t.substr(1, kDefaultSection.size()) == kDefaultSection;
}

// The key of an entry line, or empty for any other line.
std::string_view KeyOf(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty() || t.front() == '#' || t.front() == '[') return {};
  size_t eq = text.find('=');
  return eq == std::string_view::npos ? std::string_view{} : Trim(text.substr(0, eq));
}

// Where the section and the type's entry are.
struct Place {
  long header = -1;     // the first [Default Applications] line
  long lastEntry = -1;  // its last entry line (or the header)
  long entry = -1;      // the type's first entry in it
  long end = -1;        // the first line after the section
};

Place Find(const std::vector<Line>& lines, std::string_view mime) {
  Place p;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto n = static_cast<long>(i);
    if (p.header < 0) {
      if (IsOurHeader(lines[i].text)) p.header = p.lastEntry = n;
      continue;
    }
    if (IsHeader(lines[i].text)) {
      p.end = n;
      return p;
    }
    std::string_view key = KeyOf(lines[i].text);
    if (key.empty()) continue;
    p.lastEntry = n;
    if (p.entry < 0 && key == mime) p.entry = n;
  }
  p.end = static_cast<long>(lines.size());
  return p;
}

std::string Eol(std::string_view text) {
  return text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
}

// How many bytes at the end of `out` are the line end SetDefault added after
// the file's unterminated last line: its Eol() of the file as it was. A last
// line that ended in a lone CR reads as ending in CRLF once the LF is added,
// and keeps its CR.
size_t AddedEolSize(std::string_view out) {
  if (out.empty() || out.back() != '\n') return 0;
  const bool crlf = out.size() >= 2 && out[out.size() - 2] == '\r' &&
                    Eol(out.substr(0, out.size() - 1)) == "\r\n";
  return crlf ? 2 : 1;
}

std::string Join(const std::vector<Line>& lines, long skip, std::string_view replacement = {},
                 bool replace = false) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (static_cast<long>(i) == skip) {
      if (!replace) continue;
      out.append(replacement);
    } else {
      out.append(lines[i].text);
    }
    out.append(lines[i].eol);
  }
  return out;
}

}  // namespace

std::optional<std::string> DefaultFor(std::string_view text, std::string_view mime) {
  const auto lines = SplitLines(text);
  Place p = Find(lines, mime);
  if (p.entry < 0) return std::nullopt;
  std::string_view line = lines[static_cast<size_t>(p.entry)].text;
  return std::string(Trim(line.substr(line.find('=') + 1)));
}

TSetResult SetDefault(std::string_view text, std::string_view mime, std::string_view desktopId) {
  TSetResult r;
  const auto lines = SplitLines(text);
  const std::string eol = Eol(text);
  const std::string entry = std::string(mime) + "=" + std::string(desktopId);
  Place p = Find(lines, mime);

  if (p.entry >= 0) {
    std::string_view line = lines[static_cast<size_t>(p.entry)].text;
    size_t eq = line.find('=');
    r.Backup.HadEntry = true;
    r.Backup.EarlierValue = std::string(line.substr(eq + 1));
    r.Text =
        Join(lines, p.entry, std::string(line.substr(0, eq + 1)) + std::string(desktopId), true);
    return r;
  }
  if (p.header >= 0) {
    for (size_t i = 0; i < lines.size(); ++i) {
      r.Text.append(lines[i].text);
      r.Text.append(lines[i].eol);
      if (static_cast<long>(i) == p.lastEntry) {
        if (lines[i].eol.empty()) {
          // Only the file's last line lacks an end; ours ends where it did.
          r.Text.append(eol);
          r.Text.append(entry);
        } else {
          r.Text.append(entry);
          r.Text.append(eol);
        }
      }
    }
    return r;
  }
  r.Text = std::string(text);
  if (!r.Text.empty() && r.Text.back() != '\n') {
    r.Text.append(eol);
    r.AddedLineEnd = true;
  }
  r.Text.append("[" + std::string(kDefaultSection) + "]" + eol + entry + eol);
  r.AddedSection = true;
  return r;
}

std::string RestoreDefault(std::string_view text, std::string_view mime, std::string_view desktopId,
                           const TDefaultBackup& backup) {
  const auto lines = SplitLines(text);
  Place p = Find(lines, mime);
  if (p.entry < 0) return std::string(text);
  const auto at = static_cast<size_t>(p.entry);
  std::string_view line = lines[at].text;
  size_t eq = line.find('=');
  if (Trim(line.substr(eq + 1)) != desktopId) return std::string(text);

  if (backup.HadEntry) {
    return Join(lines, p.entry, std::string(line.substr(0, eq + 1)) + backup.EarlierValue, true);
  }
  std::string out = Join(lines, p.entry);
  // An entry added after an unterminated last line takes its line end back.
  if (lines[at].eol.empty() && at > 0 && at + 1 == lines.size()) {
    out.resize(out.size() - AddedEolSize(out));
  }
  return out;
}

std::string RemoveEmptySection(std::string_view text, bool addedLineEnd) {
  const auto lines = SplitLines(text);
  Place p = Find(lines, {});
  if (p.header < 0 || p.end != p.header + 1) return std::string(text);
  std::string out = Join(lines, p.header);
  if (addedLineEnd && static_cast<size_t>(p.end) == lines.size()) {
    out.resize(out.size() - AddedEolSize(out));
  }
  return out;
}

}  // namespace mimeapps
