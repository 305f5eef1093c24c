// The preferences for converting a disc's titles, kept in DVD.ini beside
// [SavePath] under [Titles]. Every key that is missing reads as its default:
// titles off (the list shows VOB files, as always), the sound as the disc
// plays it, no subtitles, a size as the bit rate sets it, black bars cut.
#pragma once

#include "title_choice.h"

#include <string>

struct TitleSettings {
    bool wholeTitles = false;       // list and convert a disc's titles, not its VOB files
    std::string audioLanguage{};    // ISO 639-1; empty: as the disc plays
    enum class Subtitles { None, Language, ForcedOnly };
    Subtitles subtitles = Subtitles::None;
    std::string subtitleLanguage{};  // with Subtitles::Language
    double sizeMB = 0;               // 0: as the bit rate sets it
    bool cropBlackBars = true;
    bool operator==(const TitleSettings&) const = default;
};

TitleSettings ReadTitleSettings();
void WriteTitleSettings(const TitleSettings& settings);

// The tracks the settings ask of every title.
vobcast::plan::TrackWish Wish(const TitleSettings& settings);
