// One frame of an ID3v2.2, 2.3 or 2.4 tag: its header, and for the frames the
// caller wants, its content. Only text frames are decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tags/TagIO.h"

namespace tags {

// Undoes unsynchronisation: every byte pair FF 00 becomes FF.
std::string Resynchronise(std::string_view bytes);

}  // namespace tags

class TID3v2Frame {
 public:
  // Length of a frame header: 6 bytes in version 2, 10 in versions 3 and 4.
  static size_t HeaderSize(int majorVersion) { return majorVersion == 2 ? 6 : 10; }

  // Reads a frame header of HeaderSize() bytes and drops any earlier content.
  // False when the identifier holds a character other than "A"-"Z" and "0"-"9":
  // the padding after the last frame, or bytes that are no frame at all.
  bool ReadHeader(std::string_view header, int majorVersion);
  // The Size() bytes that follow the header; the caller has measured them
  // against what is left of the tag.
  void SetData(std::string data) { data_ = std::move(data); }

  // "TIT2", "TPE1" (versions 3 and 4) or "TT2", "TP1" (version 2).
  const std::string& ID() const { return id_; }
  // Content bytes as the header declares them.
  uint32_t Size() const { return size_; }
  // False when the frame's flags say its content is compressed, encrypted or
  // marked in a way the version does not define.
  bool Usable() const;
  // The content after the frame-level extras (grouping byte, data length
  // indicator) with frame-level unsynchronisation undone; empty when !Usable().
  std::string Content() const;
  // The text of a text frame, decoded by its encoding byte and cleaned; empty
  // when the frame is not usable or has no content.
  std::u16string GetText() const;
  // The lines of a synchronised lyrics frame (SYLT, SLT in version 2) in
  // ascending order of time, entries of equal time in frame order. Empty when
  // the frame is not usable or counts time other than in milliseconds (MPEG
  // frames would need the stream's frame length). A line is an entry, or, when
  // some entry starts with a line feed, an entry starting with one together
  // with the entries (syllables) that follow it without one. A last entry
  // without its four time bytes is dropped.
  std::vector<tags::TTimedText> GetSyncedLyrics() const;
  // The text of an unsynchronised lyrics frame (USLT, ULT in version 2), line
  // breaks kept, cleaned at both ends; empty when the frame is not usable.
  std::u16string GetUnsyncedLyrics() const;

 private:
  int version_ = 0;
  std::string id_;
  uint32_t size_ = 0;
  uint8_t formatFlags_ = 0;  // the second flag byte (versions 3 and 4)
  std::string data_;
};
