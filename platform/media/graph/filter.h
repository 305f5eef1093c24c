// Filters and pins on GStreamer: a filter is one GstBin, a pin one of its
// (ghost) pads under a DirectShow pin name.
#pragma once

#include "platform/media/graph/interfaces.h"
#include "platform/media/gst/handles.h"

#include <mutex>
#include <string>
#include <vector>

namespace media {

class Filter;
class FilterGraph;

class Pin final : public IPin {
public:
    // pad: a pad of the owner's bin; the pin takes a reference. caps: the media
    // types the pin offers or accepts before anything flows (may be null: then
    // the pad is asked).
    Pin(Filter* owner, std::u16string name, PinDirection dir, GstPad* pad, GstCaps* caps = nullptr);

    HRESULT QueryDirection(PinDirection& dir) override;
    HRESULT QueryPinInfo(PinInfo& info) override;

    Filter* Owner() const { return owner_; }
    const std::u16string& Name() const { return name_; }
    PinDirection Direction() const { return dir_; }
    GstPad* Pad() const { return pad_.get(); }
    CapsPtr Caps() const;
    Pin* Peer() const { return peer_; }

private:
    ~Pin() override;
    friend class Filter;
    friend class FilterGraph;

    Filter* owner_;  // cleared when the filter goes; pins never keep it alive
    std::u16string name_;
    PinDirection dir_;
    GstPtr<GstPad> pad_;
    CapsPtr caps_;
    Pin* peer_ = nullptr;  // the connected pin, while connected
};

class Filter : public IBaseFilter {
public:
    HRESULT QueryFilterInfo(FilterInfo& info) override;
    HRESULT EnumPins(ComPtr<IEnumPins>& pins) override;

    GstElement* Bin() const { return bin_.get(); }
    FilterGraph* Graph() const { return graph_; }
    const std::u16string& FriendlyName() const { return friendlyName_; }

    // Called by the graph before two pins are linked, on the filter of the
    // input pin: a filter may refuse the upstream pin, or pick the pad that
    // stands behind one of its input pins. S_OK to go on.
    virtual HRESULT PrepareInput(Pin* in, Pin* upstream);

protected:
    explicit Filter(std::u16string friendlyName);
    ~Filter() override;

    // Adds a ghost pad to the bin and a pin for it. target may be null (the pin
    // is then given a target later); caps describe the pin until then.
    Pin* AddGhostPin(const std::u16string& name, PinDirection dir, GstPad* target, GstCaps* caps = nullptr);
    // Builds "a ! b ! c" inside the bin, with ghost pads "sink" and "src" for
    // its open ends; null when an element is not installed.
    GstElement* AddChain(const char* description);
    // The same chain as a bin of its own (floating), not yet in any bin.
    static GstElement* ParseChain(const char* description);

    GstPtr<GstElement> bin_;
    std::u16string friendlyName_;

private:
    friend class FilterGraph;
    mutable std::mutex pinsLock_;
    std::vector<ComPtr<Pin>> pins_;
    std::u16string graphName_;
    FilterGraph* graph_ = nullptr;
};

} // namespace media
