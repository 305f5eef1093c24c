// The filters the system device enumerator lists: friendly name, category and
// a factory, as registered filters are on Windows.
//
// The built-in entries cover what a conversion needs and every installed video
// encoder that AVI can carry. Tests reshape the catalogue to see how callers
// cope with a missing, duplicated or renamed filter.
#pragma once

#include "platform/media/filters/factories.h"
#include "platform/media/graph/interfaces.h"

#include <functional>
#include <string>
#include <vector>

namespace media {

using FilterFactory = std::function<ComPtr<IBaseFilter>(const std::u16string& friendlyName)>;

struct CatalogueEntry {
    Category category;
    std::u16string friendlyName;
    FilterFactory factory;
    const VideoEncoderInfo* encoder = nullptr;  // for video compressors
};

class Catalogue {
public:
    static Catalogue& Instance();

    // The entries of a category in enumeration order.
    std::vector<CatalogueEntry> Entries(Category category) const;

    // Test controls.
    void Hide(const std::u16string& friendlyName);  // every entry of that name
    void Add(CatalogueEntry entry);                  // listed after the built-in ones
    void FailEnumeration(Category category, bool fail);
    bool EnumerationFails(Category category) const;
    void Reset();  // back to the built-in entries

private:
    Catalogue();
    std::vector<CatalogueEntry> entries_;
    std::vector<Category> failing_;
};

// The video encoders that may become compressors, in the order they are
// offered; only installed ones reach the catalogue.
const std::vector<VideoEncoderInfo>& KnownVideoEncoders();

} // namespace media
