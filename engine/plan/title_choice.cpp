#include "title_choice.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string_view>

namespace vobcast::plan {
namespace {

namespace fs = std::filesystem;

bool IsAc3(const VobcastAudioTrack& a) { return std::string_view(a.format) == "AC-3"; }

} // namespace

std::string TitleNumber(int title) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", title);
    return text;
}

std::string Clock(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string AudioTrackText(int number, const VobcastAudioTrack& a) {
    return std::to_string(number) + " " + (a.language[0] ? a.language : "--") + " (" + a.format + ", " +
           std::to_string(a.channels) + " ch)";
}

std::string AudioTracksText(const VobcastTitle& t) {
    std::string text;
    for (int i = 0; i < t.audio_count; ++i) text += (text.empty() ? "" : ", ") + AudioTrackText(i + 1, t.audio[i]);
    return text.empty() ? "no audio" : text;
}

std::string SubtitleTrackText(int number, const VobcastSubtitleTrack& s) {
    return std::to_string(number) + " " + (s.language[0] ? s.language : "--");
}

std::string SubtitleTracksText(const VobcastTitle& t) {
    std::string text;
    for (int i = 0; i < t.subtitle_count; ++i) text += (text.empty() ? "" : ", ") + SubtitleTrackText(i + 1, t.subtitles[i]);
    return text.empty() ? "none" : text;
}

int PickAudio(const VobcastTitle& t, const TrackWish& o, std::string& problem) {
    const std::string title = "title " + std::to_string(t.number);
    if (!o.audioLanguage.empty()) {
        const VobcastAudioTrack* found = nullptr;
        for (int i = 0; i < t.audio_count; ++i)
            if (o.audioLanguage == t.audio[i].language && (!found || (IsAc3(t.audio[i]) && !IsAc3(*found))))
                found = &t.audio[i];
        if (found) return found->stream;
        problem = title + " has no audio in \"" + o.audioLanguage + "\"; its tracks: " + AudioTracksText(t);
        return -1;
    }
    if (o.audioTrack > 0) {
        if (o.audioTrack > t.audio_count) {
            problem = title + " has no audio track " + std::to_string(o.audioTrack) + "; its tracks: " + AudioTracksText(t);
            return -1;
        }
        return t.audio[o.audioTrack - 1].stream;
    }
    return -1;
}

int PickSubtitles(const VobcastTitle& t, const TrackWish& o, int audioStream, std::string& problem,
                  const std::string& title) {
    if (o.subtitleTrack > 0) {
        if (o.subtitleTrack > t.subtitle_count) {
            problem = title + " has no subtitle track " + std::to_string(o.subtitleTrack) +
                      "; its subtitle tracks: " + SubtitleTracksText(t);
            return -1;
        }
        return t.subtitles[o.subtitleTrack - 1].stream;
    }
    std::string language = o.subtitleLanguage;
    const bool bySound = language.empty() && o.forcedSubtitles;
    for (int i = 0; bySound && i < t.audio_count; ++i) {
        if (audioStream >= 0 ? t.audio[i].stream == audioStream : IsAc3(t.audio[i])) {
            language = t.audio[i].language;
            break;
        }
    }
    if (language.empty()) return -1;
    for (int i = 0; i < t.subtitle_count; ++i)
        if (language == t.subtitles[i].language) return t.subtitles[i].stream;
    // A sound without subtitles in its language is no mistake: there are none to draw.
    if (!bySound)
        problem = title + " has no subtitles in \"" + language + "\"; its subtitle tracks: " + SubtitleTracksText(t);
    return -1;
}

std::string DiscName(const std::string& path, const std::string& volumeLabel) {
    std::string name = volumeLabel;
    if (name.empty()) {
        fs::path p = fs::path(path).lexically_normal();
        if (!p.has_filename()) p = p.parent_path();
        std::error_code ec;
        if (fs::is_regular_file(p, ec)) {
            name = p.stem().string();
        } else {
            std::string folder = p.filename().string();
            for (char& c : folder) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (folder == "VIDEO_TS") p = fs::absolute(p, ec).parent_path();
            name = p.filename().string();
        }
    }
    for (char& c : name)
        if (c == '/') c = '_';
    return name.empty() ? "DVD" : name;
}

std::string TitleAviName(const std::string& discName, int title, int angle) {
    return discName + " title " + TitleNumber(title) + (angle > 1 ? " angle " + std::to_string(angle) : "") + ".avi";
}

} // namespace vobcast::plan
