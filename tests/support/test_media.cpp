#include "test_media.h"

#include <cstring>
#include <fstream>
#include <iterator>

#ifndef TEST_MEDIA_DIR
#error TEST_MEDIA_DIR must name the folder of the generated clips
#endif

namespace testing_media {

std::string MediaPath(const std::string& file) { return std::string(TEST_MEDIA_DIR) + "/" + file; }

namespace {

std::uint32_t U32(const std::string& d, std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, d.data() + at, 4);
    return v;
}
std::uint16_t U16(const std::string& d, std::size_t at) {
    std::uint16_t v = 0;
    std::memcpy(&v, d.data() + at, 2);
    return v;
}

void ParseList(const std::string& d, std::size_t begin, std::size_t end, AviFile& avi) {
    std::size_t at = begin;
    while (at + 8 <= end) {
        const std::string id = d.substr(at, 4);
        const std::uint32_t size = U32(d, at + 4);
        const std::size_t body = at + 8;
        if (body + size > d.size()) break;
        if (id == "LIST" && size >= 4) {
            const std::string kind = d.substr(body, 4);
            if (kind == "strl") avi.streams.emplace_back();
            if (kind != "movi") ParseList(d, body + 4, body + size, avi);
        } else if (id == "strh" && !avi.streams.empty() && size >= 36) {
            AviStream& s = avi.streams.back();
            s.type = d.substr(body, 4);
            s.handler = d.substr(body + 4, 4);
            s.scale = U32(d, body + 20);
            s.rate = U32(d, body + 24);
            s.length = U32(d, body + 32);
            if (size >= 48) s.sampleSize = U32(d, body + 44);
        } else if (id == "avih" && size >= 40) {
            avi.microSecPerFrame = U32(d, body);
            avi.totalFrames = U32(d, body + 16);
        } else if (id == "vprp" && !avi.streams.empty() && size >= 24) {
            avi.streams.back().frameAspect = U32(d, body + 20);
        } else if (id == "strf" && !avi.streams.empty()) {
            AviStream& s = avi.streams.back();
            if (s.type == "vids" && size >= 40) {
                s.width = static_cast<int>(U32(d, body + 4));
                s.height = static_cast<int>(U32(d, body + 8));
                s.compression = U32(d, body + 16);
            } else if (s.type == "auds" && size >= 16) {
                s.formatTag = U16(d, body);
                s.channels = U16(d, body + 2);
                s.sampleRate = static_cast<int>(U32(d, body + 4));
                s.blockAlign = U16(d, body + 12);
            }
        } else if (id == "idx1") {
            avi.hasIndex = true;
            for (std::size_t e = body; e + 16 <= body + size; e += 16) {
                const std::string ck = d.substr(e, 4);
                const std::size_t stream = static_cast<std::size_t>((ck[0] - '0') * 10 + (ck[1] - '0'));
                if (stream >= avi.streams.size()) continue;
                ++avi.streams[stream].chunks;
                if (U32(d, e + 4) & 0x10) ++avi.streams[stream].keyFrames;
            }
        }
        at = body + size + (size & 1);
    }
}

} // namespace

AviFile ReadAvi(const std::string& path) {
    AviFile avi;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        avi.error = "cannot open " + path;
        return avi;
    }
    const std::string d((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    avi.fileSize = d.size();
    if (d.size() < 12 || d.compare(0, 4, "RIFF") != 0 || d.compare(8, 4, "AVI ") != 0) {
        avi.error = "not a RIFF AVI file";
        return avi;
    }
    avi.riffSize = U32(d, 4);
    ParseList(d, 12, d.size(), avi);
    avi.valid = !avi.streams.empty();
    if (!avi.valid) avi.error = "no stream headers";
    return avi;
}

} // namespace testing_media
