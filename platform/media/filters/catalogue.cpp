#include "platform/media/filters/catalogue.h"

#include "platform/media/elements/audio_decoder.h"
#include "platform/media/elements/mpeg2_decoder.h"
#include "platform/media/elements/mpeg4_encoder.h"
#include "platform/media/elements/subtitle_overlay.h"
#include "platform/media/elements/wma_encoder.h"
#include "platform/media/gst/runtime.h"

#include <algorithm>
#include <mutex>

namespace media {
namespace {

std::mutex g_lock;

std::vector<CatalogueEntry> BuiltIn() {
    RegisterMpeg2Decoder();
    RegisterAudioDecoder();
    RegisterWmaEncoder();
    RegisterMpeg4Encoders();
    RegisterSubtitleOverlay();
    std::vector<CatalogueEntry> entries = {
        {Category::LegacyAmFilter, u"File Source (Async.)", MakeFileSource},
        {Category::LegacyAmFilter, u"MPEG-2 Splitter", MakeMpeg2Splitter},
        {Category::LegacyAmFilter, u"Elecard MPEG2 Video Decoder", MakeMpeg2VideoDecoder},
        {Category::LegacyAmFilter, u"Moonlight Odio Dekoda", MakeAudioDecoder},
        {Category::AudioCompressor, u"Windows Media Audio V2", MakeWmaV2Compressor},
        {Category::LegacyAmFilter, u"AVI Mux", MakeAviMux},
        {Category::LegacyAmFilter, u"File writer", MakeFileWriter},
    };
    for (const VideoEncoderInfo& spec : KnownVideoEncoders()) {
        if (!HasFactory(spec.element)) continue;
        std::u16string name;
        for (const char* c = spec.description; *c; ++c) name.push_back(static_cast<char16_t>(*c));
        entries.push_back({Category::VideoCompressor, name,
                           [&spec](const std::u16string& n) { return MakeVideoCompressor(n, spec); }, &spec});
    }
    return entries;
}

} // namespace

const std::vector<VideoEncoderInfo>& KnownVideoEncoders() {
    static const std::vector<VideoEncoderInfo> encoders = {
        {"MPEG-4 Part 2 (DivX compatible)", "DX50", kMpeg4EncoderName, "", "gop-size", "bitrate", 1,
         "video/x-divx,divxversion=5"},
        {"H.264 (x264)", "H264", "x264enc", "speed-preset=veryfast bframes=0", "key-int-max", "bitrate", 1000,
         nullptr},
        {"Microsoft MPEG-4 v3", "MP43", kMsmpeg4EncoderName, "", "gop-size", "bitrate", 1, nullptr},
        {"Motion JPEG", "MJPG", "jpegenc", "", nullptr, nullptr, 1, nullptr},
    };
    return encoders;
}

Catalogue::Catalogue() : entries_(BuiltIn()) {}

Catalogue& Catalogue::Instance() {
    static Catalogue catalogue;
    return catalogue;
}

std::vector<CatalogueEntry> Catalogue::Entries(Category category) const {
    std::lock_guard guard(g_lock);
    std::vector<CatalogueEntry> out;
    for (const auto& e : entries_)
        if (e.category == category) out.push_back(e);
    return out;
}

void Catalogue::Hide(const std::u16string& name) {
    std::lock_guard guard(g_lock);
    std::erase_if(entries_, [&](const CatalogueEntry& e) { return e.friendlyName == name; });
}

void Catalogue::Add(CatalogueEntry entry) {
    std::lock_guard guard(g_lock);
    entries_.push_back(std::move(entry));
}

void Catalogue::FailEnumeration(Category category, bool fail) {
    std::lock_guard guard(g_lock);
    std::erase(failing_, category);
    if (fail) failing_.push_back(category);
}

bool Catalogue::EnumerationFails(Category category) const {
    std::lock_guard guard(g_lock);
    return std::find(failing_.begin(), failing_.end(), category) != failing_.end();
}

void Catalogue::Reset() {
    auto fresh = BuiltIn();
    std::lock_guard guard(g_lock);
    entries_ = std::move(fresh);
    failing_.clear();
}

} // namespace media
