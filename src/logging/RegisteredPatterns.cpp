#include "logging/RegisteredPatterns.h"

#include "config/Ini_Operation.h"

QList<int> registeredPatterns(const Ini_Operation &cfg)
{
    QList<int> numbers;
    for (int n = 0; n <= 9; ++n) {
        const QString v =
            cfg.IniRead(QStringLiteral("PATTERN"), QStringLiteral("PATTERN") + QString::number(n));
        if (!v.isEmpty() && v != QLatin1String("ERR"))
            numbers << n;
    }
    return numbers;
}
