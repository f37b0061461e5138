#include "core/logging/SystemLogNotes.h"

#include "core/control/AlarmTable.h"

#include <QIODevice>
#include <QRegularExpression>

namespace {

const QString kAlarmNote = QStringLiteral("アラーム発生：");
constexpr qint64 MaxNoteBytes = 4096;

} // namespace

namespace SystemLogNotes {

QString alarmNote(const QString &code)
{
    const QString message = LookupAlarm(code).Message;
    return kAlarmNote + (message.isEmpty() ? code : message);
}

QStringList alarms(QIODevice &systemLog, const QDateTime &from, const QDateTime &to)
{
    QStringList found;
    if (!from.isValid() || !to.isValid())
        return found;
    static const QRegularExpression note(
        QStringLiteral(R"(^(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}) (%1.*)$)").arg(kAlarmNote));
    QByteArray line;
    while (!systemLog.atEnd()) {
        // Lines are read in pieces, so a long received line costs no memory;
        // only a piece that starts a line can start a note.
        const bool lineStart = line.isEmpty() || line.endsWith('\n');
        line = systemLog.readLine(MaxNoteBytes);
        if (line.isEmpty())
            break;
        // The received lines are quoted; only the program's own notes start
        // with their time.
        if (!lineStart || line.at(0) < '0' || line.at(0) > '9' || !line.endsWith('\n'))
            continue;
        const QRegularExpressionMatch m = note.match(QString::fromUtf8(line).trimmed());
        if (!m.hasMatch())
            continue;
        const QDateTime when =
            QDateTime::fromString(m.captured(1), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        if (when.isValid() && when >= from && when <= to)
            found << m.captured(1) + QStringLiteral("　") + m.captured(2);
    }
    return found;
}

} // namespace SystemLogNotes
