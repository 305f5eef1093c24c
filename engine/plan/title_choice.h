// What a host program (the converter's command line, Marbleway's window)
// makes of a DVD title before it converts it: the sound and subtitle tracks a
// person's wishes pick, the words that name tracks and titles, and the name
// of the AVI a title becomes.
#pragma once

#include "vobcast/vobcast_host.h"

#include <string>

namespace vobcast::plan {

// The tracks a person asks for. Empty and 0: the disc's own choice (the first
// AC-3 track, no subtitles).
struct TrackWish {
    std::string audioLanguage{};  // ISO 639-1
    int audioTrack = 0;         // 1-based
    std::string subtitleLanguage{};
    int subtitleTrack = 0;  // 1-based
    bool forcedSubtitles = false;  // only the subpictures the disc marks forced
};

// The DVD stream number of the audio track wish picks in title t, -1 for the
// engine's own choice (the first AC-3 track, else the first MPEG or LPCM
// one); problem set when there is none. A language takes its AC-3 track where
// it has one, else its first track of any format.
int PickAudio(const VobcastTitle& t, const TrackWish& wish, std::string& problem);

// The DVD subpicture stream of the subtitle track wish picks in title t
// (named so in problems), -1 for none; problem set when the track asked for
// is not there. Forced subtitles without a track named come from the track
// in the sound's language (audioStream, else the first AC-3 track), where
// there is one.
int PickSubtitles(const VobcastTitle& t, const TrackWish& wish, int audioStream, std::string& problem,
                  const std::string& title);

// "2 de (AC-3, 6 ch)": audio track number (1-based) a; "--" for no language.
std::string AudioTrackText(int number, const VobcastAudioTrack& a);
// Every audio track of t so, comma-separated; "no audio" when it has none.
std::string AudioTracksText(const VobcastTitle& t);
// "2 de": subtitle track number (1-based) s; "--" for no language.
std::string SubtitleTrackText(int number, const VobcastSubtitleTrack& s);
// "1 en, 2 de"; "none" when t has no subtitle tracks.
std::string SubtitleTracksText(const VobcastTitle& t);

// "1:52:03".
std::string Clock(double seconds);

// "01": a title's number as lists and file names give it.
std::string TitleNumber(int title);

// "MY_FILM" for a disc with that volume label; otherwise the ISO image's name
// without its extension, or the name of the folder that holds VIDEO_TS.
std::string DiscName(const std::string& path, const std::string& volumeLabel);

// "MY_FILM title 01.avi"; an angle other than the first is named ("MY_FILM
// title 01 angle 2.avi"), so that a disc's angles convert side by side.
std::string TitleAviName(const std::string& discName, int title, int angle);

} // namespace vobcast::plan
