#pragma once
// The files of one recording and the copy and delete of such a set. Copy replaces a file of
// the same name in the destination only once the new copy is complete; delete keeps the
// sidecars that a partner recording still uses.
#include <filesystem>
#include <string>
#include <vector>

#include "library/FileEntry.h"
#include "library/FolderNames.h"

namespace kx {

// What a copy or delete did, file by file. Missing files are not listed anywhere: a set often
// lacks its sidecars.
struct FileSetReport {
    std::vector<std::filesystem::path> touched;   // written (copy) or deleted (delete)
    std::vector<std::filesystem::path> replaced;  // destination files that a copy replaced
    std::vector<std::string> failed;              // "path: reason" of each file left as it was

    void Append(const FileSetReport& other);
};

// Stem of the set's sidecars: the name without its last character when that is F or R.
std::string FileSetStem(const std::string& name);

// File names of a set in order: stem.3gf, stem.gps, name.thm, name.mp4 for scheme 0; the one
// .avi file for scheme 1. The recording file keeps the extension spelling of the entry.
std::vector<std::string> FileSetNames(const FileEntry& entry);

// Copies each file of the set that exists in the source folder to the destination folder
// under the name it has there. Each file is written beside its target and renamed over it
// when complete, so a full disk or a read error never leaves a damaged or half file in place
// of an earlier copy. A file is never copied onto itself.
FileSetReport CopyFileSet(const FileEntry& entry, FolderNames& source,
                          const std::filesystem::path& destination);

// Deletes the set from the folder. A front (F) or rear (R) file whose partner's .mp4 is still
// in the folder deletes only its .thm and its recording file.
FileSetReport DeleteFileSet(const FileEntry& entry, FolderNames& folder);

}  // namespace kx
