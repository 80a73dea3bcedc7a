#include "ui/qt/desktop_notice.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QVariantMap>

namespace kalvex {

bool ShowDesktopNotice(const QString& title, const QString& text) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString service = QStringLiteral("org.freedesktop.Notifications");
  // Asking first keeps a desktop without the service from starting one or
  // waiting for the call's timeout.
  if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(service))
    return false;
  QDBusInterface notifications(service, QStringLiteral("/org/freedesktop/Notifications"),
                               service, bus);
  const QDBusReply<uint> reply = notifications.call(
      QStringLiteral("Notify"), QStringLiteral("Kalvex"), 0u, QStringLiteral("org.kalvex.Kalvex"),
      title, text, QStringList(), QVariantMap(), -1);
  return reply.isValid();
}

}  // namespace kalvex
