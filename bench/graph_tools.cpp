// The graph window's tools on long logs: the read-out from a mouse move to
// its updated label with 21 600 samples (live and stored), "範囲自動" on a
// page of a 1 000 000-line stored log, the PNG of a 1 200-sample page and the
// CSV of 21 600 samples, each written to a file, and the whole-log report. Prints the median, the
// 90th percentile and the slowest of several runs; never fails on a time.
//   bench_graph_tools [runs]

#include "core/config/Parameter.h"
#include "core/logging/GraphExport.h"
#include "core/logging/LogFile.h"
#include "core/logging/LogSummary.h"
#include "core/logging/RangeFit.h"
#include "core/logging/StoredLog.h"
#include "ui/logging/GraphActions.h"
#include "ui/logging/ReadoutOverlay.h"
#include "ui/logging/frmGraph.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

QString reading(qint64 n, int k)
{
    return QString::asprintf("%+07.2f", 20.0 + k * 15 + 10 * std::sin(double(n) / 40.0));
}

QByteArray storedBytes(qint64 lines)
{
    QByteArray s;
    s.reserve(qsizetype(lines) * 56);
    for (qint64 n = 0; n < lines; ++n)
        s += LogFile::formatLine(LogFile::FormatElapsed(n),
                                 {reading(n, 0), reading(n, 1), QStringLiteral("*"),
                                  QStringLiteral("+%1").arg(20 + n % 60, 3, 10, QLatin1Char('0'))},
                                 QStringLiteral("+031.50"));
    return s;
}

void report(const char *what, std::vector<double> ms, double limit)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-52s median %8.3f ms  90%% %8.3f ms  slowest %8.3f ms  (goal < %g ms)\n", what,
                ms[ms.size() / 2], ms[ms.size() * 9 / 10], ms.back(), limit);
}

std::vector<double> timeRuns(int runs, const std::function<void()> &run)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        run();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return ms;
}

double threadMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// Mouse moves across the viewport, each timed to its label's new text: wall
// time, and the processor time of this thread (what a loaded machine does
// not inflate).
std::vector<double> readoutMoves(frmGraph *graph, std::vector<double> *cpu)
{
    QWidget *viewport = graph->findChild<QWidget *>(QStringLiteral("P1"));
    std::vector<double> ms;
    for (int x = 0; x < viewport->width(); x += 7) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 30), viewport->mapToGlobal(QPointF(x, 30)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QElapsedTimer t;
        const double c0 = threadMs();
        t.start();
        QCoreApplication::sendEvent(viewport, &move);
        ms.push_back(t.nsecsElapsed() / 1e6);
        cpu->push_back(threadMs() - c0);
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    UnattendedDialogs quiet;
    Dialogs::setInstance(&quiet);
    QTemporaryDir home;

    // A full live log: 21 600 samples, the last page shown.
    const qint64 full = 21600;
    Parameter &p = param();
    p.LogInterval = 1;
    for (qint64 n = 0; n <= full + 2; ++n) {
        QStringList row;
        for (int k = 0; k < 4; ++k)
            row << (k == 2 ? QStringLiteral("*") : reading(n, k));
        p.SenValues.set(n, row);
    }
    p.LogCount = int(full - 1);
    {
        KRM2200 w(home.path());
        w.resize(1280, 900);
        w.show();
        auto *graph = qobject_cast<frmGraph *>(w.openWindow(QStringLiteral("frmGraph")));
        if (!graph)
            return 1;
        QApplication::processEvents();
        std::vector<double> cpu;
        std::vector<double> moves = readoutMoves(graph, &cpu);
        // The first move also lays out the label for the first time.
        std::printf("%-52s %8.3f ms\n", "read-out, first move", moves.front());
        moves.erase(moves.begin());
        cpu.erase(cpu.begin());
        report("read-out, live log of 21 600 samples", moves, 2);
        report("  the same, processor time", cpu, 2);
        if (graph->readout()->label()->text().isEmpty())
            return 1;

        const QString path = home.filePath(QStringLiteral("2008_01_15_12_30_45.txt"));
        if (!GraphExport::writeFile(path, storedBytes(full)))
            return 1;
        {
            QEventLoop wait;
            QObject::connect(graph, &frmGraph::storedLogRead, &wait, &QEventLoop::quit);
            graph->readStoredLog(path);
            wait.exec();
        }
        graph->Com_page->setCurrentIndex(graph->Com_page->count() - 1);
        cpu.clear();
        report("read-out, stored log of 21 600 lines (last page)", readoutMoves(graph, &cpu), 2);
        report("  the same, processor time", cpu, 2);

        // The CSV of all 21 600 samples and the PNG of a 1 200-sample page,
        // both written whole to a file.
        GraphPage whole = GraphPage::live(p, QStringLiteral("2008_01_15_12_30_45"));
        whole.first = 0;
        whole.last = full - 1;
        const QString csvPath = home.filePath(QStringLiteral("all.csv"));
        report("CSV export of 21 600 samples (to file)",
               timeRuns(runs, [&] { GraphExport::writeFile(csvPath, GraphExport::csv(whole)); }),
               200);
        GraphPage page = whole;
        page.pagePoints = 1200;
        page.xScale = 25;
        page.first = full - 1201;
        const QString pngPath = home.filePath(QStringLiteral("page.png"));
        const QSize plot = GraphExport::pictureSizes().constFirst();
        QSize written;
        report("PNG export of a 1 200-sample page (to file)",
               timeRuns(runs,
                        [&] {
                            const QImage image = GraphExport::image(page, {}, plot);
                            written = image.size();
                            GraphExport::writeImage(pngPath, image);
                        }),
               200);
        std::printf("  PNG size %dx%d\n", written.width(), written.height());

        // "レポート印刷" of the whole stored log: the summary (with the system
        // logs searched for alarms) and one A4 page per page of the graph, into
        // a PDF in memory. The same with only its first 24 pages, a log of
        // about 7 500 lines.
        GraphActions::WholeLog all = graph->wholeLog();
        GraphActions::WholeLog first24 = all;
        first24.pages = all.pages.mid(0, 24);
        for (const GraphActions::WholeLog *log : {&first24, &all}) {
            qint64 bytes = 0;
            const auto ms = timeRuns(std::max(1, runs / 4), [&] {
                QByteArray pdfBytes;
                QBuffer buffer(&pdfBytes);
                buffer.open(QIODevice::WriteOnly);
                QPdfWriter pdf(&buffer);
                LogSummary summary = LogSummary::of(log->all, log->memo);
                summary.alarms = summary.alarmsIn(log->systemLogFolder);
                GraphActions::printWholeReportTo(pdf, *log, graph->plotSetup(), summary);
                buffer.close();
                bytes = pdfBytes.size();
            });
            const QString what =
                QStringLiteral("whole-log report: summary and %1 pages").arg(log->pages.size());
            report(qPrintable(what), ms, 10000);
            std::printf("  PDF %lld KB, %.1f ms a page\n", bytes / 1024,
                        ms[ms.size() / 2] / double(log->pages.size() + 1));
        }
        w.unloadAllWindows();
    }

    // "範囲自動" on a page in the middle of a stored log of 1 000 000 lines.
    StoredLog log;
    {
        QByteArray bytes = storedBytes(1000000);
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        log.read(b);
    }
    p.GraphXScale = 50;
    p.GraphPagePoints = 600;
    const GraphPage middle = GraphPage::stored(log, QStringLiteral("2008_01_15_12_30_45.txt"), 1, p,
                                               true, (log.highest() / 2 / 300) * 300);
    int max = 0;
    int min = 0;
    report("範囲自動, page of a 1 000 000-line stored log",
           timeRuns(runs * 10, [&] { RangeFit::fit(middle, &max, &min); }), 20);
    std::printf("  fitted range %d ... %d over samples %lld ... %lld\n", max, min,
                static_cast<long long>(middle.first), static_cast<long long>(middle.last));
    Dialogs::setInstance(nullptr);
    return 0;
}
