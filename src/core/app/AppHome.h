#pragma once

#include <QString>

// The program folder, in this order:
//  1. the folder asked for (--home), made when missing;
//  2. for a program run from where it was built or unpacked, the executable's
//     folder;
//  3. the per-user data folder: always for an installed program, whose
//     executable's folder belongs to the system, and whenever the folder
//     chosen above cannot be written to.
// Separators are "/".
QString resolveAppHome(const QString &requested, const QString &executableDir);

// The desktop-wide name of the program: its desktop entry is
// "<appId>.desktop", its icon "<appId>.svg".
QString appId();

// Whether the executable in `executableDir` is an installed one: it lies below
// /usr, or the desktop entry was installed beside its bin folder.
bool isInstalledProgram(const QString &executableDir);
