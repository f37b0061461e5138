// Memory growth of a whole log, 21 600 samples, run against the simulated
// instrument with the status timer sped up and the graph window open: the
// resident memory once the first page has been drawn and at the last sample.
// Prints figures; never fails on them.
//   bench_logging_live [TICK_MS [SAMPLES]]   (default 3 ms a sample, 21 600)

#include "PtyInstrument.h"
#include "config/Ini_Operation.h"
#include "config/Parameter.h"
#include "link/SerialLink.h"
#include "logging/LoggingWindows.h"
#include "shell/Dialogs.h"
#include "shell/KRM2200.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

long statusKiB(const char *key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qsizetype(qstrlen(key))).trimmed().split(' ').value(0).toLong();
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int tickMs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    UnattendedDialogs dialogs;
    Dialogs::setInstance(&dialogs);

    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("sys"));
    param().reset();
    PtyInstrument sim;
    sim.setCharsPerSecond(0);
    QString error;
    if (!sim.start(&error)) {
        std::printf("simulator: %s\n", qPrintable(error));
        return 1;
    }
    int rc = 0;
    {
        KRM2200 w(home.path());
        w.link().setForcedDevice(sim.devicePath());
        ini().setWorkingFile(home.filePath(QStringLiteral("sys/KRM.ini")));
        w.show();
        Parameter &p = param();
        p.CommOk = true;
        w.link().OpenPort(QStringLiteral("1"));
        w.UnlockControls();
        p.LogInterval = 1;
        p.GraphPagePoints = 600;
        p.GraphXScale = 50;
        p.GraphDegPerDiv = 50.0;
        p.GraphDivCount = 4.0;
        p.GraphZeroDiv = 3.0;
        w.SetLogdirname(home.path());
        w.openWindow(QStringLiteral("frmGraph"));
        w.startLog();
        w.Log_Timer->setInterval(tickMs);

        const int Last = argc > 2 ? std::clamp(QByteArray(argv[2]).toInt(), 601, 21600) - 1 : 21599;
        long firstPage = -1;
        int next = 2000;
        QElapsedTimer t;
        t.start();
        while (p.LogCount < Last && t.elapsed() < 30 * 60 * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (firstPage < 0 && p.LogCount >= 600)
                firstPage = statusKiB("VmRSS:");
            if (p.LogCount >= next) {
                std::printf("  %d samples, %.0f s, %.1f MB\n", p.LogCount,
                            double(t.elapsed()) / 1000.0, double(statusKiB("VmRSS:")) / 1024.0);
                std::fflush(stdout);
                next += 2000;
            }
        }
        // No further tick; let the last reply arrive before the log is closed.
        w.Log_Timer->stop();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        const long end = statusKiB("VmRSS:");
        const QString path = LoggingWindows::of(w).log().file().TxtLogPath;
        w.stopLog();
        QFile log(path);
        const qint64 lines = log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : -1;
        std::printf("live log of %d samples at %d ms a tick: %lld lines written, %.1f s\n",
                    Last + 1, tickMs, static_cast<long long>(lines), double(t.elapsed()) / 1000.0);
        std::printf("resident memory: %.1f MB after the first page, %.1f MB at the last sample: "
                    "growth %.1f MB (target < 10 MB)\n",
                    double(firstPage) / 1024.0, double(end) / 1024.0,
                    double(end - firstPage) / 1024.0);
        rc = p.LogCount >= Last ? 0 : 1;
    }
    Dialogs::setInstance(nullptr);
    return rc;
}
