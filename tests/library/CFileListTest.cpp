#include "library/CFileList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "library/RecordingName.h"

namespace kx {
namespace {

std::vector<std::string> Names(const CFileList& list) {
    std::vector<std::string> names;
    const FileEntry* previous = nullptr;
    for (const FileEntry* entry = list.head(); entry; entry = entry->next) {
        EXPECT_EQ(entry->previous, previous);
        previous = entry;
        names.push_back(entry->name);
    }
    EXPECT_EQ(list.tail(), previous);
    EXPECT_EQ(list.size(), names.size());
    return names;
}

// The list order as a walk from the head that stops at the first entry the new one belongs
// in front of: a reference to compare the indexed and the batch insertion with.
struct ReferenceEntry {
    std::string name;
    int scheme;
    std::int32_t date;
    std::int32_t time;
};

void ReferenceInsert(std::vector<ReferenceEntry>& list, const std::string& name, int scheme) {
    std::optional<ParsedName> parsed = ParseRecordingName(name, scheme);
    if (!parsed) return;
    std::size_t at = 0;
    for (; at < list.size(); ++at) {
        const ReferenceEntry& e = list[at];
        if (e.date < parsed->date) break;
        if (e.date == parsed->date && e.time < parsed->time) break;
        if (e.date != parsed->date || e.time != parsed->time) continue;
        if (name.size() < e.name.size()) break;
        if (name.size() == e.name.size() && scheme == 0) {
            std::optional<std::size_t> camera = CameraLetterIndex(name);
            if (camera && name[*camera] == 'F' && e.name[*camera] == 'R') break;
        }
    }
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at),
                {name, scheme, parsed->date, parsed->time});
}

std::vector<std::string> ReferenceNames(const std::vector<ReferenceEntry>& list) {
    std::vector<std::string> names;
    for (const ReferenceEntry& entry : list) names.push_back(entry.name);
    return names;
}

TEST(CFileList, NewestFirstThenShorterThenFrontBeforeRear) {
    CFileList list;
    for (const char* name : {"20190412_153010_NR", "20190411_235959_NF", "20190412_153010_NFS",
                             "20190412_153011_EF", "20190412_153010_NF", "20190412_153009_NF"})
        EXPECT_TRUE(list.Insert(name, 0).accepted);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"20190412_153011_EF", "20190412_153010_NF",
                                                     "20190412_153010_NR", "20190412_153010_NFS",
                                                     "20190412_153009_NF", "20190411_235959_NF"}));
}

TEST(CFileList, FullTiesKeepInsertionOrder) {
    CFileList list;
    list.Insert("20190412_153010_NL", 0);
    list.Insert("20190412_153010_EL", 0);
    list.Insert("20190412_153010_NF", 0);  // no R of that length: behind the others
    list.Insert("20190412_153010_ER", 0);
    list.Insert("20190412_153010_EF", 0);  // in front of the first R
    EXPECT_EQ(Names(list), (std::vector<std::string>{"20190412_153010_NL", "20190412_153010_EL",
                                                     "20190412_153010_NF", "20190412_153010_EF",
                                                     "20190412_153010_ER"}));
}

TEST(CFileList, RearPartnerFollowsItsFrontWithATrailingS) {
    CFileList list;
    list.Insert("20190412_153010_NRS", 0);
    list.Insert("20190412_153010_NFS", 0);
    EXPECT_EQ(Names(list),
              (std::vector<std::string>{"20190412_153010_NFS", "20190412_153010_NRS"}));
}

TEST(CFileList, AnAviNameIsNeverMovedInFrontOfARearFile) {
    // Same date, time and length; the front rule applies to scheme 0 only.
    CFileList same;
    same.Insert("0000000000201904121153010__R", 1);
    same.Insert("0000000000201904121153010__F", 1);
    EXPECT_EQ(Names(same), (std::vector<std::string>{"0000000000201904121153010__R",
                                                     "0000000000201904121153010__F"}));
}

TEST(CFileList, RejectedNamesLeaveTheListAlone) {
    CFileList list;
    EXPECT_FALSE(list.Insert("20190412_000000_NF", 0).accepted);
    EXPECT_FALSE(list.Insert("19700101_120000_NF", 0).accepted);
    EXPECT_TRUE(list.Insert("19710101_120000_NF", 0).accepted);
    EXPECT_EQ(list.size(), 1u);
    CFileList::InsertResult result = list.Insert("20190412_153010_NF", 0, "MP4");
    EXPECT_EQ(result.date, 20190412);
    EXPECT_EQ(result.entry->FileName(), "20190412_153010_NF.MP4");
    EXPECT_EQ(list.Insert("20190412_153010_NR", 0).entry->FileName(), "20190412_153010_NR.mp4");
}

// Names that tie often: two dates and seconds, names of several lengths and letters.
std::string RandomName(std::mt19937& random, int scheme) {
    static const char* dates[] = {"20190411", "20190412"};
    static const char* times[] = {"153010", "153011"};
    static const std::string letters = "NEFRSLPRFR";
    std::string suffix;
    const int length = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < length; ++i) suffix += letters[random() % letters.size()];
    if (scheme == 0)
        return std::string(dates[random() % 2]) + "_" + times[random() % 2] + "_" + suffix;
    return "rec_0001F_" + std::string(dates[random() % 2]) + "_" + times[random() % 2] + "_" +
           suffix;
}

TEST(CFileList, IndexedAndBatchInsertionMatchTheWalkFromTheHead) {
    std::mt19937 random(12345);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::string> names;
        std::vector<int> schemes;
        const int count = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) {
            int scheme = random() % 5 == 0 ? 1 : 0;
            schemes.push_back(scheme);
            names.push_back(RandomName(random, scheme));
        }
        std::vector<ReferenceEntry> reference;
        CFileList single;
        std::vector<CFileList::NameToInsert> batch;
        for (int i = 0; i < count; ++i) {
            ReferenceInsert(reference, names[i], schemes[i]);
            single.Insert(names[i], schemes[i]);
            batch.push_back({names[i], schemes[i], {}});
        }
        CFileList many;
        many.InsertMany(batch);
        SCOPED_TRACE(round);
        ASSERT_EQ(Names(single), ReferenceNames(reference));
        ASSERT_EQ(Names(many), ReferenceNames(reference));

        // Unlink some entries, then insert more: the index follows in both lists.
        for (CFileList* list : {&single, &many}) {
            std::vector<ReferenceEntry> expected = reference;
            std::mt19937 choose(static_cast<unsigned>(round));
            for (int removals = 0; removals < count / 3 && list->head(); ++removals) {
                std::size_t at = choose() % list->size();
                FileEntry* entry = list->head();
                for (std::size_t i = 0; i < at; ++i) entry = entry->next;
                ASSERT_TRUE(list->Unlink(entry));
                expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at));
            }
            for (int more = 0; more < 10; ++more) {
                int scheme = choose() % 5 == 0 ? 1 : 0;
                std::string name = RandomName(random, scheme);
                ReferenceInsert(expected, name, scheme);
                list->Insert(name, scheme);
            }
            ASSERT_EQ(Names(*list), ReferenceNames(expected));
        }
    }
}

TEST(CFileList, ReversedInsertionOfManyNamesStaysInOrder) {
    // Oldest last is the slow case of a list walk; the result must still be newest first.
    CFileList list;
    char name[32];
    for (int minute = 0; minute < 20000; ++minute) {
        std::snprintf(name, sizeof name, "2019%02d%02d_%02d%02d01_NF", 1 + minute / 1440 / 28,
                      1 + minute / 1440 % 28, minute / 60 % 24, minute % 60);
        ASSERT_TRUE(list.Insert(name, 0).accepted);
    }
    std::int64_t previous = INT64_MAX;
    for (const FileEntry* entry = list.head(); entry; entry = entry->next) {
        std::int64_t key = std::int64_t{entry->date} * 1000000 + entry->time;
        ASSERT_LT(key, previous);
        previous = key;
    }
}

TEST(CFileList, ClearAndUnlink) {
    CFileList list;
    FileEntry* front = list.Insert("20190412_153010_NF", 0).entry;
    list.Insert("20190412_153010_NR", 0);
    std::unique_ptr<FileEntry> removed = list.Unlink(front);
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->name, "20190412_153010_NF");
    EXPECT_EQ(Names(list), std::vector<std::string>{"20190412_153010_NR"});
    list.Clear();
    EXPECT_EQ(list.head(), nullptr);
    EXPECT_EQ(list.tail(), nullptr);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_TRUE(list.Insert("20190412_153010_NF", 0).accepted);
}

}  // namespace
}  // namespace kx
