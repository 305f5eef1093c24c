// The host calls of vobcast_host.h: what a program may install around the
// five conversion calls, and what it may ask of a source.
#include "vobcast/vobcast_host.h"

#include "conversion_state.h"

#include "platform/media/filters/factories.h"
#include "platform/media/source/black_bars.h"
#include "platform/media/source/dvd_title.h"
#include "platform/media/source/source_info.h"
#include "platform/ui/message_box.h"
#include "platform/vfw/compressor.h"

#include <algorithm>
#include <cstring>
#include <string>

static_assert(VOBCAST_DEFAULT_KEY_FRAMES == vfw::kDefaultKeyFrames &&
              VOBCAST_DEFAULT_DATA_RATE_KBPS == vfw::kDefaultDataRateKbps);

namespace {

// Copies from into a buffer of size bytes (size > 0), cut short if need be,
// always NUL-terminated.
void CopyText(char* to, std::size_t size, const std::string& from) {
    const std::size_t n = std::min(size - 1, from.size());
    std::memcpy(to, from.data(), n);
    to[n] = '\0';
}

template <std::size_t N>
void CopyText(char (&to)[N], const std::string& from) {
    CopyText(to, N, from);
}

} // namespace

extern "C" {

void VobcastSetMessageSink(VobcastMessageSink sink, void* context) {
    if (sink == nullptr) {
        ui::SetMessageSink(nullptr);
        return;
    }
    ui::SetMessageSink([sink, context](std::string_view text) { sink(context, std::string(text).c_str()); });
}

void VobcastSetChooser(VobcastChooser chooser, void* context) {
    if (chooser == nullptr) {
        vfw::SetChooserHook(nullptr);
        return;
    }
    vfw::SetChooserHook([chooser, context](const vfw::ChooserRequest& request) {
        VobcastChoice choice{request.compressors.empty() ? -1 : 0, static_cast<int32_t>(vfw::kDefaultKeyFrames),
                             static_cast<int32_t>(vfw::kDefaultDataRateKbps)};
        vfw::ChooserAnswer answer;
        answer.accepted = chooser(context, &choice) != 0;
        answer.index = choice.compressor;
        answer.keyFrames = choice.key_frames;
        answer.dataRateKbps = choice.data_rate_kbps;
        return answer;
    });
}

int32_t VobcastCompressorName(int32_t index, char* buffer, int32_t size) {
    const auto compressors = vfw::InstalledCompressors();
    if (index < 0 || static_cast<std::size_t>(index) >= compressors.size()) return -1;
    const std::string& name = compressors[static_cast<std::size_t>(index)].description;
    if (buffer != nullptr && size > 0) CopyText(buffer, static_cast<std::size_t>(size), name);
    return static_cast<int32_t>(name.size());
}

int32_t VobcastChooseSource(int32_t title, int32_t audio_stream) {
    if (title < 0 || audio_stream < -1 || audio_stream > 7) return static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
    vobcast::State().choice.title = title;
    vobcast::State().choice.audioStream = audio_stream;
    return 0;
}

int32_t VobcastChooseAngle(int32_t angle) {
    if (angle < 0 || angle > 9) return static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
    vobcast::State().choice.angle = angle;
    return 0;
}

int32_t VobcastChoosePictures(int32_t deinterlace, int32_t detelecine) {
    if (deinterlace < 0 || deinterlace > 2 || detelecine < 0 || detelecine > 1)
        return static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
    static constexpr media::Deinterlace kDeinterlace[] = {media::Deinterlace::Auto, media::Deinterlace::Always,
                                                          media::Deinterlace::Never};
    vobcast::State().choice.fields = {kDeinterlace[deinterlace],
                                      detelecine == 0 ? media::Detelecine::Auto : media::Detelecine::Never};
    return 0;
}

int32_t VobcastChooseSubtitles(int32_t stream, int32_t forced_only) {
    if (stream < -1 || stream > 31 || forced_only < 0 || forced_only > 1) return static_cast<int32_t>(0x80070057u);
    vobcast::State().choice.subtitleStream = stream;
    vobcast::State().choice.forcedSubtitles = forced_only == 1;
    return 0;
}

int32_t VobcastChooseCrop(int32_t top, int32_t bottom, int32_t left, int32_t right) {
    for (const int32_t edge : {top, bottom, left, right})
        if (edge < 0 || edge % 2 != 0) return static_cast<int32_t>(0x80070057u);  // E_INVALIDARG
    vobcast::State().choice.crop = {top, bottom, left, right};
    return 0;
}

int32_t VobcastFindCrop(const char* source, VobcastCrop* crop) {
    if (source == nullptr || crop == nullptr) return -1;
    media::ProgramSource chosen = vobcast::State().choice;
    chosen.path = source;
    const media::BlackBars bars = media::FindBlackBars(chosen);
    *crop = VobcastCrop{bars.crop.top, bars.crop.bottom, bars.crop.left, bars.crop.right,
                        bars.width,    bars.height,      bars.pictures};
    return bars.pictures > 0 ? 0 : -1;
}

int32_t VobcastChooseSize(int32_t pass, const char* stats_path, int64_t file_bytes) {
    // What a host reckons a size holds beside the video covers what the compressor reckons.
    if (VOBCAST_SIZE_OTHER_KBPS * 1000L < media::SizeOtherBitrate() || VOBCAST_SIZE_HEADER_BYTES < media::SizeHeaderBytes())
        return static_cast<int32_t>(0x8000FFFFu);  // E_UNEXPECTED
    const bool missing = pass != 0 && (stats_path == nullptr || *stats_path == '\0');
    if (pass < 0 || pass > 2 || missing || (pass == 2 && file_bytes <= 0)) return static_cast<int32_t>(0x80070057u);
    vobcast::State().size = {pass, pass != 0 ? stats_path : "", pass == 2 ? file_bytes : 0};
    return 0;
}

int32_t VobcastDescribeSource(const char* source, VobcastSourceInfo* info) {
    if (source == nullptr || info == nullptr) return -1;
    media::ProgramSource chosen = vobcast::State().choice;
    chosen.path = source;
    const media::SourceInfo found = media::DescribeSource(chosen);
    *info = VobcastSourceInfo{};
    info->program_stream = found.programStream;
    info->encrypted = found.encrypted;
    info->has_video = found.hasVideo;
    info->has_audio = found.hasAudio;
    for (const std::string& format : found.audio) {
        if (info->audio_count == 8) break;
        CopyText(info->audio[info->audio_count++], format);
    }
    info->seconds = found.seconds;
    CopyText(info->problem, found.problem);
    info->subtitle_colours = chosen.subtitleStream >= 0 && (chosen.IsTitle() || !media::TitleSetIfo(source).empty());
    return 0;
}

double VobcastSourceSeconds(void) {
    const vobcast::ConversionState& s = vobcast::State();
    // The duration is kept in 100-ns units.
    return s.mediaSeeking && s.duration > 0 ? static_cast<double>(s.duration) / 1e7 : 0.0;
}

int32_t VobcastReadDisc(const char* path, VobcastDisc* disc) {
    if (path == nullptr || disc == nullptr) return -1;
    const media::DvdDisc found = media::ReadDvd(path);
    *disc = VobcastDisc{};
    CopyText(disc->error, found.error);
    if (!found.error.empty()) return -1;
    CopyText(disc->volume_label, found.volumeLabel);
    disc->main_title = found.mainTitle;
    disc->main_title_played = found.mainTitlePlayed ? 1 : 0;
    for (const media::DvdTitle& title : found.titles) {
        if (disc->title_count == 99) break;
        VobcastTitle& t = disc->titles[disc->title_count++];
        t.number = title.number;
        t.seconds = title.seconds;
        t.chapters = title.chapters;
        t.angles = title.angles;
        t.title_set = title.titleSet;
        for (const media::DvdAudio& audio : title.audio) {
            if (t.audio_count == 8) break;
            VobcastAudioTrack& a = t.audio[t.audio_count++];
            a.stream = audio.stream;
            CopyText(a.language, audio.language);
            CopyText(a.format, audio.format);
            a.channels = audio.channels;
        }
        for (const media::DvdSubtitle& subtitle : title.subtitles) {
            if (t.subtitle_count == 32) break;
            VobcastSubtitleTrack& track = t.subtitles[t.subtitle_count++];
            track.stream = subtitle.stream;
            CopyText(track.language, subtitle.language);
        }
    }
    return 0;
}

} // extern "C"
