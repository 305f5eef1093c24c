#include "title_controls.h"

#include "platform/ui/input_box.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace {

enum Index : std::size_t { kWhole, kSound, kSubtitles, kSize, kBars };

// The languages offered, as ISO 639-1 codes with their English names.
constexpr std::array<std::pair<const char*, const char*>, 12> kLanguages = {{
    {"en", "English"}, {"fr", "French"}, {"de", "German"},   {"es", "Spanish"}, {"it", "Italian"}, {"nl", "Dutch"},
    {"pt", "Portuguese"}, {"ja", "Japanese"}, {"zh", "Chinese"}, {"ru", "Russian"}, {"pl", "Polish"}, {"sv", "Swedish"},
}};

std::string LanguageName(const std::string& code) {
    for (const auto& [c, name] : kLanguages)
        if (code == c) return std::string(name) + " (" + code + ")";
    return code;
}

std::string Megabytes(double mb) {
    char text[32];
    std::snprintf(text, sizeof text, "%g MB", mb);
    return text;
}

// What a control says in full (its hint, and what a screen reader hears),
// and the few words its button has room for.
struct Face {
    std::string full;
    std::string caption;
};

Face Describe(std::size_t i, const TitleSettings& s) {
    using Subtitles = TitleSettings::Subtitles;
    switch (i) {
    case kWhole:
        return {std::string("Whole titles: ") + (s.wholeTitles ? "on (a disc lists its titles)" : "off (a disc lists its VOB files)"),
                std::string("Whole titles: ") + (s.wholeTitles ? "on" : "off")};
    case kSound:
        if (s.audioLanguage.empty()) return {"Sound of titles: as the disc plays", "Sound: disc"};
        return {"Sound of titles: " + LanguageName(s.audioLanguage), "Sound: " + s.audioLanguage};
    case kSubtitles:
        if (s.subtitles == Subtitles::ForcedOnly) return {"Subtitles of titles: forced only", "Subs: forced"};
        if (s.subtitles == Subtitles::Language)
            return {"Subtitles of titles: " + LanguageName(s.subtitleLanguage), "Subs: " + s.subtitleLanguage};
        return {"Subtitles of titles: none", "Subs: none"};
    case kSize:
        if (s.sizeMB > 0) return {"Size of each title: " + Megabytes(s.sizeMB), Megabytes(s.sizeMB)};
        return {"Size of each title: as set by the bit rate", "Size: rate"};
    default:
        return {std::string("Black bars: ") + (s.cropBlackBars ? "cut off" : "kept"),
                std::string("Black bars: ") + (s.cropBlackBars ? "cut" : "kept")};
    }
}

} // namespace

void TitleControls::Bind(skin::SkinWindow& window) {
    window_ = &window;
    for (std::size_t i = 0; i < kNames.size(); ++i) objects_[i] = window.FindObject(kNames[i]);
    Show(TitleSettings{});
}

void TitleControls::Show(const TitleSettings& settings) {
    shown_ = settings;
    Refresh();
}

void TitleControls::Refresh() {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        skin::Object* o = Control(i);
        if (o == nullptr) continue;
        Face face = Describe(i, shown_);
        o->SetCaption(std::move(face.caption));
        o->SetHintText(face.full);
        window_->Describe(kNames[i], skin::AccessibleRole::Default, std::move(face.full));
        o->Repaint();
    }
}

skin::Menu TitleControls::SoundMenu() {
    const auto sound = [this](const std::string& language) {
        return [this, language] {
            shown_.audioLanguage = language;
            Refresh();
        };
    };
    skin::Menu menu{{"SoundAsDisc", "As the disc plays", sound({})}};
    for (const auto& [code, name] : kLanguages) menu.push_back({std::string("Sound_") + code, LanguageName(code), sound(code)});
    return menu;
}

skin::Menu TitleControls::SubtitlesMenu() {
    using Subtitles = TitleSettings::Subtitles;
    const auto choose = [this](Subtitles kind, const std::string& language) {
        return [this, kind, language] {
            shown_.subtitles = kind;
            shown_.subtitleLanguage = language;
            Refresh();
        };
    };
    skin::Menu menu{{"SubtitlesNone", "None", choose(Subtitles::None, {})},
                    {"SubtitlesForced", "Forced only (what the film shows in any language)",
                     choose(Subtitles::ForcedOnly, {})}};
    for (const auto& [code, name] : kLanguages)
        menu.push_back({std::string("Subtitles_") + code, LanguageName(code), choose(Subtitles::Language, code)});
    return menu;
}

skin::Menu TitleControls::SizeMenu() {
    const auto size = [this](double mb) {
        return [this, mb] {
            shown_.sizeMB = mb;
            Refresh();
        };
    };
    return {{"SizeByRate", "As set by the bit rate", size(0)},
            {"Size700", "700 MB", size(700)},
            {"Size1400", "1400 MB", size(1400)},
            {"SizeOther", "Other size…", [this] {
                 const int now = shown_.sizeMB > 0 ? static_cast<int>(std::lround(shown_.sizeMB)) : 700;
                 if (std::optional<int> mb = ui::AskNumber("Marbleway", "Size of each title's AVI file, in MB:", now, 1, 100000)) {
                     shown_.sizeMB = *mb;
                     Refresh();
                 }
             }}};
}

bool TitleControls::Click(const skin::Object& object, const std::function<void(const skin::Menu&)>& popup) {
    std::size_t i = 0;
    while (i < kNames.size() && Control(i) != &object) ++i;
    if (i == kNames.size()) return false;
    switch (i) {
    case kWhole:
        shown_.wholeTitles = !shown_.wholeTitles;
        Refresh();
        break;
    case kBars:
        shown_.cropBlackBars = !shown_.cropBlackBars;
        Refresh();
        break;
    case kSound:
        popup(SoundMenu());
        break;
    case kSubtitles:
        popup(SubtitlesMenu());
        break;
    default:
        popup(SizeMenu());
        break;
    }
    return true;
}

TitleSettings TitleControls::Effective(const TitleSettings& stored) const {
    const TitleSettings defaults;
    TitleSettings s = stored;
    if (Control(kWhole) == nullptr) s.wholeTitles = defaults.wholeTitles;
    if (Control(kSound) == nullptr) s.audioLanguage = defaults.audioLanguage;
    if (Control(kSubtitles) == nullptr) {
        s.subtitles = defaults.subtitles;
        s.subtitleLanguage = defaults.subtitleLanguage;
    }
    if (Control(kSize) == nullptr) s.sizeMB = defaults.sizeMB;
    if (Control(kBars) == nullptr) s.cropBlackBars = defaults.cropBlackBars;
    return s;
}
