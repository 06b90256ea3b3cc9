#include "library/RecordingFiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "LibraryFixtures.h"
#include "library/CFileList.h"
#include "library/FileJobs.h"
#include "library/FolderScan.h"
#include "support/TempDir.h"
#include "support/WriteProtection.h"

namespace kx {
namespace {

std::vector<std::string> FilesOf(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(folder))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The four files of a front and a rear recording sharing their sidecars.
std::vector<std::string> RecordingSet(const std::string& stem) {
    return {stem + ".3gf",  stem + ".gps",  stem + "F.thm",
            stem + "F.mp4", stem + "R.thm", stem + "R.mp4"};
}

class FileJobsTest : public testing::Test {
  protected:
    void Write(const std::vector<std::string>& names) {
        for (const std::string& name : names) test::WriteFileBytes(record_ / name, "data:" + name);
    }
    FileEntry* Entry(const std::string& name) {
        for (FileEntry* entry = list_.head(); entry; entry = entry->next)
            if (entry->name == name) return entry;
        ADD_FAILURE() << "no entry " << name;
        return nullptr;
    }
    void Scan() { ScanFolder(list_, record_.path()); }

    test::TempDir record_;
    test::TempDir destination_;
    CFileList list_;
};

TEST_F(FileJobsTest, FileSetNamesAndStems) {
    Write({"20190412_153010_NF.mp4", "20190412_153010_NFS.mp4", "20190412_153010_NL.MP4",
           "rec_0001F_20190412_153010_N.avi"});
    Scan();
    EXPECT_EQ(FileSetNames(*Entry("20190412_153010_NF")),
              (std::vector<std::string>{"20190412_153010_N.3gf", "20190412_153010_N.gps",
                                        "20190412_153010_NF.thm", "20190412_153010_NF.mp4"}));
    EXPECT_EQ(FileSetNames(*Entry("20190412_153010_NFS")),
              (std::vector<std::string>{"20190412_153010_NFS.3gf", "20190412_153010_NFS.gps",
                                        "20190412_153010_NFS.thm", "20190412_153010_NFS.mp4"}));
    EXPECT_EQ(FileSetNames(*Entry("20190412_153010_NL")).back(), "20190412_153010_NL.MP4");
    EXPECT_EQ(FileSetNames(*Entry("rec_0001F_20190412_153010_N")),
              (std::vector<std::string>{"rec_0001F_20190412_153010_N.avi"}));
}

TEST_F(FileJobsTest, DeletingAFrontFileKeepsTheSidecarsOfItsRearPartner) {
    Write(RecordingSet("20190412_153010_N"));
    Scan();
    FolderNames folder(record_.path());
    FileSetReport report = DeleteFileSet(*Entry("20190412_153010_NF"), folder);
    EXPECT_EQ(report.touched.size(), 2u);
    EXPECT_TRUE(report.failed.empty());
    EXPECT_EQ(FilesOf(record_.path()),
              (std::vector<std::string>{"20190412_153010_N.3gf", "20190412_153010_N.gps",
                                        "20190412_153010_NR.mp4", "20190412_153010_NR.thm"}));
}

TEST_F(FileJobsTest, DeletingBothRowsOfARecordingLeavesNothing) {
    Write(RecordingSet("20190412_153010_N"));
    Write({"20190412_153011_NF.mp4"});
    Scan();
    const std::string names[] = {"20190412_153010_NF", "20190412_153010_NR"};
    DeleteJobResult result = DeleteRecordings(list_, names, record_.path(), ListFilter{});
    EXPECT_EQ(result.done, (std::vector<std::string>{"20190412_153010_NF", "20190412_153010_NR"}));
    EXPECT_EQ(result.files.touched.size(), 6u);
    EXPECT_EQ(FilesOf(record_.path()), std::vector<std::string>{"20190412_153011_NF.mp4"});
    EXPECT_EQ(result.remaining, 1);
    EXPECT_EQ(list_.size(), 1u);
    EXPECT_EQ(result.removedEntries.size(), 2u);
}

TEST_F(FileJobsTest, DeletingAnSNameTouchesOnlyItsOwnSidecars) {
    Write({"20190412_153010_N.3gf", "20190412_153010_N.gps", "20190412_153010_NFS.3gf",
           "20190412_153010_NFS.gps", "20190412_153010_NFS.thm", "20190412_153010_NFS.mp4"});
    Scan();
    FolderNames folder(record_.path());
    DeleteFileSet(*Entry("20190412_153010_NFS"), folder);
    EXPECT_EQ(FilesOf(record_.path()),
              (std::vector<std::string>{"20190412_153010_N.3gf", "20190412_153010_N.gps"}));
}

TEST_F(FileJobsTest, CapitalExtensionsAreFoundForPartnerAndSidecars) {
    Write({"20190412_153010_N.3GF", "20190412_153010_N.GPS", "20190412_153010_NF.THM",
           "20190412_153010_NF.MP4", "20190412_153010_NR.MP4"});
    Scan();
    FolderNames folder(record_.path());
    DeleteFileSet(*Entry("20190412_153010_NF"), folder);
    EXPECT_EQ(FilesOf(record_.path()),
              (std::vector<std::string>{"20190412_153010_N.3GF", "20190412_153010_N.GPS",
                                        "20190412_153010_NR.MP4"}));
    DeleteFileSet(*Entry("20190412_153010_NR"), folder);
    EXPECT_TRUE(FilesOf(record_.path()).empty());
}

TEST_F(FileJobsTest, DeleteRebuildsTheDayMapOfTheFilteredRemainder) {
    Write({"20190412_153010_NF.mp4", "20190412_153010_NR.mp4", "20190412_120000_EF.mp4",
           "20190411_100000_NR.mp4", "20190411_090000_NF.mp4"});
    Scan();
    ListFilter filter;
    filter.cameras[1] = false;  // rear files hidden
    std::vector<ProgressStep> steps;
    ProgressCounter progress(2, [&](const ProgressStep& step) { steps.push_back(step); });
    const std::string names[] = {"20190412_153010_NF", "20190411_090000_NF"};
    DeleteJobResult result = DeleteRecordings(list_, names, record_.path(), filter, &progress);
    EXPECT_EQ(result.remaining, 3);
    ASSERT_EQ(steps.size(), 2u);
    EXPECT_EQ(steps[0].percent, 50);
    EXPECT_EQ(steps[1].percent, 100);
    EXPECT_EQ(steps[1].name, "20190411_090000_NF");
    // Listed after the delete: only 20190412_120000_EF (the rear files are filtered out).
    ASSERT_TRUE(result.dayMap->head());
    EXPECT_EQ(result.dayMap->head()->date, 20190412);
    EXPECT_EQ(result.dayMap->head()->next, nullptr);
    ASSERT_TRUE(result.dayMap->head()->hours[12]);
    EXPECT_EQ(result.dayMap->head()->hours[12]->firstListIndex, 0u);
    EXPECT_FALSE(result.dayMap->head()->hours[15]);
}

TEST_F(FileJobsTest, NamesOutOfListOrderAreReportedNotDeleted) {
    Write({"20190412_153010_NF.mp4", "20190411_100000_NF.mp4"});
    Scan();
    const std::string names[] = {"20190411_100000_NF", "20190412_153010_NF"};
    DeleteJobResult result = DeleteRecordings(list_, names, record_.path(), ListFilter{});
    EXPECT_EQ(result.done, std::vector<std::string>{"20190411_100000_NF"});
    EXPECT_EQ(result.notFound, std::vector<std::string>{"20190412_153010_NF"});
    EXPECT_EQ(FilesOf(record_.path()), std::vector<std::string>{"20190412_153010_NF.mp4"});
}

TEST_F(FileJobsTest, FilesThatCannotBeDeletedAreReportedAndTheJobGoesOn) {
    Write({"20190412_153010_NF.mp4", "20190412_153009_NF.mp4"});
    Scan();
    const std::string names[] = {"20190412_153010_NF", "20190412_153009_NF"};
    DeleteJobResult result;
    {
        test::WriteProtection lock(record_.path());
        if (!lock.active()) GTEST_SKIP() << "cannot lock a folder here";
        result = DeleteRecordings(list_, names, record_.path(), ListFilter{});
    }
    EXPECT_EQ(result.files.failed.size(), 2u);
    EXPECT_TRUE(result.files.touched.empty());
    EXPECT_EQ(FilesOf(record_.path()).size(), 2u);
}

TEST_F(FileJobsTest, CopyTakesTheWholeSetAndReplacesOnlyWhenComplete) {
    Write(RecordingSet("20190412_153010_N"));
    Scan();
    const auto recorded = std::filesystem::file_time_type::clock::now() - std::chrono::hours(48);
    std::filesystem::last_write_time(record_ / "20190412_153010_NF.mp4", recorded);
    test::WriteFileBytes(destination_ / "20190412_153010_NF.mp4", "older copy");
    const FileEntry* entries[] = {Entry("20190412_153010_NF"), Entry("20190412_153010_NR")};
    std::vector<std::string> texts;
    ProgressCounter progress(
        2, [&](const ProgressStep& step) { texts.push_back(ProgressText(step.percent)); });
    CopyJobResult result = CopyRecordings(entries, record_.path(), destination_.path(), &progress);
    EXPECT_EQ(texts, (std::vector<std::string>{"50 %", "100 %"}));
    EXPECT_EQ(result.done.size(), 2u);
    EXPECT_TRUE(result.files.failed.empty());
    // The shared sidecars are copied with each of the two files.
    EXPECT_EQ(result.files.touched.size(), 8u);
    ASSERT_EQ(result.files.replaced.size(), 3u);
    EXPECT_EQ(result.files.replaced[0], destination_ / "20190412_153010_NF.mp4");
    EXPECT_EQ(FilesOf(destination_.path()), FilesOf(record_.path()));
    for (const std::string& name : FilesOf(record_.path()))
        EXPECT_EQ(test::ReadFileBytes(destination_ / name), "data:" + name);
    EXPECT_EQ(std::filesystem::last_write_time(destination_ / "20190412_153010_NF.mp4"), recorded);
    // The source folder is unchanged.
    EXPECT_EQ(FilesOf(record_.path()).size(), 6u);
}

TEST_F(FileJobsTest, CopyOntoTheRecordFolderItselfLeavesTheFilesAlone) {
    Write({"20190412_153010_NF.mp4", "20190412_153010_N.gps"});
    Scan();
    const FileEntry* entries[] = {Entry("20190412_153010_NF")};
    CopyJobResult result = CopyRecordings(entries, record_.path(), record_.path());
    EXPECT_TRUE(result.files.failed.empty());
    EXPECT_EQ(test::ReadFileBytes(record_ / "20190412_153010_NF.mp4"),
              "data:20190412_153010_NF.mp4");
    EXPECT_EQ(FilesOf(record_.path()).size(), 2u);
}

TEST_F(FileJobsTest, CopyThatCannotWriteReportsAndKeepsTheEarlierCopy) {
    Write({"20190412_153010_NF.mp4"});
    Scan();
    const FileEntry* entries[] = {Entry("20190412_153010_NF")};
    // A destination that does not exist: every file fails, nothing is claimed as done.
    CopyJobResult missing = CopyRecordings(entries, record_.path(), destination_ / "nowhere");
    EXPECT_EQ(missing.files.failed.size(), 1u);
    EXPECT_TRUE(missing.files.touched.empty());

    test::WriteFileBytes(destination_ / "20190412_153010_NF.mp4", "older copy");
    CopyJobResult locked;
    {
        test::WriteProtection lock(destination_.path());
        if (!lock.active()) GTEST_SKIP() << "cannot lock a folder here";
        locked = CopyRecordings(entries, record_.path(), destination_.path());
    }
    EXPECT_EQ(locked.files.failed.size(), 1u);
    EXPECT_TRUE(locked.files.touched.empty());
    EXPECT_EQ(test::ReadFileBytes(destination_ / "20190412_153010_NF.mp4"), "older copy");
    EXPECT_EQ(FilesOf(destination_.path()), std::vector<std::string>{"20190412_153010_NF.mp4"});
}

// The delete runs on the job thread while the old day map and the rows stay in use; the new
// map is handed over afterwards and the deleted entries live until the result is dropped.
TEST_F(FileJobsTest, DeleteOnTheJobThreadHandsTheNewDayMapOver) {
    Write({"20190412_153010_NF.mp4", "20190412_120000_NF.mp4", "20190411_100000_NF.mp4"});
    Scan();
    std::vector<FileEntry*> rows;
    for (FileEntry* entry = list_.head(); entry; entry = entry->next) rows.push_back(entry);
    auto dayMap = std::make_unique<DayMap>();
    for (std::size_t i = 0; i < rows.size(); ++i)
        dayMap->Add(*rows[i], static_cast<std::uint32_t>(i));
    const DayMap* oldMap = dayMap.get();

    std::mutex lock;
    std::vector<std::string> shown;
    DeleteJobResult result;
    const std::string names[] = {"20190412_153010_NF", "20190411_100000_NF"};
    ProgressCounter progress(2, [&](const ProgressStep& step) {
        std::lock_guard guard(lock);
        shown.push_back(step.name + " " + ProgressText(step.percent));
    });
    {
        JobThread job(
            [&] {
                result = DeleteRecordings(list_, names, record_.path(), ListFilter{}, &progress);
            },
            {});
        // Meanwhile the old map is read as the timeline would.
        for (const DayEntry* day = oldMap->head(); day; day = day->next)
            EXPECT_TRUE(day->date == 20190412 || day->date == 20190411);
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{"20190412_153010_NF 50 %", "20190411_100000_NF 100 %"}));
    // The old map is intact until it is replaced; the deleted entries are still readable.
    EXPECT_EQ(oldMap->head()->date, 20190412);
    EXPECT_EQ(rows[0]->name, "20190412_153010_NF");
    dayMap = std::move(result.dayMap);
    ASSERT_TRUE(dayMap->head());
    EXPECT_EQ(dayMap->head()->date, 20190412);
    EXPECT_EQ(dayMap->head()->next, nullptr);
    EXPECT_EQ(dayMap->head()->hours[12]->firstListIndex, 0u);
    result.removedEntries.clear();  // the rows that pointed at them are gone by now
    EXPECT_EQ(list_.head(), rows[1]);
    EXPECT_EQ(list_.size(), 1u);
}

TEST(Progress, ThreeRecordingsShowThirds) {
    std::vector<std::string> texts;
    ProgressCounter progress(
        3, [&](const ProgressStep& step) { texts.push_back(ProgressText(step.percent)); });
    for (const char* name : {"a", "b", "c"}) progress.Step(name);
    EXPECT_EQ(texts, (std::vector<std::string>{"33 %", "66 %", "100 %"}));
}

TEST(JobThread, RunsTheJobThenTheEndNotice) {
    std::mutex lock;
    std::vector<std::string> order;
    {
        JobThread job(
            [&] {
                std::lock_guard guard(lock);
                order.push_back("job");
            },
            [&] {
                std::lock_guard guard(lock);
                order.push_back("end");
            });
    }
    EXPECT_EQ(order, (std::vector<std::string>{"job", "end"}));
    std::atomic<bool> ended{false};
    {
        JobThread failing([] { throw std::runtime_error("disk gone"); }, [&] { ended = true; });
    }
    EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace kx
