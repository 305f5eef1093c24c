// What libui-qt.so does with Qt for the platform-ui calls: the message box (a
// modal QMessageBox with one OK button) and the pass over waiting events.
#include "qt_plugin.h"

#include <QApplication>
#include <QMessageBox>

#include <cstddef>

// icon: 0 none, 1 warning, 2 critical. Returns 0 without showing anything when
// the process runs no QApplication.
UI_QT_PLUGIN_EXPORT int UiQtMessageBox(const char* text, std::size_t textSize, const char* title,
                                       std::size_t titleSize, int icon) {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return 0;
    const QMessageBox::Icon shown = icon == 2   ? QMessageBox::Critical
                                    : icon == 1 ? QMessageBox::Warning
                                                : QMessageBox::NoIcon;
    QMessageBox box(shown, QString::fromUtf8(title, static_cast<qsizetype>(titleSize)),
                    QString::fromUtf8(text, static_cast<qsizetype>(textSize)), QMessageBox::Ok, nullptr);
    box.exec();
    return 1;
}

// Returns 0 when the process runs no Qt application.
UI_QT_PLUGIN_EXPORT int UiQtDoEvents() {
    if (QCoreApplication::instance() == nullptr) return 0;
    QCoreApplication::processEvents();
    return 1;
}
