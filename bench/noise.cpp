// Whole-set reads on a noisy line: the simulated instrument, holding a full
// set of its own, garbles a share of the characters it sends (any character
// to any byte, seeded), and every read that reports success has each stored
// value compared with the instrument's own. Prints, for each share, the
// reads that came through whole, the reads that failed, the queries asked
// again, and the wrong values stored. Never fails on a figure.
//   bench_noise [RUNS] [--normal]   (RUNS per share, default 100; the fast
//                                    read unless --normal)

#include "PtyInstrument.h"
#include "SimEngine.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace {

// A set that fills the answers with digits: three patterns over thirty
// steps, sensors and unit away from their defaults.
void fillInstrument(SimEngine &e)
{
    e.setSensorRecord(0, QStringLiteral("1 +120.00 -020.00 +001.50 100.50"));
    e.setSensorRecord(1, QStringLiteral("1 +090.00 -045.00 -000.50 099.50"));
    e.setSensorRecord(2, QStringLiteral("1 +080 +005 +001"));
    e.setSensorRecord(3, QStringLiteral("0 +095 +010 -002"));
    e.setSetting(QStringLiteral("UNI"), QStringLiteral("3.5 12"));
    e.setSetting(QStringLiteral("BEEP"), QStringLiteral("1"));
    e.setSetting(QStringLiteral("LIT"), QStringLiteral("0"));
    e.setSetting(QStringLiteral("FAN"), QStringLiteral("2"));
    for (int k = 0; k < 3; ++k) {
        e.setPatternRecord(
            k, QStringLiteral("%1 %2 %3 %4").arg(5 + 7 * k).arg(k % 2).arg(10 * k).arg(10 * k + 9));
        for (int r = 0; r < 10; ++r) {
            const int n = 10 * k + r;
            const int h = -4000 + 485 * n; // hundredths, on the 0.05 grid
            e.setStepRecord(n, QString::asprintf("%d 0 %d %c%03d.%02d %02d:%02d:%02d", n % 2, r % 2,
                                                 h < 0 ? '-' : '+', std::abs(h) / 100,
                                                 std::abs(h) % 100, r % 10, (7 * n) % 60,
                                                 (13 * n) % 60));
        }
    }
}

// The values a whole read must store, from the instrument's own set.
QList<std::array<QString, 3>> instrumentSet(PtyInstrument &sim)
{
    return sim.withEngine([](SimEngine &e) {
        QList<std::array<QString, 3>> v;
        for (int n = 0; n < 4; ++n)
            v.append({QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n), e.sensorRecord(n)});
        for (const char *s : {"UNI", "BEEP", "LIT", "FAN"})
            v.append({QString::fromLatin1(s), QStringLiteral("para"),
                      e.setting(QString::fromLatin1(s))});
        for (int n = 0; n < 10; ++n)
            v.append({QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(n),
                      e.patternRecord(n)});
        for (int n = 0; n < 100; ++n) {
            const QString r = e.stepRecord(n);
            v.append({QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(n),
                      r.isEmpty() ? QStringLiteral("* * * * *") : r});
        }
        return v;
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const bool normal = args.contains(QStringLiteral("--normal"));
    int runs = 100;
    for (const QString &a : args.mid(1)) {
        if (a.toInt() > 0)
            runs = a.toInt();
    }
    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("sys"));
    const QString working = home.filePath(QStringLiteral("sys/KRM.ini"));
    param().reset();
    param().CommOk = true;
    ini().setWorkingFile(working);

    PtyInstrument sim;
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(error));
        return 1;
    }
    sim.withEngine([](SimEngine &e) { fillInstrument(e); });
    const QList<std::array<QString, 3>> expected = instrumentSet(sim);
    Reception_Show parsers(param());
    SerialLink link(param(), parsers, ini());
    link.setForcedDevice(sim.devicePath());
    if (!link.OpenPort(QStringLiteral("1"))) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(sim.devicePath()));
        return 1;
    }
    if (!link.openSystemLog(home.filePath(QStringLiteral("sys/system.log")))) {
        std::fprintf(stderr, "cannot open the system log\n");
        return 1;
    }
    SettingsTransfer transfer(link, parsers, param(), ini());
    transfer.setFastRead(!normal);

    std::printf("read %s, %d seeded reads per share\n", normal ? "normal" : "fast", runs);
    for (const double share : {1.0 / 2000, 1.0 / 1000, 3.0 / 1000}) {
        int whole = 0, failed = 0, wrongValues = 0, wrongReads = 0;
        const int retriesBefore = transfer.retries();
        const int confirmationsBefore = transfer.confirmations();
        for (int seed = 1; seed <= runs; ++seed) {
            SimFaults faults;
            faults.noiseShare = share;
            faults.seed = quint32(seed);
            sim.setFaults(faults);
            QFile::remove(working);
            param().CommOk = true;
            link.markHealthy();
            bool all_flg = true;
            transfer.ReadAllSettings(all_flg);
            if (!all_flg) {
                ++failed;
                continue;
            }
            ++whole;
            int wrong = 0;
            for (const auto &[section, key, value] : expected) {
                if (IniFile::read(working, section, key) != value) {
                    ++wrong;
                    std::printf("  seed %d: %s/%s = %s, the instrument holds %s\n", seed,
                                qPrintable(section), qPrintable(key),
                                qPrintable(IniFile::read(working, section, key)),
                                qPrintable(value));
                }
            }
            wrongValues += wrong;
            wrongReads += wrong > 0 ? 1 : 0;
        }
        std::printf("noise 1/%.0f: reads whole %d, reads failed %d, queries asked again %d "
                    "(answer refused) + %d (to confirm), wrong values stored %d (in %d reads)\n",
                    1.0 / share, whole, failed, transfer.retries() - retriesBefore,
                    transfer.confirmations() - confirmationsBefore, wrongValues, wrongReads);
        std::fflush(stdout);
    }
    return 0;
}
