// Our codec elements against libav's GStreamer wrappers of the same libavcodec
// codecs: the MPEG-2 decoder's pictures, whether they go on by reference (to
// an encoder, which reads strides from a video meta) or as copies (to a sink
// that cannot); the AC-3 decoder's samples in their channel positions; the
// WMA encoder's packets and stream format.
#include "platform/media/gst/handles.h"
#include "platform/media/elements/audio_decoder.h"
#include "platform/media/elements/mpeg2_decoder.h"
#include "platform/media/elements/mpeg4_encoder.h"
#include "platform/media/elements/wma_encoder.h"
#include "sync_marks.h"
#include "test_media.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Every buffer the pipeline's appsink "out" receives, in order; caps, if
// given, gets the caps of the last one.
std::vector<std::string> Collect(const std::string& description, std::string* caps = nullptr) {
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
        if (caps) {
            gchar* text = gst_caps_to_string(gst_sample_get_caps(sample));
            *caps = text;
            g_free(text);
        }
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

// A sync test source read up to its demultiplexer's streams.
std::string Demuxed(const char* file) {
    return "filesrc location=\"" + testing_media::MediaPath(file) + "\" ! mpegpsdemux ! ";
}

void RegisterOurs() {
    media::RegisterMpeg2Decoder();
    media::RegisterMpeg4Encoders();
    media::RegisterAudioDecoder();
    media::RegisterWmaEncoder();
}

class Mpeg2Decoder : public testing::TestWithParam<const char*> {
protected:
    static void SetUpTestSuite() { RegisterOurs(); }
    std::string Source() const { return Demuxed(GetParam()) + "mpegvideoparse ! "; }
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

// Stereo and 5.1: the same samples, in the same places.
TEST(Ac3Decoder, GivesLibavsSamplesInTheirChannelPositions) {
    RegisterOurs();
    for (const char* file : {"flash.vob", "surround.vob"}) {
        const std::string source = Demuxed(file) + "ac3parse ! ";
        const std::string sink = " ! appsink name=out sync=false caps=audio/x-raw,format=F32LE,layout=interleaved";
        std::string ours_caps, theirs_caps;
        const auto ours = Collect(source + media::kAudioDecoderName + sink, &ours_caps);
        const auto theirs = Collect(source + "avdec_ac3 ! audioconvert" + sink, &theirs_caps);
        ASSERT_GT(ours.size(), 100U) << file;
        EXPECT_TRUE(ours == theirs) << file;
        const media::CapsPtr a(gst_caps_from_string(ours_caps.c_str())), b(gst_caps_from_string(theirs_caps.c_str()));
        EXPECT_TRUE(gst_caps_is_equal(a.get(), b.get())) << ours_caps << "\n" << theirs_caps;
    }
}

TEST(WmaEncoder, MakesLibavsPacketsAndStreamFormat) {
    RegisterOurs();
    const std::string source = "audiotestsrc num-buffers=300 samplesperbuffer=1000 wave=saw freq=311 ! "
                               "audio/x-raw,format=F32LE,rate=48000,channels=2 ! ";
    std::string ours_caps, theirs_caps;
    const auto ours = Collect(source + media::kWmaEncoderName + " bitrate=128000 ! appsink name=out sync=false", &ours_caps);
    // Asked for 128 kbit/s, ours codes 688-byte blocks (129 kbit/s), a whole
    // number of bytes a second, where libav's would code 682.
    const auto theirs = Collect(source + "avenc_wmav2 bitrate=129000 ! appsink name=out sync=false", &theirs_caps);
    ASSERT_GT(ours.size(), 100U);
    EXPECT_TRUE(ours == theirs) << ours.size() << " packets against " << theirs.size();
    const auto value = [](const std::string& caps, const char* field) {
        const auto at = caps.find(field);
        return at == std::string::npos ? std::string("missing") : caps.substr(at, caps.find_first_of(",", at) - at);
    };
    for (const char* field : {"block_align=(int)", "bitrate=(int)", "codec_data=(buffer)", "rate=(int)", "channels=(int)"})
        EXPECT_EQ(value(ours_caps, field), value(theirs_caps, field)) << field;
    EXPECT_EQ(value(ours_caps, "block_align=(int)"), "block_align=(int)688");
}

} // namespace
