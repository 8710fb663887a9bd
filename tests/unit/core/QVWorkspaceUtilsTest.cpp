#include "QVUtils.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace QVUtils;

namespace {

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

TEST(QVUtilsWorkspace, ITunesIsFoundByProcessName)
{
    QTemporaryDir proc;
    writeFile(proc.filePath(QStringLiteral("201/comm")), "iTunes.exe.bak\n");
    // Only process folders count.
    writeFile(proc.filePath(QStringLiteral("self/comm")), "iTunes.exe\n");
    writeFile(
        proc.filePath(QStringLiteral("202/comm")), QByteArray("iTunes.exe") + QByteArray(1 << 20, ' ') + "x");
    EXPECT_FALSE(isITunesRunning(proc.path()));
    writeFile(proc.filePath(QStringLiteral("4242/comm")), "iTunes.exe\n");
    EXPECT_TRUE(isITunesRunning(proc.path()));
}

TEST(QVUtilsWorkspace, MissingDirectoriesAreMadeAndAFileIsAFailure)
{
    QTemporaryDir root;
    const QString nested = root.filePath(QStringLiteral("a/b/c"));
    EXPECT_TRUE(createPathDirectoriesIfNeeded(nested));
    EXPECT_TRUE(QFileInfo(nested).isDir());
    EXPECT_TRUE(createPathDirectoriesIfNeeded(nested));

    const QString file = root.filePath(QStringLiteral("file"));
    writeFile(file, "x");
    for (const QString& path : { file + QStringLiteral("/sub"), file, QString() })
        EXPECT_FALSE(createPathDirectoriesIfNeeded(path)) << path.toStdString();
}

} // namespace
