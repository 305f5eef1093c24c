// Our MPEG-2 decoder against libav's wrapper of the same libavcodec decoder:
// the same pictures, whether they go on by reference (to an encoder, which
// reads strides from a video meta) or as copies (to a sink that cannot).
#include "platform/media/gst_ptr.h"
#include "platform/media/mpeg2_decoder.h"
#include "platform/media/mpeg4_encoder.h"
#include "sync_marks.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Every buffer the pipeline's appsink "out" receives, in order.
std::vector<std::string> Collect(const std::string& description) {
    GError* error = nullptr;
    media::GstPtr<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(gst_parse_launch(description.c_str(), &error))));
    if (error) {
        ADD_FAILURE() << description << ": " << error->message;
        g_error_free(error);
        return {};
    }
    media::GstPtr<GstElement> sink(gst_bin_get_by_name(GST_BIN(pipeline.get()), "out"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    std::vector<std::string> buffers;
    while (GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink.get()))) {
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            buffers.emplace_back(reinterpret_cast<const char*>(map.data), map.size);
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    media::GstPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    media::MessagePtr failed(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
    EXPECT_FALSE(failed) << description;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return buffers;
}

class Mpeg2Decoder : public testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() {
        media::RegisterMpeg2Decoder();
        media::RegisterMpeg4Encoders();
    }
    std::string Source() const {
        return "filesrc location=\"" + testing_media::SyncMediaPath(GetParam()) +
               "\" ! mpegpsdemux ! mpegvideoparse ! ";
    }
};

TEST_P(Mpeg2Decoder, GivesLibavsPicturesByReferenceAndAsCopies) {
    const std::string encode = " ! vobcastmpeg4enc gop-size=12 ! appsink name=out sync=false";
    const std::string raw = " ! appsink name=out sync=false caps=video/x-raw,format=I420";
    const auto ours_encoded = Collect(Source() + media::kMpeg2DecoderName + encode);
    const auto theirs_encoded = Collect(Source() + "avdec_mpeg2video max-threads=1" + encode);
    ASSERT_GT(ours_encoded.size(), 100U);
    EXPECT_EQ(ours_encoded.size(), theirs_encoded.size());
    EXPECT_TRUE(ours_encoded == theirs_encoded) << "the encoder got other pictures";

    const auto ours_raw = Collect(Source() + media::kMpeg2DecoderName + raw);
    const auto theirs_raw = Collect(Source() + "avdec_mpeg2video max-threads=1" + raw);
    ASSERT_EQ(ours_raw.size(), theirs_raw.size());
    for (std::size_t i = 0; i < ours_raw.size(); ++i) ASSERT_TRUE(ours_raw[i] == theirs_raw[i]) << "picture " << i;
}

// An open GOP at the start, a clock that starts again, film with repeat flags.
INSTANTIATE_TEST_SUITE_P(Sources, Mpeg2Decoder, testing::Values("flash.vob", "two-titles.vob", "film.vob"),
                         [](const auto& info) {
                             std::string name = std::string(info.param).substr(0, std::string(info.param).find('.'));
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
