// The filter graph manager: one GStreamer pipeline holding the filters' bins.
#pragma once

#include "platform/media/graph/filter.h"
#include "platform/media/graph/interfaces.h"

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

private:
    ~FilterGraph() override;
    // Takes end-of-stream and error messages off the bus, waiting up to timeout.
    void Drain(GstClockTime timeout);
    void Record(GstMessage* msg);

    GstPtr<GstElement> pipeline_;
    GstPtr<GstBus> bus_;
    std::vector<ComPtr<Filter>> filters_;
    bool running_ = false;
    bool ended_ = false;
    long endCode_ = 0;
    std::string errorText_;
};

} // namespace media
