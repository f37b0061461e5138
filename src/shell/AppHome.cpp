#include "shell/AppHome.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

bool writableFolder(const QString &dir)
{
    if (dir.isEmpty() || !QDir().mkpath(dir))
        return false;
    // Permission bits do not tell the whole story (read-only mounts, ACLs):
    // try it.
    QTemporaryFile probe(dir + QStringLiteral("/.krm_write_probe_XXXXXX"));
    return probe.open();
}

} // namespace

QString resolveAppHome(const QString &requested, const QString &executableDir)
{
    const QString wanted = QDir::cleanPath(
        QDir::fromNativeSeparators(requested.isEmpty() ? executableDir : requested));
    QString absolute = QFileInfo(wanted).absoluteFilePath();
    if (writableFolder(absolute))
        return absolute;
    QString fallback = QDir::fromNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QDir().mkpath(fallback);
    return fallback;
}
