#pragma once

#include <QString>
#include <QStringList>

// Finds the program that opens spreadsheet (.xls) files: first the desktop's
// default for the type (asked with xdg-mime, no shell involved), then a known
// spreadsheet program on the search path.
class ProgramLookup {
public:
    ProgramLookup();

    // Full path of the program, or an empty text when there is none.
    QString findSpreadsheetProgram() const;

    // The Exec program of a desktop entry file, resolved on the search path;
    // empty when the file names none that exists.
    QString desktopEntryProgram(const QString &desktopFile) const;

    // Programs tried on the search path, in order.
    QStringList candidates;
    // The query tool; empty to skip asking the desktop.
    QString xdgMime = QStringLiteral("xdg-mime");
    // Where desktop entries are looked for (defaults: the XDG data folders).
    QStringList applicationDirs;
    // Folders searched for programs; empty means PATH.
    QStringList searchPaths;
    // How long the desktop may take to answer.
    int queryTimeoutMs = 3000;

private:
    QString askDesktop() const;
    QString findOnPath(const QString &name) const;
};
