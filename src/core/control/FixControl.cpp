#include "core/control/FixControl.h"

#include <QLocale>
#include <QStringList>

namespace {

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// A decimal number split into its digits and a power of ten:
// value = sign * digits * 10^exponent.
struct Decimal {
    bool negative = false;
    QString digits;
    qint64 exponent = 0;
};

// Accepts an optional sign, digits with at most one decimal point (at least
// one digit) and an optional exponent; spaces around the number are allowed.
bool parseDecimal(const QString &text, Decimal &out)
{
    const QString t = text.trimmed();
    qsizetype i = 0;
    const qsizetype n = t.size();
    if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
        out.negative = t[i++] == QLatin1Char('-');
    qsizetype fraction = 0;
    bool point = false;
    for (; i < n; ++i) {
        if (isDigit(t[i])) {
            out.digits += t[i];
            if (point)
                ++fraction;
        } else if (t[i] == QLatin1Char('.') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (out.digits.isEmpty())
        return false;
    qint64 exponent = 0;
    if (i < n && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool negative = false;
        if (i < n && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-')))
            negative = t[i++] == QLatin1Char('-');
        const qsizetype start = i;
        // Longer exponents than this only describe infinities and zeros.
        for (; i < n && isDigit(t[i]) && i - start < 6; ++i)
            exponent = exponent * 10 + t[i].digitValue();
        if (i == start)
            return false;
        if (negative)
            exponent = -exponent;
    }
    if (i != n)
        return false;
    out.exponent = exponent - fraction;
    return true;
}

// value * 100 as a whole number when it is one and small enough to be a set
// temperature candidate (|value| < 10000).
bool hundredths(const Decimal &d, qint64 &out)
{
    QString digits = d.digits;
    qint64 exponent = d.exponent + 2;
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0'))) {
        digits.chop(1);
        ++exponent;
    }
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits == QLatin1String("0")) {
        out = 0;
        return true;
    }
    if (exponent < 0 || digits.size() + exponent > 6)
        return false;
    qint64 v = digits.toLongLong();
    for (qint64 k = 0; k < exponent; ++k)
        v *= 10;
    out = d.negative ? -v : v;
    return true;
}

} // namespace

SetTempCheck checkSetTemp(const QString &text)
{
    SetTempCheck check;
    Decimal d;
    if (!parseDecimal(text, d))
        return check;
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return check; // beyond what a number can hold
    check.numeric = true;
    check.value = value;
    qint64 h = 0;
    check.valid = hundredths(d, h) && h >= -5000 && h <= 15000 && h % 5 == 0;
    return check;
}

QString shortestDecimal(double value)
{
    if (value == 0)
        value = 0; // no "-0"
    return QString::number(value, 'f', QLocale::FloatingPointShortest);
}

QString setTempErrorText()
{
    return QStringLiteral("設定温度には条件に合う数字を入力してください");
}

bool beyondSensorLimits(const QString &record, double value)
{
    const QStringList f = record.simplified().split(QLatin1Char(' '));
    if (f.size() < 3)
        return false;
    bool upperOk = false;
    bool lowerOk = false;
    const double upper = f.at(1).toDouble(&upperOk);
    const double lower = f.at(2).toDouble(&lowerOk);
    return (upperOk && value > upper) || (lowerOk && value < lower);
}

QString sensorLimitQuestion()
{
    return QStringLiteral("設定温度がセンサの上限/下限を超えています。\n実行しますか？");
}
