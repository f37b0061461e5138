#pragma once

#include <QByteArray>
#include <QString>

// Opening a configuration set: a saved copy of the configuration file that
// replaces the working file. Every value of the parameter set must lie in
// the ranges the settings window and the whole-set read apply, since the next
// write sends them to the instrument as they are, and the set may hold
// nothing but the keys the program keeps in that file.
class ConfigSet {
public:
    // Far beyond any set (some 130 values of at most 255 characters): a
    // larger file is refused without being read.
    static constexpr qint64 MaxBytes = 1024 * 1024;

    struct Check {
        bool ok = false;
        // What was refused: a key of the parameter set that is absent, holds
        // a value that fails or may have been cut off at the end of the file;
        // a key or section that is not the set's own, or one that comes a
        // second time (section and key, or the section alone); or, by its
        // line number, a line that is neither a key nor a section. All empty
        // when the file as a whole is refused.
        QString section;
        QString key;
        int line = 0;
        // The named key is present with the fields of its kind, but a value
        // lies outside what the program takes: told as out of range rather
        // than as a damaged file.
        bool outOfRange = false;
        bool names() const { return !section.isEmpty() || !key.isEmpty() || line > 0; }
    };
    // The check of a set's bytes. Patterns and steps may be empty (the
    // editor leaves free slots so); the LOG value is not sent and any text
    // passes.
    static Check check(const QByteArray &bytes);

    struct Result {
        bool opened = false;
        // The message for the user when the set was not opened.
        QString message;
        // The set was sound but the working file could not be written (a
        // full disk): the disk's fault, not the set's.
        bool diskFailed = false;
    };
    // Reads `path`, checks it and, when it passes, writes the very bytes
    // checked over `workingFile` (temporary file and rename). Anything but a
    // regular file (a folder, a pipe, a device) is refused before it is
    // opened. On refusal the working file is untouched.
    static Result open(const QString &path, const QString &workingFile);

    // The second lines of the refusals that are not about the content.
    static QString notAFileMessage();
    static QString noPermissionMessage();
};
