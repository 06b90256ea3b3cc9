#include "player/SourceChoice.h"

#include <algorithm>
#include <cctype>

#include "containers/Mp4File.h"
#include "player/AviSource.h"
#include "player/FfmpegSource.h"
#include "player/Mp4RecordSource.h"

namespace kx {
namespace {

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// 1 earlier layout, 2 later layout (or a playable MP4 without the camera's headers, which
// FFmpeg can still demultiplex), 0 not playable. A damaged file is repaired first.
int Mp4Kind(const std::filesystem::path& path, Mp4Layout& layout) {
    MP4FILE files[2]{};
    files[0].gpsLength = files[0].accLength = -1;
    files[1].gpsLength = files[1].accLength = -1;
    int valid = ValidMP4(path, files, false);
    bool records = !files[0].newFormat && Mp4LayoutOf(files[0], layout);
    int kind = valid == 1 ? (records ? 1 : 2) : (files[0].newFormat ? 2 : 0);
    ReleaseMP4(files[0]);
    ReleaseMP4(files[1]);
    return kind;
}

}  // namespace

std::unique_ptr<IndexSource> MakeIndexSource(const std::filesystem::path& front,
                                             const std::filesystem::path& rear, bool showRear) {
    std::string extension = LowerExtension(front);
    if (extension == ".avi") return std::make_unique<AviSource>(front, showRear);
    Mp4Layout layout;
    switch (Mp4Kind(front, layout)) {
        case 1:
            return std::make_unique<Mp4RecordSource>(
                front, showRear ? rear : std::filesystem::path{}, std::move(layout));
        case 2:
            return std::make_unique<FfmpegSource>(front);
        default:
            return nullptr;
    }
}

}  // namespace kx
