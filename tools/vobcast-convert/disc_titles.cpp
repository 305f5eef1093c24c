#include "disc_titles.h"

#include "app/sources/vob_files.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string_view>

namespace vobcast::cli {
namespace {

namespace fs = std::filesystem;

std::string Clock(double seconds) {
    const long s = std::lround(seconds);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    return text;
}

std::string TrackText(int number, const VobcastAudioTrack& a) {
    return std::to_string(number) + " " + (a.language[0] ? a.language : "--") + " (" + a.format + ", " +
           std::to_string(a.channels) + " ch)";
}

std::string Tracks(const VobcastTitle& t) {
    std::string text;
    for (int i = 0; i < t.audio_count; ++i) text += (text.empty() ? "" : ", ") + TrackText(i + 1, t.audio[i]);
    return text.empty() ? "no audio" : text;
}

std::string Subtitles(const VobcastTitle& t) {
    std::string text;
    for (int i = 0; i < t.subtitle_count; ++i)
        text += (text.empty() ? "" : ", ") + std::to_string(i + 1) + " " + (t.subtitles[i].language[0] ? t.subtitles[i].language : "--");
    return text.empty() ? "none" : text;
}

bool IsAc3(const VobcastAudioTrack& a) { return std::string_view(a.format) == "AC-3"; }

// The DVD stream number of the audio track the options pick in title t, -1
// for the engine's own choice (the first AC-3 track, else the first MPEG or
// LPCM one); problem set when there is none. A language takes its AC-3 track
// where it has one, else its first track of any format.
int PickAudio(const VobcastTitle& t, const Options& o, std::string& problem) {
    const std::string title = "title " + std::to_string(t.number);
    if (!o.audioLanguage.empty()) {
        const VobcastAudioTrack* found = nullptr;
        for (int i = 0; i < t.audio_count; ++i)
            if (o.audioLanguage == t.audio[i].language && (!found || (IsAc3(t.audio[i]) && !IsAc3(*found))))
                found = &t.audio[i];
        if (found) return found->stream;
        problem = title + " has no audio in \"" + o.audioLanguage + "\"; its tracks: " + Tracks(t);
        return -1;
    }
    if (o.audioTrack > 0) {
        if (o.audioTrack > t.audio_count) {
            problem = title + " has no audio track " + std::to_string(o.audioTrack) + "; its tracks: " + Tracks(t);
            return -1;
        }
        return t.audio[o.audioTrack - 1].stream;
    }
    return -1;
}

// The DVD subpicture stream of the subtitle track the options pick in title
// t, -1 for none; problem set when the track asked for is not there. Forced
// subtitles without a track named come from the track in the sound's
// language (the sound chosen, else the first AC-3 track), where there is one.
int PickSubtitles(const VobcastTitle& t, const Options& o, int audioStream, std::string& problem,
                  const std::string& title) {
    if (o.subtitleTrack > 0) {
        if (o.subtitleTrack > t.subtitle_count) {
            problem = title + " has no subtitle track " + std::to_string(o.subtitleTrack) +
                      "; its subtitle tracks: " + Subtitles(t);
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
    if (!bySound) problem = title + " has no subtitles in \"" + language + "\"; its subtitle tracks: " + Subtitles(t);
    return -1;
}

std::string TwoDigits(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

} // namespace

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

int ListTitles(EngineBinding& engine, const std::vector<std::string>& inputs, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const std::string& input : inputs) {
        std::string error;
        const std::unique_ptr<VobcastDisc> disc = engine.ReadDisc(input, error);
        if (!disc) {
            err << "vobcast-convert: " << input << ": " << error << "\n";
            status = 1;
            continue;
        }
        out << input << ": " << DiscName(input, disc->volume_label) << ", " << disc->title_count << " title"
            << (disc->title_count == 1 ? "" : "s") << "\n";
        for (int i = 0; i < disc->title_count; ++i) {
            const VobcastTitle& t = disc->titles[i];
            out << "  title " << TwoDigits(t.number) << "  " << Clock(t.seconds) << "  " << t.chapters << " chapter"
                << (t.chapters == 1 ? "" : "s");
            if (t.angles > 1) out << "  " << t.angles << " angles";
            out << "  audio: " << Tracks(t) << "  subtitles: " << Subtitles(t)
                << (t.number == disc->main_title ? "  (main title)" : "") << "\n";
        }
    }
    return status;
}

std::vector<Job> TitleJobs(EngineBinding& engine, const Options& o) {
    std::vector<Job> jobs;
    for (const std::string& input : o.inputs) {
        std::string error;
        const std::unique_ptr<VobcastDisc> disc = engine.ReadDisc(input, error);
        if (!disc) {
            jobs.push_back({input, {}, "is not a readable DVD (" + error + ")"});
            continue;
        }
        std::vector<long> chosen = o.titles;
        if (o.mainTitle && disc->main_title > 0) chosen.push_back(disc->main_title);
        for (int i = 0; o.allTitles && i < disc->title_count; ++i) chosen.push_back(disc->titles[i].number);
        std::vector<long> seen;
        for (const long number : chosen) {
            if (std::find(seen.begin(), seen.end(), number) != seen.end()) continue;
            seen.push_back(number);
            Job job;
            job.source = input;
            job.title = static_cast<int>(number);
            job.label = input + " title " + std::to_string(number);
            if (number > disc->title_count) {
                job.problem = "has no title " + std::to_string(number) + " (it has " +
                              std::to_string(disc->title_count) + ")";
                jobs.push_back(std::move(job));
                continue;
            }
            const VobcastTitle& t = disc->titles[number - 1];
            if (o.angle > std::max(t.angles, 1)) {
                job.problem = "has no angle " + std::to_string(o.angle) + " in title " + std::to_string(t.number) +
                              " (it has " + std::to_string(std::max(t.angles, 1)) + ")";
                jobs.push_back(std::move(job));
                continue;
            }
            job.audioStream = PickAudio(t, o, job.problem);
            if (job.problem.empty())
                job.subtitleStream = PickSubtitles(t, o, job.audioStream, job.problem, "title " + std::to_string(t.number));
            // An angle other than the first is named, so that a disc's angles
            // convert side by side.
            const std::string angle = o.angle > 1 ? " angle " + std::to_string(o.angle) : "";
            job.label += angle;
            job.aviName = DiscName(input, disc->volume_label) + " title " + TwoDigits(t.number) + angle + ".avi";
            jobs.push_back(std::move(job));
        }
        if (chosen.empty()) jobs.push_back({input, {}, "has no titles"});
    }
    return jobs;
}

int FileSubtitles(EngineBinding& engine, const Job& job, const Options& o, std::string& problem) {
    if (o.subtitleLanguage.empty() && !(o.forcedSubtitles && o.subtitleTrack == 0)) return job.subtitleStream;
    // A title set's VOB file: the title set's IFO, read with the disc's other
    // files, names its subtitle tracks.
    const fs::path vob(job.source);
    const int set = TitleSetNumber(job.source);
    std::string error;
    const std::unique_ptr<VobcastDisc> disc =
        set > 0 ? engine.ReadDisc(vob.parent_path().empty() ? "." : vob.parent_path().string(), error) : nullptr;
    for (int i = 0; disc && i < disc->title_count; ++i)
        if (disc->titles[i].title_set == set)
            return PickSubtitles(disc->titles[i], o, job.audioStream, problem, vob.filename().string());
    if (!o.subtitleLanguage.empty())
        problem = "names no subtitle languages: no title set IFO file beside it (--subtitle-track N takes its N-th "
                  "subpicture stream)";
    return -1;
}

} // namespace vobcast::cli
