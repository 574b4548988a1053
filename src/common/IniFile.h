// Profile files ("INI" files) with the rules programs of this kind have always
// relied on:
//   - "[Section]" lines open sections; "Key=Value" lines inside them hold values.
//     Lines starting with ';' are comments; any other line is ignored.
//   - Section and key names are compared without regard to ASCII letter case.
//   - Names and values are trimmed of blanks; one pair of matching quotes
//     around a value is removed.
//   - The first of duplicate entries wins (first section of a name, first key
//     in it).
//   - A missing or unreadable file reads as empty.
//   - Writing a key rewrites the file at once (a temporary file in the same
//     folder renamed over it) and keeps every other line byte for byte.
// Names and values are bytes in the local code page; no conversion happens.
//
// Every call reads the file as it is on disk (re-read only when its size or
// time changed), so a change made by another program is seen. One object per
// thread; different objects may be used on different threads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

class TIniFile {
 public:
  // `path` is a file-system path; callers holding local-code-page text convert
  // it with cp::AnsiToPath. The file need not exist.
  explicit TIniFile(std::filesystem::path path);

  const std::filesystem::path& FileName() const { return path_; }

  // The value of Key in Section, or `def` when either is missing.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view def) const;
  // The value as a 32-bit integer: decimal with an optional sign, or hexadecimal
  // with a "0x"/"0X" or "$" prefix (at most 0xFFFFFFFF; values above 0x7FFFFFFF
  // wrap to negative). Anything else, and a missing entry, gives `def`.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  // "1"/"0" style: an integer value other than 0 is true; non-integers give `def`.
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  // Section names in file order, duplicates (by case-insensitive name) once.
  std::vector<std::string> ReadSections() const;
  // Key names of a section in file order, duplicates once.
  std::vector<std::string> ReadSection(std::string_view section) const;

  // Sets Key in Section and writes the file at once. A value with blanks at
  // either end, or one already wrapped in matching quotes, is written quoted so
  // that it reads back unchanged. An existing entry (the
  // first one) is changed in place; a new key goes after the last entry of the
  // first section of that name; a new section is appended at the end.
  // Throws lyrano::Error for a name or value that cannot be stored (empty name,
  // line breaks, '=' or a leading ';' or '[' in a key, ']' in a section) and
  // lyrano::FileError when the file cannot be read or written; the file on disk
  // is then unchanged.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  // Removes every entry of Key in every section of that name, or every section
  // of that name with all its lines (comments included), and writes the file
  // at once; every other line is kept byte for byte. Nothing to remove writes
  // nothing. Throws lyrano::FileError as WriteString does.
  void DeleteKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);

  // Whether two section or key names are the same name: ASCII letters compared
  // without regard to case, every other character exactly.
  static bool SameName(std::string_view a, std::string_view b);

 private:
  struct Entry {
    std::string key;
    std::string value;
  };
  struct Section {
    std::string name;
    std::vector<Entry> entries;
  };

  void Refresh() const;
  // Rewrites the file without the entries of `key` in sections named `section`,
  // or without those sections whole when `key` is null.
  void RemoveLines(std::string_view section, const std::string_view* key);
  const std::string* Find(std::string_view section, std::string_view key) const;

  std::filesystem::path path_;
  // Cache of the parsed file and the stamp it was read with.
  mutable std::vector<Section> sections_;
  mutable bool loaded_ = false;
  mutable std::uintmax_t stampSize_ = 0;
  mutable std::filesystem::file_time_type stampTime_{};
  mutable bool stampExists_ = false;
};
