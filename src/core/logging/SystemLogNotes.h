#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class QIODevice;

// The program's own lines in the system log, which otherwise holds every line
// received: each begins with its time, "yyyy/MM/dd HH:mm:ss ". An alarm that
// stops a run is noted so, and a log's report finds it again by that time.
namespace SystemLogNotes {

// The note's text after its time: "アラーム発生：" and the alarm window's
// message (which names the code), or the code alone when it is unknown.
QString alarmNote(const QString &code);

// The alarm notes of one system log stamped from `from` to `to`, in the
// file's order, each "yyyy/MM/dd HH:mm:ss　<note>". Any bytes are taken: a
// line that is no such note, or too long for one, is passed over.
QStringList alarms(QIODevice &systemLog, const QDateTime &from, const QDateTime &to);

} // namespace SystemLogNotes
