// Which files are a DVD's video files: the rules that fill Marbleway's source
// list and that the command-line converter follows for the folders it is given.
#pragma once

#include <string>
#include <vector>

// The wildcard a search for video files uses; it matches in any letter case.
inline constexpr const char* kVobPattern = "*.vob";

// The disc's menu files, which are never converted: VIDEO_TS.VOB and
// VTS_01_0.VOB in any letter case (a disc copied to disk, or an image mounted
// without Rock Ridge, has lower-case names). The path itself keeps its case.
bool IsMenuFile(const std::string& path);

// The title set a VOB file belongs to by its name, nn of VTS_nn_m.VOB in any
// letter case; -1 for any other name.
int TitleSetNumber(const std::string& path);

// The menu of any title set, VTS_nn_0.VOB in any letter case (the
// command-line converter leaves them all out; the list keeps its own rule).
bool IsTitleSetMenu(const std::string& path);

// Every VOB file below folder except the menus, in the order the search finds
// them: a folder's own files first, then each sub-folder; hidden folders and
// folders already searched (a link leading back) are skipped.
std::vector<std::string> FindTitleVobs(const std::string& folder);
