// Wall time of the whole-set read and write against the simulated instrument
// at the real line rate, each as a ratio to its floor: the settle delays and
// fixed waits the exchange rules impose plus the line time of what cannot
// overlap them (each command sent and the first character of its answer,
// before its wait begins; an answer's other characters arrive during the
// wait). The fast read waits for nothing: its floor is the line time of
// every character. Prints figures and the queries asked again; never fails
// on a time.

#include "PtyInstrument.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

// Settle delays and fixed waits of the whole-set read, in seconds.
double readFloorWaits()
{
    const double initial = 0.5;
    const double sensors = 4 * 0.06;
    const double singles = 0.06 /*UNI*/ + 0.05 /*BEEP*/ + 0.06 /*LIT*/ + 0.06 /*LOG*/ +
                           0.06 /*LOG 0 1*/ + 0.06 /*FAN*/;
    return initial + sensors + singles + 10 * 0.06 + 100 * 0.06;
}

// Settle delays and fixed waits of the whole-set write, in seconds.
double writeFloorWaits()
{
    return 5 * 0.025 + 4 * 0.05 + 10 * 0.05 + 0.05 + 100 * 0.05 + 6.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("sys"));
    param().reset();
    param().CommOk = true;
    ini().setWorkingFile(home.filePath(QStringLiteral("sys/KRM.ini")));

    PtyInstrument sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    Reception_Show parsers(param());
    SerialLink link(param(), parsers, ini());
    link.setForcedDevice(sim.devicePath());
    if (!link.OpenPort(QStringLiteral("1"))) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.devicePath()));
        return 1;
    }
    SettingsTransfer transfer(link, parsers, param(), ini());
    const double cps = PtyInstrument::LineCharsPerSecond;

    double lastWall = 0;
    double lastFloor = 0;
    auto measure = [&](const char *name, double waits, auto &&run) {
        const qint64 in0 = sim.bytesReceived();
        const qint64 out0 = sim.bytesSent();
        sim.clearReceivedCommands();
        const int retries0 = transfer.retries();
        QElapsedTimer t;
        t.start();
        const bool ok = run();
        const double wall = t.nsecsElapsed() / 1e9;
        const qint64 sent = sim.bytesReceived() - in0;
        const qint64 commands = sim.receivedCommands().size();
        const qint64 chars = waits > 0 ? sent + commands : sent + (sim.bytesSent() - out0);
        const double floor = waits + chars / cps;
        std::printf(
            "%s_ok %d\n%s_wall_s %.3f\n%s_floor_s %.3f (waits %.3f + %lld chars at %.0f/s)\n"
            "%s_ratio %.3f\n%s_asked_again %d\n",
            name, ok ? 1 : 0, name, wall, name, floor, waits, static_cast<long long>(chars), cps,
            name, wall / floor, name, transfer.retries() - retries0);
        std::fflush(stdout);
        lastWall = wall;
        lastFloor = floor;
    };

    measure("read", readFloorWaits(), [&] {
        bool all_flg = true;
        transfer.ReadAllSettings(all_flg);
        return all_flg;
    });
    const double normalWall = lastWall;
    // The fast read's floor is the line time alone (the simulator answers as
    // soon as a command is heard, so the first-byte turnaround is nil). The
    // wait it keeps (the quiet gap after the last answer) is printed beside
    // it.
    const double keptWaits = SerialLink::QuietGapMs / 1000.0;
    transfer.setFastRead(true);
    measure("fast_read", 0.0, [&] {
        bool all_flg = true;
        transfer.ReadAllSettings(all_flg);
        return all_flg;
    });
    transfer.setFastRead(false);
    const double fastWall = lastWall;
    std::printf("fast_read_kept_waits_s %.3f\nfast_read_ratio_without_kept_waits %.3f\n", keptWaits,
                (fastWall - keptWaits) / qMax(1e-9, lastFloor));
    std::printf("speed_up %.2f\n", fastWall > 0 ? normalWall / fastWall : 0.0);
    std::fflush(stdout);
    measure("write", writeFloorWaits(), [&] { return transfer.WriteAllSettings(); });
    return 0;
}
