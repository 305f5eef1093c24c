#include "platform/media/source/field_filters.h"

#include "platform/media/fields/fields_module.h"
#include "platform/media/gst/runtime.h"
#include "platform/media/source/pack_scan.h"

#include "platform/kernel/library.h"
#include "platform/kernel/module_folder.h"

#include <memory>
#include <mutex>
#include <vector>

namespace media {
namespace {

// Places across the source where pictures are decoded, and how much of it
// each reads: about two seconds of DVD video, 60 pictures.
constexpr int kPlaces = 6;
constexpr std::size_t kPlaceBytes = std::size_t{1536} * 1024;
// 3:2 pulldown repeats a field in two pictures of five (40 %); idet misses some.
constexpr int kFilmRepeatedPercent = 25;
// Interlaced video in motion shows the comb in nearly every picture; still
// scenes and dark ones in far fewer, progressive pictures in none.
constexpr int kInterlacedPercent = 10;
constexpr int kMinPictures = 20;

struct Module {
    kernel::Library library{kernel::ModuleFolder(reinterpret_cast<const void*>(&JudgeFields)) + "/" +
                            VOBCAST_FIELDS_FILE};
    VobcastFieldsMeasureFn measure = nullptr;
    bool registered = false;
};

// The field filters' module, loaded at the first call; null when it can't be.
Module* FieldModule() {
    static std::once_flag once;
    static std::unique_ptr<Module> module;
    std::call_once(once, [] {
        EnsureGstInit();
        auto m = std::make_unique<Module>();
        auto reg = reinterpret_cast<VobcastFieldsRegisterFn>(m->library.Symbol("VobcastFieldsRegister"));
        m->measure = reinterpret_cast<VobcastFieldsMeasureFn>(m->library.Symbol("VobcastFieldsMeasure"));
        m->registered = reg && reg() == 0;
        if (!m->registered || !m->measure) {
            GST_WARNING("the field filters can't be loaded: %s", m->library.Error().c_str());
            return;
        }
        module = std::move(m);
    });
    return module.get();
}

} // namespace

FieldWork JudgeFields(const ProgramSource& source, int interlacedSamples, FieldChoice choice) {
    const bool deinterlace = choice.deinterlace != Deinterlace::Never;
    const bool detelecine = choice.detelecine == Detelecine::Auto;
    if (interlacedSamples == 0) return choice.deinterlace == Deinterlace::Always ? FieldWork::Deinterlace : FieldWork::None;
    if (!detelecine) return deinterlace ? FieldWork::Deinterlace : FieldWork::None;
    Module* module = FieldModule();
    std::string error;
    std::unique_ptr<SourceBytes> bytes = module ? OpenSourceBytes(source, error) : nullptr;
    if (!bytes) return deinterlace ? FieldWork::Deinterlace : FieldWork::None;

    int places = 0, film = 0, interlaced = 0;
    const std::uint64_t size = bytes->Size();
    for (int i = 0; i < kPlaces; ++i) {
        const std::uint64_t at = size > kPlaceBytes ? (size - kPlaceBytes) * static_cast<std::uint64_t>(i) / (kPlaces - 1) : 0;
        const std::vector<std::uint8_t> es = VideoElementaryStream(bytes->ReadAt(at, kPlaceBytes));
        VobcastFieldCounts counts{};
        if (es.empty() || module->measure(es.data(), es.size(), &counts) != 0 || counts.pictures < kMinPictures) continue;
        ++places;
        if (counts.repeated * 100 >= counts.pictures * kFilmRepeatedPercent) ++film;
        else if (counts.combed * 100 >= counts.pictures * kInterlacedPercent) ++interlaced;
        GST_INFO("pictures at %" G_GUINT64_FORMAT ": %d, %d combed, %d repeating a field", at, counts.pictures,
                 counts.combed, counts.repeated);
        if (size <= kPlaceBytes) break;
    }
    if (places > 0 && film == places) return FieldWork::Restore;
    if (film > 0) return FieldWork::Match;
    if (!deinterlace) return FieldWork::None;
    return places > 0 && interlaced == places ? FieldWork::Interlaced : FieldWork::Deinterlace;
}

std::string FieldFilters(FieldWork work, FieldChoice choice) {
    // bwdif: motion-adaptive, from the frames either side; each field in turn
    // gives one frame at the source's rate (send_frame).
    const std::string bwdif = choice.deinterlace == Deinterlace::Always
                                  ? "bwdif=mode=send_frame:parity=auto:deint=all"
                                  : "bwdif=mode=send_frame:parity=auto:deint=interlaced";
    const bool deinterlace = choice.deinterlace != Deinterlace::Never;
    // fieldmatch rebuilds film frames from their fields and flags the pictures
    // it can't match as interlaced, for bwdif; at half its default comb
    // threshold it leaves none of the video between film combed. Judging every
    // match by its combing is what finds the video among film; film throughout
    // needs it only where the scene changes, at a third of the cost.
    const std::string match = std::string("fieldmatch=order=auto:combpel=40:combmatch=") +
                              (work == FieldWork::Restore ? "sc" : "full");
    switch (work) {
    case FieldWork::None: return {};
    case FieldWork::Deinterlace:
        return choice.deinterlace == Deinterlace::Always ? bwdif : "idet," + bwdif;
    case FieldWork::Interlaced: return "bwdif=mode=send_frame:parity=auto:deint=all";
    case FieldWork::Match: return deinterlace ? match + "," + bwdif : match;
    case FieldWork::Restore: return (deinterlace ? match + "," + bwdif : match) + ",decimate";
    }
    return {};
}

GstElement* MakeFieldElement(const std::string& filters) {
    if (filters.empty() || !FieldModule()) return nullptr;
    GstElement* element = MakeElement(VOBCAST_FIELDS_ELEMENT);
    if (element) g_object_set(element, "filters", filters.c_str(), nullptr);
    return element;
}

} // namespace media
