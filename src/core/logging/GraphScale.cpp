#include "core/logging/GraphScale.h"

#include "core/config/Parameter.h"

#include <charconv>
#include <cmath>

SampleKind sampleValue(QStringView text, double *value)
{
    text = text.trimmed();
    if (text.isEmpty() || text == u"*")
        return SampleKind::NoReading;
    // Readings come as "+025.00", "-050.00", "+025": plain decimals only.
    char buf[32] = {};
    qsizetype n = 0;
    for (QChar c : text) {
        if (n >= qsizetype(sizeof buf) || c.unicode() > 127)
            return SampleKind::Invalid;
        buf[n++] = char(c.unicode());
    }
    const char *first = buf;
    const char *last = buf + n;
    bool negative = false;
    if (*first == '+' || *first == '-') {
        negative = *first == '-';
        ++first;
    }
    if (first == last || *first == '+' || *first == '-')
        return SampleKind::Invalid;
    double v = 0.0;
    const auto r = std::from_chars(first, last, v, std::chars_format::fixed);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return SampleKind::Invalid;
    *value = negative ? -v : v;
    return SampleKind::Value;
}

namespace GraphScale {

namespace {

constexpr int TopMax = 160;
constexpr int TopMin = 155;
constexpr int Entries = 44;
constexpr int Step = 5;

int nearestIndex(int top, int value)
{
    const double q = double(top - value) / Step;
    const long i = std::lround(q);
    return int(std::clamp(i, 0L, long(Entries - 1)));
}

QStringList entries(int top)
{
    QStringList list;
    for (int i = 0; i < Entries; ++i)
        list << QString::number(top - i * Step);
    return list;
}

} // namespace

void setPageDefaults(Parameter &p)
{
    p.GraphPagePoints = 600;
    p.GraphDegPerDiv = 50.0;
    p.GraphDivCount = 4.0;
    p.GraphZeroDiv = 3.0;
    p.GraphXScale = 50;
}

double round2(double v)
{
    return std::round(v * 100.0) / 100.0;
}

void recompute(Parameter &p, double canvasHeightTwips)
{
    const double divs = p.GraphDivCount > 0 ? p.GraphDivCount : 4.0;
    p.GraphYScale =
        p.GraphDegPerDiv != 0.0 ? round2(canvasHeightTwips / divs / p.GraphDegPerDiv) : 0.0;
    p.GraphZeroY = p.GraphZeroDiv != 0.0 ? round2(p.GraphZeroDiv / divs * canvasHeightTwips) : 0.0;
}

void SetYRange(Parameter &p, int max, int min, double canvasHeightTwips)
{
    if (p.GraphDivCount <= 0)
        p.GraphDivCount = 4.0;
    p.GraphDegPerDiv = double(max - min) / 4.0;
    p.GraphZeroDiv = p.GraphDegPerDiv != 0.0 ? 4.0 - double(-min) / p.GraphDegPerDiv : 0.0;
    recompute(p, canvasHeightTwips);
}

QStringList innerLabels(int max, int min)
{
    const double d = double(max - min) / 4.0;
    QStringList labels;
    for (int k : {3, 2, 1})
        labels << QString::number(d * k + min) + QStringLiteral("[℃]");
    return labels;
}

QStringList maxEntries()
{
    return entries(TopMax);
}

QStringList minEntries()
{
    return entries(TopMin);
}

int maxIndexFor(int max)
{
    return nearestIndex(TopMax, max);
}

int minIndexFor(int min)
{
    return nearestIndex(TopMin, min);
}

void parseStoredRange(const QString &text, int *max, int *min)
{
    *max = 160;
    *min = -60;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return;
    bool okMax = false;
    bool okMin = false;
    const double a = parts.at(0).toDouble(&okMax);
    const double b = parts.at(1).toDouble(&okMin);
    if (!okMax || !okMin || !std::isfinite(a) || !std::isfinite(b))
        return;
    // Snap to the lists, so the window always shows what is applied.
    *max = TopMax - maxIndexFor(int(std::clamp(std::lround(a), -1000L, 1000L))) * Step;
    *min = TopMin - minIndexFor(int(std::clamp(std::lround(b), -1000L, 1000L))) * Step;
    if (*min >= *max)
        correctRange(max, min, true);
}

void correctRange(int *max, int *min, bool maxChanged)
{
    if (*min < *max)
        return;
    if (maxChanged)
        *min = *max - Step;
    else
        *max = *min + Step;
}

void setXScale(Parameter &p, int option)
{
    p.GraphXScale = option == 0 ? 50 : 25;
    p.GraphPagePoints = option == 0 ? 600 : 1200;
    p.GraphPage = p.LogCount / p.GraphPagePoints;
    p.GraphPageStart = p.GraphPage * p.GraphPagePoints;
}

int scrollMaximum(int option, int viewportWidthTwips)
{
    const int full = 30000 - viewportWidthTwips + 500;
    return std::max(0, option == 0 ? full : full / 2);
}

int snapScroll(int value, int xScale)
{
    return xScale > 0 ? value - value % xScale : value;
}

QList<qint64> xLabels(const Parameter &p, int scrollValue, qint64 base)
{
    QList<qint64> labels;
    qint64 v = (p.GraphXScale > 0 ? scrollValue / p.GraphXScale : 0) + base;
    for (int i = 0; i < 10; ++i) {
        labels << v;
        v += p.GraphPagePoints / 10;
    }
    return labels;
}

QStringList pageEntries(qint64 highest)
{
    QStringList list;
    const int count = pageCount(highest);
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list << pageEntry(i);
    return list;
}

int pageCount(qint64 highest)
{
    if (highest / 300 < 1)
        return 0;
    // Up to the first page that reaches past the end: start + 600 > highest.
    return int(highest < 600 ? 1 : (highest - 600) / 300 + 2);
}

QString pageEntry(int pageIndex)
{
    const qint64 start = pageStart(pageIndex);
    return QString::number(start) + QStringLiteral("～") + QString::number(start + 600);
}

} // namespace GraphScale
