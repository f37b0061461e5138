#pragma once

#include <QString>

// What the alarm window shows for an alarm code: a one-line message and an
// advice of one or two lines (two joined by CR LF).
struct AlarmText {
    QString Message;
    QString Advice;
};

// The instrument's alarm codes, matched on the whole three-digit text; an
// unknown code gives two empty texts.
AlarmText LookupAlarm(const QString &code);
