// "ログ読込" of a long stored log in the graph window: the time until it is
// drawn, the longest the window's event loop stood still meanwhile (a timer
// asks every 10 ms), and the process's peak memory. Prints figures, never
// fails on a time. The log is written below TMPDIR.
//   bench_storedlog_open [--screen-reader] [LINES]
//                                   (default 10 000 000 lines, about 560 MB)
// --screen-reader runs it again in a session of its own whose accessibility
// bus is on, as a connected screen reader leaves it (tests/shell/
// atspi-session.sh; exit 77 when that cannot be had).

#include "ui/logging/frmGraph.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"

#include "BenchSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

using BenchSupport::statusKiB;

// A log as the program writes it, one sample a second: readings that wander,
// SENSOR1 unused.
bool writeLog(const QString &path, qint64 lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    char line[128];
    for (qint64 n = 0; n < lines; ++n) {
        const double t = 25 + 10 * std::sin(double(n) / 300.0);
        const int len =
            std::snprintf(line, sizeof line,
                          "\"%02lld:%02lld:%02lld\",\"%+07.2f\",\"%+07.2f\",\"*\",\"%+04d\","
                          "\"+031.50\"\r\n",
                          static_cast<long long>(n / 3600), static_cast<long long>(n % 3600 / 60),
                          static_cast<long long>(n % 60), t, t - 1, int(t));
        chunk.append(line, len);
        if (chunk.size() > (1 << 20)) {
            if (f.write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return f.write(chunk) == chunk.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--screen-reader") == 0) {
        std::vector<char *> again{const_cast<char *>(KRM_ATSPI_SESSION_SCRIPT), argv[0]};
        again.insert(again.end(), argv + 2, argv + argc);
        again.push_back(nullptr);
        std::fflush(stdout);
        execv(again[0], again.data());
        std::perror(KRM_ATSPI_SESSION_SCRIPT);
        return 77;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 lines = argc > 1 ? std::max<qint64>(2, atoll(argv[1])) : 10000000;
    UnattendedDialogs quiet;
    Dialogs::setInstance(&quiet);
    QTemporaryDir home;
    const QString path = home.filePath(QStringLiteral("2008_01_15_12_30_45.txt"));
    if (!writeLog(path, lines)) {
        std::printf("cannot write %s\n", qPrintable(path));
        return 1;
    }
    int rc = 0;
    {
        KRM2200 w(home.path());
        w.resize(1280, 900);
        w.show();
        auto *graph = qobject_cast<frmGraph *>(w.openWindow(QStringLiteral("frmGraph")));
        if (!graph)
            return 1;
        // A screen reader's bus, when there is one, is reached once the
        // window shows.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        const bool accessibility = QAccessible::isActive();
        const long before = statusKiB("VmHWM:");

        QElapsedTimer sinceTick;
        QElapsedTimer t;
        qint64 longest = 0;
        qint64 longestAt = 0;
        int ticks = 0;
        QTimer ask;
        ask.setInterval(10);
        QObject::connect(&ask, &QTimer::timeout, [&] {
            const qint64 still = sinceTick.elapsed();
            if (ticks++ > 0 && still > longest) {
                longest = still;
                longestAt = t.elapsed();
            }
            sinceTick.restart();
        });
        bool ok = false;
        QEventLoop wait;
        QObject::connect(graph, &frmGraph::storedLogRead, &wait, [&](bool read) {
            ok = read;
            wait.quit();
        });
        std::printf("stored log of %lld lines (%.0f MB) read in the graph window%s\n",
                    static_cast<long long>(lines), double(QFile(path).size()) / 1e6,
                    accessibility ? ", screen reader bus active" : "");
        // The second reading replaces the first one's log.
        for (const char *pass : {"read", "read again"}) {
            longest = longestAt = 0;
            ticks = 0;
            ok = false;
            t.start();
            ask.start();
            sinceTick.start();
            graph->readStoredLog(path);
            const qint64 returned = t.nsecsElapsed() / 1000;
            wait.exec();
            const qint64 drawn = t.elapsed();
            // The window paints, and tells a screen reader of its changes,
            // after the load has reported: those turns count too.
            QTimer::singleShot(1000, &wait, &QEventLoop::quit);
            wait.exec();
            ask.stop();
            std::printf("  %s: %s; call returned after %.1f ms; drawn after %lld ms\n", pass,
                        ok ? "drawn" : "NOT READ", returned / 1000.0,
                        static_cast<long long>(drawn));
            std::printf("    event loop meanwhile and 1 s after: %d turns of a 10 ms timer, "
                        "longest pause %lld ms (ending %lld ms after the call)\n",
                        ticks, static_cast<long long>(longest), static_cast<long long>(longestAt));
            std::printf("    peak memory so far %.1f MB (%.1f MB before reading; log holds "
                        "%.1f MB); goal < 200 MB for 10 M lines\n",
                        double(statusKiB("VmHWM:")) / 1024.0, double(before) / 1024.0,
                        double(graph->storedLog().bytes()) / 1e6);
            if (!ok)
                break;
        }
        if (graph->Com_page->count() > 0) {
            // What a keyboard user meets on opening the page list.
            QElapsedTimer open;
            open.start();
            graph->Com_page->showPopup();
            QApplication::processEvents();
            const qint64 opened = open.elapsed();
            graph->Com_page->hidePopup();
            std::printf("  page list of %d entries opened in %lld ms\n", graph->Com_page->count(),
                        static_cast<long long>(opened));
        }
        rc = ok && graph->storedLog().count() == lines ? 0 : 1;
        w.unloadAllWindows();
    }
    Dialogs::setInstance(nullptr);
    return rc;
}
