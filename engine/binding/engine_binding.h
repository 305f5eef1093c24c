// Binds the conversion engine (libvobcast.so in the program folder) by file
// name at the first call of any of its functions, as the program does: the
// five conversion calls and the host calls of vobcast_host.h.
#pragma once

#include "platform/kernel/library.h"
#include "vobcast/vobcast_host.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vobcast {

class EngineBinding {
public:
    // library: a path, or a file name looked up in the folder of the running
    // executable.
    explicit EngineBinding(std::string library = "libvobcast.so");
    ~EngineBinding();
    EngineBinding(const EngineBinding&) = delete;
    EngineBinding& operator=(const EngineBinding&) = delete;

    // Each loads the library at first use; when it cannot be loaded, the call
    // returns E_FAIL (-1 for GetCurrentPos) and LoadError() says why.
    std::int32_t DoInit(std::uintptr_t window, const std::string& source, const std::string& destination,
                        std::int32_t flag);
    std::int32_t StartComp();
    std::int32_t StopComp();
    std::int32_t DoUninit();
    std::int64_t GetCurrentPos();

    // The host calls; each returns false (or an empty answer) when the
    // library can't be loaded.
    bool SetMessageSink(VobcastMessageSink sink, void* context);
    bool SetChooser(VobcastChooser chooser, void* context);
    std::vector<std::string> CompressorNames();
    std::int32_t ChooseSource(std::int32_t title, std::int32_t audioStream);
    std::int32_t ChooseAngle(std::int32_t angle);
    std::int32_t ChoosePictures(std::int32_t deinterlace, std::int32_t detelecine);
    std::int32_t ChooseSubtitles(std::int32_t stream, bool forcedOnly);
    std::int32_t ChooseCrop(std::int32_t top, std::int32_t bottom, std::int32_t left, std::int32_t right);
    // False when no picture could be decoded.
    bool FindCrop(const std::string& source, VobcastCrop& crop);
    std::int32_t ChooseSize(std::int32_t pass, const std::string& stats, std::int64_t fileBytes);
    bool DescribeSource(const std::string& source, VobcastSourceInfo& info);
    double SourceSeconds();
    // Null with error set when the disc can't be read.
    std::unique_ptr<VobcastDisc> ReadDisc(const std::string& path, std::string& error);

    bool Loaded() const { return library_.Loaded(); }
    const std::string& LoadError() const { return library_.Error(); }

private:
    kernel::Library library_;
};

} // namespace vobcast
