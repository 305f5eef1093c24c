#include "conversion_state.h"

namespace vobcast {

ConversionState& State() {
    static ConversionState state;
    return state;
}

void ReleaseTheFour(ConversionState& s) {
    s.mediaEvent.Reset();
    s.mediaControl.Reset();
    s.deviceEnum.Reset();
    s.graph.Reset();
}

void ReleaseAll(ConversionState& s) {
    s.mediaControl.Reset();
    s.mediaEvent.Reset();
    s.mediaSeeking.Reset();
    s.fileSource.Reset();
    s.splitter.Reset();
    s.videoDecoder.Reset();
    s.audioDecoder.Reset();
    s.videoCompressor.Reset();
    s.audioCompressor.Reset();
    s.aviMux.Reset();
    s.fileWriter.Reset();
    s.deviceEnum.Reset();
    s.graph.Reset();
}

} // namespace vobcast
