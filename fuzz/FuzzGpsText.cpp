// Any bytes as GPS sidecar text: parsing never reads outside the text, CR LF and LF line ends
// give the same track, and every lookup returns a fix not later than the key asked for.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/GpsText.h"
#include "sensors/GpsTrack.h"
#include "sensors/TrackExport.h"

namespace {

std::vector<kx::GPS_NODE> Fixes(const kx::GpsTrack& track) {
    std::vector<kx::GPS_NODE> fixes;
    for (const kx::GPS_NODE* fix = track.head(); fix; fix = fix->next) fixes.push_back(*fix);
    return fixes;
}

bool SameFix(const kx::GPS_NODE& a, const kx::GPS_NODE& b) {
    auto same = [](double x, double y) { return x == y || (x != x && y != y); };
    return a.time == b.time && a.lat_ref == b.lat_ref && a.lon_ref == b.lon_ref &&
           same(a.latitude, b.latitude) && same(a.longitude, b.longitude) && same(a.speed, b.speed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::int32_t startKey = size > 0 ? static_cast<std::int32_t>(data[0]) * 33000 : 0;

    kx::GpsTrack track;
    kx::GpsTextParser parser(track);
    parser.Reset(startKey);
    std::size_t left = parser.ParseGpsText(text);
    if (left > size) __builtin_trap();

    std::string lineFeeds;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n') continue;
        lineFeeds += text[at];
    }
    kx::GpsTrack other;
    kx::GpsTextParser otherParser(other);
    otherParser.Reset(startKey);
    otherParser.ParseGpsText(lineFeeds);
    std::vector<kx::GPS_NODE> fixes = Fixes(track), otherFixes = Fixes(other);
    if (fixes.size() != otherFixes.size() || parser.parked() != otherParser.parked())
        __builtin_trap();
    for (std::size_t i = 0; i < fixes.size(); ++i)
        if (!SameFix(fixes[i], otherFixes[i])) __builtin_trap();

    for (const kx::GPS_NODE& fix : fixes) {
        for (std::int32_t key : {fix.time, fix.time + 1, fix.time - 1}) {
            const kx::GPS_NODE* found = track.FindGps(key);
            if (found && found->time > key) __builtin_trap();
        }
        kx::GpsToDegree(fix);
    }
    std::vector<kx::TrackPoint> points = kx::TrackPoints(track);
    kx::TrackToGpx(points, 20260101, text.substr(0, 16));
    kx::TrackToKml(points, 20260101, text.substr(0, 16));
    kx::TrackToCsv(points, 20260101);
    return 0;
}
