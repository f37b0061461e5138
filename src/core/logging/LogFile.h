#pragma once

#include "core/config/DiskFile.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The text log of a running log and its CSV copy. Every line reaches the file
// whole or not at all; every failure is returned with the path it concerns
// and the system's reason, so that the caller can tell the user.
class LogFile {
public:
    // "hh:mm:ss" of whole seconds; hours are not limited to two digits.
    static QString FormatElapsed(qint64 seconds);
    // One log line: six quoted fields separated by commas, ended by CR LF.
    static QByteArray formatLine(const QString &elapsed, const QStringList &temps,
                                 const QString &internal);

    // Creates the day folders below `logFolder` ("<dir>/LOG") and opens a new
    // text log named after `now`. A stem already used by a text log or CSV copy
    // of that day gets a suffix ("_2", "_3", ...), so no log is overwritten.
    // On failure returns false with the path that failed in `failedPath`.
    bool open(const QString &logFolder, const QDateTime &now, QString *failedPath,
              QString *reason = nullptr);
    bool isOpen() const { return m_file.isOpen(); }
    // Writes one line whole; a line the disk could not take whole is taken
    // back, so the log never ends in half a line.
    bool writeLine(const QByteArray &line, QString *reason = nullptr);
    // Closes the text log, flushing it to the disk; with `csv`, copies it byte
    // for byte to the CSV path. Returns false, with the path that failed,
    // when either fails.
    bool close(bool csv, QString *failedPath, QString *reason = nullptr);

    // A CSV copy made for a text log that had none.
    struct MadeCopy {
        QString csvPath;
        QString error; // empty when the copy was made
    };
    // Makes the missing CSV copy of every text log below `logFolder`
    // ("<dir>/LOG"), except `runningLog`: a log ended by a kill or a power cut
    // never reached the copy its stop makes. A copy shorter than its log is
    // made again (a full disk cut it), unless what the log holds beyond it
    // is the memo appended after the stop. Copies as close() does.
    static QList<MadeCopy> makeMissingCsvCopies(const QString &logFolder,
                                                const QString &runningLog = QString());

    QString LogStem;
    QString TxtDayDir;
    QString CsvDayDir;
    QString TxtLogPath;  // the running log
    QString TxtLogFinal; // the last closed text log
    QString CsvLogPath;  // the last CSV copy

private:
    DiskFile m_file;
};
