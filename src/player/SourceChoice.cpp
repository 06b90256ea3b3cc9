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
