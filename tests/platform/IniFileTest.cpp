#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "support/TempDir.h"

namespace kx {
namespace {

TEST(IniFile, ReadsTrimmedValuesCaseInsensitivelyAndFirstMatchWins) {
    IniFile file = IniFile::FromBytes(
        "; comment\r\n"
        "[Setup]\r\n"
        "  MovePath =  /media/card/Record  \r\n"
        "movepath=second\r\n"
        "[setup]\r\n"
        "other=in the second section of the same name\r\n"
        "[tab1]\n"
        "empty=\n"
        "noequals line\n");
    EXPECT_EQ(file.Find("setup", "movepath"), "/media/card/Record");
    EXPECT_EQ(file.Find("SETUP", "MOVEPATH"), "/media/card/Record");
    EXPECT_FALSE(file.Find("setup", "other")) << "only the first matching section counts";
    EXPECT_EQ(file.Find("TAB1", "empty"), "");
    EXPECT_FALSE(file.Find("tab1", "noequals line"));
    EXPECT_FALSE(file.Find("missing", "movepath"));
    EXPECT_EQ(file.Find(" setup ", " movepath"), "/media/card/Record") << "names are trimmed";
}

TEST(IniFile, StringReadsAreCutToTheBufferAndDefaultToTheGivenText) {
    IniFile file = IniFile::FromBytes("[s]\nk=abcdef\n");
    EXPECT_EQ(file.GetString("s", "k", "", 4), "abc");
    EXPECT_EQ(file.GetString("s", "k", "", 1), "");
    EXPECT_EQ(file.GetString("s", "none", "fallback", 100), "fallback");
    EXPECT_EQ(file.GetString("s", "none", "fallback", 5), "fall");
}

TEST(IniFile, IntegerReads) {
    IniFile file =
        IniFile::FromBytes("[s]\na=42\nb=-7xyz\nc=abc\nd=\ne=+15\nf= 300 \ng=4294967297\n");
    struct Case {
        const char* key;
        int expected;
    } cases[] = {{"a", 42}, {"b", -7},  {"c", 0}, {"d", 99},
                 {"e", 15}, {"f", 300}, {"g", 1}, {"missing", 99}};
    for (const Case& c : cases) EXPECT_EQ(file.GetInt("s", c.key, 99), c.expected) << c.key;
}

TEST(IniFile, WritingReplacesInPlaceAndKeepsEveryOtherLineByteForByte) {
    const std::string original =
        "; camera settings\r\n"
        "[Tab1]\r\n"
        "TimeZone = 9\r\n"
        "Unknown=kept\r\n"
        "\r\n"
        "[Tab2]\r\n"
        "Speed=1";  // no line break at the end
    IniFile file = IniFile::FromBytes(original);
    ASSERT_TRUE(file.SetString("tab1", "timezone", "-5"));
    EXPECT_EQ(
        file.Bytes(),
        "; camera settings\r\n[Tab1]\r\nTimeZone = -5\r\nUnknown=kept\r\n\r\n[Tab2]\r\nSpeed=1");
}

TEST(IniFile, MissingKeyGoesToTheEndOfItsSectionAndMissingSectionToTheEnd) {
    IniFile file = IniFile::FromBytes("[a]\nx=1\n\n[b]\ny=2");
    ASSERT_TRUE(file.SetString("a", "z", "3"));
    ASSERT_TRUE(file.SetString("B", "w", "4"));
    ASSERT_TRUE(file.SetString("c", "v", "5"));
    EXPECT_EQ(file.Bytes(), "[a]\nx=1\nz=3\n\n[b]\ny=2\nw=4\n[c]\nv=5\n");

    IniFile empty;
    ASSERT_TRUE(empty.SetString("setup", "video_pip", "1"));
    EXPECT_EQ(empty.Bytes(), "[setup]\r\nvideo_pip=1\r\n");
}

TEST(IniFile, RefusesNamesAndValuesThatWouldBreakTheLineStructure) {
    IniFile file = IniFile::FromBytes("[s]\nk=v\n");
    EXPECT_FALSE(file.SetString("s", "k", "two\nlines"));
    EXPECT_FALSE(file.SetString("s", "a=b", "v"));
    EXPECT_FALSE(file.SetString("s]", "k", "v"));
    EXPECT_FALSE(file.SetString("", "k", "v"));
    EXPECT_FALSE(file.SetString("s", " ", "v"));
    EXPECT_FALSE(file.SetString("s", "[k", "v")) << "would read back as a section line";
    EXPECT_EQ(file.Bytes(), "[s]\nk=v\n");
}

TEST(IniFile, ProfileWritesReplaceTheFileAtomicallyAndKeepItsMode) {
    test::TempDir dir;
    auto path = dir / "setup.ini";
    test::WriteFileBytes(path, "[setup]\r\nmovepath=/old\r\n");
    ::chmod(path.c_str(), 0640);

    ASSERT_TRUE(WriteProfileString(path, "setup", "movepath", "/new"));
    EXPECT_EQ(test::ReadFileBytes(path), "[setup]\r\nmovepath=/new\r\n");
    EXPECT_EQ(ReadProfileString(path, "setup", "movepath", "", 259), "/new");
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(IniFile, AFailedWriteLeavesTheOldFileWhole) {
    test::TempDir dir;
    auto path = dir / "config.ini";
    test::WriteFileBytes(path, "[Tab1]\nTimeZone=9\n");

    // A file size limit makes the write of the new file fail half-way, as a full card would.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = WriteProfileString(path, "Tab1", "TimeZone", std::string(10000, '1'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(test::ReadFileBytes(path), "[Tab1]\nTimeZone=9\n");
    int entries = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1) << "the temporary file must be removed";
}

TEST(IniFile, AnUnreadableFileIsNeverReplacedByOneKey) {
    test::TempDir dir;
    auto path = dir / "folder-not-file";
    std::filesystem::create_directory(path);
    EXPECT_FALSE(WriteProfileString(path, "s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST(IniFile, MissingFileReadsDefaultsAndIsCreatedByAWrite) {
    test::TempDir dir;
    auto path = dir / "new.ini";
    EXPECT_EQ(ReadProfileInt(path, "setup", "video_pip", 1), 1);
    ASSERT_TRUE(WriteProfileString(path, "setup", "video_pip", "0"));
    EXPECT_EQ(ReadProfileInt(path, "setup", "video_pip", 1), 0);
}

}  // namespace
}  // namespace kx
