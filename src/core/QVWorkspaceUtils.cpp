#include "QVUtils.h"

#include "QVLog.h"
#include "QVSystemVolume.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace QVUtils {

bool isITunesRunning(const QString& procRoot)
{
    // iTunes on Linux only runs under Wine, which names the process after the executable.
    const QDir proc(procRoot);
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPID = false;
        entry.toUInt(&isPID);
        if (!isPID)
            continue;
        QFile comm(proc.filePath(entry + QStringLiteral("/comm")));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        // A name of at most 15 characters and a newline: read no more than a line's worth.
        QByteArray name = comm.read(64);
        if (name.endsWith('\n'))
            name.chop(1);
        if (name == "iTunes.exe")
            return true;
    }
    return false;
}

bool createPathDirectoriesIfNeeded(const QString& path)
{
    if (QFileInfo(path).isDir())
        return true;
    std::error_code error;
    if (path.isEmpty())
        error = std::make_error_code(std::errc::invalid_argument);
    else
        std::filesystem::create_directories(
            std::filesystem::path(QFile::encodeName(path).constData()), error);
    // Something other than a directory in the way is a failure, not a success.
    if (!error && QFileInfo(path).isDir())
        return true;
    const std::string reason = error ? error.message() : std::string("Not a directory");
    QVLog("Could not create path: '%s' - %s", qPrintable(path), reason.c_str());
    return false;
}

float systemVolume()
{
    return QVSystemVolume::current()->systemVolume();
}

void setSystemVolume(float volume)
{
    QVSystemVolume::current()->setSystemVolume(volume);
}

} // namespace QVUtils
