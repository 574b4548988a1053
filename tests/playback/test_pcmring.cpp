// The PCM ring between decoder and output: wrap-around keeps bytes in order,
// the totals are the stream position, and it never over- or under-fills.
#include <gtest/gtest.h>

#include <numeric>
#include <thread>
#include <vector>

#include "playback/audio/PcmRing.h"

using lyrano::audio::PcmRing;

namespace {

std::vector<uint8_t> Drain(PcmRing& ring, size_t n) {
  std::vector<uint8_t> out;
  PcmRing::Pieces p = ring.Peek(n);
  out.insert(out.end(), p.first.data, p.first.data + p.first.size);
  if (p.second.size > 0) out.insert(out.end(), p.second.data, p.second.data + p.second.size);
  ring.Consume(out.size());
  return out;
}

TEST(PcmRing, WrapsAroundInOrderAndCountsTotals) {
  PcmRing ring(4096);
  ASSERT_EQ(ring.Capacity(), 4096u);
  std::vector<uint8_t> data(3000);
  std::iota(data.begin(), data.end(), uint8_t{0});
  EXPECT_EQ(ring.Write(data.data(), data.size()), 3000u);
  EXPECT_EQ(Drain(ring, 2000).size(), 2000u);
  // This write crosses the end of the buffer; the read comes back in two pieces.
  EXPECT_EQ(ring.Write(data.data(), data.size()), 3000u);
  EXPECT_EQ(ring.Readable(), 4000u);
  PcmRing::Pieces p = ring.Peek(4000);
  EXPECT_GT(p.second.size, 0u);
  std::vector<uint8_t> got = Drain(ring, 4000);
  std::vector<uint8_t> want(data.begin() + 2000, data.end());
  want.insert(want.end(), data.begin(), data.end());
  EXPECT_EQ(got, want);
  EXPECT_EQ(ring.ReadTotal(), 6000u);
  EXPECT_EQ(ring.WriteTotal(), 6000u);
}

TEST(PcmRing, NeverOverOrUnderfills) {
  PcmRing ring(5000);  // rounded up to 8192
  EXPECT_EQ(ring.Capacity(), 8192u);
  std::vector<uint8_t> big(10000, 7);
  EXPECT_EQ(ring.Write(big.data(), big.size()), 8192u);
  EXPECT_EQ(ring.Writable(), 0u);
  EXPECT_EQ(ring.Write(big.data(), 1), 0u);
  ring.Consume(100000);  // more than there is: only what is there
  EXPECT_EQ(ring.Readable(), 0u);
  EXPECT_EQ(ring.ReadTotal(), 8192u);
  EXPECT_EQ(ring.Peek(10).first.size, 0u);
  ring.Reset();
  EXPECT_EQ(ring.ReadTotal(), 0u);
  EXPECT_EQ(ring.Writable(), 8192u);
}

TEST(PcmRing, ProducerAndConsumerThreadsAgreeOnEveryByte) {
  PcmRing ring(4096);
  constexpr size_t kTotal = 1 << 20;
  std::thread producer([&] {
    std::vector<uint8_t> chunk(1000);
    size_t sent = 0;
    while (sent < kTotal) {
      size_t n = std::min(chunk.size(), kTotal - sent);
      for (size_t i = 0; i < n; ++i) chunk[i] = static_cast<uint8_t>((sent + i) * 31);
      size_t off = 0;
      while (off < n) {
        off += ring.Write(chunk.data() + off, n - off);
        if (off < n) std::this_thread::yield();
      }
      sent += n;
    }
  });
  size_t received = 0;
  size_t mismatches = 0;
  while (received < kTotal) {
    std::vector<uint8_t> got = Drain(ring, 777);
    for (size_t i = 0; i < got.size(); ++i) {
      mismatches += got[i] != static_cast<uint8_t>((received + i) * 31);
    }
    received += got.size();
    if (got.empty()) std::this_thread::yield();
  }
  producer.join();
  EXPECT_EQ(mismatches, 0u);
  EXPECT_EQ(ring.ReadTotal(), kTotal);
}

}  // namespace
