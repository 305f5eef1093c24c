#include "engine_binding.h"

#include "platform/kernel/module_folder.h"

namespace vobcast {
namespace {
constexpr std::int32_t kEFail = static_cast<std::int32_t>(0x80004005u);
}

EngineBinding::EngineBinding(std::string library)
    : library_(library.find('/') == std::string::npos ? kernel::ExecutableFolder() + "/" + library : library) {}

EngineBinding::~EngineBinding() = default;

std::int32_t EngineBinding::DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                                   std::int32_t flag) {
    auto* fn = reinterpret_cast<std::int32_t (*)(std::uintptr_t, const char*, const char*, std::int32_t)>(
        library_.Symbol("DoInit"));
    return fn ? fn(window, source.c_str(), destination.c_str(), flag) : kEFail;
}

std::int32_t EngineBinding::StartComp() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("StartComp"));
    return fn ? fn() : kEFail;
}

std::int32_t EngineBinding::StopComp() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("StopComp"));
    return fn ? fn() : kEFail;
}

std::int32_t EngineBinding::DoUninit() {
    auto* fn = reinterpret_cast<std::int32_t (*)()>(library_.Symbol("DoUninit"));
    return fn ? fn() : kEFail;
}

std::int64_t EngineBinding::GetCurrentPos() {
    auto* fn = reinterpret_cast<std::int64_t (*)()>(library_.Symbol("GetCurrentPos"));
    return fn ? fn() : -1;
}

bool EngineBinding::SetMessageSink(VobcastMessageSink sink, void* context) {
    auto* fn = reinterpret_cast<decltype(&VobcastSetMessageSink)>(library_.Symbol("VobcastSetMessageSink"));
    if (fn) fn(sink, context);
    return fn != nullptr;
}

bool EngineBinding::SetChooser(VobcastChooser chooser, void* context) {
    auto* fn = reinterpret_cast<decltype(&VobcastSetChooser)>(library_.Symbol("VobcastSetChooser"));
    if (fn) fn(chooser, context);
    return fn != nullptr;
}

std::vector<std::string> EngineBinding::CompressorNames() {
    std::vector<std::string> names;
    auto* fn = reinterpret_cast<decltype(&VobcastCompressorName)>(library_.Symbol("VobcastCompressorName"));
    for (std::int32_t i = 0; fn; ++i) {
        const std::int32_t length = fn(i, nullptr, 0);
        if (length < 0) break;
        std::string name(static_cast<std::size_t>(length) + 1, '\0');
        fn(i, name.data(), length + 1);
        name.resize(static_cast<std::size_t>(length));
        names.push_back(std::move(name));
    }
    return names;
}

std::int32_t EngineBinding::ChooseSource(std::int32_t title, std::int32_t audioStream) {
    auto* fn = reinterpret_cast<decltype(&VobcastChooseSource)>(library_.Symbol("VobcastChooseSource"));
    return fn ? fn(title, audioStream) : kEFail;
}

std::int32_t EngineBinding::ChooseAngle(std::int32_t angle) {
    auto* fn = reinterpret_cast<decltype(&VobcastChooseAngle)>(library_.Symbol("VobcastChooseAngle"));
    return fn ? fn(angle) : kEFail;
}

std::int32_t EngineBinding::ChoosePictures(std::int32_t deinterlace, std::int32_t detelecine) {
    auto* fn = reinterpret_cast<decltype(&VobcastChoosePictures)>(library_.Symbol("VobcastChoosePictures"));
    return fn ? fn(deinterlace, detelecine) : kEFail;
}

std::int32_t EngineBinding::ChooseSubtitles(std::int32_t stream, bool forcedOnly) {
    auto* fn = reinterpret_cast<decltype(&VobcastChooseSubtitles)>(library_.Symbol("VobcastChooseSubtitles"));
    return fn ? fn(stream, forcedOnly ? 1 : 0) : kEFail;
}

std::int32_t EngineBinding::ChooseCrop(std::int32_t top, std::int32_t bottom, std::int32_t left, std::int32_t right) {
    auto* fn = reinterpret_cast<decltype(&VobcastChooseCrop)>(library_.Symbol("VobcastChooseCrop"));
    return fn ? fn(top, bottom, left, right) : kEFail;
}

bool EngineBinding::FindCrop(const std::string& source, VobcastCrop& crop) {
    auto* fn = reinterpret_cast<decltype(&VobcastFindCrop)>(library_.Symbol("VobcastFindCrop"));
    return fn && fn(source.c_str(), &crop) == 0;
}

std::int32_t EngineBinding::ChooseSize(std::int32_t pass, const std::string& stats, std::int64_t fileBytes) {
    auto* fn = reinterpret_cast<decltype(&VobcastChooseSize)>(library_.Symbol("VobcastChooseSize"));
    return fn ? fn(pass, stats.c_str(), fileBytes) : kEFail;
}

bool EngineBinding::DescribeSource(const std::string& source, VobcastSourceInfo& info) {
    auto* fn = reinterpret_cast<decltype(&VobcastDescribeSource)>(library_.Symbol("VobcastDescribeSource"));
    return fn && fn(source.c_str(), &info) == 0;
}

double EngineBinding::SourceSeconds() {
    auto* fn = reinterpret_cast<decltype(&VobcastSourceSeconds)>(library_.Symbol("VobcastSourceSeconds"));
    return fn ? fn() : 0.0;
}

std::unique_ptr<VobcastDisc> EngineBinding::ReadDisc(const std::string& path, std::string& error) {
    auto* fn = reinterpret_cast<decltype(&VobcastReadDisc)>(library_.Symbol("VobcastReadDisc"));
    if (!fn) {
        error = library_.Error();
        return nullptr;
    }
    auto disc = std::make_unique<VobcastDisc>();
    if (fn(path.c_str(), disc.get()) != 0) {
        error = disc->error;
        return nullptr;
    }
    return disc;
}

} // namespace vobcast
