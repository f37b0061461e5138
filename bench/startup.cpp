// Time from process start to the main window shown, before the instrument
// read: starts krm2200 repeatedly against a silent line (a pseudo-terminal
// nobody answers on) and reads the moment it reports its window shown.
// Prints the median and the slowest run; never fails on a time.

#include "PtyInstrument.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString program =
        argc > 1 ? QString::fromLocal8Bit(argv[1])
                 : QCoreApplication::applicationDirPath() + QStringLiteral("/../app/krm2200");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 10;

    PtyInstrument sim;
    SimFaults silent;
    silent.silent = true;
    if (!sim.start())
        return 1;
    sim.setFaults(silent);

    std::vector<double> outside; // measured by this program: exec + load + show
    std::vector<double> inside;  // reported by the program from its main()
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KRM_REPORT_SHOWN"), QStringLiteral("1"));
        env.insert(QStringLiteral("KRM_EXIT_WHEN_READY"), QStringLiteral("1"));
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(program, {QStringLiteral("--home"), home.path(), QStringLiteral("--port"),
                          sim.devicePath()});
        double shownAt = -1;
        while (p.state() != QProcess::NotRunning || p.canReadLine()) {
            if (!p.canReadLine() && !p.waitForReadyRead(20000))
                break;
            const QByteArray line = p.readLine().trimmed();
            if (line.startsWith("shown ")) {
                shownAt = t.nsecsElapsed() / 1e6;
                inside.push_back(line.mid(6).toDouble());
                break;
            }
        }
        p.kill();
        p.waitForFinished();
        if (shownAt < 0) {
            std::fprintf(stderr, "run %d: no window reported\n", i);
            return 1;
        }
        outside.push_back(shownAt);
    }
    auto report = [](const char *name, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%s_median_ms %.1f\n%s_max_ms %.1f\n", name, v[v.size() / 2], name, v.back());
    };
    report("startup_shown_from_exec", outside);
    report("startup_shown_from_main", inside);
    return 0;
}
