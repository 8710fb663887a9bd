#include "QVSystemNetworkChangeSource.h"

#include <QFile>
#include <QNetworkInformation>
#include <QNetworkInterface>

namespace {
// resolv.conf is a few lines; anything longer is not read past this.
constexpr qint64 kMaximumResolverConfigurationLength = 64 * 1024;
} // namespace

QVSystemNetworkChangeSource::QVSystemNetworkChangeSource(
    const QString& resolverConfiguration, QObject* parent)
    : QVNetworkChangeSource(parent)
    , _resolverConfiguration(resolverConfiguration)
{
}

bool QVSystemNetworkChangeSource::start()
{
    if (!QNetworkInformation::loadDefaultBackend() && !QNetworkInformation::instance())
        return false;
    QNetworkInformation* information = QNetworkInformation::instance();
    if (!information || !information->supports(QNetworkInformation::Feature::Reachability))
        return false;
    connect(information, &QNetworkInformation::reachabilityChanged, this, &QVNetworkChangeSource::changed);
    return true;
}

QVNetworkChangeSource::State QVSystemNetworkChangeSource::state() const
{
    State state;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& interface : interfaces) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (!address.isGlobal())
                continue;
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                state.isIPv4Available = true;
            else if (address.protocol() == QAbstractSocket::IPv6Protocol)
                state.isIPv6Available = true;
        }
    }
    QFile file(_resolverConfiguration);
    if (file.open(QIODevice::ReadOnly))
        state.isDNSAvailable = namesNameserver(file.read(kMaximumResolverConfigurationLength));
    return state;
}

bool QVSystemNetworkChangeSource::namesNameserver(const QByteArray& configuration)
{
    for (const QByteArray& line : configuration.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words.first() == "nameserver")
            return true;
    }
    return false;
}
