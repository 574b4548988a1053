#include "lyrics/LyricTimeline.h"

#include <charconv>

std::optional<long long> LyricSeconds(std::string_view timeText) {
  long long value = 0;
  const char* end = timeText.data() + timeText.size();
  auto [ptr, ec] = std::from_chars(timeText.data(), end, value);
  if (timeText.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}
