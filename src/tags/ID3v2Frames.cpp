#include "tags/ID3v2Frames.h"

#include <algorithm>

namespace tags {

std::string Resynchronise(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += bytes[i];
    if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == 0) {
      ++i;
    }
  }
  return out;
}

}  // namespace tags

namespace {

// Flag bits of the second frame flag byte.
constexpr uint8_t kV3Grouping = 0x20;
constexpr uint8_t kV3Unusable = 0xDF;  // compression, encryption, undefined bits
constexpr uint8_t kV4Grouping = 0x40;
constexpr uint8_t kV4Unsync = 0x02;
constexpr uint8_t kV4DataLength = 0x01;
constexpr uint8_t kV4Unusable = 0xBC;  // compression, encryption, undefined bits

bool IsIdChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Reads the terminated strings of a frame that holds several, in the frame's
// text encoding: NUL ends a string, a pair of NULs at an even distance in the
// UTF-16 encodings. A UTF-16 string may start with its own byte-order mark;
// without one it keeps the order of the string before (little-endian first).
class TextFields {
 public:
  TextFields(std::string_view bytes, uint8_t encoding) : b_(bytes), encoding_(encoding) {}

  bool AtEnd() const { return pos_ >= b_.size(); }
  size_t Left() const { return b_.size() - pos_; }
  void Skip(size_t n) { pos_ += std::min(n, Left()); }
  uint32_t BigEndian32() {
    uint32_t v = tags::BigEndian(b_, pos_, 4);
    pos_ += 4;
    return v;
  }

  // The next string, without its terminator; the rest of the bytes when no
  // terminator comes.
  std::u16string Next() {
    const bool wide = encoding_ == 1 || encoding_ == 2;
    size_t end = pos_;
    if (wide) {
      while (end + 1 < b_.size() && (b_[end] != 0 || b_[end + 1] != 0)) end += 2;
      if (end + 1 >= b_.size()) end = b_.size();
    } else {
      end = std::min(b_.find('\0', pos_), b_.size());
    }
    std::string_view raw = b_.substr(pos_, end - pos_);
    pos_ = std::min(b_.size(), end + (wide ? 2 : 1));
    return Decode(raw);
  }

 private:
  std::u16string Decode(std::string_view raw) {
    switch (encoding_) {
      case 1:
        if (raw.size() >= 2) {
          auto a = static_cast<unsigned char>(raw[0]);
          auto b = static_cast<unsigned char>(raw[1]);
          if ((a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF)) {
            bigEndian_ = a == 0xFE;
            raw.remove_prefix(2);
          }
        }
        return tags::Utf16Bytes(raw, bigEndian_);
      case 2: {
        std::u16string text = tags::Utf16Bytes(raw, true);
        // A mark is not expected here, but some writers put one.
        if (!text.empty() && text[0] == u'\uFEFF') text.erase(0, 1);
        return text;
      }
      case 3:
        return tags::Utf8ToText(raw);
      default:
        // As in text frames: the local code page.
        return tags::AnsiToText(raw);
    }
  }

  std::string_view b_;
  uint8_t encoding_;
  size_t pos_ = 0;
  bool bigEndian_ = false;
};

constexpr uint8_t kSyltMilliseconds = 2;

bool StartsLine(const std::u16string& text) {
  return !text.empty() && (text[0] == u'\n' || text[0] == u'\r');
}

}  // namespace

bool TID3v2Frame::ReadHeader(std::string_view h, int majorVersion) {
  const size_t idLen = majorVersion == 2 ? 3 : 4;
  data_.clear();
  id_.clear();
  size_ = 0;
  formatFlags_ = 0;
  version_ = majorVersion;
  if (h.size() < HeaderSize(majorVersion)) return false;
  for (size_t i = 0; i < idLen; ++i) {
    if (!IsIdChar(h[i])) return false;
  }
  id_.assign(h.substr(0, idLen));
  if (majorVersion == 2) {
    size_ = tags::BigEndian(h, 3, 3);
  } else {
    size_ = majorVersion == 3 ? tags::BigEndian(h, 4, 4) : tags::Synchsafe(h, 4);
    formatFlags_ = static_cast<uint8_t>(h[9]);
  }
  return true;
}

bool TID3v2Frame::Usable() const {
  if (version_ == 3) return (formatFlags_ & kV3Unusable) == 0;
  if (version_ == 4) return (formatFlags_ & kV4Unusable) == 0;
  return version_ == 2;
}

std::string TID3v2Frame::Content() const {
  if (!Usable()) return {};
  std::string content;
  size_t skip = 0;
  if (version_ == 3) {
    content.assign(data_);
    if (formatFlags_ & kV3Grouping) skip = 1;
  } else if (version_ == 4) {
    // The grouping byte and the length indicator are part of the unsynchronised data.
    content = (formatFlags_ & kV4Unsync) ? tags::Resynchronise(data_) : std::string(data_);
    if (formatFlags_ & kV4Grouping) skip += 1;
    if (formatFlags_ & kV4DataLength) skip += 4;
  } else {
    content.assign(data_);
  }
  if (skip >= content.size()) return {};
  return content.substr(skip);
}

std::u16string TID3v2Frame::GetText() const {
  std::string content = Content();
  if (content.empty()) return {};
  const auto encoding = static_cast<unsigned char>(content[0]);
  std::string_view text = std::string_view(content).substr(1);
  std::u16string decoded;
  switch (encoding) {
    case 1: {
      // The mark says big-endian only as FE FF; anything else is read as
      // little-endian. Its two bytes are passed over either way.
      if (text.size() < 2) break;
      bool big = static_cast<unsigned char>(text[0]) == 0xFE &&
                 static_cast<unsigned char>(text[1]) == 0xFF;
      decoded = tags::Utf16Bytes(text.substr(2), big);
      break;
    }
    case 2:
      decoded = tags::Utf16Bytes(text, true);
      break;
    case 3:
      decoded = tags::Utf8ToText(text);
      break;
    default:
      // Encoding 0 and unknown values: the local code page, as the tag writers
      // of this player's users store it (not ISO-8859-1).
      decoded = tags::AnsiToText(text);
      break;
  }
  return tags::CleanTagText(std::move(decoded));
}

std::vector<tags::TTimedText> TID3v2Frame::GetSyncedLyrics() const {
  std::vector<tags::TTimedText> lines;
  const std::string content = Content();
  // Encoding, language (3), time stamp format, content type.
  if (content.size() < 6 || static_cast<uint8_t>(content[4]) != kSyltMilliseconds) return lines;
  TextFields fields(std::string_view(content).substr(6), static_cast<uint8_t>(content[0]));
  fields.Next();  // the descriptor
  std::vector<tags::TTimedText> entries;
  bool breaks = false;
  while (!fields.AtEnd()) {
    std::u16string text = fields.Next();
    if (fields.Left() < 4) break;
    breaks = breaks || StartsLine(text);
    entries.push_back({fields.BigEndian32(), std::move(text)});
  }
  for (tags::TTimedText& entry : entries) {
    if (breaks && !lines.empty() && !StartsLine(entry.Text)) {
      lines.back().Text += entry.Text;
    } else {
      lines.push_back(std::move(entry));
    }
  }
  for (tags::TTimedText& line : lines) line.Text = tags::CleanTagText(std::move(line.Text));
  std::stable_sort(lines.begin(), lines.end(),
                   [](const tags::TTimedText& a, const tags::TTimedText& b) { return a.Ms < b.Ms; });
  return lines;
}

std::u16string TID3v2Frame::GetUnsyncedLyrics() const {
  const std::string content = Content();
  // Encoding, language (3).
  if (content.size() < 4) return {};
  TextFields fields(std::string_view(content).substr(4), static_cast<uint8_t>(content[0]));
  fields.Next();  // the descriptor
  return tags::CleanTagText(fields.Next());
}
