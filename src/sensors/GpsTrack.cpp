#include "sensors/GpsTrack.h"

#include <cmath>
#include <new>

namespace kx {

std::int32_t GpsKeyForPosition(std::int64_t positionMs, std::int32_t startKey) {
    return static_cast<std::int32_t>(positionMs / 10 + startKey);
}

std::int32_t GpsStartKey(int hhmmss) {
    int hours = hhmmss / 10000;
    int minutes = hhmmss / 100 % 100;
    int seconds = hhmmss % 100;
    return hours * 360000 + minutes * 6000 + seconds * 100;
}

void GpsTrack::ClearGps() {
    nodes_.clear();
    cursor_ = nullptr;
}

bool GpsTrack::Append(const GPS_NODE& fix) {
    try {
        nodes_.push_back(fix);
    } catch (const std::bad_alloc&) {
        return false;
    }
    nodes_.back().next = nullptr;
    if (nodes_.size() > 1) nodes_[nodes_.size() - 2].next = &nodes_.back();
    return true;
}

const GPS_NODE* GpsTrack::FindGps(std::int32_t key) {
    const GPS_NODE* first = head();
    const GPS_NODE* last = tail();
    if (!first) return nullptr;
    if (key > last->time) return nullptr;
    if ((!cursor_ || cursor_->time > key) && first->time <= key) cursor_ = first;
    if (!cursor_ || cursor_->time > key) return nullptr;
    const GPS_NODE* result = nullptr;
    do {
        result = cursor_;
        if (cursor_ == last) break;
        cursor_ = cursor_->next;
    } while (cursor_->time <= key);
    return result;
}

double NmeaToDegree(double nmea) {
    // Truncation in floating point: the same as integer division for every real coordinate,
    // and no undefined conversion for values that do not fit an integer.
    double whole = std::trunc(std::trunc(nmea) / 100.0);
    return whole + (nmea - whole * 100.0) / 60.0;
}

GpsDegrees GpsToDegree(const GPS_NODE& fix) {
    return {NmeaToDegree(fix.latitude), NmeaToDegree(fix.longitude)};
}

}  // namespace kx
