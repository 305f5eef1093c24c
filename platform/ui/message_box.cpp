#include "message_box.h"

#include <QApplication>
#include <QMessageBox>

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
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        const QMessageBox::Icon shown = icon == Icon::Critical ? QMessageBox::Critical
                                        : icon == Icon::Warning ? QMessageBox::Warning
                                                                : QMessageBox::NoIcon;
        QMessageBox box(shown, QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size())),
                        QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())),
                        QMessageBox::Ok, nullptr);
        box.exec();
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace ui
