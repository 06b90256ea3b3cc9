#pragma once
// Repair of an AVI recording that was cut short before its index (idx1) was written: the index
// is rebuilt from the chunks of the movi list and written after them, in place.
#include <cstdint>
#include <cstdio>
#include <functional>

#include "containers/AviFormat.h"

namespace kx {

// Positioned write used by the repair; tests pass one that fails to show that a repair broken
// off at any write is repaired the same way by the next open.
using AviWriteFunction = std::function<bool(std::FILE* file, std::int64_t position,
                                            const void* bytes, std::size_t size)>;

// file is open for update; info holds the headers read by ReadAviHeaders (movi position and
// length, stream count). 1 when an index was rebuilt and written, else 0.
int RecoverAVI(std::FILE* file, AVIFILEINFO& info, const AviWriteFunction& write = WriteAt);

// The same index, built in memory only, for a file that cannot be written (a write-protected
// card): the recording plays, and is repaired when it is next opened from a writable card.
int RebuildAviIndexInMemory(std::FILE* file, AVIFILEINFO& info);

}  // namespace kx
