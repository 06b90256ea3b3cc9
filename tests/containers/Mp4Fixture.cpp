#include "Mp4Fixture.h"

namespace kx::test {

std::string Box(const char (&type)[5], const std::string& payload) {
    ByteWriter out;
    out.U32(std::uint32_t(payload.size() + 8));
    out.U32(FourCC(type));
    out.Bytes(payload);
    return out.str();
}

namespace {

std::string FullBox(const char (&type)[5], const std::string& payload) {
    return Box(type, std::string(4, '\0') + payload);
}

std::string SampleEntry(const TrackSpec& track) {
    ByteWriter entry;
    bool video = std::string(track.handler) == "vide";
    entry.Zeros(6);
    entry.U16(1);
    if (video) {
        entry.Zeros(16);
        entry.U16(64);
        entry.U16(48);
        entry.U32(0x00480000);
        entry.U32(0x00480000);
        entry.U32(0);
        entry.U16(1);
        entry.Zeros(32);
        entry.U16(0x18);
        entry.U16(0xFFFF);
        entry.Bytes(Box("avcC", std::string("\x01\x42\x80\x1e\xff\xe1\x00\x00\x01\x00\x00", 11)));
    } else {
        entry.Zeros(8);
        entry.U16(1);
        entry.U16(16);
        entry.Zeros(4);
        entry.U32(16000u << 16);
        ByteWriter esds;
        esds.U32(0);
        esds.U8(3);
        esds.U8(25);
        esds.U16(0);
        esds.U8(0);
        esds.U8(4);
        esds.U8(17);
        esds.U8(0x40);
        esds.U8(0x15);
        esds.U24(0);
        esds.U32(0);
        esds.U32(0);
        esds.U8(5);
        esds.U8(2);
        esds.U16(0x1408);
        esds.U8(6);
        esds.U8(1);
        esds.U8(2);
        entry.Bytes(Box("esds", esds.str()));
    }
    ByteWriter stsd;
    stsd.U32(0);
    stsd.U32(1);
    stsd.U32(std::uint32_t(entry.size() + 8));
    stsd.Bytes(track.format, 4);
    stsd.Bytes(entry.str());
    return Box("stsd", stsd.str());
}

}  // namespace

std::string TrakBox(const TrackSpec& track) {
    ByteWriter tkhd;
    tkhd.Zeros(8);
    tkhd.U32(1);
    tkhd.Zeros(4 + 4 + 8 + 8 + 36);
    tkhd.U32(64u << 16);
    tkhd.U32(48u << 16);

    ByteWriter mdhd;
    mdhd.Zeros(8);
    mdhd.U32(track.timescale);
    mdhd.U32(1000);
    mdhd.U16(0x15C7);
    mdhd.U16(0);

    ByteWriter hdlr;
    hdlr.U32(0);
    hdlr.Bytes(track.handler, 4);
    hdlr.Zeros(13);

    ByteWriter stts, stsc, stsz, stco, stss;
    stts.U32(std::uint32_t(track.stts.size()));
    for (auto [count, delta] : track.stts) {
        stts.U32(count);
        stts.U32(delta);
    }
    stsc.U32(std::uint32_t(track.stsc.size()));
    for (auto& e : track.stsc)
        for (auto v : e) stsc.U32(v);
    stsz.U32(0);
    stsz.U32(std::uint32_t(track.stsz.size()));
    for (auto v : track.stsz) stsz.U32(v);
    stco.U32(std::uint32_t(track.stco.size()) + track.stcoCountExtra);
    for (auto v : track.stco) stco.U32(v);
    stss.U32(std::uint32_t(track.stss.size()));
    for (auto v : track.stss) stss.U32(v);

    std::string stbl = SampleEntry(track) + FullBox("stts", stts.str()) +
                       FullBox("stsc", stsc.str()) + FullBox("stsz", stsz.str());
    if (track.withStco) stbl += FullBox("stco", stco.str());
    if (!track.stss.empty()) stbl += FullBox("stss", stss.str());
    std::string minf = Box("vmhd", std::string(12, '\0')) + Box("stbl", stbl);
    std::string mdia =
        FullBox("mdhd", mdhd.str()) + FullBox("hdlr", hdlr.str()) + Box("minf", minf);
    std::string trak = FullBox("tkhd", tkhd.str());
    if (!track.elst.empty()) {
        ByteWriter elst;
        elst.U32(std::uint32_t(track.elst.size()));
        for (auto e : track.elst) {
            elst.U32(e.duration);
            elst.U32(std::uint32_t(e.mediaTime));
            elst.U16(1);
            elst.U16(0);
        }
        trak += Box("edts", FullBox("elst", elst.str()));
    }
    return Box("trak", trak + Box("mdia", mdia));
}

std::string MoovBox(const std::vector<std::string>& traks, std::uint32_t timescale,
                    std::uint32_t duration) {
    ByteWriter mvhd;
    mvhd.Zeros(8);
    mvhd.U32(timescale);
    mvhd.U32(duration);
    mvhd.U32(0x00010000);
    mvhd.U16(0x0100);
    mvhd.Zeros(10 + 36 + 24);
    mvhd.U32(3);
    std::string moov = FullBox("mvhd", mvhd.str());
    for (const auto& trak : traks) moov += trak;
    return Box("moov", moov);
}

std::string FtypBox() {
    ByteWriter ftyp;
    ftyp.Bytes("mp42", 4);
    ftyp.U32(1);
    ftyp.Bytes("mp42mp42", 8);
    return Box("ftyp", ftyp.str());
}

std::string SimpleMp4(const std::vector<TrackSpec>& tracks, std::size_t mdatPayload) {
    std::vector<std::string> traks;
    for (const auto& t : tracks) traks.push_back(TrakBox(t));
    return FtypBox() + MoovBox(traks) + Box("mdat", std::string(mdatPayload, '\x55'));
}

}  // namespace kx::test
