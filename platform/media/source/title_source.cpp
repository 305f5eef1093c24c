#include "platform/media/source/title_source.h"

#include "platform/media/gst/element_type.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/source/dvd_nav.h"

#include <gst/base/gstpushsrc.h>

#include <mutex>
#include <string>

namespace media {
namespace {

constexpr const char* kFactory = "vobcasttitlesrc";
// Sectors a buffer: 64 KiB, as a drive reads ahead.
constexpr std::size_t kSectorsPerBuffer = 32;

struct TitleSrc {
    GstPushSrc parent;
    gchar* device;
    gint title;
    gint angle;
    TitleReader* reader;
    gboolean announced;
};
struct TitleSrcClass {
    GstPushSrcClass parent;
};

enum { PROP_0, PROP_DEVICE, PROP_TITLE, PROP_ANGLE };

GstStaticPadTemplate kSrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("video/mpeg, mpegversion=(int)2, systemstream=(boolean)true"));

TitleSrc* Self(gpointer object) { return reinterpret_cast<TitleSrc*>(object); }
GstElementClass* parentClass = nullptr;

// The format numbers of the announcement, as IFO files number them.
int FormatNumber(const std::string& format) {
    if (format == "AC-3") return 0;
    if (format == "MPEG-1") return 2;
    if (format == "MPEG-2") return 3;
    if (format == "LPCM") return 4;
    if (format == "DTS") return 6;
    return 1;  // none the demultiplexer knows
}

} // namespace

GstEvent* StreamAnnouncement(const std::vector<DvdAudio>& audio, const std::vector<DvdSubtitle>& subpictures) {
    GstStructure* codes =
        gst_structure_new("application/x-gst-dvd", "event", G_TYPE_STRING, "dvd-lang-codes", nullptr);
    int n = 0;
    for (const DvdAudio& track : audio) {
        const std::string key = "audio-" + std::to_string(n++);
        gst_structure_set(codes, (key + "-format").c_str(), G_TYPE_INT, FormatNumber(track.format),
                          (key + "-stream").c_str(), G_TYPE_INT, track.stream, nullptr);
        if (!track.language.empty())
            gst_structure_set(codes, (key + "-language").c_str(), G_TYPE_STRING, track.language.c_str(), nullptr);
    }
    n = 0;
    for (const DvdSubtitle& subtitle : subpictures) {
        const std::string key = "subpicture-" + std::to_string(n++);
        gst_structure_set(codes, (key + "-format").c_str(), G_TYPE_INT, 0, (key + "-stream").c_str(), G_TYPE_INT,
                          subtitle.stream, nullptr);
        if (!subtitle.language.empty())
            gst_structure_set(codes, (key + "-language").c_str(), G_TYPE_STRING, subtitle.language.c_str(), nullptr);
    }
    return gst_event_new_custom(GST_EVENT_CUSTOM_DOWNSTREAM, codes);
}

namespace {

gboolean Start(GstBaseSrc* base) {
    TitleSrc* s = Self(base);
    std::string error;
    std::unique_ptr<TitleReader> reader = TitleReader::Open(s->device ? s->device : "", s->title, s->angle, error);
    if (!reader) {
        GST_ELEMENT_ERROR(base, RESOURCE, OPEN_READ, ("%s", error.c_str()), (nullptr));
        return FALSE;
    }
    s->reader = reader.release();
    s->announced = FALSE;
    return TRUE;
}

gboolean Stop(GstBaseSrc* base) {
    TitleSrc* s = Self(base);
    delete s->reader;
    s->reader = nullptr;
    return TRUE;
}

gboolean IsSeekable(GstBaseSrc*) { return FALSE; }

gboolean GetSize(GstBaseSrc* base, guint64* size) {
    const TitleSrc* s = Self(base);
    if (!s->reader) return FALSE;
    *size = s->reader->Plan().sectors * kDvdSector;
    return TRUE;
}

gboolean Query(GstBaseSrc* base, GstQuery* query) {
    const TitleSrc* s = Self(base);
    if (GST_QUERY_TYPE(query) == GST_QUERY_DURATION && s->reader) {
        GstFormat format = GST_FORMAT_UNDEFINED;
        gst_query_parse_duration(query, &format, nullptr);
        if (format == GST_FORMAT_TIME && s->reader->Plan().title.seconds > 0) {
            gst_query_set_duration(query, GST_FORMAT_TIME,
                                   static_cast<gint64>(s->reader->Plan().title.seconds * GST_SECOND));
            return TRUE;
        }
    }
    return GST_BASE_SRC_CLASS(parentClass)->query(base, query);
}

GstFlowReturn Create(GstPushSrc* push, GstBuffer** out) {
    TitleSrc* s = Self(push);
    if (!s->announced) {
        s->announced = TRUE;
        const DvdTitle& title = s->reader->Plan().title;
        gst_pad_push_event(GST_BASE_SRC_PAD(push), StreamAnnouncement(title.audio, title.subtitles));
    }
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, kSectorsPerBuffer * kDvdSector, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    const std::size_t got = s->reader->Read(map.data, kSectorsPerBuffer);
    gst_buffer_unmap(buffer, &map);
    if (got == 0) {
        gst_buffer_unref(buffer);
        if (s->reader->Lost()) {
            GST_ELEMENT_ERROR(push, RESOURCE, READ, ("%s", s->reader->Error().c_str()), (nullptr));
            return GST_FLOW_ERROR;
        }
        return GST_FLOW_EOS;
    }
    gst_buffer_set_size(buffer, static_cast<gssize>(got * kDvdSector));
    *out = buffer;
    return GST_FLOW_OK;
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
    TitleSrc* s = Self(object);
    switch (id) {
    case PROP_DEVICE:
        g_free(s->device);
        s->device = g_value_dup_string(value);
        break;
    case PROP_TITLE: s->title = g_value_get_int(value); break;
    case PROP_ANGLE: s->angle = g_value_get_int(value); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
    const TitleSrc* s = Self(object);
    switch (id) {
    case PROP_DEVICE: g_value_set_string(value, s->device); break;
    case PROP_TITLE: g_value_set_int(value, s->title); break;
    case PROP_ANGLE: g_value_set_int(value, s->angle); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

void Finalize(GObject* object) {
    TitleSrc* s = Self(object);
    delete s->reader;
    g_free(s->device);
    G_OBJECT_CLASS(parentClass)->finalize(object);
}

void ClassInit(gpointer klass, gpointer) {
    parentClass = GST_ELEMENT_CLASS(g_type_class_peek_parent(klass));
    auto* object_class = G_OBJECT_CLASS(klass);
    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    object_class->finalize = Finalize;
    const auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(object_class, PROP_DEVICE,
                                    g_param_spec_string("device", "Device",
                                                        "The DVD: a mount point, VIDEO_TS folder or ISO image",
                                                        nullptr, flags));
    g_object_class_install_property(object_class, PROP_TITLE,
                                    g_param_spec_int("title", "Title", "1-based", 1, 99, 1, flags));
    g_object_class_install_property(object_class, PROP_ANGLE,
                                    g_param_spec_int("angle", "Angle", "1-based; 0 the first", 0, 9, 0, flags));
    auto* element_class = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(element_class, &kSrcTemplate);
    gst_element_class_set_static_metadata(element_class, "DVD title", "Source/File/DVD",
                                          "A DVD title as a player plays it, read with libdvdnav",
                                          "Marbleway developers");
    auto* base_class = GST_BASE_SRC_CLASS(klass);
    base_class->start = Start;
    base_class->stop = Stop;
    base_class->is_seekable = IsSeekable;
    base_class->get_size = GetSize;
    base_class->query = Query;
    GST_PUSH_SRC_CLASS(klass)->create = Create;
}

void InstanceInit(GTypeInstance* instance, gpointer) {
    TitleSrc* s = Self(instance);
    s->device = nullptr;
    s->title = 1;
    s->angle = 0;
    s->reader = nullptr;
    s->announced = FALSE;
    gst_base_src_set_format(GST_BASE_SRC(instance), GST_FORMAT_BYTES);
}

void Register() {
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterElementType({kFactory, "VobcastTitleSrc", GST_TYPE_PUSH_SRC, sizeof(TitleSrcClass), ClassInit,
                             sizeof(TitleSrc), InstanceInit});
    });
}

} // namespace

GstElement* MakeTitleSource(const ProgramSource& source) {
    Register();
    GstElement* src = MakeElement(kFactory);
    if (src) g_object_set(src, "device", source.path.c_str(), "title", source.title, "angle", source.angle, nullptr);
    return src;
}

} // namespace media
