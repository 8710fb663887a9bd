#pragma once

#include "QVNetworkChangeSource.h"

#include <QString>

// Network changes from QNetworkInformation's default backend (NetworkManager
// on most desktops); the state from the interfaces and the resolver's file.
class QVSystemNetworkChangeSource : public QVNetworkChangeSource
{
    Q_OBJECT
public:
    explicit QVSystemNetworkChangeSource(
        const QString& resolverConfiguration = QStringLiteral("/etc/resolv.conf"), QObject* parent = nullptr);

    bool start() override;
    State state() const override;

    // Whether resolver configuration text names a nameserver.
    static bool namesNameserver(const QByteArray& configuration);

private:
    QString _resolverConfiguration;
};
