// "AVI Mux": avimux. Its inputs take a stream pad of the multiplexer as they
// are connected, video or audio after what the upstream pin offers. Seeking
// answers in reference time (100 ns): while running, the multiplexer's own
// position and duration; before, the duration the splitter probed upstream.
#include "filter.h"
#include "filters.h"
#include "splitter.h"

namespace media {
namespace {

constexpr std::int64_t kNsPerRefTime = 100;

class AviMux final : public Filter, public IMediaSeeking {
public:
    explicit AviMux(const std::u16string& name) : Filter(name) {
        mux_ = MakeElement("avimux");
        gst_bin_add(GST_BIN(bin_), mux_);
        GstPtr<GstPad> src(gst_element_get_static_pad(mux_, "src"));
        GstPadTemplate* video = gst_element_get_pad_template(mux_, "video_%u");
        GstPadTemplate* audio = gst_element_get_pad_template(mux_, "audio_%u");
        CapsPtr any(gst_caps_merge(gst_pad_template_get_caps(video), gst_pad_template_get_caps(audio)));
        AddGhostPin(u"Input 01", PINDIR_INPUT, nullptr, any.get());
        AddGhostPin(u"Input 02", PINDIR_INPUT, nullptr, any.get());
        AddGhostPin(u"AVI Out", PINDIR_OUTPUT, src.get());
    }

    HRESULT PrepareInput(Pin* in, Pin* upstream) override {
        CapsPtr offered = upstream->Caps();
        if (!offered || gst_caps_is_empty(offered.get()) || gst_caps_is_any(offered.get()))
            return VFW_E_NO_ACCEPTABLE_TYPES;
        const char* kind = gst_structure_get_name(gst_caps_get_structure(offered.get(), 0));
        const char* templ = g_str_has_prefix(kind, "video/") ? "video_%u"
                            : g_str_has_prefix(kind, "audio/") ? "audio_%u"
                                                               : nullptr;
        if (!templ) return VFW_E_NO_ACCEPTABLE_TYPES;
        GstPad* pad = gst_element_request_pad_simple(mux_, templ);
        if (!pad) return VFW_E_NO_ACCEPTABLE_TYPES;
        gst_ghost_pad_set_target(GST_GHOST_PAD(in->Pad()), pad);
        requested_.emplace_back(pad);
        return S_OK;
    }

    HRESULT CheckCapabilities(std::uint32_t& caps) override {
        constexpr std::uint32_t kHave = AM_SEEKING_CanGetCurrentPos | AM_SEEKING_CanGetDuration;
        const std::uint32_t asked = caps;
        caps &= kHave;
        if (caps == asked) return S_OK;
        return caps ? S_FALSE : E_FAIL;
    }

    HRESULT GetDuration(std::int64_t& duration) override {
        gint64 ns = -1;
        if (!Running() || !gst_element_query_duration(mux_, GST_FORMAT_TIME, &ns) || ns < 0) ns = UpstreamDurationNs();
        if (ns < 0) return E_FAIL;
        duration = ns / kNsPerRefTime;
        return S_OK;
    }

    HRESULT GetCurrentPosition(std::int64_t& position) override {
        gint64 ns = 0;
        if (!Running()) {
            position = 0;
            return S_OK;
        }
        if (!gst_element_query_position(mux_, GST_FORMAT_TIME, &ns) || ns < 0) return E_FAIL;
        position = ns / kNsPerRefTime;
        return S_OK;
    }

    ~AviMux() override {
        for (auto& pad : requested_) gst_element_release_request_pad(mux_, pad.get());
    }

private:
    bool Running() const {
        GstState state = GST_STATE_NULL;
        gst_element_get_state(mux_, &state, nullptr, 0);
        return state >= GST_STATE_PAUSED;
    }

    // The duration of the source at the head of the video input's chain.
    std::int64_t UpstreamDurationNs() const {
        ComPtr<IEnumPins> pins;
        const_cast<AviMux*>(this)->EnumPins(pins);
        ComPtr<IPin> pin;
        while (pins->Next(pin) == S_OK) {
            for (Pin* p = static_cast<Pin*>(pin.Get()); p && p->Peer();) {
                Filter* up = p->Peer()->Owner();
                if (!up) break;
                ComPtr<ISplitterInfo> info;
                if (SUCCEEDED(com::QueryInterface(up, info))) return info->DurationNs();
                p = FirstInput(up);
            }
        }
        return -1;
    }

    static Pin* FirstInput(Filter* filter) {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins);
        ComPtr<IPin> pin;
        while (pins->Next(pin) == S_OK) {
            auto* p = static_cast<Pin*>(pin.Get());
            if (p->Direction() == PINDIR_INPUT) return p;
        }
        return nullptr;
    }

    GstElement* mux_;
    std::vector<GstPtr<GstPad>> requested_;
};

} // namespace

ComPtr<IBaseFilter> MakeAviMux(const std::u16string& name) {
    if (!HasFactory("avimux")) return nullptr;
    return com::Make<AviMux>(name);
}

} // namespace media
