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

void MessageBox(std::string_view text) {
    // Copied so that a sink replaced from inside the sink stays alive for this call.
    if (MessageSink sink = Sink()) {
        sink(text);
        return;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        QMessageBox box(QMessageBox::NoIcon, QString(),
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
