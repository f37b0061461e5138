#pragma once

#include <QString>

// The program's own version, "major.minor.revision".
inline QString programVersion()
{
    return QStringLiteral("%1.%2.%3")
        .arg(KRM_VERSION_MAJOR)
        .arg(KRM_VERSION_MINOR)
        .arg(KRM_VERSION_REVISION);
}
