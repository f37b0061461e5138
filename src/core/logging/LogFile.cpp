#include "core/logging/LogFile.h"

#include "core/app/FileCopy.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
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

bool LogFile::open(const QString &logFolder, const QDateTime &now, QString *failedPath,
                   QString *reason)
{
    const QString day = now.toString(QStringLiteral("yyyy_MM_dd"));
    const QString txtDir = logFolder + QStringLiteral("/TXT_DATA/") + day;
    const QString csvDir = logFolder + QStringLiteral("/CSV_DATA/") + day;
    for (const QString &dir : {txtDir, csvDir}) {
        if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir()) {
            *failedPath = QDir::toNativeSeparators(dir);
            if (reason)
                *reason = QStringLiteral("フォルダを作成できませんでした。");
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
    // Created new: a file that appeared meanwhile is never truncated.
    if (!m_file.create(path, reason)) {
        *failedPath = QDir::toNativeSeparators(path);
        return false;
    }
    LogStem = stem;
    TxtDayDir = txtDir;
    CsvDayDir = csvDir;
    TxtLogPath = path;
    return true;
}

bool LogFile::writeLine(const QByteArray &line, QString *reason)
{
    // One write call per line, nothing held back in this process.
    return m_file.isOpen() && m_file.write(line, reason);
}

bool LogFile::close(bool csv, QString *failedPath, QString *reason)
{
    TxtLogFinal = TxtDayDir + QLatin1Char('/') + LogStem + QStringLiteral(".txt");
    CsvLogPath = CsvDayDir + QLatin1Char('/') + LogStem + QStringLiteral(".csv");
    if (!m_file.isOpen())
        return true;
    if (!m_file.close(reason)) {
        *failedPath = QDir::toNativeSeparators(TxtLogFinal);
        return false;
    }
    if (!csv)
        return true;
    if (!copyFileAtomically(TxtLogFinal, CsvLogPath, reason)) {
        *failedPath = QDir::toNativeSeparators(CsvLogPath);
        return false;
    }
    return true;
}

namespace {

// The records a memo appends to a closed log begin so (MemoBlocks).
constexpr char kMemoStart[] = "\"\r\n\"\r\n\"-MEMO-\"\r\n";

// Whether the CSV copy of `txt` holds all of its samples: as long as the log,
// or ending exactly where the memo appended after the stop begins.
bool copyIsWhole(const QString &txt, const QString &csv)
{
    const qint64 copied = QFileInfo(csv).size();
    const qint64 logged = QFileInfo(txt).size();
    if (copied >= logged)
        return true;
    QFile log(txt);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(copied))
        return false;
    const QByteArray start(kMemoStart);
    return log.read(start.size()) == start;
}

} // namespace

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
        if (QFileInfo::exists(csv) && copyIsWhole(txt, csv))
            continue;
        MadeCopy copy{QDir::toNativeSeparators(csv), QString()};
        if (!QDir().mkpath(QFileInfo(csv).absolutePath()))
            copy.error = QStringLiteral("フォルダを作成できませんでした。");
        else if (!copyFileAtomically(txt, csv, &copy.error) && copy.error.isEmpty())
            copy.error = QStringLiteral("コピーできませんでした。");
        made.append(copy);
    }
    return made;
}
