// One frame of an ID3v2.2, 2.3 or 2.4 tag, read from the tag's bytes in memory.
// Only text frames are decoded; other frames are measured and passed over.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tags {

// Undoes unsynchronisation: every byte pair FF 00 becomes FF.
std::string Resynchronise(std::string_view bytes);

}  // namespace tags

class TID3v2Frame {
 public:
  enum class Parse {
    Frame,    // a frame was read and `pos` moved past it
    End,      // the end of the frames: no room for a header, or padding
    Corrupt,  // a frame that claims more bytes than the tag has left
  };

  // Reads the frame at `pos` of `frames` (the tag's bytes after its header, with
  // whole-tag unsynchronisation already undone). The frame keeps a view of
  // `frames`, which must outlive it.
  Parse ReadFrom(std::string_view frames, size_t& pos, int majorVersion);

  // "TIT2", "TPE1" (versions 3 and 4) or "TT2", "TP1" (version 2).
  const std::string& ID() const { return id_; }
  // False when the frame's flags say its content is compressed, encrypted or
  // marked in a way the version does not define.
  bool Usable() const;
  // The content after the frame-level extras (grouping byte, data length
  // indicator) with frame-level unsynchronisation undone; empty when !Usable().
  std::string Content() const;
  // The text of a text frame, decoded by its encoding byte and cleaned; empty
  // when the frame is not usable or has no content.
  std::u16string GetText() const;

 private:
  int version_ = 0;
  std::string id_;
  uint8_t formatFlags_ = 0;  // the second flag byte (versions 3 and 4)
  std::string_view data_;
};
