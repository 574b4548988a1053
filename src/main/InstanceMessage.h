// The message a second launch sends to the running instance: a notification
// value and the launch's file arguments, in order (file-name bytes as the
// operating system gave them, relative ones made absolute against the
// launch's working folder; see CommandLine.h). Plain functions, any thread.
//
// Layout, integers little-endian:
//   "LYRANO1\n"             8 bytes
//   u32 notification        the value the running instance is notified with
//   u32 count               at most kMaxArgs
//   count x (u32 length, bytes)   no NUL inside an argument
// The message ends after the last argument; a trailing byte makes it malformed.
// A reader may decode whatever has arrived so far: a prefix of a valid message
// is Incomplete, and anything that can no longer become one is Malformed at
// once, so junk is dropped without waiting for the time limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace instance {

inline constexpr size_t kMaxMessage = 64 * 1024;
inline constexpr uint32_t kMaxArgs = 256;

struct THandover {
  uint32_t Notification = 0;
  std::vector<std::string> Args;
};

enum class TDecode { Incomplete, Complete, Malformed };

// The bytes of `message`; arguments that do not fit the layout (NUL inside,
// more than kMaxArgs, over kMaxMessage in all) are left off from the first one
// that does not fit, so what is sent always decodes.
std::string EncodeHandover(const THandover& message);

// Decodes `bytes`; fills `out` only when Complete.
TDecode DecodeHandover(std::string_view bytes, THandover& out);

}  // namespace instance
