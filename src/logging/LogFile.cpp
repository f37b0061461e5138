#include "logging/LogFile.h"

#include "shell/FileCopy.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

QString LogFile::FormatElapsed(qint64 seconds)
{
    const qint64 s = std::max<qint64>(seconds, 0);
    auto two = [](qint64 v) {
        return v < 10 ? QStringLiteral("0") + QString::number(v) : QString::number(v);
    };
    return two(s / 3600) + QLatin1Char(':') + two((s % 3600) / 60) + QLatin1Char(':') + two(s % 60);
}

QByteArray LogFile::formatLine(const QString &elapsed, const QStringList &temps,
                               const QString &internal)
{
    QByteArray line;
    line.reserve(80);
    auto field = [&line](const QString &v) {
        if (!line.isEmpty())
            line += ',';
        line += '"';
        line += v.toUtf8();
        line += '"';
    };
    field(elapsed);
    for (int k = 0; k < 4; ++k)
        field(temps.value(k));
    field(internal);
    line += "\r\n";
    return line;
}

bool LogFile::open(const QString &logFolder, const QDateTime &now, QString *failedPath)
{
    const QString day = now.toString(QStringLiteral("yyyy_MM_dd"));
    const QString txtDir = logFolder + QStringLiteral("/TXT_DATA/") + day;
    const QString csvDir = logFolder + QStringLiteral("/CSV_DATA/") + day;
    for (const QString &dir : {txtDir, csvDir}) {
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
            *failedPath = QDir::toNativeSeparators(dir);
            return false;
        }
    }
    const QString base = day + QLatin1Char('_') + now.toString(QStringLiteral("HH_mm_ss"));
    QString stem = base;
    for (int n = 2; QFileInfo::exists(txtDir + QLatin1Char('/') + stem + QStringLiteral(".txt")) ||
                    QFileInfo::exists(csvDir + QLatin1Char('/') + stem + QStringLiteral(".csv"));
         ++n)
        stem = base + QLatin1Char('_') + QString::number(n);

    const QString path = txtDir + QLatin1Char('/') + stem + QStringLiteral(".txt");
    m_file.setFileName(path);
    // NewOnly: a file that appeared meanwhile is never truncated.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        *failedPath = QDir::toNativeSeparators(path);
        return false;
    }
    LogStem = stem;
    TxtDayDir = txtDir;
    CsvDayDir = csvDir;
    TxtLogPath = path;
    return true;
}

bool LogFile::writeLine(const QByteArray &line)
{
    // Unbuffered: one write call per line, nothing held back in this process.
    return m_file.isOpen() && m_file.write(line) == line.size();
}

bool LogFile::close(bool csv, QString *failedPath)
{
    TxtLogFinal = TxtDayDir + QLatin1Char('/') + LogStem + QStringLiteral(".txt");
    CsvLogPath = CsvDayDir + QLatin1Char('/') + LogStem + QStringLiteral(".csv");
    m_file.close();
    if (!csv)
        return true;
    if (!copyFileAtomically(TxtLogFinal, CsvLogPath)) {
        *failedPath = QDir::toNativeSeparators(CsvLogPath);
        return false;
    }
    return true;
}

QList<LogFile::MadeCopy> LogFile::makeMissingCsvCopies(const QString &logFolder,
                                                       const QString &runningLog)
{
    QList<MadeCopy> made;
    const QDir txtRoot(logFolder + QStringLiteral("/TXT_DATA"));
    const QString csvRoot = logFolder + QStringLiteral("/CSV_DATA/");
    const QString running = QFileInfo(runningLog).absoluteFilePath();
    QDirIterator it(txtRoot.path(), {QStringLiteral("*.txt")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString txt = it.next();
        if (!runningLog.isEmpty() && QFileInfo(txt).absoluteFilePath() == running)
            continue;
        QString relative = txtRoot.relativeFilePath(txt);
        relative.chop(4);
        const QString csv = csvRoot + relative + QStringLiteral(".csv");
        if (QFileInfo::exists(csv))
            continue;
        MadeCopy copy{QDir::toNativeSeparators(csv), QString()};
        if (!QDir().mkpath(QFileInfo(csv).absolutePath()))
            copy.error = QStringLiteral("cannot create the folder");
        else if (!copyFileAtomically(txt, csv, &copy.error) && copy.error.isEmpty())
            copy.error = QStringLiteral("cannot copy");
        made.append(copy);
    }
    return made;
}
