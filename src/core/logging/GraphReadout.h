#pragma once

#include "core/logging/GraphCanvas.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <utility>
#include <vector>

struct Parameter;
class StoredLog;

// What one page of the graph shows, live or stored: the samples, when each
// was taken, and the log it belongs to. Built on demand from the parameter
// set or the stored log; it holds references, never copies of the samples.
struct GraphPage {
    SampleText values;
    // Seconds from the log's start to sample i.
    std::function<qint64(qint64)> elapsed;
    // The log's start; invalid when unknown (no log yet, a file renamed).
    QDateTime start;
    // A stored log's lines hold only the samples whose reply came: line i is
    // sample sampleOf(i), or -1 when its stamp does not tell, and samples are
    // sampleStep seconds apart. Unset for the live log, whose rows are its
    // sample numbers.
    std::function<qint64(qint64)> sampleOf;
    qint64 sampleStep = 0;
    // The samples drawn: `first` at x = 0, up to `last` (inclusive).
    qint64 first = 0;
    qint64 last = -1;
    // Samples per page width (600 or 1200) and twips per sample (50 or 25).
    int pagePoints = 600;
    int xScale = 50;
    int interval = 0;
    // The file's name, or empty for the live log.
    QString fileName;

    // Clock time of sample i; invalid when the start is unknown.
    QDateTime clockAt(qint64 i) const;
    bool isLive() const { return fileName.isEmpty(); }
    // "ライブ" or the file name.
    QString title() const;

    // The live page of the parameter set; `stem` names the running or last log.
    static GraphPage live(const Parameter &p, const QString &stem);
    // A stored log's page starting at `pageStart` (600 samples when paged,
    // otherwise the whole log).
    static GraphPage stored(const StoredLog &log, const QString &fileName, int interval,
                            const Parameter &p, bool paged, qint64 pageStart);
};

// The read-out under the mouse and the texts of the X axis.
namespace GraphReadout {

// The rows a page has for its lines `first` ... `last`: sample `index`,
// `elapsed` seconds in, read from line `line` of the page, or -1 for a
// sample whose reply never came. `timeFits` is false for a line whose
// stamp lies more than one interval from the time its place in the log
// implies (a damaged stamp): its row is timed by its place instead.
using RowVisitor = std::function<void(qint64 index, qint64 elapsed, qint64 line, bool timeFits)>;
void forEachRow(const GraphPage &page, qint64 first, qint64 last, const RowVisitor &visit);

// Where a page's lines stand: the sample number its CSV gives each line
// (samples between two numbers that differ by more than one never came),
// and the number of the page's first sample. The live page's lines are their
// sample numbers.
struct Placed {
    qint64 firstSample = 0;
    std::vector<std::pair<qint64, qint64>> lines; // sample, line
    // The line of sample `n`, or -1 when its reply never came.
    qint64 lineOf(qint64 n) const;
    // The sample of line `line`, or -1 when it is not on the page.
    qint64 sampleOf(qint64 line) const;
};
Placed placed(const GraphPage &page);

// The start of a log from its file name "yyyy_MM_dd_HH_mm_ss[_n].txt" (the
// name the log files get), as local time; invalid for any other name.
QDateTime startFromFileName(const QString &fileName);
// "ファイル：<name>　開始：yyyy/MM/dd HH:mm:ss" ("-" for an unknown start).
QString fileCaption(const QString &fileName);

// The sample under a viewport pixel, or -1 when the page has none there.
qint64 sampleAt(const GraphPage &page, int xPixel, int scrollTwips, double pixelsPerTwip);

struct Values {
    qint64 sample = -1;
    QString elapsed;                // "hh:mm:ss"
    QString clock;                  // "yyyy/MM/dd HH:mm:ss", or "-"
    std::array<QString, 4> temps{}; // as received; "-" when not received
};
Values at(const GraphPage &page, qint64 sample);
// The label's text: one line each, the temperatures in their curve colours.
QString html(const Values &v);
// The same in one plain line, items separated by "、" (the label's name).
QString plainText(const Values &v);

// X labels: 0 sample numbers, 1 elapsed time "hh:mm", 2 clock time
// "HH:mm:ss" ("--:--:--" when the log's start is unknown).
enum class AxisMode { Sample = 0, Elapsed = 1, Clock = 2 };
QString axisLabel(const GraphPage &page, AxisMode mode, qint64 sample);
// The same for a stored page's sample numbered `n` as its CSV numbers it.
QString sampleLabel(const GraphPage &page, AxisMode mode, qint64 n);
// Names of the modes, in their order.
QStringList axisModeNames();

} // namespace GraphReadout
