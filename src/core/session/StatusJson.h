#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

class RunProgress;
struct StatusReport;

// The JSON a status reply is told as, for scripts and for the status
// server: one place, so "status --json", "log --format jsonl" and
// "/status.json" never tell the same reply two ways.
namespace StatusJson {

// The readings, internal temperature, current, state, step, the target the
// instrument heads for (`target` as text, "" for none) and the alarm while it
// stands: what every JSON status row holds.
QJsonObject statusObject(const StatusReport &r, const QString &target);

// The whole object "krm2200-cli status --json" prints for an answered query
// at `time`: statusObject with the target of the running step, the units,
// the pattern holding the step, the last alarm, the link and the run. The
// run is `followed` when it follows this pattern run from its start (it
// knows the loop); otherwise it is found from the step alone.
QJsonObject statusJson(const StatusReport &r, const QDateTime &time,
                       const RunProgress *followed = nullptr);

// What a failed query is told as: {"error": ID, "exit": N, "message": TEXT}.
QJsonObject errorJson(const QString &id, int exitCode, const QString &message);

// A reading as a number, or null for none ("----", "*") and for no number.
QJsonValue reading(const QString &text);
// {"code", "message", "advice"} of the alarm table.
QJsonObject alarmObject(const QString &code);

} // namespace StatusJson
