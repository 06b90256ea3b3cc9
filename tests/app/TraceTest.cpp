#include "app/Trace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace kx {
namespace {

TEST(Trace, RecordsFollowTheVersionLineAndASecondRunStartsAFreshFile) {
    test::TempDir dir;
    auto file = dir / "trace_sd.txt";
    TraceStart(file, "1.05");
    Trace("CMapView::SetPlay", 362, "Failed to call javascript\n");
    Trace("ParseMOOV", 7, "%s file open failed\n", "/card/x.mp4");
    Trace("Empty", 1, "%s", "");  // an empty message writes nothing
    EXPECT_EQ(test::ReadFileBytes(file),
              "Version : 1.05\n"
              "[CMapView::SetPlay(362)] Failed to call javascript\n"
              "[ParseMOOV(7)] /card/x.mp4 file open failed\n");

    TraceStart(file, "1.06");
    Trace("Second", 2, "run\n");
    EXPECT_EQ(test::ReadFileBytes(file), "Version : 1.06\n[Second(2)] run\n");
}

TEST(Trace, AMessageTooLongForItsBufferIsNotWritten) {
    test::TempDir dir;
    auto file = dir / "trace_sd.txt";
    TraceStart(file, "1.05");
    std::string fits(kTraceMessageCapacity - 2, 'x');
    std::string tooLong(kTraceMessageCapacity, 'x');
    Trace("T", 1, "%s\n", fits.c_str());
    Trace("T", 2, "%s\n", tooLong.c_str());
    EXPECT_EQ(test::ReadFileBytes(file), "Version : 1.05\n[T(1)] " + fits + "\n");
}

TEST(Trace, RecordsOfManyThreadsStayWhole) {
    test::TempDir dir;
    auto file = dir / "trace_sd.txt";
    TraceStart(file, "1.05");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i) Trace("Worker", t, "record %d of thread %d\n", i, t);
        });
    for (auto& thread : threads) thread.join();

    std::string text = test::ReadFileBytes(file);
    int lines = 0;
    std::size_t start = text.find('\n') + 1;  // after the version line
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string line = text.substr(start, end - start);
        int place = -1, record = -1, thread = -2;
        ASSERT_EQ(std::sscanf(line.c_str(), "[Worker(%d)] record %d of thread %d", &place, &record,
                              &thread),
                  3)
            << line;
        EXPECT_EQ(place, thread);
        ++lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 800);
}

TEST(Trace, WithoutAWritableFolderRecordsGoToStandardError) {
    test::TempDir dir;
    auto file = dir / "missing-folder" / "trace_sd.txt";
    TraceStart(file, "1.05");
    testing::internal::CaptureStderr();
    Trace("CMapView::SetPlay", 362, "Failed to call javascript\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[CMapView::SetPlay(362)] Failed to call javascript\n");
    EXPECT_FALSE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace kx
