#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sensors/GpsAvi.h"

namespace kx {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string Rmc(const std::string& hhmmss, char status = 'A',
                const std::string& lat = "3733.1234") {
    return "$GPRMC," + hhmmss + ".00," + status + "," + lat + ",N,12700.5000,E,10.5,0.0,150717,,,A";
}

struct AviList {
    std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(kAviGpsListHeaderSize + 4096);
    AviGpsSentenceList list{buffer};
    void Chunk(const std::string& text) { list.AddChunk(Bytes(text)); }
    std::vector<std::int32_t> Keys(std::int32_t startKey) {
        GpsTrack track;
        ParseGpsAvi(track, buffer, startKey);
        std::vector<std::int32_t> keys;
        for (const GPS_NODE* fix = track.head(); fix; fix = fix->next) keys.push_back(fix->time);
        return keys;
    }
};

TEST(GpsAvi, ListLayoutFromTheChunks) {
    AviList avi;
    avi.Chunk("");  // GPS chunks before the first sentence set the offset
    avi.Chunk("");
    avi.Chunk("$GPGGA,1\r\n$GPRMC,2\r\n");
    const std::vector<std::uint8_t> expected = {1,   0,   0,   0,   200, 9,   '$', 'G',
                                                'P', 'G', 'G', 'A', ',', '1', 9,   '$',
                                                'G', 'P', 'R', 'M', 'C', ',', '2', 0};
    ASSERT_EQ(avi.list.size(), expected.size());
    EXPECT_EQ(std::vector<std::uint8_t>(avi.buffer.begin(), avi.buffer.begin() + expected.size()),
              expected);
}

TEST(GpsAvi, KeysFollowTheSentenceTimesAndTheChunkOffset) {
    AviList avi;
    avi.Chunk("");
    avi.Chunk(Rmc("120000") + "\r\n$GPGGA,120000.00,3733.1234,N,12700.5000,E,1,08,0.9,,,,\r\n");
    avi.Chunk(Rmc("120001", 'V'));  // skipped, but the times go on
    avi.Chunk(Rmc("120002"));
    avi.Chunk("$GPGSV,3,1,11");  // not an RMC sentence: adds nothing
    avi.Chunk(Rmc("120005"));
    std::int32_t startKey = GpsStartKey(120000);
    EXPECT_EQ(avi.Keys(startKey),
              (std::vector<std::int32_t>{startKey + 100, startKey + 300, startKey + 600}));
    GpsTrack track;
    ParseGpsAvi(track, avi.buffer, startKey);
    EXPECT_DOUBLE_EQ(track.head()->latitude, 3733.1234);
    EXPECT_DOUBLE_EQ(track.head()->speed, 10.5);
}

TEST(GpsAvi, MidnightRollOverAndAZeroFirstTime) {
    AviList avi;
    avi.Chunk(Rmc("235958"));
    avi.Chunk(Rmc("235959"));
    avi.Chunk(Rmc("000000"));
    avi.Chunk(Rmc("000001"));
    std::int32_t startKey = GpsStartKey(235958);
    EXPECT_EQ(avi.Keys(startKey), (std::vector<std::int32_t>{startKey, startKey + 100,
                                                             startKey + 200, startKey + 300}));

    // A first time of 000000 leaves the base to the next sentence.
    AviList zero;
    zero.Chunk(Rmc("000000"));
    zero.Chunk(Rmc("000010"));
    zero.Chunk(Rmc("000011"));
    EXPECT_EQ(zero.Keys(0), (std::vector<std::int32_t>{0, 0, 100}));
}

TEST(GpsAvi, SouthWestAndIncompleteSentences) {
    AviList avi;
    avi.Chunk("$GPRMC,101010.00,A,3733.1234,S,12700.5000,W,1.0");
    avi.Chunk("$GPRMC,101011.00,A,,,,,,");  // no position: no fix at 0, 0
    GpsTrack track;
    EXPECT_EQ(ParseGpsAvi(track, avi.buffer, 0), 1u);
    EXPECT_DOUBLE_EQ(track.head()->latitude, -3733.1234);
    EXPECT_DOUBLE_EQ(track.head()->longitude, -12700.5);
}

TEST(GpsAvi, LongChunksAndSentencesAreCutAndAFullBufferDropsTheRest) {
    AviList avi;
    avi.Chunk(std::string(200, 'x'));  // only the first 128 bytes of a chunk, one entry of 126
    EXPECT_EQ(avi.list.size(), kAviGpsListHeaderSize + 1 + kAviSentenceCapacity + 1);
    EXPECT_EQ(avi.buffer[kAviGpsListHeaderSize], kAviSentenceCapacity + 1);

    std::vector<std::uint8_t> small(kAviGpsListHeaderSize + 20);
    AviGpsSentenceList list(small);
    for (int i = 0; i < 10; ++i) list.AddChunk(Bytes("$GPRMC,1"));  // 9 bytes an entry
    EXPECT_EQ(list.size(), kAviGpsListHeaderSize + 18 + 1);
    EXPECT_EQ(small[kAviGpsListHeaderSize + 18], 0);

    std::vector<std::uint8_t> tiny(3);
    AviGpsSentenceList none(tiny);
    none.AddChunk(Bytes("$GPRMC,1"));
    EXPECT_TRUE(none.empty());
}

TEST(GpsAvi, MalformedListsStopAtTheirEnd) {
    GpsTrack track;
    EXPECT_EQ(ParseGpsAvi(track, {}, 0), 0u);
    std::vector<std::uint8_t> empty = {0, 0, 0, 0, 0, 9};
    EXPECT_EQ(ParseGpsAvi(track, empty, 0), 0u);
    // An entry whose length runs past the buffer is read only up to the buffer's end.
    std::string text = Rmc("101010");
    std::vector<std::uint8_t> cut = {1, 0, 0, 0, 0, 120};
    cut.insert(cut.end(), text.begin(), text.end());
    EXPECT_EQ(ParseGpsAvi(track, cut, 0), 1u);
    // A negative length byte ends the list.
    std::vector<std::uint8_t> negative = {1, 0, 0, 0, 0, 0x80};
    negative.insert(negative.end(), text.begin(), text.end());
    EXPECT_EQ(ParseGpsAvi(track, negative, 0), 0u);
}

}  // namespace
}  // namespace kx
