// The decoders and compressors: a chain of elements between one input and one
// output pin. Each decoder's chain parses in the demultiplexer's thread and then
// queues, so that demultiplexing, decoding and encoding run on threads of
// their own.
#include "platform/media/elements/audio_decoder.h"
#include "platform/media/elements/mpeg2_decoder.h"
#include "platform/media/elements/mpeg4_encoder.h"
#include "platform/media/elements/subtitle_overlay.h"
#include "platform/media/elements/wma_encoder.h"
#include "platform/media/filters/factories.h"
#include "platform/media/filters/splitter.h"
#include "platform/media/filters/stereo_mix.h"
#include "platform/media/graph/filter.h"
#include "platform/media/gst/handles.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/repair/timeline.h"
#include "platform/media/source/field_filters.h"

#include <algorithm>
#include <string>

namespace media {
namespace {

// Demuxer-side queues are bounded in time only: a buffer-count limit stalls
// pre-roll where DVD interleave puts one stream ahead of the other. A second
// keeps the decoders fed; what one stream runs ahead of the other beyond
// that waits in the multiplexer's own input queues, coded, in a third of the
// memory.
constexpr const char* kBranchQueue = "queue max-size-buffers=0 max-size-bytes=0 max-size-time=1000000000";
// Between decoder and an encoder that codes in the thread it is called in,
// one raw frame is enough to let the two run at once.
constexpr const char* kFrameQueue = "queue max-size-buffers=1 max-size-bytes=0 max-size-time=0";
constexpr const char* kWholeFrames = "capssetter join=true replace=false caps=\"video/x-raw,interlace-mode=progressive\"";
// The decoders hand on whole timelines: one picture every frame period from
// the start of the stream's segment to its end, whatever the source skipped
// (damaged sectors, the gap where its clock starts again) or repeated; sound
// without gaps or overlaps. A player times AVI streams by counting frames and
// blocks, so this is what keeps picture and sound together.
std::string VideoDecoderChain() {
    return std::string("mpegvideoparse ! ") + kBranchQueue + " name=pictures ! " + kMpeg2DecoderName +
           " ! videorate name=rate ! capsfilter name=framerate";
}
// The sound's own decoding comes in front of this once the splitter's pin
// says what the track is (AudioHead).
std::string AudioDecoderChain() {
    return "audioconvert name=mix ! "
           "capsfilter caps=\"audio/x-raw,format=F32LE,layout=interleaved,channels=2\" name=stereo ! "
           "audiorate tolerance=10000000";
}
// Parsing (in the demultiplexer's thread) and decoding of a DVD sound track
// by its caps; empty for a format no decoder here takes.
std::string AudioHead(const GstCaps* caps) {
    if (!caps || gst_caps_is_empty(caps) || gst_caps_is_any(caps)) return {};
    const std::string name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    const std::string decode = std::string(" ! ") + kBranchQueue + " ! " + kAudioDecoderName;
    if (name == "audio/x-private1-ac3" || name == "audio/x-ac3" || name == "audio/ac3") return "ac3parse" + decode;
    if (name == "audio/mpeg") return "mpegaudioparse" + decode;
    if (name == "audio/x-private1-dts" || name == "audio/x-dts") return "dcaparse" + decode;
    // LPCM is samples already: GStreamer unpacks the DVD's layout.
    if (name == "audio/x-private1-lpcm" || name == "audio/x-lpcm") return std::string(kBranchQueue) + " ! dvdlpcmdec";
    return {};
}

// dcaparse reads DTS as the DVD carries it (the demultiplexer's
// audio/x-private1-dts), but offers that only to a downstream that takes any
// DTS, and the decoder behind it takes framed DTS alone: the parser's answers
// about what it accepts are widened to what it reads.
GstPadProbeReturn WidenDtsAnswers(GstPad*, GstPadProbeInfo* info, gpointer) {
    GstQuery* query = GST_PAD_PROBE_INFO_QUERY(info);
    if (GST_QUERY_TYPE(query) == GST_QUERY_CAPS) {
        GstCaps* caps = nullptr;
        gst_query_parse_caps_result(query, &caps);
        if (!caps) return GST_PAD_PROBE_OK;
        CapsPtr wider(gst_caps_merge(gst_caps_copy(caps), gst_caps_from_string("audio/x-private1-dts")));
        gst_query_set_caps_result(query, wider.get());
    } else if (GST_QUERY_TYPE(query) == GST_QUERY_ACCEPT_CAPS) {
        GstCaps* caps = nullptr;
        gst_query_parse_accept_caps(query, &caps);
        if (caps && gst_structure_has_name(gst_caps_get_structure(caps, 0), "audio/x-private1-dts"))
            gst_query_set_accept_caps_result(query, TRUE);
    }
    return GST_PAD_PROBE_OK;
}

class TransformFilter : public Filter {
public:
    TransformFilter(const std::u16string& name, const std::string& chain, const std::u16string& inName,
                    const std::u16string& outName)
        : Filter(name) {
        chain_ = AddChain(chain.c_str());
        if (!chain_) return;
        GstPtr<GstPad> sink(gst_element_get_static_pad(chain_, "sink"));
        GstPtr<GstPad> src(gst_element_get_static_pad(chain_, "src"));
        AddGhostPin(inName, PINDIR_INPUT, sink.get());
        AddGhostPin(outName, PINDIR_OUTPUT, src.get());
    }

    bool Valid() const { return chain_ != nullptr; }

protected:
    // One element of the chain by its name; the caller owns the reference.
    GstElement* Element(const char* name) const {
        return chain_ ? gst_bin_get_by_name(GST_BIN(chain_), name) : nullptr;
    }

    // Puts element (floating, or null: then nothing) at the input end of the
    // chain, or at its output end. Only before the pins are linked.
    bool Extend(GstElement* element, bool atInput) {
        if (!element) return false;
        gst_bin_add(GST_BIN(chain_), element);
        GstPtr<GstPad> ghost(gst_element_get_static_pad(chain_, atInput ? "sink" : "src"));
        GstPtr<GstPad> end(gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get())));
        GstPtr<GstPad> own(gst_element_get_static_pad(element, atInput ? "sink" : "src"));
        GstPtr<GstPad> other(gst_element_get_static_pad(element, atInput ? "src" : "sink"));
        if (!end || !own || !other || !gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), nullptr)) return false;
        const GstPadLinkReturn linked = atInput ? gst_pad_link(other.get(), end.get()) : gst_pad_link(end.get(), other.get());
        return GST_PAD_LINK_SUCCESSFUL(linked) && gst_ghost_pad_set_target(GST_GHOST_PAD(ghost.get()), own.get());
    }

    // Makes pad, a sink pad of an element of the chain, a pad of the filter's
    // bin named name, for a stream that comes by no pin. Null when it can't.
    GstPad* ExposeSink(GstPad* pad, const char* name) {
        GstPad* chainPad = gst_ghost_pad_new(name, pad);
        if (!chainPad || !gst_element_add_pad(chain_, chainPad)) return nullptr;
        GstPad* binPad = gst_ghost_pad_new(name, chainPad);
        if (!binPad || !gst_element_add_pad(bin_.get(), binPad)) return nullptr;
        return binPad;
    }

private:
    GstElement* chain_ = nullptr;
};

// The sound's data rate; the WMA encoder's blocks are all of one size.
constexpr long kWmaBitrate = 128000;

// What an AVI file holds beside its video and sound: an 8-byte header and two
// index entries (16 and 8 bytes) for each chunk, a video frame or a sound
// block, at up to 30 and 24 a second; and the headers, with room for the
// OpenDML indexes.
constexpr long kAviChunksPerSecond = 54;
constexpr long kAviBytesPerChunk = 32;
constexpr long kAviHeaderBytes = 16 << 10;

class VideoCompressor final : public TransformFilter, public IVideoCompression, public ISizePasses {
public:
    VideoCompressor(const std::u16string& name, const VideoEncoderInfo& spec, const std::string& chain)
        : TransformFilter(name, chain, u"Input", u"Output"), spec_(spec) {}

    HRESULT SetKeyFrameRate(long frames) override {
        if (frames <= 0) return E_INVALIDARG;
        if (!spec_.keyFrameProperty) return S_FALSE;
        return Set(spec_.keyFrameProperty, frames);
    }

    HRESULT SetDataRate(long kbps) override {
        if (kbps <= 0) return E_INVALIDARG;
        if (!spec_.bitrateProperty) return S_FALSE;
        return Set(spec_.bitrateProperty, kbps * 1000 / spec_.bitrateUnit);
    }

    HRESULT SetPasses(const SizePasses& passes) override {
        GstPtr<GstElement> encoder(Element("encoder"));
        if (!encoder) return E_UNEXPECTED;
        if (!g_object_class_find_property(G_OBJECT_GET_CLASS(encoder.get()), "pass")) return E_NOTIMPL;
        const gint64 fileBits = std::max<gint64>(0, passes.fileBytes - SizeHeaderBytes()) * 8;
        g_object_set(encoder.get(), "pass", passes.pass, "stats-file", passes.stats.c_str(), "file-bits", fileBits,
                     "other-bitrate", static_cast<gint>(SizeOtherBitrate()), nullptr);
        return S_OK;
    }

private:
    HRESULT Set(const char* property, long value) {
        GstPtr<GstElement> encoder(Element("encoder"));
        if (!encoder) return E_UNEXPECTED;
        GParamSpec* pspec = g_object_class_find_property(G_OBJECT_GET_CLASS(encoder.get()), property);
        if (!pspec) return E_NOTIMPL;
        GValue v = G_VALUE_INIT;
        g_value_init(&v, G_TYPE_LONG);
        g_value_set_long(&v, value);
        GValue converted = G_VALUE_INIT;
        g_value_init(&converted, pspec->value_type);
        const bool ok = g_value_transform(&v, &converted) && !g_param_value_validate(pspec, &converted);
        if (ok) g_object_set_property(G_OBJECT(encoder.get()), property, &converted);
        GST_INFO_OBJECT(encoder.get(), "%s = %ld%s", property, value, ok ? "" : " refused");
        g_value_unset(&v);
        g_value_unset(&converted);
        return ok ? S_OK : E_INVALIDARG;
    }

    const VideoEncoderInfo& spec_;
};

// Film carried with repeat-field flags leaves the decoder at the display
// rate, its pictures timed 3:2; it is retimed to one frame per picture.
// Pictures whose fields are from two instants are made progressive.
class VideoDecoder final : public TransformFilter {
public:
    explicit VideoDecoder(const std::u16string& name)
        : TransformFilter(name, VideoDecoderChain(), u"MPEG In", u"Video Out") {
        if (GstPtr<GstElement> rate(Element("rate")); rate) HoldPicturesThroughGaps(rate.get());
    }

    HRESULT PrepareInput(Pin*, Pin* upstream) override {
        ComPtr<ISplitterInfo> splitter;
        if (!upstream->Owner() || FAILED(com::QueryInterface(upstream->Owner(), splitter))) return S_OK;
        if (splitter->Film()) {
            GstPtr<GstElement> rate(Element("framerate"));
            if (!rate) return S_OK;
            CapsPtr film(gst_caps_from_string("video/x-raw,framerate=24000/1001"));
            g_object_set(rate.get(), "caps", film.get(), nullptr);
            GST_INFO_OBJECT(rate.get(), "film: one frame per picture at 24000/1001");
        }
        // Interlaced or telecined pictures leave the decoder progressive, after
        // the regular timeline is made.
        const std::string filters = splitter->FieldFilters();
        if (!filters.empty() && !Extend(MakeFieldElement(filters), false))
            GST_WARNING("the pictures stay as they are: the field filters \"%s\" can't be used", filters.c_str());
        // Subtitles are drawn into the progressive pictures, each at its time.
        const ISplitterInfo::Subtitles subtitles = splitter->ChosenSubtitles();
        if (subtitles.chosen && !DrawSubtitles(subtitles, *splitter)) return VFW_E_TYPE_NOT_ACCEPTED;
        // The edges are cut last; the pixels keep their shape, so the picture
        // left shows as wide as it did.
        if (const Crop crop = splitter->PictureCrop(); crop.Any()) {
            GstElement* cut = MakeElement("videocrop");
            if (!cut) return VFW_E_TYPE_NOT_ACCEPTED;
            g_object_set(cut, "top", crop.top, "bottom", crop.bottom, "left", crop.left, "right", crop.right, nullptr);
            if (!Extend(cut, false)) return VFW_E_TYPE_NOT_ACCEPTED;
        }
        return S_OK;
    }

private:
    bool DrawSubtitles(const ISplitterInfo::Subtitles& subtitles, ISplitterInfo& splitter) {
        GstElement* overlay = MakeElement(kSubtitleOverlayName);
        if (!overlay) return false;
        if (!subtitles.palette.empty()) g_object_set(overlay, "palette", subtitles.palette.c_str(), nullptr);
        if (!subtitles.ifo.empty()) g_object_set(overlay, "ifo", subtitles.ifo.c_str(), nullptr);
        // Subpictures in the bars to be cut move into the picture that stays.
        const Crop crop = splitter.PictureCrop();
        g_object_set(overlay, "forced-only", subtitles.forcedOnly ? TRUE : FALSE, "keep-top", crop.top, "keep-bottom",
                     crop.bottom, nullptr);
        // A picture never waits for a subpicture while the demultiplexer waits for it.
        if (GstPtr<GstElement> feeder(Element("pictures")); feeder) g_object_set(overlay, "feeder", feeder.get(), nullptr);
        GstPtr<GstPad> pad(gst_element_get_static_pad(overlay, "subpicture"));
        if (!Extend(overlay, false)) return false;
        GstPad* inner = ExposeSink(pad.get(), "subpicture");
        if (!inner) return false;
        splitter.SendSubpicturesTo(inner);
        return true;
    }
};

class AudioDecoder final : public TransformFilter {
public:
    explicit AudioDecoder(const std::u16string& name)
        : TransformFilter(name, AudioDecoderChain(), u"MPEG / AC-3 / LPCM in", u"PCM out") {
        GstPtr<GstElement> mix(Element("mix"));
        GstPtr<GstElement> stereo(Element("stereo"));
        if (!mix || !stereo) return;
        MixToStereo(mix.get());
        GstPtr<GstPad> out(gst_element_get_static_pad(stereo.get(), "src"));
        GuardLevel(out.get());
    }

    // The track's decoder is chosen when the splitter's pin is connected.
    HRESULT PrepareInput(Pin*, Pin* upstream) override {
        if (decoding_) return E_UNEXPECTED;
        CapsPtr caps = upstream->Caps();
        const std::string head = AudioHead(caps.get());
        GstElement* bin = head.empty() ? nullptr : ParseChain(head.c_str());
        if (!Extend(bin, true)) return VFW_E_TYPE_NOT_ACCEPTED;
        if (head.rfind("dcaparse", 0) == 0) {
            GstPtr<GstPad> sink(gst_element_get_static_pad(bin, "sink"));
            GstPtr<GstPad> parser(gst_ghost_pad_get_target(GST_GHOST_PAD(sink.get())));
            gst_pad_add_probe(parser.get(),
                              static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM | GST_PAD_PROBE_TYPE_PULL),
                              WidenDtsAnswers, nullptr, nullptr);
        }
        decoding_ = true;
        return S_OK;
    }

private:
    bool decoding_ = false;
};

class WmaCompressor final : public TransformFilter {
public:
    explicit WmaCompressor(const std::u16string& name)
        : TransformFilter(name, std::string("audioconvert ! audioresample ! ") + kWmaEncoderName +
                                    " name=encoder bitrate=" + std::to_string(kWmaBitrate),
                          u"Input", u"Output") {
        // WMA's first block decodes to silence: the encoder starts one block late.
        if (GstPtr<GstElement> encoder(Element("encoder")); encoder)
            TrimEncoderDelay(encoder.get(), [](guint rate) -> guint { return WmaBlockSamples(rate); });
    }
};

template <typename T, typename... Args>
ComPtr<IBaseFilter> MakeValid(Args&&... args) {
    auto filter = com::Make<T>(std::forward<Args>(args)...);
    if (!filter->Valid()) return nullptr;
    return filter;
}

} // namespace

long SizeOtherBitrate() { return kWmaBitrate + kAviChunksPerSecond * kAviBytesPerChunk * 8; }

long SizeHeaderBytes() { return kAviHeaderBytes; }

ComPtr<IBaseFilter> MakeMpeg2VideoDecoder(const std::u16string& name) { return MakeValid<VideoDecoder>(name); }

ComPtr<IBaseFilter> MakeAudioDecoder(const std::u16string& name) { return MakeValid<AudioDecoder>(name); }

ComPtr<IBaseFilter> MakeWmaV2Compressor(const std::u16string& name) { return MakeValid<WmaCompressor>(name); }

ComPtr<IBaseFilter> MakeVideoCompressor(const std::u16string& name, const VideoEncoderInfo& spec) {
    // videoconvert passes the decoder's I420 through untouched when the
    // encoder takes it, and converts only for encoders that want another format.
    // DVD video is flagged interlaced ("mixed") even when its frames are whole;
    // the compressors code whole frames, as AVI players expect, instead of
    // searching motion field by field at twice the cost.
    std::string chain = CodesOnWorkers(spec.element) ? std::string() : std::string(kFrameQueue) + " ! ";
    chain += std::string("videoconvert ! ") + kWholeFrames + " ! " + spec.element + " name=encoder";
    if (spec.properties && *spec.properties) chain += std::string(" ") + spec.properties;
    if (spec.outputCaps) chain += std::string(" ! capssetter join=false replace=false caps=\"") + spec.outputCaps + "\"";
    return MakeValid<VideoCompressor>(name, spec, chain);
}

} // namespace media
