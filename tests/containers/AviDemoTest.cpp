#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>

#include "containers/AviReader.h"
#include "containers/demo/AviDemo.h"
#include "support/TempDir.h"

namespace kx {
namespace {

struct Walked {
    std::string id;
    std::string data;
    std::size_t position;
};

// Walks the movi chunks the way the camera lays them out: no pad bytes.
std::vector<Walked> WalkUnpadded(const std::string& bytes, std::size_t moviPosition) {
    std::vector<Walked> chunks;
    for (std::size_t p = moviPosition; p + 8 <= bytes.size();) {
        const std::string id = bytes.substr(p, 4);
        if (id == "idx1") break;
        const std::uint32_t size =
            Le32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + p + 4);
        if (p + 8 + size > bytes.size()) break;
        chunks.push_back({id, bytes.substr(p + 8, size), p});
        p += 8 + size;
    }
    return chunks;
}

TEST(AviDemo, WritesTheCameraLayoutWithItsFiveStreams) {
    test::TempDir dir;
    AviDemoOptions options;
    options.seconds = 2;
    options.width = 96;
    options.height = 64;
    std::string error;
    const auto path = dir / "demo.avi";
    ASSERT_TRUE(WriteAviDemoRecording(path, options, error)) << error;
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_EQ(info.streamCount, 5);
    EXPECT_TRUE(IsFourCC(info.streamHeaders[3].fccHandler, "GPSR"));
    EXPECT_TRUE(IsFourCC(info.streamHeaders[4].fccHandler, "SENS"));
    EXPECT_EQ(ProbeAviDurationSeconds(path), 2u);

    const std::string bytes = test::ReadFileBytes(path);
    const auto chunks = WalkUnpadded(bytes, static_cast<std::size_t>(info.moviPosition));
    ASSERT_EQ(chunks.size(), info.indexCount) << "every chunk found without pad bytes";
    std::map<std::string, int> counts;
    bool oddChunkSeen = false;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        const Walked& c = chunks[i];
        const AviIndexEntry& e = info.index[i];
        ASSERT_EQ(std::string(e.chunkId, 4), c.id);
        oddChunkSeen |= c.data.size() % 2 == 1;
        const int n = counts[c.id]++;
        if (c.id == "00dc" || c.id == "01dc") {
            ASSERT_GE(c.data.size(), 5u);
            EXPECT_EQ(c.data.substr(0, 4), std::string("\0\0\0\1", 4));
            const bool key = n % 30 == 0;
            EXPECT_EQ(e.flags, key ? kAviKeyFrame : 0u) << c.id << " frame " << n;
            EXPECT_EQ(static_cast<unsigned char>(c.data[4]) == 0x67, key) << c.id << " " << n;
        } else if (c.id == "03tx") {
            int hhmmss, fraction;
            char status, ns, ew;
            double latitude, longitude, knots;
            ASSERT_EQ(std::sscanf(c.data.c_str(), "$GPRMC,%d.%d,%c,%lf,%c,%lf,%c,%lf", &hhmmss,
                                  &fraction, &status, &latitude, &ns, &longitude, &ew, &knots),
                      8);
            EXPECT_EQ(hhmmss, 120000 + n);
            unsigned checksum = 0, written = 0;
            const std::size_t star = c.data.find('*');
            for (std::size_t k = 1; k < star; ++k)
                checksum ^= static_cast<unsigned char>(c.data[k]);
            ASSERT_EQ(std::sscanf(c.data.c_str() + star + 1, "%2X", &written), 1);
            EXPECT_EQ(written, checksum);
        } else if (c.id == "04tx") {
            ASSERT_EQ(c.data.size(), 12u);
            float z;
            std::memcpy(&z, c.data.data() + 8, 4);
            EXPECT_FLOAT_EQ(z, 1.0f);
        }
    }
    EXPECT_TRUE(oddChunkSeen);
    EXPECT_EQ(counts["00dc"], 60);
    EXPECT_EQ(counts["01dc"], 60);
    EXPECT_EQ(counts["02wb"], 60);
    EXPECT_EQ(counts["03tx"], 2);
    EXPECT_EQ(counts["04tx"], 120);
}

TEST(AviDemo, TheCutShortRecordingHasNoIndexAndIsRepairedOnOpen) {
    test::TempDir dir;
    AviDemoOptions options;
    options.seconds = 3;
    options.width = 96;
    options.height = 64;
    options.cutShort = true;
    std::string error;
    const auto path = dir / "cut.avi";
    ASSERT_TRUE(WriteAviDemoRecording(path, options, error)) << error;
    const std::string bytes = test::ReadFileBytes(path);
    EXPECT_EQ(bytes.find("idx1"), std::string::npos);
    // The header was last refreshed at a whole second: 60 frames.
    EXPECT_EQ(ProbeAviDurationSeconds(path), 2u);

    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_TRUE(info.repaired);
    // Frames 0..69 are whole; the front chunk of frame 70 was cut off.
    int front = 0;
    for (const AviIndexEntry& e : info.index) front += std::string(e.chunkId, 4) == "00dc";
    EXPECT_EQ(front, 70);
}

TEST(AviDemo, NamesFollowTheAviNameScheme) {
    const std::string name = AviDemoName(20190412, 153010, true, 'F', 'E', 7);
    ASSERT_EQ(name.size(), 29u);
    EXPECT_EQ(name.substr(10, 8), "20190412");
    EXPECT_EQ(name.substr(19, 6), "153010");
    EXPECT_EQ(name[3], '1');
    EXPECT_EQ(name.substr(0, 3), "evt");
    EXPECT_EQ(name[name.size() - 3], 'F');
    EXPECT_EQ(name.back(), 'E');
    const std::string rear = AviDemoName(20190412, 91000, false, 'R', 'N', 3);
    EXPECT_EQ(rear[3], '0');
    EXPECT_EQ(rear[rear.size() - 3], 'R');
    EXPECT_EQ(rear.back(), 'N');
}

}  // namespace
}  // namespace kx
