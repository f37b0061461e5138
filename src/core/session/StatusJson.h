#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

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
// the pattern holding the step, the last alarm and the link.
QJsonObject statusJson(const StatusReport &r, const QDateTime &time);

// What a failed query is told as: {"error": ID, "exit": N, "message": TEXT}.
QJsonObject errorJson(const QString &id, int exitCode, const QString &message);

// A reading as a number, or null for none ("----", "*") and for no number.
QJsonValue reading(const QString &text);
// {"code", "message", "advice"} of the alarm table.
QJsonObject alarmObject(const QString &code);

} // namespace StatusJson
