#include "platform/media/graph/graph.h"

#include "platform/media/gst/error_text.h"
#include "platform/media/gst/runtime.h"

#include "platform/com/text.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

namespace media {
namespace {

using Counter = std::shared_ptr<std::atomic<std::uint64_t>>;

GstPadProbeReturn CountMovement(GstPad*, GstPadProbeInfo*, gpointer data) {
    (*static_cast<Counter*>(data))->fetch_add(1, std::memory_order_relaxed);
    return GST_PAD_PROBE_OK;
}

void ReleaseCounter(gpointer data) { delete static_cast<Counter*>(data); }

std::chrono::nanoseconds Ns(GstClockTime t) { return std::chrono::nanoseconds(static_cast<std::int64_t>(t)); }

} // namespace

// A stop on a thread of its own, so that the caller waits for it only as
// long as it chooses: end of stream is sent (a source whose streaming thread
// is held up downstream keeps its stream lock, and sending waits for that),
// then, once the caller says so, the pipeline goes to NULL and is let go.
struct FilterGraph::Teardown {
    std::mutex lock;
    std::condition_variable changed;
    bool sent = false;     // end of stream is on its way
    bool release = false;  // the caller is done waiting for it
    bool done = false;     // the pipeline is in NULL

    void Set(bool Teardown::*flag) {
        std::lock_guard guard(lock);
        this->*flag = true;
        changed.notify_all();
    }
    // Waits up to limit for flag; GST_CLOCK_TIME_NONE waits for good.
    bool WaitFor(bool Teardown::*flag, GstClockTime limit) {
        std::unique_lock guard(lock);
        if (!GST_CLOCK_TIME_IS_VALID(limit)) {
            changed.wait(guard, [&] { return this->*flag; });
            return true;
        }
        return changed.wait_for(guard, Ns(limit), [&] { return this->*flag; });
    }
};

FilterGraph::FilterGraph()
    : pipeline_(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)))),
      bus_(gst_element_get_bus(pipeline_.get())) {}

FilterGraph::~FilterGraph() {
    if (running_) Stop();
    if (wedged_) {
        // Threads still inside the filters would find them gone: the pipeline
        // and the filters stay as they are for the rest of the process.
        (void)pipeline_.release();
        (void)bus_.release();
        new std::vector<ComPtr<Filter>>(std::move(filters_));
        return;
    }
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
    if (wedged_) return VFW_E_WRONG_STATE;
    WatchMovement();
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

// End of stream lets every element finish what it holds, and the multiplexer
// write its index, so a stopped conversion leaves a valid file. A graph that
// does not get it there (nothing moves for kStillLimit, or kDrainLimit is
// over) is flushed from its sources, which wakes whatever waits on data, and
// torn down; one that does not let go even then is given up (wedged). Stop
// returns within about kDrainLimit + kReleaseLimit whatever the filters do:
// S_OK with the file finished, E_FAIL without.
HRESULT FilterGraph::Stop() {
    if (!running_) return S_OK;
    running_ = false;
    const bool finished = ended_;
    auto teardown = std::make_shared<Teardown>();
    std::thread([teardown, pipeline = GST_ELEMENT(gst_object_ref(pipeline_.get())), finished] {
        if (!finished) gst_element_send_event(pipeline, gst_event_new_eos());
        teardown->Set(&Teardown::sent);
        teardown->WaitFor(&Teardown::release, GST_CLOCK_TIME_NONE);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        teardown->Set(&Teardown::done);
    }).detach();
    if (!ended_) DrainWhileMoving(kDrainLimit);
    const bool complete = ended_ && endCode_ == EC_COMPLETE;
    if (!ended_) {
        GST_WARNING("end of stream did not reach the file writer: flushing the graph; the file lacks its index");
        FlushSources();
    }
    teardown->Set(&Teardown::release);
    if (!teardown->WaitFor(&Teardown::done, kReleaseLimit)) {
        GST_ERROR("the graph does not let go of its streams: left as it is");
        wedged_ = true;
        return E_FAIL;
    }
    return complete || finished ? S_OK : E_FAIL;
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

void FilterGraph::DrainWhileMoving(GstClockTime limit) {
    const GstClockTime deadline = gst_util_get_timestamp() + limit;
    std::uint64_t seen = moved_->load();
    GstClockTime lastMove = gst_util_get_timestamp();
    while (!ended_) {
        const GstClockTime now = gst_util_get_timestamp();
        if (now >= deadline || now - lastMove >= kStillLimit) return;
        Drain(std::min<GstClockTime>(deadline - now, 100 * GST_MSECOND));
        if (const std::uint64_t moved = moved_->load(); moved != seen) {
            seen = moved;
            lastMove = gst_util_get_timestamp();
        }
    }
}

void FilterGraph::WatchMovement() {
    if (watching_) return;
    watching_ = true;
    GstIterator* elements = gst_bin_iterate_recurse(GST_BIN(pipeline_.get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        auto* element = GST_ELEMENT(g_value_get_object(&item));
        GstIterator* pads = gst_element_iterate_pads(element);
        GValue pad = G_VALUE_INIT;
        while (gst_iterator_next(pads, &pad) == GST_ITERATOR_OK) {
            gst_pad_add_probe(GST_PAD(g_value_get_object(&pad)),
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST),
                              CountMovement, new Counter(moved_), ReleaseCounter);
            g_value_reset(&pad);
        }
        g_value_unset(&pad);
        gst_iterator_free(pads);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
}

void FilterGraph::FlushSources() {
    GstIterator* sources = gst_bin_iterate_sources(GST_BIN(pipeline_.get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(sources, &item) == GST_ITERATOR_OK) {
        GstIterator* pads = gst_element_iterate_src_pads(GST_ELEMENT(g_value_get_object(&item)));
        GValue pad = G_VALUE_INIT;
        while (gst_iterator_next(pads, &pad) == GST_ITERATOR_OK) {
            gst_pad_push_event(GST_PAD(g_value_get_object(&pad)), gst_event_new_flush_start());
            g_value_reset(&pad);
        }
        g_value_unset(&pad);
        gst_iterator_free(pads);
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sources);
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
