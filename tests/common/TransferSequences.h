#pragma once

// The command lines the instrument receives during a whole-set read.

#include <QStringList>

inline QStringList readAllSequence()
{
    QStringList s;
    for (int n = 0; n < 4; ++n)
        s << QStringLiteral("SEN %1").arg(n);
    s << QStringLiteral("UNI") << QStringLiteral("BEEP") << QStringLiteral("LIT")
      << QStringLiteral("LOG") << QStringLiteral("LOG 0 1") << QStringLiteral("FAN");
    for (int n = 0; n < 10; ++n)
        s << QStringLiteral("LP %1 0").arg(n);
    for (int n = 0; n < 100; ++n)
        s << QStringLiteral("LS %1 1").arg(n);
    return s;
}
