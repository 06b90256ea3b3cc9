#include "library/ListFilter.h"

#include "library/RecordingName.h"

namespace kx {

bool ListFilter::Passes(const FileEntry& entry) const {
    const int group = CameraGroup(entry.kindCode);
    const bool cameraOn =
        entry.kindCode >= kFirstCameraLCode ||
        (group >= 0 && group < static_cast<int>(cameras.size()) && cameras[group]);
    return cameraOn && kinds[BaseKind(entry.kindCode)] && (date == 0 || date == entry.date);
}

}  // namespace kx
