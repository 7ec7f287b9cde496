#pragma once
#include <QString>
#include <memory>

#include "ports/BrowserStatus.h"

class QDBusConnection;

namespace surfdeck {

// Desktop notifications through the session bus's org.freedesktop.Notifications. The bus
// is reached on the first notification, not at start; without a bus, or with no service
// that answers, a notification is dropped without a word. Calls never wait for an answer.
class QtNotifier : public Notifier {
  public:
    // address: the bus to use; empty means the user's session bus, where one is known.
    explicit QtNotifier(QString address = {});
    ~QtNotifier() override;
    QtNotifier(const QtNotifier&) = delete;
    QtNotifier& operator=(const QtNotifier&) = delete;

    void notify(const std::string& summary, const std::string& body) override;

  private:
    bool connect();

    QString address_;
    QString name_;
    bool tried_ = false;
    std::unique_ptr<QDBusConnection> bus_;
};

}  // namespace surfdeck
