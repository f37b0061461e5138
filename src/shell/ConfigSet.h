#pragma once

#include <QByteArray>
#include <QString>

// Opening a configuration set: a saved copy of the configuration file that
// replaces the working file. Every value of the parameter set must pass the
// checks the whole-set read makes of what it stores, since the next write
// sends them to the instrument as they are.
class ConfigSet {
public:
    // Far beyond any set (some 120 values of at most 255 characters): a
    // larger file is refused without being read.
    static constexpr qint64 MaxBytes = 1024 * 1024;

    struct Check {
        bool ok = false;
        // The first key of the parameter set that is absent, holds a value
        // that fails, or is cut off at the end of the file; both empty when
        // the file as a whole is refused (absent, unreadable, too large).
        QString section;
        QString key;
    };
    // The check of a set's bytes. Patterns and steps may be empty (the
    // editor leaves free slots so); the LOG value is not sent and any text
    // passes.
    static Check check(const QByteArray &bytes);

    struct Result {
        bool opened = false;
        // The message for the user when the set was not opened.
        QString message;
    };
    // Reads `path`, checks it and, when it passes, writes the very bytes
    // checked over `workingFile` (temporary file and rename). On refusal the
    // working file is untouched.
    static Result open(const QString &path, const QString &workingFile);
};
