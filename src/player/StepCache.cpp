#include "player/StepCache.h"

#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include <cstring>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace kx {
namespace {

int ChromaSize(int size) {
    return (size + 1) / 2;
}

bool IsPlanar420(int format) {
    return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P;
}

}  // namespace

std::uint64_t StepCache::PictureBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    return static_cast<std::uint64_t>(width) * height +
           2ull * ChromaSize(width) * ChromaSize(height);
}

void StepCache::Configure(std::uint64_t regionStart, int width, int height, int pictures) {
    regionStart_ = regionStart;
    width_ = width;
    height_ = height;
    valid_.assign(pictures > 0 ? static_cast<std::size_t>(pictures) : 0, 0);
    position = -1;
}

void StepCache::Invalidate() {
    std::fill(valid_.begin(), valid_.end(), 0);
    position = -1;
}

void StepCache::InvalidateAfter(int position) {
    for (int i = position + 1; i < size(); ++i) valid_[static_cast<std::size_t>(i)] = 0;
}

std::uint64_t StepCache::Offset(int position) const {
    return regionStart_ + PictureBytes(width_, height_) * static_cast<std::uint64_t>(position);
}

// The rows of a 4:2:0 picture as I/O pieces, in file order; rows that follow each other in
// memory (no line padding) merge into one piece, so a whole plane usually moves at once.
std::vector<iovec> StepCache::Rows(const AVFrame& picture) const {
    const int widths[3] = {width_, ChromaSize(width_), ChromaSize(width_)};
    const int heights[3] = {height_, ChromaSize(height_), ChromaSize(height_)};
    std::vector<iovec> rows;
    for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < heights[plane]; ++y) {
            auto* row =
                picture.data[plane] + static_cast<std::ptrdiff_t>(y) * picture.linesize[plane];
            auto length = static_cast<std::size_t>(widths[plane]);
            if (!rows.empty() &&
                static_cast<std::uint8_t*>(rows.back().iov_base) + rows.back().iov_len == row)
                rows.back().iov_len += length;
            else
                rows.push_back({row, length});
        }
    return rows;
}

// Moves all pieces at offset with as few system calls as the piece limit allows.
static bool TransferRows(int fd, std::vector<iovec>& rows, std::uint64_t offset, bool write) {
    std::size_t done = 0;
    while (done < rows.size()) {
        int count = static_cast<int>(std::min<std::size_t>(rows.size() - done, IOV_MAX));
        std::size_t bytes = 0;
        for (int i = 0; i < count; ++i) bytes += rows[done + static_cast<std::size_t>(i)].iov_len;
        ssize_t moved = write ? ::pwritev(fd, &rows[done], count, static_cast<off_t>(offset))
                              : ::preadv(fd, &rows[done], count, static_cast<off_t>(offset));
        if (moved != static_cast<ssize_t>(bytes)) return false;
        offset += bytes;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

bool StepCache::Write(std::FILE* file, int position, const AVFrame& picture) {
    if (!file || position < 0 || position >= size()) return false;
    if (picture.width != width_ || picture.height != height_ || !IsPlanar420(picture.format))
        return false;
    valid_[static_cast<std::size_t>(position)] = 0;
    // Positioned writes on the descriptor, straight from the decoder's planes.
    std::vector<iovec> rows = Rows(picture);
    if (std::fflush(file) != 0 || !TransferRows(::fileno(file), rows, Offset(position), true))
        return false;
    valid_[static_cast<std::size_t>(position)] = 1;
    return true;
}

bool StepCache::Read(std::FILE* file, int position, AVFrame& picture) const {
    if (!file || !IsValid(position)) return false;
    av_frame_unref(&picture);
    if (!readBack_ || readBack_->width != width_ || readBack_->height != height_) {
        readBack_.reset(av_frame_alloc());
        if (!readBack_) return false;
        readBack_->format = AV_PIX_FMT_YUV420P;
        readBack_->width = width_;
        readBack_->height = height_;
        if (av_frame_get_buffer(readBack_.get(), 0) < 0) {
            readBack_.reset();
            return false;
        }
    }
    // The frame slot let go of its reference above, so the buffer is ours to fill again.
    if (av_frame_make_writable(readBack_.get()) < 0) return false;
    std::vector<iovec> rows = Rows(*readBack_);
    if (std::fflush(file) != 0 || !TransferRows(::fileno(file), rows, Offset(position), false))
        return false;
    return av_frame_ref(&picture, readBack_.get()) == 0;
}

}  // namespace kx
