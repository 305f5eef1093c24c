// The profile strings on any DVD.ini: read, write a key, read again. What was
// written reads back as written, and no other line of the file changes.
#include "platform/profile/profile.h"

#include "temp_folder.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string g_file;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

// What a read gives back for a written value: blanks around it dropped, and
// one pair of matching quotes.
std::string AsRead(std::string v) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!v.empty() && blank(v.front())) v.erase(v.begin());
    while (!v.empty() && blank(v.back())) v.pop_back();
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
    return v;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_file = testing_support::ScratchFile("DVD.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(48);
    const std::string before = in.ConsumeRemainingBytesAsString();
    testing_support::WriteFile(g_file, before);

    char buffer[256];
    profile::GetPrivateProfileString(section, key, "0", buffer, sizeof buffer, g_file);
    const bool written = profile::WritePrivateProfileString(section, key, value, g_file);
    const std::string after = testing_support::ReadFile(g_file);
    if (!written) {
        if (after != before) std::abort();  // a refused write leaves the file as it was
        return 0;
    }
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    profile::GetPrivateProfileString(section, key, "\x01missing", buffer, sizeof buffer, g_file);
    if (std::string(buffer) != AsRead(value)) {
        std::fprintf(stderr, "wrote [%s] %s=%s, read back \"%s\"\n", section.c_str(), key.c_str(), value.c_str(), buffer);
        std::abort();
    }
    // The file is the old one but for one place: at most one old line
    // (the key's) gone there, at most two (a section and a key) new.
    const std::vector<std::string> old = Lines(before), now = Lines(after);
    std::size_t head = 0, tail = 0;
    while (head < old.size() && head < now.size() && old[head] == now[head]) ++head;
    while (tail < old.size() - head && tail < now.size() - head &&
           old[old.size() - 1 - tail] == now[now.size() - 1 - tail])
        ++tail;
    const std::size_t lost = old.size() - head - tail, added = now.size() - head - tail;
    if (lost > 1 || added > 2) {
        std::fprintf(stderr, "wrote [%s] %s=%s: %zu old lines gone, %zu new\n", section.c_str(), key.c_str(),
                     value.c_str(), lost, added);
        std::abort();
    }
    return 0;
}
