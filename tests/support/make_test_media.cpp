// Makes the test clips that are missing from the media folder.
#include "test_media.h"

#include <cstdio>
#include <filesystem>

int main() {
    namespace fs = std::filesystem;
    fs::create_directories(testing_media::MediaDir());
    int failures = 0;
    for (const auto& clip : testing_media::Clips()) {
        const std::string path = testing_media::MediaPath(clip.file);
        if (fs::exists(path) && fs::file_size(path) > 0) continue;
        const std::string partial = path + ".part";
        std::string error;
        if (testing_media::MakeClip(clip, partial, error)) {
            fs::rename(partial, path);
            std::printf("made %s\n", path.c_str());
        } else {
            std::fprintf(stderr, "cannot make %s: %s\n", clip.file, error.c_str());
            fs::remove(partial);
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
