// krm2200-sim: a KRM-2200 on a pseudo-terminal. Prints the device path as its
// first line and answers on it until interrupted. SIGUSR1 presses the
// instrument's alarm test (alarm "700" until "ACLR").

#include "PtyInstrument.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krm2200-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated KRM-2200 instrument on a pseudo-terminal.\n"
        "Send it SIGUSR1 (kill -USR1 PID) for the alarm test (alarm 700).\n"
        "\n"
        "Ramps: each reading moves towards the set point exponentially (time constants\n"
        "3.0, 3.4, 4.2 and 5.0 s for PT100A, PT100B, SENSOR1, SENSOR2), towards 25 C\n"
        "when idle. A set point counts as reached when the step's control sensor is\n"
        "within 0.5 C of it.\n"
        "Patterns: \"GO N\" runs pattern N (\"loops action start end\") step by step from\n"
        "its start step. Each step's hold is counted from when its set temperature is\n"
        "reached, so a step lasts its ramp plus its hold; a zero hold ends at the\n"
        "reach. After the end step the pattern starts again at its start step until\n"
        "it has run its loops; a loop count of 0 repeats it without end. Then action 1\n"
        "keeps the last set point (the status stays running, on the last step) and\n"
        "action 0 stops control (idle, step 0). A step record that is not valid\n"
        "raises alarm 103, a step on a sensor not in use alarm 021, a pattern record\n"
        "without four fields alarm 102."));
    parser.addHelpOption();
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("Settings file, read at start when it exists and written on SAVE."),
        QStringLiteral("FILE"));
    const QCommandLineOption faultOption(
        QStringLiteral("fault"),
        QStringLiteral(
            "Fault mode (repeatable): silent, late:MS, drop:SHARE, garble:SHARE, "
            "noise:SHARE (any character, CR too, to any byte), "
            "cut:LINES, hangup[:COMMANDS], pause:MS (before the answer line), "
            "lateok:MS[:COMMAND] (between the echo and OK), "
            "extra:LINES (after every reply), deaf:MS (after the device is opened), "
            "badecho:N (every Nth echo), badvalue:N (a letter in every Nth reply's values), "
            "ng:COMMAND (refused), seed:N."),
        QStringLiteral("MODE[:ARG]"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Do not print received commands."));
    const QCommandLineOption unpacedOption(
        QStringLiteral("unpaced"),
        QStringLiteral("Send replies at once instead of at 57600 baud."));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"),
        QStringLiteral("Run the instrument's clock FACTOR times as fast as real time "
                       "(hold times, heating and cooling)."),
        QStringLiteral("FACTOR"), QStringLiteral("1"));
    parser.addOption(stateOption);
    parser.addOption(speedOption);
    parser.addOption(faultOption);
    parser.addOption(quietOption);
    parser.addOption(unpacedOption);
    parser.process(app);

    SimFaults faults;
    for (const QString &option : parser.values(faultOption)) {
        QString why;
        if (!SimFaults::apply(option, faults, &why)) {
            std::fprintf(stderr, "krm2200-sim: %s\n", qPrintable(why));
            return 2;
        }
    }

    bool speedOk = false;
    const double speed = parser.value(speedOption).toDouble(&speedOk);
    if (!speedOk || !(speed > 0) || speed > 10000) {
        std::fprintf(stderr, "krm2200-sim: --speed needs a factor above 0 and up to 10000\n");
        return 2;
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("krm2200-sim: socketpair");
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGUSR1, &sa, nullptr);

    PtyInstrument sim;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&sim] {
        char c = 0;
        if (::read(signalPipe[0], &c, 1) != 1)
            return;
        if (c == SIGUSR1) {
            sim.withEngine([](SimEngine &e) { e.alarmTest(); });
            std::fprintf(stderr, "krm2200-sim: alarm test (700)\n");
            return;
        }
        QCoreApplication::quit();
    });
    if (parser.isSet(stateOption))
        sim.setStatePath(parser.value(stateOption));
    if (parser.isSet(unpacedOption))
        sim.setCharsPerSecond(0);
    sim.setFaults(faults);
    sim.withEngine([speed](SimEngine &engine) { engine.setTimeScale(speed); });
    QString error;
    if (!sim.start(&error)) {
        std::fprintf(stderr, "krm2200-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(sim.devicePath()));
    std::fflush(stdout);

    if (!parser.isSet(quietOption)) {
        QObject::connect(&sim, &PtyInstrument::commandReceived, &app,
                         [](const QString &c) { std::fprintf(stderr, "> %s\n", qPrintable(c)); });
    }
    QObject::connect(&sim, &PtyInstrument::hungUp, &app,
                     [] { std::fprintf(stderr, "krm2200-sim: line hung up\n"); });

    const int rc = app.exec();
    sim.stop();
    return rc;
}
