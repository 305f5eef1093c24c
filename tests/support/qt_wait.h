// Waiting in a Qt test for what the event loop brings, with a bound, never
// for a fixed time.
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

// Lets the event loop run until done() or limitMs have passed; whether done.
inline bool WaitUntil(const std::function<bool()>& done, int limitMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

// Answers the next popup or modal dialog of kind Widget once it shows, from
// its own event loop. answer returns false for one it was not waiting for,
// which is left alone.
template <typename Widget>
void WhenShows(std::function<bool(Widget&)> answer) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, answer] {
        QWidget* top = QApplication::activePopupWidget();
        if (top == nullptr) top = QApplication::activeModalWidget();
        auto* widget = qobject_cast<Widget*>(top);
        if (widget == nullptr || !widget->isVisible() || !answer(*widget)) return;
        poll->stop();
        poll->deleteLater();
    });
    poll->start();
}

} // namespace testing_support
