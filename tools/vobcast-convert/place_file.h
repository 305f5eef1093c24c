// Gives a finished file its name without replacing a file of that name, on
// every file system a converted AVI may go to (USB sticks are FAT or exFAT).
#pragma once

#include <string>

namespace vobcast::cli {

// Renames from to to unless to exists. Returns 0, or the errno of the failure
// (EEXIST when to appeared meanwhile).
int PlaceWithoutReplacing(const std::string& from, const std::string& to);

} // namespace vobcast::cli
