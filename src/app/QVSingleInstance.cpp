#include "QVSingleInstance.h"

#include "QVConstants.h"
#include "QVLog.h"
#include "QVUtils.h"

#include <QDBusMessage>
#include <QElapsedTimer>
#include <QThread>
#include <QVariantMap>

namespace {
constexpr int kMaxArgumentLength = 32 * 1024;
constexpr int kMaxURLs = 64;
} // namespace

QVSingleInstance::QVSingleInstance(const QDBusConnection& bus)
    : _bus(bus)
{
}

QVSingleInstance::Claim QVSingleInstance::claim()
{
    if (!_bus.isConnected()) {
        QVLog("[WARNING] No session bus: this copy runs alone and cannot be reached by other programs");
        return Claim::NoBus;
    }
    // The one synchronous bus call at start: nothing else may start before
    // we know whether another copy runs. The bus answers in microseconds.
    QDBusMessage request = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
        QStringLiteral("RequestName"));
    constexpr uint kDoNotQueue = 0x4;
    request << QString::fromLatin1(QVDBusServiceName) << kDoNotQueue;
    const QDBusMessage reply = _bus.call(request, QDBus::Block, kBusTimeout);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        QVLog("[WARNING] Bus name %s not taken: %s", QVDBusServiceName, qPrintable(reply.errorMessage()));
        return Claim::NoBus;
    }
    constexpr uint kPrimaryOwner = 1;
    constexpr uint kAlreadyOwner = 4;
    const uint result = reply.arguments().first().toUInt();
    return result == kPrimaryOwner || result == kAlreadyOwner ? Claim::Primary : Claim::Secondary;
}

bool QVSingleInstance::handOver(const QStringList& urls)
{
    const QString interface = QStringLiteral("org.freedesktop.Application");
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(QVDBusServiceName),
        QString::fromLatin1(QVDBusObjectPath), interface,
        urls.isEmpty() ? QStringLiteral("Activate") : QStringLiteral("Open"));
    if (urls.isEmpty())
        call << QVariantMap();
    else
        call << urls << QVariantMap();

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        // A copy that is still starting answers once its loop runs.
        const QDBusMessage reply = _bus.call(call, QDBus::Block, kHandOverLimit);
        if (reply.type() == QDBusMessage::ReplyMessage)
            return true;
        // The running copy owns the name but may not have its object yet.
        const QString error = reply.errorName();
        const bool starting = error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject")
            || error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod")
            || error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface");
        if (!starting || clock.elapsed() > kHandOverLimit) {
            QVLog(
                "[ERROR] The running copy did not take the hand-over: %s", qPrintable(reply.errorMessage()));
            return false;
        }
        QThread::msleep(50);
    }
}

QStringList QVSingleInstance::urlsFromArguments(const QStringList& arguments)
{
    QStringList urls;
    for (const QString& argument : arguments.mid(1)) {
        if (argument.size() <= kMaxArgumentLength
            && argument.startsWith(QLatin1String("quiv://"), Qt::CaseInsensitive) && urls.size() < kMaxURLs)
            urls.append(argument);
        else
            QVLog("[WARNING] Ignored argument: %s", qPrintable(QVUtils::stringForLog(argument, 200)));
    }
    return urls;
}
