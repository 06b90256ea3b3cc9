#include "cli/LibraryCommands.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/ViewerSettings.h"
#include "cli/Arguments.h"
#include "cli/Json.h"
#include "library/CFileList.h"
#include "library/CardDiscovery.h"
#include "library/DayMap.h"
#include "library/DurationProbe.h"
#include "library/FileJobs.h"
#include "library/FolderScan.h"
#include "library/RecordingName.h"
#include "platform/IniFile.h"
#include "platform/VolumeProvider.h"

namespace kx::cli {
namespace {

template <typename Items, typename Format>
std::string JsonArray(const Items& items, Format format) {
    std::string text = "[";
    for (const auto& item : items) {
        if (text.size() > 1) text += ',';
        text += format(item);
    }
    return text + "]";
}

std::string PathArray(const std::vector<std::filesystem::path>& paths) {
    return JsonArray(paths,
                     [](const std::filesystem::path& path) { return JsonString(path.string()); });
}

std::string StringArray(const std::vector<std::string>& texts) {
    return JsonArray(texts, [](const std::string& text) { return JsonString(text); });
}

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

bool IsFolder(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

// Scans the folder into the list; false (with a message) when it is not a folder.
bool ScanOrFail(CFileList& list, const std::string& folder, ScanResult& result) {
    if (!IsFolder(folder)) return false;
    result = ScanFolder(list, folder);
    return true;
}

// Appends a JSON string; plain text (the usual recording name) is copied as it stands.
void AppendJsonString(std::string& out, std::string_view text) {
    for (unsigned char c : text)
        if (c < 0x20 || c == '"' || c == '\\') {
            out += JsonString(text);
            return;
        }
    out += '"';
    out += text;
    out += '"';
}

void AppendNumber(std::string& out, std::int64_t value) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

// One line of kxcard scan. The keys are written as fixed text: a folder may list many
// thousand recordings.
void AppendScanLine(std::string& out, const FileEntry& entry, std::string_view display,
                    bool probed) {
    out.append(R"({"name":)");
    AppendJsonString(out, entry.name);
    out.append(R"(,"scheme":)");
    AppendNumber(out, entry.scheme);
    out.append(R"(,"kind":)");
    AppendNumber(out, entry.kindCode);
    out.append(R"(,"base":)");
    AppendNumber(out, BaseKind(entry.kindCode));
    out.append(R"(,"camera":)");
    AppendNumber(out, CameraGroup(entry.kindCode));
    out.append(R"(,"level":)");
    AppendNumber(out, KindLevel(entry.kindCode));
    out.append(R"(,"date":)");
    AppendNumber(out, entry.date);
    out.append(R"(,"time":)");
    AppendNumber(out, entry.time);
    out.append(R"(,"display":)");
    AppendJsonString(out, display);
    if (probed) {
        out.append(R"(,"duration":)");
        AppendNumber(out, entry.duration);
        out.append(R"(,"span":)");
        AppendNumber(out, entry.spanMinutes);
    }
    out.append("}\n");
}

std::vector<FileEntry*> Rows(const CFileList& list) {
    std::vector<FileEntry*> rows;
    rows.reserve(list.size());
    for (FileEntry* entry = list.head(); entry; entry = entry->next) rows.push_back(entry);
    return rows;
}

std::filesystem::path HomeFolder() {
    const char* home = std::getenv("HOME");
    return home ? std::filesystem::path(home) : std::filesystem::path("/");
}

}  // namespace

int RunScan(const std::vector<std::string>& words) {
    Arguments args(words, {}, {"--probe", "--summary"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1)
        return UsageError("usage: kxcard scan DIR [--probe] [--summary]");
    const std::string& folder = args.positional()[0];
    const bool probe = args.Flag("--probe");
    const bool summaryOnly = args.Flag("--summary");

    CFileList list;
    ScanResult result;
    if (!ScanOrFail(list, folder, result)) return Failure("not a folder: " + folder);
    // Lines are gathered into blocks: a card folder may list many thousand recordings.
    constexpr std::size_t kOutputBlock = 1 << 16;
    std::string out;
    out.reserve(kOutputBlock + 1024);
    std::string display;
    for (FileEntry* entry = summaryOnly ? nullptr : list.head(); entry; entry = entry->next) {
        if (probe) ProbeDuration(*entry, folder);
        if (entry->scheme == kSchemeAvi) display = DisplayName(entry->name, entry->scheme);
        // Scheme 0 shows the name itself.
        AppendScanLine(out, *entry, entry->scheme == kSchemeAvi ? display : entry->name, probe);
        if (out.size() >= kOutputBlock) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    PrintLine(
        JsonObject()
            .Add("count", result.count)
            .AddRaw("dates",
                    JsonArray(result.dates, [](std::int32_t date) { return std::to_string(date); }))
            .str());
    std::fflush(stdout);
    return 0;
}

int RunDayMap(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1) return UsageError("usage: kxcard daymap DIR");
    const std::string& folder = args.positional()[0];
    CFileList list;
    ScanResult result;
    if (!ScanOrFail(list, folder, result)) return Failure("not a folder: " + folder);

    std::vector<FileEntry*> rows = Rows(list);
    DayMap map;
    for (std::size_t i = 0; i < rows.size(); ++i) map.Add(*rows[i], static_cast<std::uint32_t>(i));
    // Filling may spill into hours and days not yet filled: go on until every slot is.
    for (bool filledAny = true; filledAny;) {
        filledAny = false;
        for (DayEntry* day = map.head(); day; day = day->next)
            for (int hour = 0; hour < kHoursPerDay; ++hour)
                if (day->hours[hour] && !day->hours[hour]->minutesFilled) {
                    map.FillMinutes(*day, hour, rows, folder);
                    filledAny = true;
                }
    }
    for (DayEntry* day = map.head(); day; day = day->next) {
        JsonObject hours;
        for (int hour = 0; hour < kHoursPerDay; ++hour) {
            const HourEntry* slot = day->hours[hour].get();
            if (!slot) continue;
            hours.AddRaw(std::to_string(hour),
                         JsonObject()
                             .Add("level", int{slot->level})
                             .Add("first", std::int64_t{slot->firstListIndex})
                             .AddRaw("minutes", JsonArray(slot->minuteLevels,
                                                          [](std::uint8_t level) {
                                                              return std::to_string(level);
                                                          }))
                             .str());
        }
        PrintLine(JsonObject()
                      .Add("date", day->date)
                      .Add("first", day->firstListIndex)
                      .AddRaw("hours", hours.str())
                      .str());
    }
    return 0;
}

int RunCards(const std::vector<std::string>& words) {
    Arguments args(words, {"--volumes", "--settings-dir"});
    if (!args.ok()) return UsageError(args.error());
    if (!args.positional().empty())
        return UsageError("usage: kxcard cards [--volumes LIST] [--settings-dir DIR]");
    std::unique_ptr<VolumeProvider> volumes = MakeVolumeProvider(args.Option("--volumes"));
    CardDiscovery discovery(*volumes);

    // Without a card the record folder is "filepath" of the viewer's setup.ini, else the
    // video folder, as at the viewer's start-up.
    const std::filesystem::path settingsFolder =
        args.Option("--settings-dir")
            .value_or((HomeFolder() / "Documents" / std::string(kCardFolderPrefix)).string());
    const std::filesystem::path videoFolder = HomeFolder() / "Videos" / "Videos";
    std::filesystem::path recordFolder = discovery.ChooseAtStartUp([&] {
        return std::filesystem::path(ReadProfileString(settingsFolder / "setup.ini", kSetupSection,
                                                       "filepath", videoFolder.string(),
                                                       kSetupPathBufferSize));
    });

    std::vector<Volume> listed = volumes->List();
    std::string cards = JsonArray(discovery.cards(), [&](const std::filesystem::path& root) {
        std::string label;
        for (const Volume& volume : listed)
            if (volume.root == root) label = volume.label;
        return JsonObject()
            .Add("root", root.string())
            .Add("form", RecognizeCard(root))
            .Add("letter", label)
            .str();
    });
    JsonObject line;
    line.AddRaw("cards", cards);
    if (discovery.selectedCard().empty())
        line.AddRaw("selected", "null");
    else
        line.Add("selected", discovery.selectedCard().string());
    line.Add("record_folder", recordFolder.string());
    PrintLine(line.str());
    return 0;
}

int RunCopy(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 3) return UsageError("usage: kxcard copy DIR NAME DEST");
    const std::string& folder = args.positional()[0];
    const std::string& name = args.positional()[1];
    const std::string& destination = args.positional()[2];
    if (!IsFolder(destination)) return Failure("not a folder: " + destination);
    CFileList list;
    ScanResult result;
    if (!ScanOrFail(list, folder, result)) return Failure("not a folder: " + folder);
    const FileEntry* found = nullptr;
    for (const FileEntry* entry = list.head(); entry && !found; entry = entry->next)
        if (entry->name == name) found = entry;
    if (!found) return Failure("no recording named " + name + " in " + folder);

    const FileEntry* entries[] = {found};
    CopyJobResult copied = CopyRecordings(entries, folder, destination);
    PrintLine(JsonObject()
                  .AddRaw("done", StringArray(copied.done))
                  .AddRaw("files", PathArray(copied.files.touched))
                  .AddRaw("replaced", PathArray(copied.files.replaced))
                  .AddRaw("failed", StringArray(copied.files.failed))
                  .str());
    if (!copied.files.failed.empty()) return Failure("some files could not be copied");
    return 0;
}

int RunDelete(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() < 2) return UsageError("usage: kxcard delete DIR NAME...");
    const std::string& folder = args.positional()[0];
    std::vector<std::string> names(args.positional().begin() + 1, args.positional().end());
    CFileList list;
    ScanResult result;
    if (!ScanOrFail(list, folder, result)) return Failure("not a folder: " + folder);

    DeleteJobResult deleted = DeleteRecordings(list, names, folder, ListFilter{});
    PrintLine(JsonObject()
                  .AddRaw("done", StringArray(deleted.done))
                  .AddRaw("files", PathArray(deleted.files.touched))
                  .AddRaw("failed", StringArray(deleted.files.failed))
                  .AddRaw("not_found", StringArray(deleted.notFound))
                  .Add("remaining", deleted.remaining)
                  .str());
    if (!deleted.notFound.empty())
        return Failure("not deleted (not found in list order): " + deleted.notFound.front());
    if (!deleted.files.failed.empty()) return Failure("some files could not be deleted");
    return 0;
}

}  // namespace kx::cli
