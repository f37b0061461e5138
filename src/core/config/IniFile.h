#pragma once

#include "core/config/IniDocument.h"

#include <QByteArray>
#include <QString>

#include <optional>

// A small sectioned `key=value` file with the observable behaviour of the
// classic profile-string facility:
//  - section and key names match without regard to case; the first match wins;
//  - an absent key (or file) reads as "ERR", distinct from an empty value;
//  - values read back are cut at 255 characters;
//  - a new section is appended at the end of the file, a new key at the end of
//    its section; an existing key is replaced in place;
//  - the file is read as UTF-8, or as Shift_JIS when it is not valid UTF-8, and
//    written as UTF-8;
//  - every write replaces the file atomically (DiskFile: temporary file, every
//    write and the flush checked, then a rename), so a crash or a full disk
//    never leaves a half-written file.
class IniFile {
public:
    static constexpr int MaxValueLength = 255;

    static QString read(const QString &path, const QString &section, const QString &key);
    // Returns false when the file could not be written, with the reason in
    // `reason` when given; the old file then stays as it was.
    static bool write(const QString &path, const QString &section, const QString &key,
                      const QString &value, QString *reason = nullptr);

    // The whole file parsed once, for callers that look up many keys; nullopt
    // when the file is absent or cannot be read.
    static std::optional<IniDocument> load(const QString &path);
    // Replaces the file with the document's text (temporary file and rename).
    static bool save(const QString &path, const IniDocument &document, QString *reason = nullptr);

    // Removes what an interrupted atomic write of `path` left beside it: the
    // temporary files named after it with a suffix of six letters and
    // digits, not all lower-case letters ("KRM.ini.a1B2c3"). Returns how
    // many were removed.
    static int removeLeftovers(const QString &path);

    // value cut at MaxValueLength characters, never inside a surrogate pair.
    static QString truncated(const QString &value);
};
