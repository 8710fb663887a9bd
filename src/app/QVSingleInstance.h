#pragma once

#include <QDBusConnection>
#include <QStringList>

// One copy of the program per session. The first start owns the bus name
// com.quiv.desktop; a later one hands its "quiv://" addresses (or, without
// any, an activation) to that copy over org.freedesktop.Application and ends.
class QVSingleInstance
{
public:
    enum class Claim { Primary, Secondary, NoBus };

    explicit QVSingleInstance(const QDBusConnection& bus);

    // Asks for the bus name. Without a bus, or when the bus does not answer
    // in time, the program runs alone.
    Claim claim();
    // Open (the addresses, in order) or Activate on the running copy; true
    // once it answered. Retries briefly while that copy is still starting.
    bool handOver(const QStringList& urls);

    // The command line's "quiv://" addresses, in order; anything else is
    // logged and left out.
    static QStringList urlsFromArguments(const QStringList& arguments);

    static constexpr int kBusTimeout = 2000;
    static constexpr int kHandOverLimit = 5000;

private:
    QDBusConnection _bus;
};
