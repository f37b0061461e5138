// Memory of logging for days, run against the simulated instrument with the
// status timer sped up and the graph and sensor-log windows open: whole logs
// of 21 600 samples, each restarted into a new file as a long log is. Prints
// the growth per sample within the first log (from its first page to its
// last sample) and the resident memory after each restart. Never fails on
// the figures.
//   bench_logging_live [TICK_MS [RESTARTS]]   (default 3 ms a sample, 3)

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/SerialLink.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"

#include "BenchSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <vector>

using BenchSupport::statusKiB;

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
        w.session().link().setForcedDevice(sim.devicePath());
        ini().setWorkingFile(home.filePath(QStringLiteral("sys/KRM.ini")));
        w.show();
        Parameter &p = param();
        p.CommOk = true;
        w.session().link().OpenPort(QStringLiteral("1"));
        w.UnlockControls();
        p.LogInterval = 1;
        p.GraphPagePoints = 600;
        p.GraphXScale = 50;
        p.GraphDegPerDiv = 50.0;
        p.GraphDivCount = 4.0;
        p.GraphZeroDiv = 3.0;
        w.SetLogdirname(home.path());
        w.openWindow(QStringLiteral("frmSenlog"));
        w.openWindow(QStringLiteral("frmGraph"));
        LOG_Handling &log = LoggingWindows::of(w).log();
        // Every log, the restarted ones too, is sped up.
        QObject::connect(&log, &LOG_Handling::logStarted, &w.session().pollTimer(),
                         [&w, tickMs] { w.session().pollTimer().setInterval(tickMs); });
        w.startLog();

        const int restarts = argc > 2 ? std::clamp(QByteArray(argv[2]).toInt(), 1, 10) : 3;
        constexpr int FirstPage = 600;
        const int last = LOG_Handling::RestartCount - 1;
        long firstPage = -1;
        long lastSample = -1;
        // Read at the tick that stores the sample, not between event-loop
        // passes: on a busy machine one pass can hold the last sample of a
        // log and the restart that follows it.
        QObject::connect(&log, &LOG_Handling::ticked, &log, [&] {
            if (firstPage < 0 && p.LogCount >= FirstPage)
                firstPage = statusKiB("VmRSS:");
            if (lastSample < 0 && p.LogCount >= last)
                lastSample = statusKiB("VmRSS:");
        });
        std::vector<long> afterRestart;
        QString path = log.file().TxtLogPath;
        QElapsedTimer t;
        t.start();
        int forget = 1000;
        while (int(afterRestart.size()) < restarts && t.elapsed() < 60 * 60 * 1000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            // The simulator runs in this process and records every command it
            // receives: forget them, so that only the program is measured.
            if (p.LogCount >= forget || p.LogCount < forget - 1000) {
                sim.clearReceivedCommands();
                forget = (p.LogCount / 1000 + 1) * 1000;
            }
            if (log.file().TxtLogPath != path) {
                path = log.file().TxtLogPath;
                afterRestart.push_back(statusKiB("VmRSS:"));
                std::printf("  restart %zu after %.0f s: %.1f MB\n", afterRestart.size(),
                            double(t.elapsed()) / 1000.0, double(afterRestart.back()) / 1024.0);
                std::fflush(stdout);
            }
        }
        w.session().pollTimer().stop();
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        w.stopLog();
        if (int(afterRestart.size()) < restarts || firstPage < 0 || lastSample < 0) {
            std::printf("only %zu restarts in %.0f s\n", afterRestart.size(),
                        double(t.elapsed()) / 1000.0);
            rc = 1;
        } else {
            std::printf("logs of %d samples at %d ms a tick, %d restarts, %.0f s\n",
                        LOG_Handling::RestartCount, tickMs, restarts, double(t.elapsed()) / 1000.0);
            std::printf("growth within a log: %.1f MB after the first page, %.1f MB at the last "
                        "sample: %.0f bytes a sample (target < 200)\n",
                        double(firstPage) / 1024.0, double(lastSample) / 1024.0,
                        double(lastSample - firstPage) * 1024.0 / double(last - FirstPage));
            std::printf("after the restarts:");
            for (long kib : afterRestart)
                std::printf(" %.2f MB", double(kib) / 1024.0);
            std::printf(": the last %.2f MB from the first (target within 1 MB)\n",
                        double(afterRestart.back() - afterRestart.front()) / 1024.0);
        }
    }
    Dialogs::setInstance(nullptr);
    return rc;
}
