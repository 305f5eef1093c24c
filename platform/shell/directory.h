// Directory listing as the Windows file-search calls (FindFirstFile and
// FindNextFile) give it on NTFS: wildcard patterns matched ignoring letter
// case, names in name order with letter case ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace shell {

// True when name matches pattern: '*' stands for any run of characters, '?'
// for one, letter case ignored; "*.*" matches every name, dotted or not.
bool MatchesPattern(const std::string& name, const std::string& pattern);

// Whether name a comes before b in a listing: letter by letter with letter
// case ignored, as NTFS (and a DVD's own file system) keeps names; names that
// differ only in case, which NTFS can't hold, in byte order.
bool NameBefore(const std::string& a, const std::string& b);

// The files of folder whose names match pattern: ordinary files, hidden ones
// (a leading dot) included, and links to ordinary files. Folders and special
// files (devices, sockets, pipes) are not listed. Empty, with ok false, when
// the folder cannot be read.
struct Listing {
    std::vector<std::string> names;
    bool ok = true;
};
Listing ListFiles(const std::string& folder, const std::string& pattern);

// The sub-folders of folder, without ".", ".." and hidden folders; links to
// folders are listed too.
Listing ListFolders(const std::string& folder);

// What makes a folder itself, whatever the path that reaches it (through links
// or bind mounts): its device and inode. Empty when it cannot be read.
struct FolderId {
    std::uint64_t device;
    std::uint64_t inode;
    friend bool operator<(const FolderId& a, const FolderId& b) {
        return a.device != b.device ? a.device < b.device : a.inode < b.inode;
    }
};
std::optional<FolderId> IdentifyFolder(const std::string& folder);

} // namespace shell
