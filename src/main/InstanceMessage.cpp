#include "main/InstanceMessage.h"

namespace instance {
namespace {

constexpr std::string_view kMagic{"LYRANO1\n"};
constexpr size_t kHeader = 8 + 4 + 4;

void PutU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t GetU32(std::string_view bytes, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
  return v;
}

}  // namespace

std::string EncodeHandover(const THandover& message) {
  std::string body;
  uint32_t count = 0;
  size_t size = kHeader;
  for (const std::string& arg : message.Args) {
    if (count == kMaxArgs || arg.find('\0') != std::string::npos ||
        size + 4 + arg.size() > kMaxMessage)
      break;
    PutU32(body, static_cast<uint32_t>(arg.size()));
    body += arg;
    size += 4 + arg.size();
    ++count;
  }
  std::string out(kMagic);
  PutU32(out, message.Notification);
  PutU32(out, count);
  return out + body;
}

TDecode DecodeHandover(std::string_view bytes, THandover& out) {
  if (bytes.size() > kMaxMessage) return TDecode::Malformed;
  size_t magic = std::min(bytes.size(), kMagic.size());
  if (bytes.substr(0, magic) != kMagic.substr(0, magic)) return TDecode::Malformed;
  if (bytes.size() < kHeader) return TDecode::Incomplete;
  uint32_t count = GetU32(bytes, 12);
  if (count > kMaxArgs) return TDecode::Malformed;
  THandover message;
  message.Notification = GetU32(bytes, 8);
  size_t at = kHeader;
  for (uint32_t i = 0; i < count; ++i) {
    if (bytes.size() - at < 4) return TDecode::Incomplete;
    uint32_t length = GetU32(bytes, at);
    at += 4;
    // Compared with what the cap leaves, so a huge length is refused at once.
    if (length > kMaxMessage - at) return TDecode::Malformed;
    std::string_view arg = bytes.substr(at, length);
    if (arg.find('\0') != std::string_view::npos) return TDecode::Malformed;
    if (arg.size() < length) return TDecode::Incomplete;
    message.Args.emplace_back(arg);
    at += length;
  }
  if (at != bytes.size()) return TDecode::Malformed;
  out = std::move(message);
  return TDecode::Complete;
}

}  // namespace instance
