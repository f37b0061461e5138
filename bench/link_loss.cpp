// A log whose instrument disappears: the status timer sped up, the device
// gone for many ticks, then back under the same name. Prints the time a lost
// tick takes, the resident memory before and after the loss, the notices
// shown and whether the log went on. Never fails on the figures.
//   bench_link_loss [TICK_MS [LOST_TICKS]]   (default 2 ms a tick, 5000 ticks)

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/SerialLink.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/shell/KRM2200.h"
#include "ui/shell/ScriptedDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "BenchSupport.h"

namespace {

using BenchSupport::residentKiB;
using BenchSupport::runUntil;

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int tickMs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 2;
    const int lostTicks = argc > 2 ? std::max(10, QByteArray(argv[2]).toInt()) : 5000;
    ScriptedDialogs dialogs;
    dialogs.onUnexpected = [](const ScriptedDialogs::Record &) {};

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
    const QString name = home.filePath(QStringLiteral("ttyKRM"));
    QFile::link(sim.devicePath(), name);
    int rc = 1;
    {
        KRM2200 w(home.path());
        w.session().link().setForcedDevice(name);
        ini().setWorkingFile(home.filePath(QStringLiteral("sys/KRM.ini")));
        Parameter &p = param();
        p.CommOk = true;
        w.session().link().OpenPort(QStringLiteral("1"));
        w.UnlockControls();
        p.LogInterval = 1;
        w.SetLogdirname(home.path());
        w.startLog();
        w.session().pollTimer().setInterval(tickMs);
        const QString path = LoggingWindows::of(w).log().file().TxtLogPath;
        auto lines = [&path] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : -1;
        };
        runUntil([&] { return p.LogCount >= 200; }, 60000);

        sim.stop();
        QFile::remove(name);
        runUntil([&] { return !dialogs.openNotices().isEmpty(); }, 10000);
        // Past the first lost ticks, whose queued events settle.
        runUntil([&, from = p.LogCount] { return p.LogCount >= from + 100; }, 60000);
        const long before = residentKiB();
        const qsizetype linesLost = lines();
        QElapsedTimer t;
        t.start();
        const int from = p.LogCount;
        runUntil([&] { return p.LogCount >= from + lostTicks; }, 30 * 60 * 1000);
        const double msPerTick = double(t.elapsed()) / std::max(1, p.LogCount - from);
        const long after = residentKiB();
        const bool noneWritten = lines() == linesLost;

        sim.start();
        QFile::link(sim.devicePath(), name);
        const bool back = runUntil([&] { return dialogs.openNotices().isEmpty(); }, 30000) &&
                          runUntil([&] { return lines() >= linesLost + 100; }, 60000);
        w.session().pollTimer().stop();
        dialogs.answerQuestion(false);
        w.stopLog();

        std::printf("%d lost ticks at %d ms a tick: %.2f ms a tick, %lld notices, "
                    "no line written while lost: %s, log resumed: %s\n",
                    p.LogCount - from, tickMs, msPerTick,
                    static_cast<long long>(dialogs.notices().size()), noneWritten ? "yes" : "no",
                    back ? "yes" : "no");
        std::printf("resident memory over the lost ticks: %.1f MB -> %.1f MB, growth %.1f KB "
                    "(%.1f bytes a tick; the log's time texts take one string a tick)\n",
                    double(before) / 1024.0, double(after) / 1024.0, double(after - before),
                    double(after - before) * 1024.0 / std::max(1, p.LogCount - from));
        rc = back ? 0 : 1;
    }
    return rc;
}
