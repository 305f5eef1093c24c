#include "messages.h"

#include "conversion_state.h"

#include "platform/ui/message_box.h"

#include <string>

namespace vobcast::msg {

void Show(std::string_view text) {
    auto& shown = State().shown;
    if (shown.find(text) != shown.end()) return;
    shown.emplace(text);
    ui::MessageBox(text);
}

void ForgetShown() { State().shown.clear(); }

} // namespace vobcast::msg
