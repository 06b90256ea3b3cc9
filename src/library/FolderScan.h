#pragma once
// Scan of the record folder: lists every .mp4 and then every .avi file (extensions matched
// without regard to case, as on the camera's FAT card) into a CFileList.
#include <cstdint>
#include <filesystem>
#include <vector>

#include "library/CFileList.h"

namespace kx {

struct ScanResult {
    int count = 0;                    // listed files (a front and its rear partner count two)
    std::vector<std::int32_t> dates;  // ascending; see ScanFolder
};

// The date array of a scan from the dates of the listed files in the order the scan met them:
// each date that differs from the one appended last, sorted ascending.
std::vector<std::int32_t> ScanDates(const std::vector<std::int32_t>& datesInScanOrder);

// Clears the list and refills it from the folder. The date array receives the date of every
// listed file that differs from the date appended last, then is sorted, so equal dates met
// apart stay twice. An empty folder string, a missing folder or one that fails while it is
// read (a card pulled) gives an empty list and count 0.
ScanResult ScanFolder(CFileList& list, const std::filesystem::path& recordFolder);

}  // namespace kx
