#include "sensors/TrackExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace kx {
namespace {

bool ValidCoordinates(const TrackPoint& point) {
    return std::isfinite(point.latitude) && std::isfinite(point.longitude) &&
           std::abs(point.latitude) <= 90 && std::abs(point.longitude) <= 180;
}

// GPX longitudes lie in [-180, 180).
double GpxLongitude(double longitude) {
    return longitude == 180 ? -180 : longitude;
}

std::string Number(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Text for XML character data and attributes: markup characters escaped, control characters
// dropped, bytes that are not valid UTF-8 replaced by '?'.
std::string XmlText(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        auto c = static_cast<unsigned char>(text[at]);
        std::size_t length = c < 0x80         ? 1
                             : (c >> 5) == 6  ? 2
                             : (c >> 4) == 14 ? 3
                             : (c >> 3) == 30 ? 4
                                              : 0;
        bool valid = length > 0 && at + length <= text.size();
        for (std::size_t i = 1; valid && i < length; ++i)
            valid = (static_cast<unsigned char>(text[at + i]) & 0xC0) == 0x80;
        if (!valid) {
            out += '?';
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(at, length));
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&apos;";
        } else if (c >= 0x20 || c == '\t') {
            out += static_cast<char>(c);
        }
        at += length;
    }
    return out;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::vector<TrackPoint> TrackPoints(const GpsTrack& track) {
    std::vector<TrackPoint> points;
    points.reserve(track.size());
    for (const GPS_NODE* fix = track.head(); fix; fix = fix->next) {
        GpsDegrees degrees = GpsToDegree(*fix);
        points.push_back({fix->time, degrees.latitude, degrees.longitude, fix->speed});
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const TrackPoint& a, const TrackPoint& b) { return a.key < b.key; });
    return points;
}

std::string LocalTimeText(int yyyymmdd, std::int32_t key) {
    std::int32_t days = key / kKeysPerDay;
    std::int32_t inDay = key % kKeysPerDay;
    if (inDay < 0) {
        inDay += kKeysPerDay;
        --days;
    }
    std::tm local{};
    local.tm_year = yyyymmdd / 10000 - 1900;
    local.tm_mon = yyyymmdd / 100 % 100 - 1;
    local.tm_mday = yyyymmdd % 100 + days;
    local.tm_hour = inDay / 360000;
    local.tm_min = inDay / 6000 % 60;
    local.tm_sec = inDay / 100 % 60;
    local.tm_isdst = -1;
    int centiseconds = inDay % 100;
    std::mktime(&local);
    long offsetMinutes = local.tm_gmtoff / 60;
    char sign = offsetMinutes < 0 ? '-' : '+';
    offsetMinutes = std::labs(offsetMinutes);
    char text[64];
    int length =
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    if (centiseconds != 0 && length > 0)
        length += std::snprintf(text + length, sizeof text - length, ".%02d", centiseconds);
    if (length > 0)
        std::snprintf(text + length, sizeof text - length, "%c%02ld:%02ld", sign,
                      offsetMinutes / 60, offsetMinutes % 60);
    return text;
}

std::string TrackToGpx(const std::vector<TrackPoint>& points, int yyyymmdd, std::string_view name) {
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"KX-TMQ4_Viewer\" "
        "xmlns=\"http://www.topografix.com/GPX/1/1\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
        "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    out += "  <metadata>\n    <name>" + XmlText(name) + "</name>\n  </metadata>\n";
    out += "  <trk>\n    <name>" + XmlText(name) + "</name>\n    <trkseg>\n";
    for (const TrackPoint& point : points) {
        if (!ValidCoordinates(point)) continue;
        out += "      <trkpt lat=\"" + Number(point.latitude, "%.7f") + "\" lon=\"" +
               Number(GpxLongitude(point.longitude), "%.7f") + "\">\n";
        out += "        <time>" + LocalTimeText(yyyymmdd, point.key) + "</time>\n";
        out += "        <desc>" + Number(point.speedKnots * kKilometresPerNauticalMile, "%.1f") +
               " km/h</desc>\n";
        out += "      </trkpt>\n";
    }
    out += "    </trkseg>\n  </trk>\n</gpx>\n";
    return out;
}

std::string TrackToKml(const std::vector<TrackPoint>& points, int yyyymmdd, std::string_view name) {
    std::vector<const TrackPoint*> valid;
    for (const TrackPoint& point : points)
        if (ValidCoordinates(point)) valid.push_back(&point);
    auto coordinates = [](const TrackPoint& point) {
        return Number(point.longitude, "%.7f") + "," + Number(point.latitude, "%.7f") + ",0";
    };
    std::string out =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n  <Document>\n";
    out += "    <name>" + XmlText(name) + "</name>\n";
    if (valid.size() >= 2) {
        out += "    <Placemark>\n      <name>" + XmlText(name) +
               "</name>\n      <LineString>\n        <tessellate>1</tessellate>\n"
               "        <coordinates>";
        for (std::size_t i = 0; i < valid.size(); ++i)
            out += (i ? " " : "") + coordinates(*valid[i]);
        out += "</coordinates>\n      </LineString>\n    </Placemark>\n";
    }
    out += "    <Folder>\n      <name>fixes</name>\n";
    for (const TrackPoint* point : valid) {
        std::string when = LocalTimeText(yyyymmdd, point->key);
        out += "      <Placemark>\n        <name>" + when + "</name>\n";
        out += "        <description>" +
               Number(point->speedKnots * kKilometresPerNauticalMile, "%.1f") +
               " km/h</description>\n";
        out += "        <TimeStamp><when>" + when + "</when></TimeStamp>\n";
        out += "        <Point><coordinates>" + coordinates(*point) +
               "</coordinates></Point>\n      </Placemark>\n";
    }
    out += "    </Folder>\n  </Document>\n</kml>\n";
    return out;
}

std::string TrackToCsv(const std::vector<TrackPoint>& points, int yyyymmdd) {
    std::string out = "time,latitude,longitude,speed_knots,speed_kmh\r\n";
    for (const TrackPoint& point : points) {
        out += CsvField(LocalTimeText(yyyymmdd, point.key)) + "," + Number(point.latitude, "%.7f") +
               "," + Number(point.longitude, "%.7f") + "," + Number(point.speedKnots, "%.3f") +
               "," + Number(point.speedKnots * kKilometresPerNauticalMile, "%.3f") + "\r\n";
    }
    return out;
}

}  // namespace kx
