#include "tags/ID3v2Frames.h"

#include "tags/TagIO.h"

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
