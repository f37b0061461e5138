#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <utility>

// The working configuration file and the reads and writes every part of the
// program makes on it. Writes always go to the working file; reads come from
// `Filename`, which names the working file except while a configuration set
// chosen by the user is being checked.
class Ini_Operation {
public:
    // Points both the working file and `Filename` at `path`.
    void setWorkingFile(const QString &path);
    QString workingFile() const { return m_workingFile; }

    // The file that reads come from.
    QString Filename;

    // Value of key in section of `Filename`, cut at 255 characters; "ERR"
    // when the key or the file is absent. An empty key reads `para`.
    QString IniRead(const QString &section, const QString &key) const;
    // Writes value under section/key of the working file, creating file,
    // section or key as needed. The file is replaced atomically. Returns
    // false when the write could not be made (nothing is changed then).
    bool IniWrite(const QString &section, const QString &key, const QString &value);
    // The same, an empty key meaning `para`.
    bool IniWritePara(const QString &section, const QString &key, const QString &value);
    // Called for every write that could not be made, with the working file
    // and the system's reason; the shell tells the user.
    std::function<void(const QString &path, const QString &reason)> writeFailed;

    // True when `Filename` holds every key of a full parameter set.
    bool IniCheck() const;

    // The keys of a full parameter set (section, key), in the order they are
    // checked: SEN0-3, UNI, BEEP, LIT, LOG, FAN, PATTERN0-9, STEP0-99.
    static const QList<std::pair<QString, QString>> &parameterSetKeys();
    // Whether section/key (matched without regard to case) is one the
    // program keeps in the working file: the parameter set and the
    // program's own settings (port, log folder, CSV output, graph range,
    // fast read, verify after write). A configuration set is a copy of that file, so these are
    // the only keys a set may hold: a key the program writes must be listed
    // here, or a set saved with it no longer opens.
    static bool isProgramKey(const QString &section, const QString &key);
    static bool isProgramSection(const QString &section);

private:
    QString m_workingFile;
};

// The instance shared by the whole program.
Ini_Operation &ini();
