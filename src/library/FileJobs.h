#pragma once
// Copy and delete of recordings, run on a job thread behind a progress display. The delete
// also removes the entries from the list and builds a new day map aside; the caller hands it
// to the timeline on its own thread, so the old map stays readable until then.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "library/CFileList.h"
#include "library/DayMap.h"
#include "library/ListFilter.h"
#include "library/RecordingFiles.h"

namespace kx {

// Each progress step pauses this long so that the display can follow.
inline constexpr std::chrono::milliseconds kProgressStepPause{1};

struct ProgressStep {
    std::string name;  // the finished recording
    int index = 0;     // its position in the job (0 = first)
    int done = 0;
    int total = 0;
    int percent = 0;  // done * 100 / total, fractions cut
};

// "%d %%" of a percentage, as the progress text shows it.
std::string ProgressText(int percent);

// Counts finished recordings and reports each step; the report runs on the job thread.
class ProgressCounter {
  public:
    using Report = std::function<void(const ProgressStep&)>;
    ProgressCounter(int total, Report report, bool pause = true)
        : total_(total), report_(std::move(report)), pause_(pause) {}
    void Step(const std::string& name);
    int done() const { return done_; }
    int total() const { return total_; }

  private:
    int total_;
    int done_ = 0;
    Report report_;
    bool pause_;
};

struct CopyJobResult {
    std::vector<std::string> done;  // names copied, in order
    FileSetReport files;
};

// Copies the file set of each entry from the record folder to the destination folder.
CopyJobResult CopyRecordings(std::span<const FileEntry* const> entries,
                             const std::filesystem::path& recordFolder,
                             const std::filesystem::path& destination,
                             ProgressCounter* progress = nullptr);

struct DeleteJobResult {
    std::vector<std::string> done;      // names deleted, in list order
    std::vector<std::string> notFound;  // names that matched no entry in list order
    FileSetReport files;
    // The day map of the entries that remain and pass the filter, and their count.
    std::unique_ptr<DayMap> dayMap;
    int remaining = 0;
    // The unlinked entries: freed with this result, after the caller has let go of the old
    // day map and of every row that pointed at them.
    std::vector<std::unique_ptr<FileEntry>> removedEntries;
};

// Walks the list and the names (both in list order): deletes the file set of each entry whose
// name is the next name, unlinks the entry, and builds the new day map of the others.
DeleteJobResult DeleteRecordings(CFileList& list, std::span<const std::string> names,
                                 const std::filesystem::path& recordFolder,
                                 const ListFilter& filter, ProgressCounter* progress = nullptr);

// Runs one job on its own thread and then its end notice (the dialog's OK), also on that
// thread. The destructor waits for the end.
class JobThread {
  public:
    JobThread(std::function<void()> job, std::function<void()> onEnd);
    ~JobThread();
    JobThread(const JobThread&) = delete;
    JobThread& operator=(const JobThread&) = delete;
    void Join();

  private:
    std::thread thread_;
};

}  // namespace kx
