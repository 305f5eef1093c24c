#include "disc_titles.h"

#include "title_choice.h"

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

// The track wishes of the command line.
plan::TrackWish Wish(const Options& o) {
    return {o.audioLanguage, static_cast<int>(o.audioTrack), o.subtitleLanguage, static_cast<int>(o.subtitleTrack),
            o.forcedSubtitles};
}

} // namespace

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
        out << input << ": " << plan::DiscName(input, disc->volume_label) << ", " << disc->title_count << " title"
            << (disc->title_count == 1 ? "" : "s") << "\n";
        for (int i = 0; i < disc->title_count; ++i) {
            const VobcastTitle& t = disc->titles[i];
            out << "  title " << plan::TitleNumber(t.number) << "  " << plan::Clock(t.seconds) << "  " << t.chapters << " chapter"
                << (t.chapters == 1 ? "" : "s");
            if (t.angles > 1) out << "  " << t.angles << " angles";
            out << "  audio: " << plan::AudioTracksText(t) << "  subtitles: " << plan::SubtitleTracksText(t)
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
            job.audioStream = plan::PickAudio(t, Wish(o), job.problem);
            if (job.problem.empty())
                job.subtitleStream = plan::PickSubtitles(t, Wish(o), job.audioStream, job.problem, "title " + std::to_string(t.number));
            if (o.angle > 1) job.label += " angle " + std::to_string(o.angle);
            job.aviName = plan::TitleAviName(plan::DiscName(input, disc->volume_label), t.number, static_cast<int>(o.angle));
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
            return plan::PickSubtitles(disc->titles[i], Wish(o), job.audioStream, problem, vob.filename().string());
    if (!o.subtitleLanguage.empty())
        problem = "names no subtitle languages: no title set IFO file beside it (--subtitle-track N takes its N-th "
                  "subpicture stream)";
    return -1;
}

} // namespace vobcast::cli
