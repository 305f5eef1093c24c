#include "title_settings.h"

#include "settings_store.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kSection = "Titles";

// A two-letter code as stored, or "" for anything else (a missing key reads "0").
std::string Language(const std::string& stored) {
    if (stored.size() != 2 || !std::isalpha(static_cast<unsigned char>(stored[0])) ||
        !std::isalpha(static_cast<unsigned char>(stored[1])))
        return {};
    return {static_cast<char>(std::tolower(static_cast<unsigned char>(stored[0]))),
            static_cast<char>(std::tolower(static_cast<unsigned char>(stored[1])))};
}

} // namespace

TitleSettings ReadTitleSettings() {
    TitleSettings s;
    s.wholeTitles = ReadIniValue(kSection, "WholeTitles") == "1";
    s.audioLanguage = Language(ReadIniValue(kSection, "AudioLanguage"));
    const std::string subtitles = ReadIniValue(kSection, "Subtitles");
    if (subtitles == "forced") {
        s.subtitles = TitleSettings::Subtitles::ForcedOnly;
    } else if (!Language(subtitles).empty()) {
        s.subtitles = TitleSettings::Subtitles::Language;
        s.subtitleLanguage = Language(subtitles);
    }
    char* end = nullptr;
    const std::string size = ReadIniValue(kSection, "SizeMB");
    const double mb = std::strtod(size.c_str(), &end);
    s.sizeMB = end && *end == '\0' && mb > 0 && mb <= 1e7 ? mb : 0;
    // Stored the other way round, so that a missing key ("0") keeps the bars cut.
    s.cropBlackBars = ReadIniValue(kSection, "KeepBlackBars") != "1";
    return s;
}

void WriteTitleSettings(const TitleSettings& s) {
    WriteIniValue(kSection, "WholeTitles", s.wholeTitles ? "1" : "0");
    WriteIniValue(kSection, "AudioLanguage", s.audioLanguage.empty() ? "0" : s.audioLanguage);
    WriteIniValue(kSection, "Subtitles", s.subtitles == TitleSettings::Subtitles::ForcedOnly ? "forced"
                                         : s.subtitles == TitleSettings::Subtitles::Language && !s.subtitleLanguage.empty()
                                             ? s.subtitleLanguage
                                             : "0");
    char size[32];
    std::snprintf(size, sizeof size, "%g", s.sizeMB > 0 ? s.sizeMB : 0.0);
    WriteIniValue(kSection, "SizeMB", size);
    WriteIniValue(kSection, "KeepBlackBars", s.cropBlackBars ? "0" : "1");
}

vobcast::plan::TrackWish Wish(const TitleSettings& s) {
    vobcast::plan::TrackWish wish;
    wish.audioLanguage = s.audioLanguage;
    if (s.subtitles == TitleSettings::Subtitles::Language) wish.subtitleLanguage = s.subtitleLanguage;
    wish.forcedSubtitles = s.subtitles == TitleSettings::Subtitles::ForcedOnly;
    return wish;
}
