#include "platform/media/graph/graph.h"

#include "platform/media/gst/error_text.h"
#include "platform/media/gst/runtime.h"

#include "platform/com/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace media {
namespace {

// How long Stop waits for end of stream to reach the file writer.
constexpr GstClockTime kDrainLimit = 20 * GST_SECOND;

} // namespace

FilterGraph::FilterGraph()
    : pipeline_(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)))),
      bus_(gst_element_get_bus(pipeline_.get())) {}

FilterGraph::~FilterGraph() {
    if (running_) Stop();
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    for (auto& filter : filters_) {
        gst_bin_remove(GST_BIN(pipeline_.get()), filter->Bin());
        filter->graph_ = nullptr;
        for (auto& pin : filter->pins_) pin->peer_ = nullptr;
    }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* iface, const std::u16string& name) {
    auto* filter = dynamic_cast<Filter*>(iface);
    if (!filter) return E_POINTER;
    if (filter->graph_) return filter->graph_ == this ? VFW_E_DUPLICATE_NAME : E_INVALIDARG;
    if (running_) return VFW_E_WRONG_STATE;
    std::u16string unique = name.empty() ? filter->FriendlyName() : name;
    const auto taken = [this](const std::u16string& n) {
        return std::any_of(filters_.begin(), filters_.end(), [&](const auto& f) { return f->graphName_ == n; });
    };
    for (int i = 1; taken(unique); ++i) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, " %04d", i);
        unique = (name.empty() ? filter->FriendlyName() : name) + com::AnsiToWide(suffix);
    }
    if (!gst_bin_add(GST_BIN(pipeline_.get()), filter->Bin())) return E_FAIL;
    filter->graph_ = this;
    filter->graphName_ = unique;
    filters_.push_back(ComPtr<Filter>::Share(filter));
    return S_OK;
}

HRESULT FilterGraph::ConnectDirect(IPin* outIface, IPin* inIface, const AmMediaType* mt) {
    auto* out = dynamic_cast<Pin*>(outIface);
    auto* in = dynamic_cast<Pin*>(inIface);
    if (!out || !in) return E_POINTER;
    if (mt) return E_INVALIDARG;
    if (!out->Owner() || !in->Owner() || out->Owner()->graph_ != this || in->Owner()->graph_ != this)
        return VFW_E_NOT_IN_GRAPH;
    if (out->Direction() != PINDIR_OUTPUT || in->Direction() != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    if (out->peer_ || in->peer_) return VFW_E_ALREADY_CONNECTED;
    if (running_) return VFW_E_WRONG_STATE;

    // A filter first learns about the stream it is offered (the splitter
    // probes the file here) and may refuse it.
    const HRESULT prepared = in->Owner()->PrepareInput(in, out);
    if (FAILED(prepared)) return prepared;

    CapsPtr offered = out->Caps();
    CapsPtr accepted = in->Caps();
    if (!offered || !accepted || !gst_caps_can_intersect(offered.get(), accepted.get())) {
        GST_INFO("no common media type between the pins");
        return VFW_E_NO_ACCEPTABLE_TYPES;
    }
    const GstPadLinkReturn linked = gst_pad_link_full(out->Pad(), in->Pad(), GST_PAD_LINK_CHECK_HIERARCHY);
    if (linked != GST_PAD_LINK_OK) {
        GST_INFO("pad link refused: %s", gst_pad_link_get_name(linked));
        return VFW_E_CANNOT_CONNECT;
    }
    out->peer_ = in;
    in->peer_ = out;
    return S_OK;
}

HRESULT FilterGraph::Run() {
    if (running_) return S_OK;
    running_ = true;
    ended_ = false;
    errorText_.clear();
    const GstStateChangeReturn ret = gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
    if (ret == GST_STATE_CHANGE_FAILURE) {
        Drain(0);
        if (!ended_) {
            ended_ = true;
            endCode_ = EC_ERRORABORT;
            errorText_ = "The conversion could not be started.";
        }
        return E_FAIL;
    }
    return ret == GST_STATE_CHANGE_ASYNC ? S_FALSE : S_OK;
}

HRESULT FilterGraph::Stop() {
    if (!running_) return S_OK;
    if (!ended_) {
        // End of stream lets every element finish what it holds, and the
        // multiplexer write its index, so a stopped conversion leaves a valid file.
        gst_element_send_event(pipeline_.get(), gst_event_new_eos());
        Drain(kDrainLimit);
        if (!ended_) GST_WARNING("end of stream did not arrive within the drain limit; the file may lack its index");
    }
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    running_ = false;
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(long timeoutMs, long& evCode) {
    if (!running_) return VFW_E_WRONG_STATE;
    if (!ended_) Drain(timeoutMs > 0 ? static_cast<GstClockTime>(timeoutMs) * GST_MSECOND : 0);
    if (!ended_) return E_ABORT;
    evCode = endCode_;
    return S_OK;
}

std::string FilterGraph::ErrorText() { return errorText_; }

void FilterGraph::Drain(GstClockTime timeout) {
    const auto types = static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_WARNING);
    const GstClockTime deadline = gst_util_get_timestamp() + timeout;
    while (!ended_) {
        const GstClockTime now = gst_util_get_timestamp();
        MessagePtr msg(gst_bus_timed_pop_filtered(bus_.get(), now < deadline ? deadline - now : 0, types));
        if (!msg) return;
        if (GST_MESSAGE_TYPE(msg.get()) == GST_MESSAGE_WARNING) {
            // An element's warning (a damaged packet skipped, a late buffer)
            // does not end the graph; it goes to the debug log.
            GST_WARNING_OBJECT(GST_MESSAGE_SRC(msg.get()), "%s", media::ErrorText(msg.get()).c_str());
            continue;
        }
        Record(msg.get());
    }
}

void FilterGraph::Record(GstMessage* msg) {
    ended_ = true;
    if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        endCode_ = EC_ERRORABORT;
        errorText_ = media::ErrorText(msg);
        GST_WARNING("graph ended with an error: %s", errorText_.c_str());
    } else {
        endCode_ = EC_COMPLETE;
    }
}

HRESULT CreateFilterGraph(ComPtr<IGraphBuilder>& out) {
    EnsureGstInit();
    out = com::Make<FilterGraph>();
    return S_OK;
}

} // namespace media
