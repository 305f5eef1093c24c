// The filter graph manager: one GStreamer pipeline holding the filters' bins.
#pragma once

#include "platform/media/graph/filter.h"
#include "platform/media/graph/interfaces.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace media {

class FilterGraph final : public IGraphBuilder, public IMediaControl, public IMediaEvent {
public:
    FilterGraph();

    HRESULT AddFilter(IBaseFilter* filter, const std::u16string& name) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AmMediaType* mt) override;
    HRESULT Run() override;
    HRESULT Stop() override;
    HRESULT WaitForCompletion(long timeoutMs, long& evCode) override;
    std::string ErrorText() override;

    // How long Stop waits at most for end of stream to reach the file writer,
    // and for a graph in which nothing moves; then how long for the graph to
    // let go once its streams are flushed, before it is given up.
    static constexpr GstClockTime kDrainLimit = 20 * GST_SECOND;
    static constexpr GstClockTime kStillLimit = 4 * GST_SECOND;
    static constexpr GstClockTime kReleaseLimit = 3 * GST_SECOND;

private:
    struct Teardown;

    ~FilterGraph() override;
    // Takes end-of-stream and error messages off the bus, waiting up to timeout.
    void Drain(GstClockTime timeout);
    // The same, for as long as data moves somewhere in the graph, up to limit.
    void DrainWhileMoving(GstClockTime limit);
    void Record(GstMessage* msg);
    // Counts the data crossing every pad there is when the graph starts.
    void WatchMovement();
    // Flushes every stream from its source on: whatever waits on data wakes.
    void FlushSources();

    GstPtr<GstElement> pipeline_;
    GstPtr<GstBus> bus_;
    std::vector<ComPtr<Filter>> filters_;
    std::shared_ptr<std::atomic<std::uint64_t>> moved_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    bool watching_ = false;
    bool running_ = false;
    // A graph that would not let go, its threads held up for good: it is left
    // as it is, never touched again, and what it uses is never freed.
    bool wedged_ = false;
    bool ended_ = false;
    long endCode_ = 0;
    std::string errorText_;
};

} // namespace media
