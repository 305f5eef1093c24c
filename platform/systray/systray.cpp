#include "systray.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QVariant>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <map>
#include <vector>

namespace {

constexpr int WM_LBUTTONDOWN = 0x201;
constexpr int WM_LBUTTONDBLCLK = 0x203;
constexpr int WM_RBUTTONDOWN = 0x204;
constexpr int kNotificationMs = 10000;

// The icons, one per window, until DELETEICON. They belong to the
// application, so that none outlives it; those still there when the library
// is unloaded go with it, as their connections run its code (a window closed
// without Exit keeps its icon).
struct IconTable {
    std::map<uintptr_t, QPointer<QSystemTrayIcon>> icons;
    ~IconTable() {
        for (auto& [window, icon] : icons) delete icon.data();
    }
};
std::map<uintptr_t, QPointer<QSystemTrayIcon>>& Icons() {
    static IconTable table;
    return table.icons;
}

// Icons deleted while their notification still shows. The library deletes
// them when it is unloaded at the latest: their connections run its code.
struct Lingering {
    std::vector<QPointer<QSystemTrayIcon>> icons;
    ~Lingering() {
        for (auto& icon : icons) delete icon.data();
    }
};
Lingering& LingeringIcons() {
    static Lingering lingering;
    return lingering;
}

void Notify(uintptr_t window, int message) {
    if (QWidget* target = QWidget::find(static_cast<WId>(window))) {
        QCoreApplication::postEvent(target, new TrayNotifyEvent(message));
    }
}

QIcon IconOf(uintptr_t icon) { return icon != 0 ? *reinterpret_cast<const QIcon*>(icon) : QIcon(); }

} // namespace

extern "C" {

int32_t ADDICON(uintptr_t window, uintptr_t icon, const char* tip) {
    if (qApp == nullptr) return 0;
    auto& slot = Icons()[window];
    if (!slot) {
        slot = new QSystemTrayIcon(qApp);
        QObject::connect(slot, &QSystemTrayIcon::activated, [window](QSystemTrayIcon::ActivationReason why) {
            switch (why) {
            case QSystemTrayIcon::Trigger: Notify(window, WM_LBUTTONDOWN); break;
            case QSystemTrayIcon::DoubleClick: Notify(window, WM_LBUTTONDBLCLK); break;
            case QSystemTrayIcon::Context: Notify(window, WM_RBUTTONDOWN); break;
            default: break;
            }
        });
    }
    slot->setIcon(IconOf(icon));
    slot->setToolTip(QString::fromUtf8(tip != nullptr ? tip : ""));
    slot->show();
    return QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0;
}

int32_t ICONSHOWN(uintptr_t window) {
    const auto it = Icons().find(window);
    return it != Icons().end() && it->second && it->second->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()
               ? 1
               : 0;
}

void MODIFYICON(uintptr_t window, uintptr_t icon, const char* tip) {
    const auto it = Icons().find(window);
    if (it == Icons().end() || !it->second) return;
    it->second->setIcon(IconOf(icon));
    it->second->setToolTip(QString::fromUtf8(tip != nullptr ? tip : ""));
}

void DELETEICON(uintptr_t window) {
    const auto it = Icons().find(window);
    if (it == Icons().end()) return;
    QSystemTrayIcon* icon = it->second.data();
    Icons().erase(it);
    if (icon == nullptr) return;
    const QVariant until = icon->property("notifyingUntil");
    const qint64 left = until.isValid() ? until.toLongLong() - QDateTime::currentMSecsSinceEpoch() : 0;
    if (left <= 0) {
        delete icon;
        return;
    }
    // The notification goes with its icon: it stays until its time is up. The
    // timer is the icon's own, and the connection names no code of this
    // library, so nothing of it is left once the icon has gone.
    auto* timer = new QTimer(icon);
    timer->setSingleShot(true);
    QObject::connect(timer, SIGNAL(timeout()), icon, SLOT(deleteLater()));
    timer->start(static_cast<int>(left));
    LingeringIcons().icons.emplace_back(icon);
}

void NOTIFYICON(uintptr_t window, const char* title, const char* text) {
    const auto it = Icons().find(window);
    if (it == Icons().end() || !it->second) return;
    it->second->showMessage(QString::fromUtf8(title != nullptr ? title : ""), QString::fromUtf8(text != nullptr ? text : ""),
                            QSystemTrayIcon::Information, kNotificationMs);
    it->second->setProperty("notifyingUntil", QDateTime::currentMSecsSinceEpoch() + kNotificationMs);
}

} // extern "C"
