#pragma once

#include <QByteArray>
#include <QString>

// Copies `source` over `target` through a temporary file and a rename, so that
// `target` is either the old file or a whole copy, never a part (DiskFile).
// On failure returns false and, when `error` is given, the system's reason as
// the user reads it.
bool copyFileAtomically(const QString &source, const QString &target, QString *error = nullptr);

// Writes `bytes` over `target` the same way.
bool writeFileAtomically(const QString &target, const QByteArray &bytes, QString *error = nullptr);
