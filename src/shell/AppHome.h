#pragma once

#include <QString>

// The program folder: the folder asked for (or the executable's folder), made
// when missing; when it cannot be written to, the per-user data folder.
// Separators are "/".
QString resolveAppHome(const QString &requested, const QString &executableDir);
