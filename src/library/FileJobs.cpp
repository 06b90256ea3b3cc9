#include "library/FileJobs.h"

#include <cstdio>
#include <exception>

#include "app/Trace.h"

namespace kx {

std::string ProgressText(int percent) {
    char text[16];
    std::snprintf(text, sizeof text, "%d %%", percent);
    return text;
}

void ProgressCounter::Step(const std::string& name) {
    ProgressStep step;
    step.name = name;
    step.index = done_;
    step.done = ++done_;
    step.total = total_;
    step.percent =
        total_ > 0 ? static_cast<int>(static_cast<std::int64_t>(done_) * 100 / total_) : 100;
    if (report_) report_(step);
    if (pause_) std::this_thread::sleep_for(kProgressStepPause);
}

CopyJobResult CopyRecordings(std::span<const FileEntry* const> entries,
                             const std::filesystem::path& recordFolder,
                             const std::filesystem::path& destination, ProgressCounter* progress) {
    CopyJobResult result;
    FolderNames source(recordFolder);
    for (const FileEntry* entry : entries) {
        if (!entry) continue;
        result.files.Append(CopyFileSet(*entry, source, destination));
        result.done.push_back(entry->name);
        if (progress) progress->Step(entry->name);
    }
    return result;
}

DeleteJobResult DeleteRecordings(CFileList& list, std::span<const std::string> names,
                                 const std::filesystem::path& recordFolder,
                                 const ListFilter& filter, ProgressCounter* progress) {
    DeleteJobResult result;
    result.dayMap = std::make_unique<DayMap>();
    FolderNames folder(recordFolder);
    std::size_t nextName = 0;
    std::uint32_t listIndex = 0;
    for (FileEntry* entry = list.head(); entry;) {
        FileEntry* following = entry->next;
        if (nextName < names.size() && entry->name == names[nextName]) {
            result.files.Append(DeleteFileSet(*entry, folder));
            result.done.push_back(entry->name);
            result.removedEntries.push_back(list.Unlink(entry));
            if (progress) progress->Step(names[nextName]);
            ++nextName;
        } else {
            ++result.remaining;
            if (filter.Passes(*entry)) result.dayMap->Add(*entry, listIndex++);
        }
        entry = following;
    }
    result.notFound.assign(names.begin() + static_cast<std::ptrdiff_t>(nextName), names.end());
    return result;
}

JobThread::JobThread(std::function<void()> job, std::function<void()> onEnd)
    : thread_([job = std::move(job), onEnd = std::move(onEnd)] {
          try {
              if (job) job();
          } catch (const std::exception& error) {
              Trace("JobThread", __LINE__, "job ended early: %s\n", error.what());
          }
          if (onEnd) onEnd();  // the dialog always closes
      }) {}

JobThread::~JobThread() {
    Join();
}

void JobThread::Join() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace kx
