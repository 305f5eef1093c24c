#include "message_box.h"
#include "event_loop.h"

#include "qt_plugin.h"

#include <cstddef>
#include <cstdio>

namespace ui {
namespace {
MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}
} // namespace

void SetMessageSink(MessageSink sink) { Sink() = std::move(sink); }

void MessageBox(std::string_view text) { MessageBox(text, {}, Icon::None); }

void MessageBox(std::string_view text, std::string_view title, Icon icon) {
    // Copied so that a sink replaced from inside the sink stays alive for this call.
    if (MessageSink sink = Sink()) {
        sink(text);
        return;
    }
    using QtBox = int (*)(const char*, std::size_t, const char*, std::size_t, int);
    if (auto* box = reinterpret_cast<QtBox>(QtPluginSymbol("libui-qt.so", "UiQtMessageBox")))
        if (box(text.data(), text.size(), title.data(), title.size(), static_cast<int>(icon)) != 0) return;
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}

// Lives here, with the other calls that reach Qt only through the plugin, so
// that a search for files runs in a process without Qt as well.
void DoEvents() {
    using QtDoEvents = int (*)();
    if (auto* run = reinterpret_cast<QtDoEvents>(QtPluginSymbol("libui-qt.so", "UiQtDoEvents"))) run();
}

} // namespace ui
