#include "player/SampleIndex.h"

#include <gtest/gtest.h>

#include <thread>

namespace kx {
namespace {

TEST(SampleIndex, GrowsPastTheClassicCapacityWithoutMovingEntries) {
    SampleIndex index;
    for (int i = 0; i < 10'800; ++i)  // three minutes at 60 pictures per second
        ASSERT_TRUE(index.Append({100 + i, i * 16, static_cast<std::uint8_t>(i % 60 == 0),
                                  static_cast<std::uint32_t>(i) * 1000}));
    const SAMPLE_ENTRY* early = &index[5];
    for (int i = 0; i < 10'000; ++i) index.Append({1, 0, 0, 0});
    EXPECT_EQ(&index[5], early);
    EXPECT_EQ(index.size(), 20'800u);
    EXPECT_EQ(index[10'799].size, 100 + 10'799);
    EXPECT_EQ(index.At(20'800).size, 0) << "past the end reads as an empty entry";
    index.Clear();
    EXPECT_EQ(index.size(), 0u);
}

TEST(SampleIndex, ReadersSeeOnlyCompleteEntriesWhileAWriterAppends) {
    SampleIndex index;
    std::thread writer([&] {
        for (int i = 0; i < 50'000; ++i) index.Append({i + 1, i, 1, static_cast<std::uint32_t>(i)});
    });
    std::size_t seen = 0;
    while (seen < 50'000) {
        std::size_t count = index.size();
        for (; seen < count; ++seen) ASSERT_EQ(int{index[seen].size}, static_cast<int>(seen) + 1);
    }
    writer.join();
}

}  // namespace
}  // namespace kx
