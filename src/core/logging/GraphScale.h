#pragma once

#include <QString>
#include <QStringList>

struct Parameter;

// A sample text as a temperature. Empty and "*" are no reading; anything else
// that is not a decimal number fails.
enum class SampleKind { Value, NoReading, Invalid };
SampleKind sampleValue(QStringView text, double *value);

// The arithmetic of the graph window: Y range, X scale, scrolling, X labels
// and the pages of a stored log. Pure functions over the parameter set.
namespace GraphScale {

// "0.##": rounded to two decimals.
double round2(double v);

// The live graph as every start begins it: 600 samples a page, 50 ℃ a
// division, four divisions with 0 ℃ at the third, 50 twips a sample.
void setPageDefaults(Parameter &p);

// Twips per degree and the 0 °C line from the canvas height and the range
// already in the parameter set.
void recompute(Parameter &p, double canvasHeightTwips);
// New range: degrees per division, the 0 °C division, then `recompute`.
void SetYRange(Parameter &p, int max, int min, double canvasHeightTwips);
// The three inner axis labels (¾, ½, ¼ of the height), e.g. "100[℃]".
QStringList innerLabels(int max, int min);

// The lists of the Y ends: 160 ... -55 and 155 ... -60 in steps of 5.
QStringList maxEntries();
QStringList minEntries();
// Entry of each list nearest to a stored value.
int maxIndexFor(int max);
int minIndexFor(int min);
// A stored "max min" text as a range; "ERR", missing or non-numeric parts give
// the default 160 -60.
void parseStoredRange(const QString &text, int *max, int *min);
// When one end is chosen at or beyond the other, the other one moves:
// changing the maximum pulls the minimum to max - 5, changing the minimum
// pushes the maximum to min + 5.
void correctRange(int *max, int *min, bool maxChanged);

// The two X scales: 0 "10Point" (50 twips a sample, 600 a page), 1 "20Point"
// (25, 1200).
void setXScale(Parameter &p, int option);
// The scroll range for the viewport width in twips.
int scrollMaximum(int option, int viewportWidthTwips);
// A scroll value snapped down to a whole sample.
int snapScroll(int value, int xScale);

// The ten X labels: the sample at the viewport's left edge, then one every
// tenth of a page.
QList<qint64> xLabels(const Parameter &p, int scrollValue, qint64 base);

// Pages of a stored log whose highest sample index is `highest`: none below
// 300, otherwise overlapping pages 0～600, 300～900, ... up to the first page
// that reaches past the end.
QStringList pageEntries(qint64 highest);
// The same pages one at a time, for a list that asks for the ones it shows.
int pageCount(qint64 highest);
QString pageEntry(int pageIndex);
inline qint64 pageStart(int pageIndex)
{
    return qint64(pageIndex) * 300;
}

} // namespace GraphScale
