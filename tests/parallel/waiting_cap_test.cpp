// The cap on the patterns that wait for the ones before them: with a sink
// slower than the search, what waits stays near the cap, and the output is
// the same as on one thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "parallel/parallel_search.h"
#include "transactions/edge_database.h"

namespace tavrel::parallel {
namespace {

// Random transactions: each of `edges` edges in each of `count` with
// probability `share`.
EdgeDatabase randomDatabase(int edges, int count, double share, unsigned seed) {
  std::mt19937 random(seed);
  std::bernoulli_distribution holds(share);
  EdgeDatabaseBuilder builder;
  EXPECT_TRUE(builder.start(edges, count));
  for (int t = 0; t < count; ++t) {
    std::vector<std::uint32_t> transaction;
    for (int e = 0; e < edges; ++e) {
      if (holds(random)) transaction.push_back(static_cast<std::uint32_t>(e));
    }
    EXPECT_TRUE(builder.add(transaction.data(), transaction.size()));
  }
  return builder.finish();
}

// Makes each pattern a text of kTextBytes bytes where it is found, and
// takes the texts slowly, keeping a digest of them in order.
class SlowTextSink : public ClosedSetSink {
 public:
  static constexpr std::size_t kTextBytes = 1000;
  explicit SlowTextSink(int pauseEvery) : pauseEvery_(pauseEvery) {}

  // The patterns that go straight to the sink, as their text.
  bool take(const int* edges, int length, int support) override {
    char text[kTextBytes];
    return takeText(text, writeText(edges, length, support, text));
  }
  std::size_t textBound(int) const override { return kTextBytes; }
  std::size_t writeText(const int* edges, int length, int support, char* out) const override {
    std::string text = std::to_string(support) + ":";
    for (int e = 0; e < length; ++e) text += " " + std::to_string(edges[e]);
    text.resize(kTextBytes, '.');
    std::memcpy(out, text.data(), kTextBytes);
    return kTextBytes;
  }
  bool takeText(const char* text, std::size_t size) override {
    if (++texts % pauseEvery_ == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bytes += size;
    for (std::size_t k = 0; k < size; ++k) digest = digest * 1099511628211u ^ text[k];
    return true;
  }

  long long texts = 0;
  std::size_t bytes = 0;
  std::uint64_t digest = 14695981039346656037u;

 private:
  int pauseEvery_;
};

TEST(WaitingCapTest, WithASlowSinkWhatWaitsStaysNearTheCap) {
  constexpr std::size_t kCap = std::size_t{512} << 10;
  SlowTextSink alone(1 << 30);
  ParallelOptions one;
  one.threads = 1;
  EdgeDatabase first = randomDatabase(40, 26, 0.55, 7);
  ASSERT_EQ(searchInParallel(first, 2, alone, one), SearchOutcome::kComplete);
  // Far more output than the cap, so that the cap is what holds it back.
  ASSERT_GT(alone.bytes, 16 * kCap);

  for (int threads : {2, 4}) {
    SlowTextSink slow(200);  // about 200 KB a millisecond at most
    ParallelStats stats;
    ParallelOptions options;
    options.threads = threads;
    options.waitingCap = kCap;
    options.stats = &stats;
    EdgeDatabase database = randomDatabase(40, 26, 0.55, 7);
    ASSERT_EQ(searchInParallel(database, 2, slow, options), SearchOutcome::kComplete);
    EXPECT_EQ(slow.texts, alone.texts);
    EXPECT_EQ(slow.digest, alone.digest);
    // It reached half the cap, where the search holds back; the batches
    // that the workers hand over (128 KB each) may take it past the cap.
    EXPECT_GE(stats.mostWaitingBytes, kCap / 2) << threads;
    EXPECT_LE(stats.mostWaitingBytes, 2 * kCap + threads * (std::size_t{256} << 10)) << threads;
  }
}

}  // namespace
}  // namespace tavrel::parallel
