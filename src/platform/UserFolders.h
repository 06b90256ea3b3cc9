#pragma once
#include <filesystem>

namespace kx {

// The user's documents and videos folders as the desktop names them.
std::filesystem::path DocumentsFolder();
std::filesystem::path VideosFolder();
std::filesystem::path PicturesFolder();

}  // namespace kx
