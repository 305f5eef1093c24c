#include "profile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace profile {
namespace {

namespace fs = std::filesystem;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// One line of the file as it stands, without its line feed.
struct Line {
    enum class Kind { Other, Section, Key } kind = Kind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

Line Classify(std::string_view text) {
    Line line;
    const std::string_view t = TrimBlanks(text);
    if (t.empty() || t.front() == ';' || t.front() == '#') return line;
    if (t.front() == '[') {
        const auto close = t.find(']');
        line.kind = Line::Kind::Section;
        line.name = TrimBlanks(t.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        return line;
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return line;
    line.kind = Line::Kind::Key;
    line.name = TrimBlanks(t.substr(0, eq));
    line.value = TrimBlanks(t.substr(eq + 1));
    return line;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto nl = text.find('\n');
        lines.push_back(text.substr(0, nl));
        if (nl == std::string_view::npos) break;
        text.remove_prefix(nl + 1);
    }
    return lines;
}

std::optional<std::string> ReadWholeFile(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
}

// Where in the file a key lives, or where it would go.
struct Place {
    std::optional<std::size_t> section;    // index of the section header line
    std::optional<std::size_t> key;        // index of the key line
    std::size_t insert_at = 0;             // after the section's last non-blank line
};

Place Find(const std::vector<std::string_view>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line line = Classify(lines[i]);
        if (line.kind == Line::Kind::Section) {
            if (place.section) break;
            if (SameName(line.name, section)) {
                place.section = i;
                place.insert_at = i + 1;
            }
        } else if (place.section) {
            if (line.kind == Line::Kind::Key && SameName(line.name, key) && !place.key) place.key = i;
            if (!TrimBlanks(lines[i]).empty()) place.insert_at = i + 1;
        }
    }
    return place;
}

// Holds an advisory lock on a folder for as long as it lives.
class FolderLock {
public:
    explicit FolderLock(const fs::path& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FolderLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Writes text to a new file beside target and renames it over target.
bool ReplaceFile(const fs::path& target, std::string_view text) {
    std::string temp = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, text) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

bool Trimmed(std::string_view s) { return TrimBlanks(s).size() == s.size(); }

// Whether a key written under these names reads back under them: a name with
// blanks around it, a section with a ']' or a key with a '=' or the opening
// of a comment or section would be read as another one.
bool Storable(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    if (!Trimmed(section) || !Trimmed(key) || section.find(']') != std::string_view::npos) return false;
    if (key.find('=') != std::string_view::npos) return false;
    return key.empty() || (key.front() != '[' && key.front() != ';' && key.front() != '#');
}

} // namespace

std::uint32_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                      std::string_view default_text, char* buffer,
                                      std::uint32_t size, const std::string& file) {
    if (size == 0 || buffer == nullptr) return 0;
    std::string_view value = TrimBlanks(default_text);
    const std::optional<std::string> text = ReadWholeFile(file);
    if (text) {
        const std::vector<std::string_view> lines = SplitLines(*text);
        const Place place = Find(lines, section, key);
        if (place.key) {
            value = Classify(lines[*place.key]).value;
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
        }
    }
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<std::uint32_t>(n);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key, std::string_view value,
                               const std::string& file) {
    if (file.empty() || !Storable(section, key, value)) return false;
    // Write through a symbolic link to the file it names, so the link survives.
    fs::path target(file);
    std::error_code ec;
    for (int hops = 0; fs::is_symlink(target, ec); ++hops) {
        if (hops == 40) return false;  // a loop of links
        const fs::path next = fs::read_symlink(target, ec);
        if (ec) return false;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const FolderLock lock(folder);

    const std::string old = ReadWholeFile(target.string()).value_or(std::string());
    const std::vector<std::string_view> lines = SplitLines(old);
    const bool crlf = !lines.empty() && !lines.front().empty() && lines.front().back() == '\r';
    const std::string eol = crlf ? "\r\n" : "\n";
    const std::string key_line = std::string(key) + "=" + std::string(value);
    const Place place = Find(lines, section, key);

    std::vector<std::string> added;
    std::size_t at = lines.size();
    std::size_t replace = 0;
    if (place.key) {
        at = *place.key;
        replace = 1;
        added.push_back(key_line);
    } else if (place.section) {
        at = place.insert_at;
        added.push_back(key_line);
    } else {
        added.push_back("[" + std::string(section) + "]");
        added.push_back(key_line);
    }

    std::string text;
    text.reserve(old.size() + key_line.size() + section.size() + 8);
    // The file's lines keep their own endings (a CR stays part of its line);
    // new lines get the file's first line's.
    auto keep = [&](std::string_view line) {
        text.append(line);
        text.push_back('\n');
    };
    for (std::size_t i = 0; i < at; ++i) keep(lines[i]);
    for (const std::string& line : added) text.append(line).append(eol);
    for (std::size_t i = at + replace; i < lines.size(); ++i) keep(lines[i]);
    // A file that did not end in a line feed keeps not ending in one only if
    // its last line is untouched and last; otherwise every line ends in one.
    if (!old.empty() && old.back() != '\n' && at + replace < lines.size()) text.pop_back();
    return ReplaceFile(target, text);
}

} // namespace profile
