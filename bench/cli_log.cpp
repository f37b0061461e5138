// krm2200-cli log for many rows at a poll faster than any setting: the
// program itself against the simulator without line pacing. Prints the
// resident memory of the program every thousand rows, the rows per second and
// whether every row came whole and in order. Never fails on the figures.
//   bench_cli_log [ROWS [POLL_MS]]   (default 10000 rows, 2 ms)

#include "PtyInstrument.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

#include "BenchSupport.h"

namespace {

using BenchSupport::residentKiB;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10000;
    const QByteArray pollMs = argc > 2 ? QByteArray(argv[2]) : QByteArray("2");

    QTemporaryDir home;
    QDir(home.path()).mkpath(QStringLiteral("sys"));
    PtyInstrument sim;
    sim.setCharsPerSecond(0);
    QString error;
    if (!sim.start(&error)) {
        std::printf("simulator: %s\n", qPrintable(error));
        return 1;
    }
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KRM_POLL_MS"), QString::fromLatin1(pollMs));
    cli.setProcessEnvironment(env);
    cli.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    cli.start(QStringLiteral(KRM2200_CLI_BIN),
              {QStringLiteral("--home"), home.path(), QStringLiteral("--port"), sim.devicePath(),
               QStringLiteral("log"), QStringLiteral("--count"), QString::number(rows)});
    if (!cli.waitForStarted(10000)) {
        std::printf("krm2200-cli did not start\n");
        return 1;
    }
    const QRegularExpression whole(
        QStringLiteral(R"(^(\d+),\d+,[-0-9T:+]*,([^,]*,){4}(ok|missing|invalid)\r$)"));
    QByteArray pending;
    int seen = -1; // the header first
    int bad = 0;
    qint64 lastIndex = -1;
    std::printf("%10s %12s %10s\n", "rows", "RSS KiB", "seconds");
    while (cli.state() != QProcess::NotRunning || cli.bytesAvailable() > 0) {
        cli.waitForReadyRead(1000);
        pending += cli.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end + 1).chopped(1));
            pending.remove(0, end + 1);
            if (++seen == 0)
                continue;
            const auto m = whole.match(line);
            if (!m.hasMatch() || m.captured(1).toLongLong() <= lastIndex)
                ++bad;
            lastIndex = m.captured(1).toLongLong();
            if (seen % 1000 == 0 || seen == 1)
                std::printf("%10d %12ld %10.1f\n", seen, residentKiB(cli.processId()),
                            t.elapsed() / 1000.0);
        }
        if (cli.state() == QProcess::NotRunning && cli.bytesAvailable() == 0)
            break;
    }
    cli.waitForFinished(10000);
    const double seconds = t.elapsed() / 1000.0;
    std::printf("rows %d of %d, not whole or out of order %d, exit status %d\n", seen, rows, bad,
                cli.exitCode());
    std::printf("%.1f s, %.0f rows a second, %d bytes left after the last row\n", seconds,
                seen / seconds, int(pending.size()));
    return 0;
}
