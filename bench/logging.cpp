// Figures of the log module, printed, never judged:
//  - one status sample: the reply parsed, the sample plotted, its log line
//    written and echoed (median of many);
//  - a stored log of 21 600 lines (one full log) and of 1 000 000 lines: read
//    and its first page drawn, with the peak memory of the process doing it.
//   bench_logging [--stored LINES]   (the second form runs one stored-log case)

#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/logging/GraphCanvas.h"
#include "core/logging/GraphScale.h"
#include "core/logging/LogFile.h"
#include "core/logging/StoredLog.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

using BenchSupport::statusKiB;

void setUpScale(Parameter &p, GraphCanvas &canvas)
{
    p.reset();
    p.GraphDivCount = 4.0;
    p.GraphXScale = 50;
    p.GraphPagePoints = 600;
    canvas.setHeightTwips(4000);
    GraphScale::SetYRange(p, 160, -60, canvas.heightTwips());
}

int statusSample()
{
    QTemporaryDir dir;
    Parameter &p = param();
    GraphCanvas canvas;
    setUpScale(p, canvas);
    LogFile file;
    QString failed;
    if (!file.open(dir.filePath(QStringLiteral("LOG")), QDateTime::currentDateTime(), &failed)) {
        std::printf("cannot open a log in %s\n", qPrintable(failed));
        return 1;
    }
    Reception_Show parsers(p);
    QStringList echoed;
    int n = 0;
    parsers.onStatus = [&](const StatusReport &r) {
        if (p.SenValues.size() < n + 3)
            p.SenValues.resize(n + 3);
        p.SenValues.set(n, r.temps.mid(0, 4));
        canvas.PlotSample(
            p, [&p](int k, qint64 i) { return p.SenValues.text(k, i); }, n - p.GraphPageStart, n);
        file.writeLine(
            LogFile::formatLine(LogFile::FormatElapsed(5LL * n), r.temps, r.status.at(1)));
        echoed << QString::number(n) + QLatin1Char(' ') + r.temps.at(0);
    };
    constexpr int Samples = 600;
    std::vector<double> micros;
    micros.reserve(Samples);
    for (n = 0; n < Samples; ++n) {
        const QString reply = QStringLiteral("STATUS\rOK\r02 +031.50 03.0 000 %1\r"
                                             "%2 +024.98 * +025 \r")
                                  .arg(n % 10)
                                  .arg(QString::asprintf("%+07.2f", 25 + 10 * std::sin(n / 30.0)));
        parsers.resetStatus();
        QElapsedTimer t;
        t.start();
        for (QChar c : reply)
            parsers.ParseStatus(c);
        micros.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("one status sample (parse, plot, log line, echo): median %.1f us, "
                "90th percentile %.1f us over %d samples (target < 1000 us)\n",
                micros[micros.size() / 2], micros[micros.size() * 9 / 10], Samples);
    return echoed.size() == Samples ? 0 : 1;
}

int storedLog(qint64 lines)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("stored.txt"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return 1;
        QByteArray chunk;
        for (qint64 i = 0; i < lines; ++i) {
            const double t = 25 + 10 * std::sin(double(i) / 300.0);
            chunk += LogFile::formatLine(LogFile::FormatElapsed(5 * i),
                                         {QString::asprintf("%+07.2f", t),
                                          QString::asprintf("%+07.2f", t - 1), QStringLiteral("*"),
                                          QString::asprintf("%+04d", int(t))},
                                         QStringLiteral("+031.50"));
            if (chunk.size() > (1 << 20)) {
                f.write(chunk);
                chunk.clear();
            }
        }
        f.write(chunk);
    }
    const long before = statusKiB("VmHWM:");
    Parameter &p = param();
    GraphCanvas canvas;
    setUpScale(p, canvas);
    // Wall time and the process's own CPU time: on a busy machine the second
    // tells what the work costs.
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu0 = std::clock();
    StoredLog log;
    if (!log.readFile(path))
        return 1;
    const qint64 readMs = t.elapsed();
    const double readCpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    const bool paged = !GraphScale::pageEntries(log.highest()).isEmpty();
    canvas.RedrawFileGraph(
        p, [&log](int k, qint64 i) { return log.value(k, i); }, paged, 0, log.highest());
    const qint64 totalMs = t.elapsed();
    const double totalCpuMs = double(std::clock() - cpu0) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("stored log of %lld lines: read %lld ms (CPU %.0f ms), first page drawn at "
                "%lld ms (CPU %.0f ms); peak memory %.1f MB (%.1f MB before reading)\n",
                static_cast<long long>(log.count()), static_cast<long long>(readMs), readCpuMs,
                static_cast<long long>(totalMs), totalCpuMs, double(statusKiB("VmHWM:")) / 1024.0,
                double(before) / 1024.0);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--stored"))
        return storedLog(args.at(2).toLongLong());
    int rc = statusSample();
    // Each stored log in a fresh process, so its peak memory is its own.
    for (const char *lines : {"21600", "1000000"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(app.applicationFilePath(), {QStringLiteral("--stored"), QLatin1String(lines)});
        child.waitForFinished(-1);
        rc |= child.exitCode();
    }
    std::printf("targets: 21 600 lines < 50 ms; 1 000 000 lines < 1 s and < 200 MB\n");
    return rc;
}
