#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdio>
#include <unistd.h>

// Sends standard error, where the log goes, to a file while it lives.
class QVLogCapture
{
public:
    QVLogCapture()
    {
        _file.open();
        std::fflush(stderr);
        _saved = ::dup(STDERR_FILENO);
        ::dup2(_file.handle(), STDERR_FILENO);
    }
    ~QVLogCapture()
    {
        std::fflush(stderr);
        ::dup2(_saved, STDERR_FILENO);
        ::close(_saved);
    }
    QVLogCapture(const QVLogCapture&) = delete;
    QVLogCapture& operator=(const QVLogCapture&) = delete;

    // Our own lines ("Quiv: ..."), not the engine's.
    QStringList lines() const
    {
        std::fflush(stderr);
        QFile reader(_file.fileName());
        if (!reader.open(QIODevice::ReadOnly))
            return {};
        QStringList ours;
        for (const QByteArray& line : reader.readAll().split('\n'))
            if (line.startsWith("Quiv: "))
                ours.append(QString::fromUtf8(line));
        return ours;
    }

private:
    QTemporaryFile _file;
    int _saved = -1;
};
