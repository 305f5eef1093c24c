// The engine's messages, byte for byte, and the one way they are shown.
#pragma once

#include <string_view>

namespace vobcast::msg {

inline constexpr std::string_view kComInit = "Error : \nCould not initialize COM library.\n";
inline constexpr std::string_view kGraphBuilder = "Error : \nCould not implement IGraphBuilder.\n";
inline constexpr std::string_view kDevEnum = "Error : \nCould not implement ICreateDevEnum.\n";
inline constexpr std::string_view kMediaControl = "Error : \nCould not query IMediaControl.\n";
inline constexpr std::string_view kMediaEvent = "Error : \nCould not query IMediaEvent.\n";
inline constexpr std::string_view kAddFilters = "Error : \nFailed to add filters.\n";
inline constexpr std::string_view kAttachFile = "Error : \nFailed to attach file.\n";
inline constexpr std::string_view kConnectFilters = "Error : \nFailed to Connect filters\n";
inline constexpr std::string_view kQuerySeeking = "Error : \nFailed to query IMediaSeeking\n";
inline constexpr std::string_view kCheckCapabilities = "Error : \nAn error occured when checking media capabilities\n";

inline constexpr std::string_view kGetFilter = "Error : \nFailed to get one of the filters.\n";
inline constexpr std::string_view kAddToGraph = "Error : \nFailed to add one of the filters to the graph.\n";
inline constexpr std::string_view kCreateEnumerator = "Error : \nCould Create enumerator!\n";
inline constexpr std::string_view kNoDevices = "Error : \nNO Devices\n";
inline constexpr std::string_view kFilterNotFound = "Error : \nSpecified filter is not fould.";
inline constexpr std::string_view kFriendlyName = "Error : \nError occured when reading friendly name.\n";
inline constexpr std::string_view kAttachSource = "Error : \nFailed to attach source file to the filter!";
inline constexpr std::string_view kAttachDestination = "Error : \nFailed to attach destination file to the filter!";
inline constexpr std::string_view kConnectPins = "Error : \nFailed to Connect some pins of the filters!";
inline constexpr std::string_view kDirectConnect = "Error : \nDirect connect failed!\n";
inline constexpr std::string_view kPinNotFound = "Error : \nSpecified pin was not found.\n";
inline constexpr std::string_view kConnectTrace = "Direct connect succeeded!!!\n";

inline constexpr std::string_view kBadFlag = "Error : \nThe flag must be either 1 or 0.\n";
inline constexpr std::string_view kNotACompressor =
    "Warning : \nAn valid compressor must be chosen ,or the compress process may go wrong. Please check whether you "
    "have chosen a correct compressor,(for instance , DivX 5.0.5.)";
inline constexpr std::string_view kNameTooLong = "Error : The compressor's name is too much long. \n";

inline constexpr std::string_view kRun = "Error : \nAn error occured when running the media\n";
inline constexpr std::string_view kStop = "Error : \nAn error occured when stopping the media\n";
inline constexpr std::string_view kCantGetPosition = "Error : \nCan't get current position of the process.\n";
inline constexpr std::string_view kGetPosition = "Error : \nAn error occured when getting current position\n";

// Shows text in a message box and returns when it is dismissed. Within one
// conversion a text is shown once: the progress poll can fail on every call,
// and a nested call during a box must not stack a second one.
void Show(std::string_view text);

// Starts a new conversion's record of shown messages.
void ForgetShown();

} // namespace vobcast::msg
