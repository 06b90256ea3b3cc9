#include "library/CFileList.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "library/RecordingName.h"

namespace kx {

bool CFileList::RunKey::operator<(const RunKey& other) const {
    if (date != other.date) return date > other.date;
    if (time != other.time) return time > other.time;
    return length < other.length;
}

CFileList::RunKey CFileList::KeyOf(const FileEntry& entry) {
    return {entry.date, entry.time, entry.name.size()};
}

bool CFileList::HasLetterAt(const FileEntry& entry, std::size_t index, char letter) {
    return index < entry.name.size() && entry.name[index] == letter;
}

// Slot 0 is index length - 1, slot 1 index length - 2.
std::optional<int> CFileList::RearSlot(const FileEntry& entry, std::size_t index) {
    std::size_t length = entry.name.size();
    if (index + 1 == length) return 0;
    if (index + 2 == length) return 1;
    return std::nullopt;
}

void CFileList::LinkBefore(FileEntry* entry, FileEntry* before) {
    entry->next = before;
    entry->previous = before ? before->previous : tail_;
    if (entry->previous)
        entry->previous->next = entry;
    else
        head_ = entry;
    if (before)
        before->previous = entry;
    else
        tail_ = entry;
}

void CFileList::LinkAfter(FileEntry* entry, FileEntry* after) {
    LinkBefore(entry, after ? after->next : head_);
}

void CFileList::RecomputeRearSlot(Run& run, int slot, std::size_t length) {
    run.firstRearAt[slot] = nullptr;
    if (length < static_cast<std::size_t>(slot) + 1) return;
    std::size_t index = length - 1 - slot;
    for (FileEntry* entry = run.first; entry; entry = entry->next) {
        if (HasLetterAt(*entry, index, 'R')) {
            run.firstRearAt[slot] = entry;
            return;
        }
        if (entry == run.last) return;
    }
}

std::unique_ptr<FileEntry> CFileList::MakeEntry(std::string_view name, int scheme,
                                                std::string_view extension) {
    std::optional<ParsedName> parsed = ParseRecordingName(name, scheme);
    if (!parsed) return nullptr;
    auto entry = std::make_unique<FileEntry>();
    entry->scheme = static_cast<std::uint8_t>(scheme);
    entry->kindCode = parsed->kindCode;
    entry->date = parsed->date;
    entry->time = parsed->time;
    entry->name = std::string(name);
    if (extension.size() != kExtensionLetters) extension = kSchemeExtensions[scheme];
    std::copy(extension.begin(), extension.end(), entry->extension.begin());
    return entry;
}

void CFileList::PlaceInRun(Run& run, bool newRun, FileEntry* entry, FileEntry* after) {
    const std::size_t length = entry->name.size();
    auto hasRearAt = [&](int slot) {
        return length > static_cast<std::size_t>(slot) &&
               HasLetterAt(*entry, length - 1 - slot, 'R');
    };
    if (newRun) {
        LinkAfter(entry, after);
        run.first = run.last = entry;
        for (int slot = 0; slot < 2; ++slot)
            if (hasRearAt(slot)) run.firstRearAt[slot] = entry;
        ++size_;
        return;
    }
    // A front file goes directly in front of the first file of its second with R where it
    // has F; anything else goes behind the files of its second.
    FileEntry* before = nullptr;
    std::optional<int> frontSlot;
    if (entry->scheme == kSchemeMp4) {
        std::optional<std::size_t> camera = CameraLetterIndex(entry->name);
        if (camera && entry->name[*camera] == 'F') {
            frontSlot = RearSlot(*entry, *camera);
            if (frontSlot) before = run.firstRearAt[*frontSlot];
        }
    }
    if (before) {
        LinkBefore(entry, before);
        if (run.first == before) run.first = entry;
        const int other = 1 - *frontSlot;
        if (hasRearAt(other)) RecomputeRearSlot(run, other, length);
    } else {
        LinkAfter(entry, run.last);
        run.last = entry;
        for (int slot = 0; slot < 2; ++slot)
            if (!run.firstRearAt[slot] && hasRearAt(slot)) run.firstRearAt[slot] = entry;
    }
    ++size_;
}

void CFileList::BuildIndex() {
    runs_.clear();
    auto run = runs_.end();
    for (FileEntry* entry = head_; entry; entry = entry->next) {
        const RunKey key = KeyOf(*entry);
        if (run == runs_.end() || run->first < key) {
            run = runs_.emplace_hint(runs_.end(), key, Run{});
            run->second.first = entry;
        }
        run->second.last = entry;
        const std::size_t length = entry->name.size();
        for (int slot = 0; slot < 2; ++slot)
            if (!run->second.firstRearAt[slot] && length > static_cast<std::size_t>(slot) &&
                HasLetterAt(*entry, length - 1 - slot, 'R'))
                run->second.firstRearAt[slot] = entry;
    }
    indexed_ = true;
}

FileEntry* CFileList::InsertEntry(std::unique_ptr<FileEntry> owned) {
    if (!indexed_) BuildIndex();
    auto [run, newRun] = runs_.try_emplace(KeyOf(*owned));
    FileEntry* entry = owned.release();
    FileEntry* after = nullptr;
    if (newRun && run != runs_.begin()) after = std::prev(run)->second.last;
    PlaceInRun(run->second, newRun, entry, after);
    return entry;
}

CFileList::InsertResult CFileList::Insert(std::string_view name, int scheme,
                                          std::string_view extension) {
    try {
        std::unique_ptr<FileEntry> owned = MakeEntry(name, scheme, extension);
        if (!owned) return {};
        FileEntry* entry = InsertEntry(std::move(owned));
        return {true, entry->date, entry};
    } catch (const std::bad_alloc&) {
        runs_.clear();  // rebuilt from the list, which is unchanged, at the next insertion
        indexed_ = false;
        return {};
    }
}

std::vector<CFileList::InsertResult> CFileList::InsertMany(const std::vector<NameToInsert>& names) {
    std::vector<InsertResult> results(names.size());
    std::vector<std::unique_ptr<FileEntry>> entries;
    entries.reserve(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        entries.push_back(MakeEntry(names[i].name, names[i].scheme, names[i].extension));
        if (entries.back()) results[i] = {true, entries.back()->date, entries.back().get()};
    }
    InsertEntries(std::move(entries));
    return results;
}

void CFileList::InsertEntries(std::vector<std::unique_ptr<FileEntry>> entries) {
    if (head_) {
        for (std::unique_ptr<FileEntry>& entry : entries)
            if (entry) InsertEntry(std::move(entry));
        return;
    }
    // Stable sort by the keys of the list order; entries of one second and name length then
    // go through the same placement as single insertions, in the order given. Date and time
    // have at most 8 and 6 digits, so newest first packs into one ascending number.
    constexpr std::uint64_t kLastDate = 99999999, kLastTime = 999999;
    struct Sorted {
        std::uint64_t moment;
        std::uint32_t length;
        std::uint32_t order;
        bool operator<(const Sorted& other) const {
            if (moment != other.moment) return moment < other.moment;
            if (length != other.length) return length < other.length;
            return order < other.order;
        }
    };
    std::vector<Sorted> sorted;
    sorted.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const FileEntry* entry = entries[i].get();
        if (!entry) continue;
        const std::uint64_t moment = (kLastDate - static_cast<std::uint64_t>(entry->date)) << 20 |
                                     (kLastTime - static_cast<std::uint64_t>(entry->time));
        sorted.push_back({moment, static_cast<std::uint32_t>(entry->name.size()),
                          static_cast<std::uint32_t>(i)});
    }
    std::sort(sorted.begin(), sorted.end());
    Run run;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        const bool newRun = i == 0 || sorted[i - 1].moment != sorted[i].moment ||
                            sorted[i - 1].length != sorted[i].length;
        if (newRun) run = Run{};
        PlaceInRun(run, newRun, entries[sorted[i].order].release(), tail_);
    }
    runs_.clear();
    indexed_ = false;
}

std::unique_ptr<FileEntry> CFileList::Unlink(FileEntry* entry) {
    if (!entry) return nullptr;
    if (indexed_) {
        const RunKey key = KeyOf(*entry);
        auto run = runs_.find(key);
        if (run == runs_.end()) return nullptr;  // not an entry of this list
        Run& slots = run->second;
        if (slots.first == entry && slots.last == entry) {
            runs_.erase(run);
        } else {
            if (slots.first == entry) slots.first = entry->next;
            if (slots.last == entry) slots.last = entry->previous;
            for (int slot = 0; slot < 2; ++slot) {
                if (slots.firstRearAt[slot] != entry) continue;
                // The next R of the run, if any, lies after the entry.
                slots.firstRearAt[slot] = nullptr;
                const std::size_t index = entry->name.size() - 1 - slot;
                for (FileEntry* later = entry->next; later && !(key < KeyOf(*later));
                     later = later->next)
                    if (HasLetterAt(*later, index, 'R')) {
                        slots.firstRearAt[slot] = later;
                        break;
                    }
            }
        }
    }
    if (entry->previous)
        entry->previous->next = entry->next;
    else
        head_ = entry->next;
    if (entry->next)
        entry->next->previous = entry->previous;
    else
        tail_ = entry->previous;
    entry->next = entry->previous = nullptr;
    --size_;
    return std::unique_ptr<FileEntry>(entry);
}

void CFileList::Clear() {
    FileEntry* entry = head_;
    while (entry) {
        FileEntry* next = entry->next;
        delete entry;
        entry = next;
    }
    head_ = tail_ = nullptr;
    size_ = 0;
    runs_.clear();
    indexed_ = true;
}

}  // namespace kx
