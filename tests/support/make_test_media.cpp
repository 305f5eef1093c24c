// Makes the test clips that are missing from the media folder; or, given a
// clip's name and a path, that one clip there (the script's sample VOB).
#include "test_media.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

bool Make(const testing_media::Clip& clip, const std::string& path) {
    const std::string partial = path + ".part";
    std::string error;
    if (!testing_media::MakeClip(clip, partial, error)) {
        std::fprintf(stderr, "cannot make %s: %s\n", clip.file, error.c_str());
        fs::remove(partial);
        return false;
    }
    fs::rename(partial, path);
    std::printf("made %s\n", path.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3) {
        for (const auto& clip : testing_media::Clips())
            if (clip.file == std::string(argv[1])) return Make(clip, argv[2]) ? 0 : 1;
        std::fprintf(stderr, "usage: make-test-media [CLIP OUT]; no clip %s\n", argv[1]);
        return 2;
    }
    fs::create_directories(testing_media::MediaDir());
    int failures = 0;
    for (const auto& clip : testing_media::Clips()) {
        const std::string path = testing_media::MediaPath(clip.file);
        if (fs::exists(path) && fs::file_size(path) > 0) continue;
        if (!Make(clip, path)) ++failures;
    }
    return failures ? 1 : 0;
}
