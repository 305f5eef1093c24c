// The system device enumerator: one moniker per catalogue entry, each with a
// property bag holding its "FriendlyName".
#include "platform/media/filters/catalogue.h"
#include "platform/media/graph/interfaces.h"
#include "platform/media/gst/runtime.h"

namespace media {
namespace {

class PropertyBag final : public IPropertyBag {
public:
    explicit PropertyBag(std::u16string friendlyName) : friendlyName_(std::move(friendlyName)) {}
    HRESULT Read(const std::u16string& name, std::u16string& value) override {
        if (name != u"FriendlyName") return E_INVALIDARG;
        value = friendlyName_;
        return S_OK;
    }

private:
    std::u16string friendlyName_;
};

class Moniker final : public IMoniker {
public:
    explicit Moniker(CatalogueEntry entry) : entry_(std::move(entry)) {}
    HRESULT BindToStorage(ComPtr<IPropertyBag>& bag) override {
        bag = com::Make<PropertyBag>(entry_.friendlyName);
        return S_OK;
    }
    HRESULT BindToObject(ComPtr<IBaseFilter>& filter) override {
        filter = entry_.factory ? entry_.factory(entry_.friendlyName) : nullptr;
        return filter ? S_OK : E_FAIL;
    }

private:
    CatalogueEntry entry_;
};

class MonikerEnumerator final : public IEnumMoniker {
public:
    explicit MonikerEnumerator(std::vector<CatalogueEntry> entries) : entries_(std::move(entries)) {}
    HRESULT Next(ComPtr<IMoniker>& moniker) override {
        if (next_ >= entries_.size()) { moniker.Reset(); return S_FALSE; }
        moniker = com::Make<Moniker>(entries_[next_++]);
        return S_OK;
    }

private:
    std::vector<CatalogueEntry> entries_;
    std::size_t next_ = 0;
};

class DeviceEnumerator final : public ICreateDevEnum {
public:
    HRESULT CreateClassEnumerator(Category category, ComPtr<IEnumMoniker>& out, std::uint32_t) override {
        out.Reset();
        Catalogue& catalogue = Catalogue::Instance();
        if (catalogue.EnumerationFails(category)) return E_FAIL;
        auto entries = catalogue.Entries(category);
        if (entries.empty()) return S_FALSE;
        out = com::Make<MonikerEnumerator>(std::move(entries));
        return S_OK;
    }
};

} // namespace

HRESULT CreateSystemDeviceEnum(ComPtr<ICreateDevEnum>& out) {
    EnsureGstInit();
    out = com::Make<DeviceEnumerator>();
    return S_OK;
}

} // namespace media
