#include "platform/UserFolders.h"

#include <QStandardPaths>

namespace kx {
namespace {

std::filesystem::path Location(QStandardPaths::StandardLocation location) {
    return std::filesystem::path(QStandardPaths::writableLocation(location).toStdString());
}

}  // namespace

std::filesystem::path DocumentsFolder() {
    return Location(QStandardPaths::DocumentsLocation);
}
std::filesystem::path VideosFolder() {
    return Location(QStandardPaths::MoviesLocation);
}
std::filesystem::path PicturesFolder() {
    return Location(QStandardPaths::PicturesLocation);
}

}  // namespace kx
