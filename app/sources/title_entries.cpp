#include "app/sources/title_entries.h"

#include <algorithm>

std::vector<SourceEntry> TitleEntries(const std::string& path, const VobcastDisc& disc,
                                      const vobcast::plan::TrackWish& wish) {
    namespace plan = vobcast::plan;
    double longest = 0;
    for (int i = 0; i < disc.title_count; ++i) longest = std::max(longest, disc.titles[i].seconds);
    const std::string name = plan::DiscName(path, disc.volume_label);
    std::vector<SourceEntry> entries;
    for (int i = 0; i < disc.title_count; ++i) {
        const VobcastTitle& t = disc.titles[i];
        const bool main = t.number == disc.main_title;
        if (!main && t.seconds < kShortTitleSeconds && t.seconds * 10 < longest) continue;
        SourceEntry e{path, t.number};
        e.aviName = plan::TitleAviName(name, t.number, e.angle);
        e.name = name + "  title " + plan::TitleNumber(t.number) + "  " + plan::Clock(t.seconds) + (main ? "  main film" : "");
        e.caption = e.name;
        for (int a = 0; a < t.audio_count; ++a) e.audioTracks.push_back({t.audio[a].stream, plan::AudioTrackText(a + 1, t.audio[a])});
        for (int s = 0; s < t.subtitle_count; ++s)
            e.subtitleTracks.push_back({t.subtitles[s].stream, plan::SubtitleTrackText(s + 1, t.subtitles[s])});
        std::string problem;
        e.audioStream = plan::PickAudio(t, wish, problem);
        if (!problem.empty() && t.audio_count > 0) {
            e.audioStream = t.audio[0].stream;
            e.caption += "  no " + wish.audioLanguage + " sound: " + plan::AudioTrackText(1, t.audio[0]);
        }
        problem.clear();
        e.subtitleStream = plan::PickSubtitles(t, wish, e.audioStream, problem, "title " + std::to_string(t.number));
        if (!problem.empty()) e.caption += "  no " + wish.subtitleLanguage + " subtitles";
        e.forcedSubtitles = wish.forcedSubtitles;
        entries.push_back(std::move(e));
    }
    std::stable_partition(entries.begin(), entries.end(),
                          [&](const SourceEntry& e) { return e.title == disc.main_title; });
    return entries;
}

void ChooseTracks(SourceEntry& entry, int audioStream, int subtitleStream) {
    entry.audioStream = audioStream;
    entry.subtitleStream = subtitleStream;
    entry.caption = entry.name;
    for (const TrackChoice& a : entry.audioTracks)
        if (a.stream == audioStream) entry.caption += "  " + a.text;
    for (const TrackChoice& s : entry.subtitleTracks)
        if (s.stream == subtitleStream) entry.caption += "  subtitles " + s.text;
}
