// The DVD test media, made by make_test_media.sh before the tests run (a CTest
// fixture).
#pragma once

#include <string>

namespace testing_media {

// Where the media made by make_test_media.sh are.
std::string MediaPath(const std::string& file);

} // namespace testing_media
