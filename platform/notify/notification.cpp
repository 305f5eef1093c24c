#include "notification.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace notify {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

std::function<bool(const std::string&, const std::string&)>& Hook() {
    static std::function<bool(const std::string&, const std::string&)> hook;
    return hook;
}

bool ServiceThere(const QDBusConnection& bus) {
    QDBusConnectionInterface* daemon = bus.interface();
    if (daemon == nullptr) return false;
    if (daemon->isServiceRegistered(kService).value()) return true;
    // Most daemons are started by the bus at the first notice.
    return daemon->activatableServiceNames().value().contains(kService);
}

} // namespace

bool Show(const std::string& appName, const std::string& summary, const std::string& body) {
    if (Hook()) return Hook()(summary, body);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !ServiceThere(bus)) return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (the server's default)
    call << QString::fromStdString(appName) << 0u << QString("marbleway") << QString::fromStdString(summary)
         << QString::fromStdString(body) << QStringList() << QVariantMap() << -1;
    return bus.send(call);
}

void SetHook(std::function<bool(const std::string&, const std::string&)> hook) { Hook() = std::move(hook); }

} // namespace notify
