// A desktop notification service of the tests' own: it owns
// org.freedesktop.Notifications on the session bus it is started on, prints
// "ready" once it does, then one line per Notify call (app name, summary and
// body, tab-separated) and answers with a notice number, as a daemon would.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>

#include <cstdio>

namespace {

class Notifications final : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify" || message.arguments().size() < 5) return false;
        const QList<QVariant> a = message.arguments();
        std::printf("%s\t%s\t%s\n", a[0].toString().toUtf8().constData(), a[3].toString().toUtf8().constData(),
                    a[4].toString().toUtf8().constData());
        std::fflush(stdout);
        connection.send(message.createReply(QVariantList{++count_}));
        return true;
    }

private:
    uint count_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    Notifications service;
    if (!bus.registerVirtualObject("/org/freedesktop/Notifications", &service) ||
        !bus.registerService("org.freedesktop.Notifications")) {
        std::fprintf(stderr, "fake-notifications: cannot own the service: %s\n",
                     bus.lastError().message().toUtf8().constData());
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
