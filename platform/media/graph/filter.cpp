#include "platform/media/graph/filter.h"

#include "platform/com/text.h"

namespace media {
namespace {

class PinEnumerator final : public IEnumPins {
public:
    explicit PinEnumerator(std::vector<ComPtr<IPin>> pins) : pins_(std::move(pins)) {}
    HRESULT Next(ComPtr<IPin>& pin) override {
        if (next_ >= pins_.size()) { pin.Reset(); return S_FALSE; }
        pin = pins_[next_++];
        return S_OK;
    }

private:
    std::vector<ComPtr<IPin>> pins_;
    std::size_t next_ = 0;
};

} // namespace

Pin::Pin(Filter* owner, std::u16string name, PinDirection dir, GstPad* pad, GstCaps* caps)
    : owner_(owner), name_(std::move(name)), dir_(dir),
      pad_(GST_PAD(gst_object_ref(pad))), caps_(caps ? gst_caps_ref(caps) : nullptr) {}

Pin::~Pin() = default;

HRESULT Pin::QueryDirection(PinDirection& dir) {
    dir = dir_;
    return S_OK;
}

HRESULT Pin::QueryPinInfo(PinInfo& info) {
    info.dir = dir_;
    info.name = name_;
    info.filter = ComPtr<IBaseFilter>::Share(owner_);
    return S_OK;
}

CapsPtr Pin::Caps() const {
    if (GST_IS_GHOST_PAD(pad_.get())) {
        GstPtr<GstPad> target(gst_ghost_pad_get_target(GST_GHOST_PAD(pad_.get())));
        if (!target) return CapsPtr(caps_ ? gst_caps_ref(caps_.get()) : gst_caps_new_any());
    }
    return CapsPtr(gst_pad_query_caps(pad_.get(), nullptr));
}

Filter::Filter(std::u16string friendlyName)
    : bin_(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(nullptr)))), friendlyName_(std::move(friendlyName)) {}

Filter::~Filter() {
    for (auto& pin : pins_) {
        pin->owner_ = nullptr;
        pin->peer_ = nullptr;
    }
    gst_element_set_state(bin_.get(), GST_STATE_NULL);
}

HRESULT Filter::QueryFilterInfo(FilterInfo& info) {
    info.name = graph_ ? graphName_ : friendlyName_;
    info.inGraph = graph_ != nullptr;
    return S_OK;
}

HRESULT Filter::EnumPins(ComPtr<IEnumPins>& out) {
    std::vector<ComPtr<IPin>> snapshot;
    {
        std::lock_guard lock(pinsLock_);
        snapshot.assign(pins_.begin(), pins_.end());
    }
    out = com::Make<PinEnumerator>(std::move(snapshot));
    return S_OK;
}

HRESULT Filter::PrepareInput(Pin*, Pin*) { return S_OK; }

Pin* Filter::AddGhostPin(const std::u16string& name, PinDirection dir, GstPad* target, GstCaps* caps) {
    const std::string padName = com::WideToAnsi(name);
    GstPad* ghost = target ? gst_ghost_pad_new(padName.c_str(), target)
                           : gst_ghost_pad_new_no_target(padName.c_str(), dir == PINDIR_INPUT ? GST_PAD_SINK : GST_PAD_SRC);
    gst_element_add_pad(bin_.get(), ghost);
    auto pin = com::Make<Pin>(this, name, dir, ghost, caps);
    std::lock_guard lock(pinsLock_);
    pins_.push_back(pin);
    return pin.Get();
}

GstElement* Filter::ParseChain(const char* description) {
    GError* error = nullptr;
    GstElement* chain = gst_parse_bin_from_description(description, TRUE, &error);
    if (!chain) GST_WARNING("cannot build \"%s\": %s", description, error ? error->message : "?");
    g_clear_error(&error);
    return chain;
}

GstElement* Filter::AddChain(const char* description) {
    GstElement* chain = ParseChain(description);
    if (chain) gst_bin_add(GST_BIN(bin_.get()), chain);
    return chain;
}

} // namespace media
