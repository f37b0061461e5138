#include "core/app/AppHome.h"

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

QString absoluteClean(const QString &path)
{
    return QFileInfo(QDir::cleanPath(QDir::fromNativeSeparators(path))).absoluteFilePath();
}

} // namespace

QString appId()
{
    return QStringLiteral(KRM_APP_ID);
}

bool isInstalledProgram(const QString &executableDir)
{
    if (executableDir.isEmpty())
        return false;
    const QString dir = absoluteClean(executableDir);
    // Run as root, /usr/bin is writable; configuration and logs must still
    // not land there.
    if (dir == QLatin1String("/usr") || dir.startsWith(QLatin1String("/usr/")))
        return true;
    // Any other prefix (/usr/local, /opt/x, a staging DESTDIR, ~/.local):
    // recognised by the desktop entry that the install rules put beside bin/.
    return QFileInfo(dir).fileName() == QLatin1String("bin") &&
           QFileInfo::exists(dir + QStringLiteral("/../share/applications/") + appId() +
                             QStringLiteral(".desktop"));
}

QString resolveAppHome(const QString &requested, const QString &executableDir)
{
    const bool installed = requested.isEmpty() && isInstalledProgram(executableDir);
    if (!installed) {
        QString absolute = absoluteClean(requested.isEmpty() ? executableDir : requested);
        if (writableFolder(absolute))
            return absolute;
    }
    QString perUser = QDir::fromNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QDir().mkpath(perUser);
    return perUser;
}
