// Opening the sensor-log window after a full log of 21 600 samples: the
// refill of its four boxes from the stored samples and the widgets showing
// them. Prints the median and the slowest of several openings, and the
// refill's share; never fails on a time.

#include "core/config/Parameter.h"
#include "core/settings/SensorLog.h"
#include "ui/shell/KRM2200.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int samples = 21600;
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;

    Parameter &p = param();
    for (int n = 0; n <= samples + 2; ++n) {
        QStringList row;
        for (int k = 0; k < 4; ++k)
            row << (k == 3 ? QStringLiteral("+%1").arg(20 + n % 60, 3, 10, QLatin1Char('0'))
                           : QStringLiteral("+0%1.%2")
                                 .arg(20 + n % 60)
                                 .arg(n % 100, 2, 10, QLatin1Char('0')));
        p.SenValues.set(n, row);
    }
    p.LogCount = samples;

    QTemporaryDir home;
    KRM2200 w(home.path());
    w.show();

    std::vector<double> open;
    std::vector<double> refill;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        SensorLogState boxes;
        boxes.load(p);
        refill.push_back(t.nsecsElapsed() / 1e6);
        if (boxes.rows() == 0)
            return 1;

        t.restart();
        if (!w.openWindow(QStringLiteral("frmSenlog")))
            return 1;
        QApplication::processEvents();
        open.push_back(t.nsecsElapsed() / 1e6);
        w.unloadWindow(QStringLiteral("frmSenlog"));
        QApplication::processEvents();
    }
    std::sort(open.begin(), open.end());
    std::sort(refill.begin(), refill.end());
    std::printf("sensor-log window opened after %d samples (%d runs): median %.1f ms, "
                "slowest %.1f ms (target < 100 ms)\n",
                samples, runs, open[open.size() / 2], open.back());
    std::printf("  of which the refill of the four boxes: median %.1f ms\n",
                refill[refill.size() / 2]);
    return 0;
}
