#include "core/control/PatternRun.h"

#include "core/config/Ini_Operation.h"

bool isRegisteredPattern(const QString &value)
{
    if (value.isEmpty() || value == QLatin1String("ERR"))
        return false;
    return value.split(QLatin1Char(' '), Qt::SkipEmptyParts).value(1) != QLatin1String("*");
}

QStringList registeredPatternList(const Ini_Operation &ini)
{
    QStringList numbers;
    for (int n = 0; n <= 9; ++n) {
        const QString key = QStringLiteral("PATTERN%1").arg(n);
        if (isRegisteredPattern(ini.IniRead(QStringLiteral("PATTERN"), key)))
            numbers.append(QString::number(n));
    }
    return numbers;
}

QString goLine(const QString &choice)
{
    return choice.isEmpty() ? QString() : QStringLiteral("GO ") + choice;
}
