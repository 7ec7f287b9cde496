#include "platform/qt/QtNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace surfdeck {

namespace {

// The user's session bus from the environment; none rather than having one started
// for us (libdbus would launch a bus daemon when no address is known).
QString sessionAddress() {
    QString set = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!set.isEmpty()) return set;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime + "/bus").exists())
        return "unix:path=" + runtime + "/bus";
    return {};
}

}  // namespace

QtNotifier::QtNotifier(QString address) : address_(std::move(address)) {
    name_ = QStringLiteral("surfdeck-notify-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
}

QtNotifier::~QtNotifier() {
    if (bus_) QDBusConnection::disconnectFromBus(name_);
}

bool QtNotifier::connect() {
    if (tried_) return bus_ && bus_->isConnected();
    tried_ = true;
    const QString address = address_.isEmpty() ? sessionAddress() : address_;
    if (address.isEmpty()) return false;
    bus_ = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, name_));
    return bus_->isConnected();
}

void QtNotifier::notify(const std::string& summary, const std::string& body) {
    if (!connect()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Surfdeck") << 0u << QStringLiteral("surfdeck")
         << QString::fromStdString(summary) << QString::fromStdString(body) << QStringList()
         << QVariantMap() << -1;
    // Not waited for: a service that is missing or slow must not hold the window up.
    call.setAutoStartService(true);
    bus_->send(call);
}

}  // namespace surfdeck
