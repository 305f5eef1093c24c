// DVD.ini, the program's one settings file: its path, the two access routines
// and the trimming of platform text buffers.
//
// There is no copy of the settings in memory: every read goes to the file and
// every write straight to it. Results of the file calls are not examined; a
// key, section or file that is missing reads as "0".
#pragma once

#include <string>
#include <string_view>

// The full path of DVD.ini; empty until SetUpIniFile has run.
const std::string& IniFileName();

// Start-up: points IniFileName at DVD.ini in the configuration folder and, if
// no ordinary file is there, writes the default output folder followed by "/"
// under [SavePath] PathName.
void SetUpIniFile();

// The program folder where the user may write in it (a build tree, a copy in
// the home folder), else the user's videos folder, else the home folder.
std::string DefaultOutputFolder();

// Where the folder browser and the open dialog of the list last were, under
// [Dialogs] LastFolder; empty when none is stored or it is gone.
std::string LastDialogFolder();
void RememberDialogFolder(const std::string& folder);

std::string ReadIniValue(std::string_view section, std::string_view key);
void WriteIniValue(std::string_view section, std::string_view key, std::string_view value);

// Cleans a fixed-size buffer that a platform call filled: drops spaces at both
// ends, then every NUL and space at the end. A NUL followed later by any other
// character stays.
std::string TrimApiString(std::string_view text);
