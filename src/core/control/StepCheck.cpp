#include "core/control/StepCheck.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <optional>

namespace StepCheck {

namespace {

// Largest magnitude carried as a whole number; beyond it a part is left as
// typed (such a time fails the range checks anyway).
constexpr double kCarryLimit = 1e12;

bool wholeValue(const QString &text, qint64 *value)
{
    double v = 0;
    if (!isPlainNumber(text, &v) || std::floor(v) != v || std::fabs(v) > kCarryLimit)
        return false;
    *value = qint64(v);
    return true;
}

// Carries seconds into minutes and, when `h` is given, minutes into hours.
// Parts that change are written as plain integers; the others keep their text.
void carry(QString *h, QString &m, QString &s)
{
    qint64 hv = 0;
    qint64 mv = 0;
    qint64 sv = 0;
    if ((h && !wholeValue(*h, &hv)) || !wholeValue(m, &mv) || !wholeValue(s, &sv))
        return;
    if (sv >= 60) {
        mv += sv / 60;
        sv %= 60;
        s = QString::number(sv);
        m = QString::number(mv);
    }
    if (h && mv >= 60) {
        hv += mv / 60;
        mv %= 60;
        m = QString::number(mv);
        *h = QString::number(hv);
    }
}

// Two or three numeric parts of a time text; false for any other shape.
bool timeParts(const QString &text, double parts[3])
{
    const QStringList p = text.split(QLatin1Char(':'));
    if (p.size() < 2 || p.size() > 3)
        return false;
    parts[0] = parts[1] = parts[2] = 0;
    for (qsizetype i = 0; i < p.size(); ++i) {
        if (!isPlainNumber(p[i], &parts[i]))
            return false;
    }
    return true;
}

bool wholeSeconds(const QString &text, bool *numeric)
{
    double v = 0;
    *numeric = isPlainNumber(text, &v);
    return *numeric && isWholeNumber(text) && v >= 0 && v <= 36000;
}

// A plain number is a count of seconds and is decided here; any other text
// must have numeric parts (a part marked "e" fails). Returns the verdict when
// it is decided here, otherwise fills `parts` for the caller to judge.
std::optional<bool> secondsOrParts(const QString &t, double parts[3])
{
    bool numeric = false;
    const bool seconds = wholeSeconds(t, &numeric);
    if (numeric)
        return seconds;
    if (!timeParts(t, parts))
        return false;
    return std::nullopt;
}

} // namespace

QString toHalfWidth(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= 0xFF01 && u <= 0xFF5E)
            c = QChar(char16_t(u - 0xFEE0));
        else if (u == 0x3000)
            c = QLatin1Char(' ');
    }
    return out;
}

bool isPlainNumber(const QString &text, double *value)
{
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    if (value)
        *value = v;
    return true;
}

bool isWholeNumber(const QString &text)
{
    if (!isPlainNumber(text))
        return false;
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return true;
    for (qsizetype i = dot + 1; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('0'))
            return false;
    }
    // ".0" alone has no digits before the point but is still zero.
    return true;
}

TempResult checkTemperature(const QString &text)
{
    double v = 0;
    if (!isPlainNumber(text, &v) || v < -50 || v > 150)
        return TempResult::NotUsable;
    // Exact on the decimal digits: hundredths must be a multiple of 5 and
    // nothing may follow them.
    const qsizetype dot = text.indexOf(QLatin1Char('.'));
    const QString frac = dot < 0 ? QString() : text.mid(dot + 1);
    for (qsizetype i = 2; i < frac.size(); ++i) {
        if (frac[i] != QLatin1Char('0'))
            return TempResult::OffGrid;
    }
    const int hundredths =
        frac.isEmpty() ? 0 : frac.left(2).leftJustified(2, QLatin1Char('0')).toInt();
    return hundredths % 5 == 0 ? TempResult::Valid : TempResult::OffGrid;
}

QString NormalizeTime(const QString &text)
{
    QStringList p = text.split(QLatin1Char(':'));
    const QString e = QStringLiteral("e");
    if (p.size() == 3) {
        QString &h = p[0];
        QString &m = p[1];
        QString &s = p[2];
        if (s.isEmpty() || !isWholeNumber(s))
            s = e;
        else if (!isWholeNumber(m))
            m = e;
        else if (!isWholeNumber(h))
            h = e;
        carry(&h, m, s);
        return p.join(QLatin1Char(':'));
    }
    if (p.size() == 2) {
        QString &m = p[0];
        QString &s = p[1];
        if (s.isEmpty() || !isWholeNumber(s))
            s = e;
        else if (!isWholeNumber(m))
            m = e;
        carry(nullptr, m, s);
        return QStringLiteral("00:") + m + QLatin1Char(':') + s;
    }
    return text;
}

bool timeValid(const QString &normalized)
{
    double parts[3];
    if (const auto decided = secondsOrParts(normalized, parts))
        return *decided;
    const double total = parts[0] * 3600 + parts[1] * 60 + parts[2];
    return total >= 0 && total <= 36000;
}

QString instrumentTemperature(const QString &text)
{
    if (checkTemperature(text) != TempResult::Valid)
        return {};
    // Counted in hundredths from the text, so no binary fraction can round
    // a grid value off the grid.
    QString t = text;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (t.startsWith(QLatin1Char('+')) || negative)
        t.remove(0, 1);
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? t : t.left(dot);
    const QString frac = dot < 0 ? QString() : t.mid(dot + 1);
    const int hundredths = (whole.isEmpty() ? 0 : whole.toInt()) * 100 +
                           frac.left(2).leftJustified(2, QLatin1Char('0')).toInt();
    return QString::asprintf("%c%03d.%02d", negative && hundredths != 0 ? '-' : '+',
                             hundredths / 100, hundredths % 100);
}

QString clockTime(const QString &normalized)
{
    if (!timeValid(normalized))
        return {};
    double parts[3] = {0, 0, 0};
    double total = 0;
    bool numeric = false;
    if (wholeSeconds(normalized, &numeric))
        isPlainNumber(normalized, &total);
    else if (timeParts(normalized, parts))
        total = parts[0] * 3600 + parts[1] * 60 + parts[2];
    const qint64 seconds = std::llround(total);
    return QString::asprintf("%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                             seconds % 60);
}

bool parseStepRecord(const QString &value, StepRecord *out)
{
    if (value.isEmpty())
        return false;
    const QStringList f = value.split(QLatin1Char(' '));
    if (f.size() != 5)
        return false;
    int index[3];
    for (int i = 0; i < 3; ++i) {
        double v = 0;
        if (!isWholeNumber(f[i]) || !isPlainNumber(f[i], &v) || v < 0 || v > 2)
            return false;
        index[i] = int(v);
    }
    if (f[3] == QLatin1String("*") || f[4] == QLatin1String("*"))
        return false;
    out->sensor = index[0];
    out->heater = index[1];
    out->fan = index[2];
    out->temperature = f[3];
    out->time = f[4];
    return true;
}

bool parsePatternRecord(const QString &value, PatternRecord *out)
{
    const QStringList f = value.split(QLatin1Char(' '));
    double loop = 0;
    double action = 0;
    if (f.size() < 2 || !isPlainNumber(f[0], &loop) || std::fabs(loop) > 1e6 ||
        !isPlainNumber(f[1], &action))
        return false;
    *out = PatternRecord{};
    out->loop = int(std::lround(loop));
    out->action = isWholeNumber(f[1]) && action >= 0 && action <= 2 ? int(action) : 2;
    double v = 0;
    if (f.size() > 2 && isWholeNumber(f[2]) && isPlainNumber(f[2], &v) && std::fabs(v) < 1e6)
        out->start = int(v);
    if (f.size() > 3 && isWholeNumber(f[3]) && isPlainNumber(f[3], &v) && std::fabs(v) < 1e6)
        out->end = int(v);
    return true;
}

} // namespace StepCheck
