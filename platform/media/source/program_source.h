// Where a conversion reads its MPEG program stream from: a plain file, byte
// for byte, or one title of a DVD as a player plays it (one angle, one
// branch, across the title set's VOB files), with the sound to take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace media {

// How pictures whose fields are from two instants are made progressive; the
// defaults decide by the source (see field_filters.h).
enum class Deinterlace { Auto, Always, Never };
enum class Detelecine { Auto, Never };

struct FieldChoice {
    Deinterlace deinterlace = Deinterlace::Auto;
    Detelecine detelecine = Detelecine::Auto;
};

// Rows and columns cut from the pictures' edges. Even numbers, so that the
// colour planes of 4:2:0 pictures are cut with the picture.
struct Crop {
    int top = 0;
    int bottom = 0;
    int left = 0;
    int right = 0;
    bool Any() const { return top != 0 || bottom != 0 || left != 0 || right != 0; }
};

struct ProgramSource {
    std::string path;      // the file, or the DVD: mount point, VIDEO_TS folder or ISO image
    int title = 0;         // 0: path is a plain file
    int angle = 0;         // of a title with angles, 1-based; 0 the first
    int audioStream = -1;  // DVD stream number (0-7) of the sound to take; -1 the engine's choice
    FieldChoice fields{};
    int subtitleStream = -1;       // DVD subpicture stream number (0-31) to draw into the pictures; -1 none
    bool forcedSubtitles = false;  // only the subpictures the disc marks forced
    Crop crop{};                   // of the pictures, after the subtitles are drawn
    bool IsTitle() const { return title > 0; }
};

// Random access to the source's bytes, as the demultiplexer reads them.
class SourceBytes {
public:
    virtual ~SourceBytes() = default;
    virtual std::uint64_t Size() const = 0;
    // Up to bytes bytes from offset; fewer at the end, none on a read error.
    virtual std::vector<std::uint8_t> ReadAt(std::uint64_t offset, std::size_t bytes) = 0;
};

// Null with error set when the source can't be opened.
std::unique_ptr<SourceBytes> OpenSourceBytes(const ProgramSource& source, std::string& error);

} // namespace media
