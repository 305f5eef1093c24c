#include "test_media.h"

#ifndef TEST_MEDIA_DIR
#error TEST_MEDIA_DIR must name the folder of the generated clips
#endif

namespace testing_media {

std::string MediaPath(const std::string& file) { return std::string(TEST_MEDIA_DIR) + "/" + file; }

} // namespace testing_media
