#include "cli/FormatCommands.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdio>
#include <memory>

#include "app/LanguageTable.h"
#include "cli/Arguments.h"
#include "cli/Json.h"
#include "format/FormatFat32.h"
#include "format/FormatTargets.h"
#include "format/ImageFileDevice.h"
#include "format/LinuxBlockDevice.h"
#include "platform/ProgramPath.h"

namespace kx::cli {
namespace {

using format::DeviceDescription;

constexpr const char* kFormatUsage =
    "usage: kxcard format TARGET --yes [--sector-size N] [--partition N] [--program-dir DIR] "
    "[--language NAME]";

int PrintRefusal(const std::string& reason, const std::string& message = {}) {
    JsonObject json;
    json.Add("ok", false).Add("reason", reason);
    if (!message.empty()) json.Add("message", message);
    std::printf("%s\n", json.str().c_str());
    return Failure(reason);
}

bool ParseCount(const std::optional<std::string>& text, std::uint32_t& value) {
    if (!text) return true;
    auto result = std::from_chars(text->data(), text->data() + text->size(), value);
    return result.ec == std::errc{} && result.ptr == text->data() + text->size();
}

// "format_reject1", a line break, "format_reject2" (section "tooltip") in the chosen language.
std::string RejectMessage(const Arguments& args) {
    LanguageTable table;
    table.Select(args.Option("--language").value_or(std::string(kViewerLanguage)),
                 args.Option("--program-dir").value_or(ExecutableFolder().string()));
    std::string message = table.Text("format_reject1", kSectionTooltip);
    message += "\n";
    message += table.Text("format_reject2", kSectionTooltip);
    return message;
}

}  // namespace

int RunDevices(const std::vector<std::string>& words) {
    if (!words.empty()) return UsageError("usage: kxcard devices");
    std::string why;
    auto catalog = format::LoadActiveCatalog(why);
    if (!catalog) return Failure(why);
    for (const DeviceDescription& device : format::OfferedDevices(*catalog))
        std::printf("%s\n", JsonObject()
                                .Add("device", device.device)
                                .Add("label", device.label)
                                .Add("free", static_cast<std::int64_t>(device.freeBytes))
                                .Add("size", static_cast<std::int64_t>(device.sizeBytes))
                                .Add("removable", 1)
                                .str()
                                .c_str());
    return 0;
}

int RunFormat(const std::vector<std::string>& words) {
    Arguments args(words, {"--sector-size", "--partition", "--program-dir", "--language"},
                   {"--yes"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1) return UsageError(kFormatUsage);
    const std::filesystem::path target = args.positional()[0];
    std::uint32_t sectorSize = 0, partition = 0;
    if (!ParseCount(args.Option("--sector-size"), sectorSize) ||
        !ParseCount(args.Option("--partition"), partition) || partition > 4)
        return UsageError("--sector-size takes a number, --partition a number from 0 to 4");
    const bool imageOptions = args.Option("--sector-size") || args.Option("--partition");

    if (!args.Flag("--yes"))
        return PrintRefusal("formatting erases everything on " + target.string() +
                            "; nothing was written (add --yes to format)");

    std::string why;
    auto catalog = format::LoadActiveCatalog(why);
    if (!catalog) return PrintRefusal(why);

    std::unique_ptr<format::BlockDevice> device;
    if (const DeviceDescription* known = format::FindDevice(*catalog, target)) {
        format::TargetVerdict verdict = format::CheckFormatTarget(
            *catalog, *known,
            format::ProtectedFolders(args.Option("--program-dir").value_or(ExecutableFolder())));
        if (!verdict.allowed)
            return PrintRefusal(verdict.reason,
                                verdict.holdsProtectedFolder ? RejectMessage(args) : "");
        if (known->isImage) {
            device = std::make_unique<format::ImageFileDevice>(
                known->device, sectorSize ? sectorSize : known->imageSectorSize,
                args.Option("--partition") ? partition : known->imagePartition);
        } else {
            if (imageOptions)
                return UsageError("--sector-size and --partition are for image files only");
            device = std::make_unique<format::LinuxBlockDevice>(*known);
        }
    } else {
        struct stat info {};
        if (::stat(target.c_str(), &info) != 0)
            return PrintRefusal(target.string() + " does not exist");
        if (S_ISBLK(info.st_mode))
            return PrintRefusal(target.string() +
                                " is not a removable device of this machine's device list");
        if (!S_ISREG(info.st_mode))
            return PrintRefusal(target.string() + " is neither a block device nor an image file");
        device = std::make_unique<format::ImageFileDevice>(target, sectorSize ? sectorSize : 512,
                                                           partition);
    }

    format::FormatResult result = format::FormatFat32(*device, format::CurrentLocalTime());
    if (!result.ok) {
        std::string reason = result.reason;
        if (result.wroteSectors) reason += " (the volume was partly written: format it again)";
        return PrintRefusal(reason);
    }
    std::printf("%s\n", JsonObject()
                            .Add("ok", true)
                            .Add("S", static_cast<std::int64_t>(result.layout.bytesPerSector))
                            .Add("T", static_cast<std::int64_t>(result.layout.totalSectors))
                            .Add("F", static_cast<std::int64_t>(result.layout.fatSectors))
                            .Add("C", static_cast<std::int64_t>(result.layout.clusterCount))
                            .Add("serial", format::VolumeIdText(result.volumeId))
                            .str()
                            .c_str());
    return 0;
}

}  // namespace kx::cli
