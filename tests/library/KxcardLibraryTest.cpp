#include <gtest/gtest.h>

#include <sstream>

#include "LibraryFixtures.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(KxcardLibrary, ScanListsInOrderWithTheDateArray) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "20190412_153010_NR.mp4", test::Mp4File(1000, 64000));
    test::WriteFileBytes(dir / "20190412_153010_NF.MP4", test::Mp4File(1000, 500));
    test::WriteFileBytes(dir / "20190412_120000_ML.mp4", "broken");
    test::WriteFileBytes(dir / "evt_0001F_20190411_153011_E.avi", test::AviFile(40000, 250));
    test::WriteFileBytes(dir / "20190412_000000_NF.mp4", "");

    test::ProcessResult result =
        test::RunProcess(kx::test::KxcardPath(), {"scan", dir.path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(
        Lines(result.out),
        (std::vector<std::string>{
            R"({"name":"20190412_153010_NF","scheme":0,"kind":0,"base":0,"camera":0,"level":1,"date":20190412,"time":153010,"display":"20190412_153010_NF"})",
            R"({"name":"20190412_153010_NR","scheme":0,"kind":4,"base":0,"camera":1,"level":1,"date":20190412,"time":153010,"display":"20190412_153010_NR"})",
            R"({"name":"20190412_120000_ML","scheme":0,"kind":54,"base":3,"camera":-1,"level":4,"date":20190412,"time":120000,"display":"20190412_120000_ML"})",
            R"({"name":"evt_0001F_20190411_153011_E","scheme":1,"kind":1,"base":1,"camera":0,"level":2,"date":20190411,"time":153011,"display":"20190411_153011_E"})",
            R"({"count":4,"dates":[20190411,20190412]})"}));

    test::ProcessResult probed =
        test::RunProcess(kx::test::KxcardPath(), {"scan", dir.path().string(), "--probe"});
    ASSERT_EQ(probed.exitCode, 0);
    std::vector<std::string> lines = Lines(probed.out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_NE(lines[0].find(R"("duration":1,"span":1})"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(R"("duration":64,"span":2})"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(R"("duration":0,"span":1})"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(R"("duration":10,"span":1})"), std::string::npos) << lines[3];
}

TEST(KxcardLibrary, DayMapFillsEveryHour) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "20190412_105930_EF.mp4", test::Mp4File(1000, 60000));
    test::ProcessResult result =
        test::RunProcess(kx::test::KxcardPath(), {"daymap", dir.path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected10 = "[", expected11 = "[2";
    for (int minute = 0; minute < 60; ++minute) {
        if (minute) expected10 += ',';
        expected10 += minute == 59 ? '2' : '0';
        if (minute) expected11 += ",0";
    }
    expected10 += ']';
    expected11 += ']';
    EXPECT_EQ(Lines(result.out),
              std::vector<std::string>{
                  R"({"date":20190412,"first":0,"hours":{"10":{"level":2,"first":0,"minutes":)" +
                  expected10 + R"(},"11":{"level":2,"first":0,"minutes":)" + expected11 + "}}}"});
}

TEST(KxcardLibrary, CardsFromFolderVolumes) {
    test::TempDir dir;
    fs::create_directories(dir / "stick");
    fs::create_directories(dir / "card" / "KX-TMQ4" / "Record");
    const std::string volumes = (dir / "stick").string() + ":" + (dir / "card").string();
    test::ProcessResult result =
        test::RunProcess(kx::test::KxcardPath(), {"cards"}, {{"KX_VOLUMES", volumes}});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, R"({"cards":[{"root":")" + (dir / "card").string() +
                              R"(","form":0,"letter":"card"}],"selected":")" +
                              (dir / "card").string() + R"(","record_folder":")" +
                              (dir / "card" / "KX-TMQ4" / "Record").string() + "\"}\n");

    fs::create_directories(dir / "settings");
    test::WriteFileBytes(dir / "settings" / "setup.ini", "[setup]\nfilepath=/home/me/clips\n");
    test::ProcessResult none =
        test::RunProcess(kx::test::KxcardPath(), {"cards", "--volumes", (dir / "stick").string(),
                                                  "--settings-dir", (dir / "settings").string()});
    ASSERT_EQ(none.exitCode, 0) << none.err;
    EXPECT_EQ(none.out, R"({"cards":[],"selected":null,"record_folder":"/home/me/clips"})"
                        "\n");
}

TEST(KxcardLibrary, CopyAndDeleteFileSets) {
    test::TempDir record, destination;
    for (const char* name : {"20190412_153010_N.gps", "20190412_153010_NF.mp4",
                             "20190412_153010_NR.mp4", "20190412_153010_NF.thm"})
        test::WriteFileBytes(record / name, name);
    test::ProcessResult copied = test::RunProcess(
        kx::test::KxcardPath(),
        {"copy", record.path().string(), "20190412_153010_NF", destination.path().string()});
    ASSERT_EQ(copied.exitCode, 0) << copied.err;
    const std::string to = destination.path().string() + "/";
    EXPECT_EQ(copied.out, R"({"done":["20190412_153010_NF"],"files":[")" + to +
                              R"(20190412_153010_N.gps",")" + to + R"(20190412_153010_NF.thm",")" +
                              to +
                              R"(20190412_153010_NF.mp4"],"replaced":[],"failed":[]})"
                              "\n");
    EXPECT_EQ(test::ReadFileBytes(destination / "20190412_153010_NF.mp4"),
              "20190412_153010_NF.mp4");

    test::ProcessResult deleted = test::RunProcess(
        kx::test::KxcardPath(),
        {"delete", record.path().string(), "20190412_153010_NF", "20190412_153010_NR"});
    ASSERT_EQ(deleted.exitCode, 0) << deleted.err;
    const std::string from = record.path().string() + "/";
    EXPECT_EQ(deleted.out,
              R"({"done":["20190412_153010_NF","20190412_153010_NR"],"files":[")" + from +
                  R"(20190412_153010_NF.thm",")" + from + R"(20190412_153010_NF.mp4",")" + from +
                  R"(20190412_153010_N.gps",")" + from +
                  R"(20190412_153010_NR.mp4"],"failed":[],"not_found":[],"remaining":0})"
                  "\n");
    EXPECT_TRUE(fs::is_empty(record.path()));
}

TEST(KxcardLibrary, BadArgumentsAndMissingFoldersFail) {
    test::TempDir dir;
    const std::string missing = (dir / "missing").string();
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"scan"},
             {"scan", missing},
             {"scan", dir.path().string(), "--bogus"},
             {"daymap", missing},
             {"copy", dir.path().string(), "X"},
             {"copy", dir.path().string(), "X", missing},
             {"copy", dir.path().string(), "20190412_153010_NF", dir.path().string()},
             {"delete", dir.path().string()},
             {"delete", dir.path().string(), "20190412_153010_NF"},
             {"cards", "extra"}}) {
        test::ProcessResult result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_NE(result.exitCode, 0) << words[0];
        EXPECT_FALSE(result.err.empty()) << words[0];
    }
}

}  // namespace
}  // namespace kx
