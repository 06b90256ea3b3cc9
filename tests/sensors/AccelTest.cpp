#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "SensorFixtures.h"
#include "sensors/AccelAvi.h"
#include "sensors/Rec3GF.h"

namespace kx {
namespace {

using test::Rec3gfBytes;

std::vector<std::uint8_t> FloatChunk(float x, float y, float z, std::size_t size = 12) {
    std::vector<std::uint8_t> chunk(size, 0);
    float values[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &values[i], 4);
        for (int b = 0; b < 4; ++b) chunk[4 * i + b] = static_cast<std::uint8_t>(bits >> (8 * b));
    }
    return chunk;
}

TEST(Rec3GF, ReadingClampsEveryAxis) {
    std::vector<std::uint8_t> block = Rec3gfBytes(1000, 400, -400, 17);
    test::Append(block, Rec3gfBytes(-1, 250, -250, -251));
    block.push_back(0xAB);  // partial last record
    std::vector<Rec3GF> records = ReadRecords3GF(block);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].time, 1000);
    EXPECT_EQ(records[0].x, 250);
    EXPECT_EQ(records[0].y, -250);
    EXPECT_EQ(records[0].z, 17);
    EXPECT_EQ(records[1].time, -1);  // signed 32-bit time
    EXPECT_EQ(records[1].z, -250);
    EXPECT_TRUE(ReadRecords3GF({}).empty());
}

TEST(Rec3GF, EndMarkerIsTheFirstRunOfTenFfBytes) {
    std::vector<std::uint8_t> data = Rec3gfBytes(0, -1, -1, -1);  // nine 0xFF bytes: not an end
    test::Append(data, Rec3gfBytes(16, 1, 2, 3));
    std::vector<std::uint8_t> withMarker = data;
    withMarker.insert(withMarker.end(), 14, 0xFF);
    EXPECT_EQ(FindAccelEndMarker(withMarker), 20);
    EXPECT_EQ(FindAccelEndMarker(data), -1);
    std::vector<std::uint8_t> nine(9, 0xFF);
    EXPECT_EQ(FindAccelEndMarker(nine), -1);
    std::vector<std::uint8_t> ten(10, 0xFF);
    EXPECT_EQ(FindAccelEndMarker(ten), 0);
    // Records with a 0xFF-heavy value: the search goes byte by byte, across record borders.
    std::vector<std::uint8_t> across = Rec3gfBytes(0, 0, 0, -1);  // ends with two 0xFF
    across.insert(across.end(), 8, 0xFF);
    EXPECT_EQ(FindAccelEndMarker(across), 8);
}

TEST(AccelAvi, ChunkTimesAtThirtyFramesPerSecond) {
    std::vector<std::uint8_t> buffer(kRec3GFSize * 200);
    AviAccelConverter converter(buffer, 30);
    for (int k = 0; k < 130; ++k) ASSERT_TRUE(converter.AddChunk(FloatChunk(0, 0, 0)));
    std::vector<Rec3GF> records = ReadRecords3GF(std::span(buffer).first(converter.size()));
    ASSERT_EQ(records.size(), 130u);
    EXPECT_EQ(records[0].time, 0);
    EXPECT_EQ(records[1].time, 16);
    EXPECT_EQ(records[2].time, 32);
    EXPECT_EQ(records[59].time, 944);
    EXPECT_EQ(records[60].time, 1000);
    EXPECT_EQ(records[61].time, 1016);
    EXPECT_EQ(records[120].time, 2000);
}

TEST(AccelAvi, AxesShortChunksAndAFullBuffer) {
    std::vector<std::uint8_t> buffer(kRec3GFSize * 3);
    AviAccelConverter converter(buffer, 0);  // no frame rate: taken as 1, no division by 0
    EXPECT_TRUE(converter.AddChunk(FloatChunk(1.0f, -0.5f, 1.999f, 40)));
    EXPECT_TRUE(converter.AddChunk(std::vector<std::uint8_t>(11)));  // short: not counted
    EXPECT_TRUE(converter.AddChunk(FloatChunk(3.0f, -3.0f, 0.0f)));
    EXPECT_TRUE(converter.AddChunk(FloatChunk(1.0f, 1.0f, 1.0f)));
    EXPECT_FALSE(converter.AddChunk(FloatChunk(1.0f, 1.0f, 1.0f)));
    EXPECT_EQ(converter.size(), buffer.size());
    std::vector<Rec3GF> records = ReadRecords3GF(buffer);
    EXPECT_EQ(records[0].time, 0);
    EXPECT_EQ(records[1].time, 500);
    EXPECT_EQ(records[2].time, 1000);
    EXPECT_EQ(records[0].x, 128);
    EXPECT_EQ(records[0].y, -64);
    EXPECT_EQ(records[0].z, 250);  // 255.872 truncated to 255, clamped on reading
    EXPECT_EQ(records[1].x, 250);
    EXPECT_EQ(records[1].y, -250);
}

TEST(AccelAvi, ReadingsSaturateInsteadOfWrapping) {
    EXPECT_EQ(AxisFromReading(1.999f), 255);
    EXPECT_EQ(AxisFromReading(-0.009f), -1);  // -1.152 towards zero
    EXPECT_EQ(AxisFromReading(-0.005f), 0);
    EXPECT_EQ(AxisFromReading(300.0f), 32767);  // 38400 would wrap to a negative value
    EXPECT_EQ(AxisFromReading(-300.0f), -32768);
    EXPECT_EQ(AxisFromReading(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(AxisFromReading(std::numeric_limits<float>::quiet_NaN()), 0);
}

}  // namespace
}  // namespace kx
