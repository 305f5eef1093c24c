#include "avi_reader.h"

#include "sync_marks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

namespace testing_media {
namespace {

constexpr std::uint32_t kKeyFrame = 0x10;  // AVIIF_KEYFRAME
constexpr std::uint32_t kHasIndex = 0x10;  // AVIF_HASINDEX

std::uint32_t U32(const std::string& d, std::size_t at) {
    std::uint32_t v = 0;
    if (at + 4 <= d.size()) std::memcpy(&v, d.data() + at, 4);
    return v;
}
std::uint16_t U16(const std::string& d, std::size_t at) {
    std::uint16_t v = 0;
    if (at + 2 <= d.size()) std::memcpy(&v, d.data() + at, 2);
    return v;
}

class Reader {
public:
    Reader(std::ifstream& in, AviFile& avi) : in_(in), avi_(avi) {}

    std::string Bytes(std::uint64_t at, std::size_t size) {
        std::string out(size, '\0');
        in_.clear();
        in_.seekg(static_cast<std::streamoff>(at));
        in_.read(out.data(), static_cast<std::streamsize>(size));
        out.resize(static_cast<std::size_t>(in_.gcount()));
        return out;
    }

    // The chunks between begin and end; lists other than "movi" are entered.
    void Walk(std::uint64_t begin, std::uint64_t end, bool firstRiff) {
        for (std::uint64_t at = begin; at + 8 <= end;) {
            const std::string head = Bytes(at, 12);
            if (head.size() < 8) return;
            const std::string id = head.substr(0, 4);
            const std::uint64_t size = U32(head, 4), body = at + 8;
            if (body + size > avi_.fileSize) return;
            if (id == "LIST" && size >= 4) {
                const std::string kind = head.substr(8, 4);
                if (kind == "strl") avi_.streams.emplace_back();
                if (kind == "movi") Data(body + 4, body + size, firstRiff);
                else Walk(body + 4, body + size, firstRiff);
            } else {
                Chunk(id, Bytes(body, id == "idx1" ? size : std::min<std::uint64_t>(size, 256)));
            }
            at = body + size + (size & 1);
        }
    }

private:
    void Chunk(const std::string& id, const std::string& d) {
        AviStream* s = avi_.streams.empty() ? nullptr : &avi_.streams.back();
        if (id == "avih" && d.size() >= 40) {
            avi_.microSecPerFrame = U32(d, 0);
            avi_.maxBytesPerSec = U32(d, 4);
            avi_.flags = U32(d, 12);
            avi_.totalFrames = U32(d, 16);
            avi_.streamCount = U32(d, 24);
            avi_.suggestedBuffer = U32(d, 28);
            avi_.width = U32(d, 32);
            avi_.height = U32(d, 36);
        } else if (id == "strh" && s && d.size() >= 36) {
            s->type = d.substr(0, 4);
            s->handler = d.substr(4, 4);
            s->scale = U32(d, 20);
            s->rate = U32(d, 24);
            s->length = U32(d, 32);
            s->suggestedBuffer = U32(d, 36);
            if (d.size() >= 48) s->sampleSize = U32(d, 44);
            for (int i = 0; i < 4 && d.size() >= 56; ++i) s->frame[i] = static_cast<std::int16_t>(U16(d, 48 + 2 * i));
        } else if (id == "strf" && s) {
            if (s->type == "vids" && d.size() >= 40) {
                s->width = static_cast<int>(U32(d, 4));
                s->height = static_cast<int>(U32(d, 8));
                s->compression = U32(d, 16);
            } else if (s->type == "auds" && d.size() >= 16) {
                s->formatTag = U16(d, 0);
                s->channels = U16(d, 2);
                s->sampleRate = static_cast<int>(U32(d, 4));
                s->blockAlign = U16(d, 12);
            }
        } else if (id == "vprp" && s && d.size() >= 24) {
            s->frameAspect = U32(d, 20);
        } else if (id == "indx" && s && d.size() >= 8) {
            s->superIndexEntries = static_cast<int>(U32(d, 4));
        } else if (id == "dmlh" && d.size() >= 4) {
            avi_.hasDmlh = true;
            avi_.dmlhFrames = U32(d, 0);
        } else if (id == "idx1") {
            avi_.hasIndex = true;
            for (std::size_t e = 0; e + 16 <= d.size(); e += 16) {
                const std::size_t stream = StreamOf(d.substr(e, 4));
                if (stream >= avi_.streams.size()) continue;
                AviStream& indexed = avi_.streams[stream];
                ++indexed.chunks;
                indexed.indexFlags.push_back(U32(d, e + 4));
                indexed.indexSizes.push_back(U32(d, e + 12));
                if (U32(d, e + 4) & kKeyFrame) ++indexed.keyFrames;
            }
        }
    }

    // A "movi" list: its data chunks, read by their headers only.
    void Data(std::uint64_t begin, std::uint64_t end, bool firstRiff) {
        for (std::uint64_t at = begin; at + 8 <= end;) {
            const std::string head = Bytes(at, 8);
            if (head.size() < 8) return;
            const std::string id = head.substr(0, 4);
            const std::uint64_t size = U32(head, 4);
            const std::size_t stream = StreamOf(id);
            if (id == "LIST") {
                Data(at + 12, at + 8 + size, firstRiff);
            } else if (stream < avi_.streams.size()) {
                AviStream& s = avi_.streams[stream];
                if (std::find(s.chunkIds.begin(), s.chunkIds.end(), id) == s.chunkIds.end()) s.chunkIds.push_back(id);
                ++s.dataChunks;
                if (size == 0) ++s.emptyChunks;
                if (firstRiff) ++s.firstRiffChunks;
                s.dataBytes += size;
                s.largestChunk = std::max(s.largestChunk, size);
            }
            at += 8 + size + (size & 1);
        }
    }

    // "01wb" is stream 1; "ix01" and "JUNK" are no stream's data.
    static std::size_t StreamOf(const std::string& id) {
        if (id.size() < 4 || id[0] < '0' || id[0] > '9' || id[1] < '0' || id[1] > '9') return SIZE_MAX;
        return static_cast<std::size_t>((id[0] - '0') * 10 + (id[1] - '0'));
    }

    std::ifstream& in_;
    AviFile& avi_;
};

// Whether each picture is coded alone, in decoding order, as libavcodec
// decodes the file.
std::vector<bool> KeyPicturesByLibav(const std::string& path, std::string& error) {
    int status = 0;
    const std::string out = CommandOutput("ffprobe -v error -select_streams v:0 -show_entries frame=key_frame "
                                          "-of default=nw=1:nk=1 '" + path + "' 2>&1", &status);
    std::vector<bool> keys;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line == "1" || line == "0") keys.push_back(line == "1");
        else if (!line.empty()) error = line;
    }
    if (status != 0 && error.empty()) error = "ffprobe failed";
    return keys;
}

} // namespace

AviFile ReadAvi(const std::string& path) {
    AviFile avi;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        avi.error = "cannot open " + path;
        return avi;
    }
    in.seekg(0, std::ios::end);
    avi.fileSize = static_cast<std::uint64_t>(in.tellg());
    Reader reader(in, avi);
    for (std::uint64_t at = 0; at + 12 <= avi.fileSize;) {
        const std::string head = reader.Bytes(at, 12);
        const std::uint64_t size = U32(head, 4);
        if (head.compare(0, 4, "RIFF") != 0) break;
        const bool first = at == 0;
        if (first && head.compare(8, 4, "AVI ") != 0) break;
        if (first) avi.riffSize = static_cast<std::uint32_t>(size);
        else if (head.compare(8, 4, "AVIX") == 0) ++avi.extendedRiffs;
        avi.riffBytes += 8 + size;
        reader.Walk(at + 12, std::min(at + 8 + size, avi.fileSize), first);
        at += 8 + size + (size & 1);
    }
    if (avi.riffBytes == 0) {
        avi.error = "not a RIFF AVI file";
        return avi;
    }
    avi.valid = !avi.streams.empty();
    if (!avi.valid) avi.error = "no stream headers";
    return avi;
}

std::string StrictReaderFaults(const std::string& path) {
    const AviFile avi = ReadAvi(path);
    if (!avi.valid) return avi.error;
    std::vector<std::string> faults;
    const auto fault = [&](const std::string& stream, const std::string& what, std::uint64_t is, std::uint64_t should) {
        if (is != should)
            faults.push_back(stream + what + " is " + std::to_string(is) + ", should be " + std::to_string(should));
    };
    fault("", "the RIFFs' size", avi.riffBytes, avi.fileSize);
    fault("", "avih's stream count", avi.streamCount, avi.streams.size());
    fault("", "avih's AVIF_HASINDEX", avi.flags & kHasIndex, kHasIndex);
    fault("", "an idx1", avi.hasIndex, 1);
    if (avi.suggestedBuffer == 0) faults.push_back("avih's dwSuggestedBufferSize is 0");
    if (avi.maxBytesPerSec == 0 || avi.maxBytesPerSec > 10'000'000)
        faults.push_back("avih's dwMaxBytesPerSec is " + std::to_string(avi.maxBytesPerSec));
    for (std::size_t i = 0; i < avi.streams.size(); ++i) {
        const AviStream& s = avi.streams[i];
        const std::string name = "stream " + std::to_string(i) + " (" + s.type + "): ";
        const bool video = s.type == "vids";
        std::string id = (i < 10 ? "0" : "") + std::to_string(i) + (video ? "dc" : "wb");
        for (const std::string& seen : s.chunkIds)
            if (seen != id) faults.push_back(name + "a data chunk \"" + seen + "\" where \"" + id + "\" belongs");
        if (s.scale == 0 || s.rate == 0) faults.push_back(name + "a rate of " + std::to_string(s.rate) + "/" + std::to_string(s.scale));
        fault(name, "dwSuggestedBufferSize >= the largest chunk", s.suggestedBuffer >= s.largestChunk, 1);
        fault(name, "idx1's entries", s.chunks, s.firstRiffChunks);
        fault(name, "a super index a RIFF", avi.extendedRiffs ? s.superIndexEntries : 0, avi.extendedRiffs ? avi.extendedRiffs + 1 : 0);
        if (video) {
            fault(name, "dwLength", s.length, s.dataChunks);
            fault("", "avih's dwTotalFrames", avi.totalFrames, s.firstRiffChunks);
            fault("", "avih's dwMicroSecPerFrame", avi.microSecPerFrame,
                  s.rate ? static_cast<std::uint64_t>(1e6 * s.scale / s.rate) : 0);
            fault("", "avih's width", avi.width, static_cast<std::uint64_t>(s.width));
            fault("", "avih's height", avi.height, static_cast<std::uint64_t>(s.height));
            fault(name, "rcFrame's right", static_cast<std::uint64_t>(s.frame[2]), static_cast<std::uint64_t>(s.width));
            fault(name, "rcFrame's bottom", static_cast<std::uint64_t>(s.frame[3]), static_cast<std::uint64_t>(s.height));
            if (avi.extendedRiffs) fault("", "dmlh's frames", avi.dmlhFrames, s.dataChunks);
            const auto stray = std::find_if(s.indexFlags.begin(), s.indexFlags.end(),
                                            [](std::uint32_t flags) { return (flags & ~kKeyFrame) != 0; });
            if (stray != s.indexFlags.end()) faults.push_back(name + "index flags " + std::to_string(*stray));
            std::string error;
            const std::vector<bool> keys = KeyPicturesByLibav(path, error);
            if (!error.empty()) faults.push_back(name + "libavcodec says " + error);
            fault(name, "pictures decoded", keys.size(), static_cast<std::uint64_t>(s.dataChunks - s.emptyChunks));
            // Empty chunks hold the picture before them: there is nothing to decode.
            std::size_t picture = 0;
            for (std::size_t e = 0; e < s.indexFlags.size() && picture < keys.size(); ++e) {
                if (s.indexSizes[e] == 0) continue;
                if (keys[picture] != ((s.indexFlags[e] & kKeyFrame) != 0)) {
                    faults.push_back(name + "picture " + std::to_string(picture) + (keys[picture] ? " is" : " is not") +
                                     " coded alone, its index entry says otherwise");
                    break;
                }
                ++picture;
            }
        } else {
            fault(name, "dwLength", s.length, s.sampleSize ? s.dataBytes / s.sampleSize : s.dataChunks);
            fault(name, "key-frame entries", s.keyFrames, s.chunks);
        }
    }
    std::string text;
    for (const std::string& f : faults) text += f + "\n";
    return text;
}

} // namespace testing_media
