// The list's rows for a disc read as titles: one a title, reading as a person
// would ("MY_FILM  title 01  1:52:03  main film"), the main title first, the
// short titles of menus and logos left out, each with the sound and
// subtitles a wish picks for it.
#pragma once

#include "app/sources/source_list.h"
#include "title_choice.h"

#include <string>
#include <vector>

// A title under a minute that is also under a tenth of the disc's longest is
// left out: a film's logos and warnings go, a disc of short clips keeps them.
constexpr double kShortTitleSeconds = 60;

// The rows of the disc at path, as VobcastReadDisc read it. A title without
// the language wished for takes its first track, and its row says so
// ("  no de sound: 1 en (AC-3, 2 ch)"); one without the subtitles wished for
// shows none ("  no fr subtitles").
std::vector<SourceEntry> TitleEntries(const std::string& path, const VobcastDisc& disc,
                                      const vobcast::plan::TrackWish& wish);

// The user's own choice of a title's tracks (subtitleStream -1: none); its
// row then says it: "MY_FILM  title 01  1:52:03  main film  2 de (AC-3, 6 ch)  subtitles 1 en".
void ChooseTracks(SourceEntry& entry, int audioStream, int subtitleStream);
