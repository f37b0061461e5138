#include "core/app/ProgramLookup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

ProgramLookup::ProgramLookup()
    : candidates{QStringLiteral("libreoffice"), QStringLiteral("localc"), QStringLiteral("soffice"),
                 QStringLiteral("gnumeric")}
{
    const QStringList dataDirs =
        QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    for (const QString &d : dataDirs)
        applicationDirs.append(d + QStringLiteral("/applications"));
}

QString ProgramLookup::findOnPath(const QString &name) const
{
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name)) {
        const QFileInfo fi(name);
        return fi.isFile() && fi.isExecutable() ? QDir::fromNativeSeparators(name) : QString();
    }
    return QStandardPaths::findExecutable(name, searchPaths);
}

QString ProgramLookup::desktopEntryProgram(const QString &desktopFile) const
{
    QFile f(desktopFile);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || !line.startsWith(QLatin1String("Exec=")))
            continue;
        QString exec = line.mid(5).trimmed();
        QString program;
        if (exec.startsWith(QLatin1Char('"'))) {
            const int end = exec.indexOf(QLatin1Char('"'), 1);
            program = end > 0 ? exec.mid(1, end - 1) : exec.mid(1);
        } else {
            program = exec.section(QLatin1Char(' '), 0, 0);
        }
        return findOnPath(program);
    }
    return {};
}

QString ProgramLookup::askDesktop() const
{
    const QString tool = findOnPath(xdgMime);
    if (tool.isEmpty())
        return {};
    QProcess proc;
    proc.setProgram(tool);
    proc.setArguments({QStringLiteral("query"), QStringLiteral("default"),
                       QStringLiteral("application/vnd.ms-excel")});
    proc.setStandardInputFile(QProcess::nullDevice());
    proc.start();
    if (!proc.waitForFinished(queryTimeoutMs)) {
        proc.kill();
        proc.waitForFinished(1000);
        return {};
    }
    if (proc.exitStatus() != QProcess::NormalExit || proc.exitCode() != 0)
        return {};
    const QString entry = QString::fromUtf8(proc.readAllStandardOutput()).trimmed();
    if (entry.isEmpty() || entry.contains(QLatin1Char('/')))
        return {};
    for (const QString &dir : applicationDirs) {
        const QString path = dir + QLatin1Char('/') + entry;
        if (QFileInfo::exists(path))
            return desktopEntryProgram(path);
    }
    return {};
}

QString ProgramLookup::findSpreadsheetProgram() const
{
    QString fromDesktop = askDesktop();
    if (!fromDesktop.isEmpty())
        return fromDesktop;
    for (const QString &name : candidates) {
        QString found = findOnPath(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}
