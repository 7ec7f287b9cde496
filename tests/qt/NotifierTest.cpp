// Desktop notifications over a private session bus with a stand-in notification service.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "platform/qt/QtNotifier.h"

using namespace surfdeck;

namespace {

// A bus of the test's own: nothing of the machine's session is touched.
class PrivateBus {
  public:
    PrivateBus() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
        daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) return;
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    const QString& address() const { return address_; }

  private:
    QProcess daemon_;
    QString address_;
};

// Answers Notify as a notification daemon does and keeps what it was sent.
class FakeService : public QDBusVirtualObject {
  public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != "Notify") return false;
        calls.push_back(message.arguments());
        connection.send(message.createReply(QVariant::fromValue(++id)));
        return true;
    }
    std::vector<QVariantList> calls;
    uint id = 0;
};

}  // namespace

TEST(Notifier, SendsOneNotificationToTheServiceOnTheBus) {
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    QDBusConnection service = QDBusConnection::connectToBus(bus.address(), "fake-service");
    ASSERT_TRUE(service.isConnected());
    FakeService fake;
    ASSERT_TRUE(service.registerVirtualObject("/org/freedesktop/Notifications", &fake));
    ASSERT_TRUE(service.registerService("org.freedesktop.Notifications"));
    {
        QtNotifier notifier(bus.address());
        notifier.notify("Surfdeck", "Browser connection lost (Chrome)");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.calls.empty(); }, 5000));
        const QVariantList& a = fake.calls.front();
        ASSERT_EQ(a.size(), 8);
        EXPECT_EQ(a[0].toString(), "Surfdeck");
        EXPECT_EQ(a[3].toString(), "Surfdeck");
        EXPECT_EQ(a[4].toString(), "Browser connection lost (Chrome)");
        QTest::qWait(100);
        EXPECT_EQ(fake.calls.size(), 1u);
    }
    service.unregisterService("org.freedesktop.Notifications");
    QDBusConnection::disconnectFromBus("fake-service");
}

TEST(Notifier, WithoutAServiceOrABusANotificationIsDroppedWithoutAWord) {
    PrivateBus bus;
    if (bus.address().isEmpty()) GTEST_SKIP() << "no dbus-daemon";
    for (const QString& address :
         {bus.address(), QStringLiteral("unix:path=/nonexistent/surfdeck-bus")}) {
        // Returns without waiting for an answer that will not come, and throws nothing.
        QtNotifier notifier(address);
        notifier.notify("Surfdeck", "Browser not found");
        notifier.notify("Surfdeck", "Browser not found");
    }
}
