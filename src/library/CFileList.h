#pragma once
// The recording list: owns its entries and keeps them newest first. Of files that started in
// the same second the shorter name comes first, a front file comes directly before its rear
// partner, and otherwise files keep the order in which they were inserted. An entry's name,
// date and time must not change while it is listed: they decide its place.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "library/FileEntry.h"

namespace kx {

class CFileList {
  public:
    CFileList() = default;
    ~CFileList() { Clear(); }
    CFileList(const CFileList&) = delete;
    CFileList& operator=(const CFileList&) = delete;

    struct InsertResult {
        bool accepted = false;
        std::int32_t date = 0;
        FileEntry* entry = nullptr;
    };
    // Parses the name and, when it is accepted, links a new entry at its place in order.
    // extension is the real spelling of the file's extension (empty: the scheme's own).
    InsertResult Insert(std::string_view name, int scheme, std::string_view extension = {});

    struct NameToInsert {
        std::string_view name;
        int scheme = 0;
        std::string_view extension;
    };
    // Inserts the names as if Insert were called for each in turn, sorting them at once
    // rather than placing each one (a scan of many thousand files). The results are in the
    // order of the names.
    std::vector<InsertResult> InsertMany(const std::vector<NameToInsert>& names);

    // A parsed entry for the name, not yet listed; null when the name is rejected. extension
    // is the real spelling of the file's extension (empty or malformed: the scheme's own).
    static std::unique_ptr<FileEntry> MakeEntry(std::string_view name, int scheme,
                                                std::string_view extension = {});
    // Lists entries made by MakeEntry as if inserted one by one in this order.
    void InsertEntries(std::vector<std::unique_ptr<FileEntry>> entries);

    // Frees every entry.
    void Clear();

    // Unlinks an entry of this list and hands it over; the caller decides when it is freed.
    std::unique_ptr<FileEntry> Unlink(FileEntry* entry);

    FileEntry* head() const { return head_; }
    FileEntry* tail() const { return tail_; }
    std::size_t size() const { return size_; }

  private:
    // Entries of one date, time and name length lie next to each other (a run). The index
    // finds a run and its neighbours in logarithmic time, so that inserting names in any order
    // stays fast on folders of many thousand recordings.
    struct RunKey {
        std::int32_t date;
        std::int32_t time;
        std::size_t length;
        bool operator<(const RunKey& other) const;  // list order: newest first, shorter first
    };
    struct Run {
        FileEntry* first = nullptr;
        FileEntry* last = nullptr;
        // First entry of the run with R at index length - 1 and at length - 2: a front file
        // is placed in front of it.
        FileEntry* firstRearAt[2] = {nullptr, nullptr};
    };
    static RunKey KeyOf(const FileEntry& entry);
    // Lists one entry made by MakeEntry at its place, through the index.
    FileEntry* InsertEntry(std::unique_ptr<FileEntry> entry);
    // Links an entry into its run: a new run goes after `after` (null: at the head).
    void PlaceInRun(Run& run, bool newRun, FileEntry* entry, FileEntry* after);
    void BuildIndex();
    static std::optional<int> RearSlot(const FileEntry& entry, std::size_t index);
    static bool HasLetterAt(const FileEntry& entry, std::size_t index, char letter);
    void LinkBefore(FileEntry* entry, FileEntry* before);
    void LinkAfter(FileEntry* entry, FileEntry* after);
    void RecomputeRearSlot(Run& run, int slot, std::size_t length);

    FileEntry* head_ = nullptr;
    FileEntry* tail_ = nullptr;
    std::size_t size_ = 0;
    // Built on the first single insertion after InsertMany; kept up to date from then on.
    std::map<RunKey, Run> runs_;
    bool indexed_ = true;
};

}  // namespace kx
