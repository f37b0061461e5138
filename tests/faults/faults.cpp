// Fault sessions: the program started again and again against the simulated
// instrument, each time with a random mix of the simulator's fault modes.
// For every session it reports how the program ended (exit status, signal,
// or a hang past the time limit), whether every value it stored in the
// configuration file has the shape and range of its record, and the seed that
// reproduces the session:
//
//   krm-faults --program PATH [--sessions N] [--seed S] [--jobs J] [--limit SEC]
//
// Session k uses seed S + k; "--sessions 1 --seed X" re-runs the session
// reported with seed X. The exit status is 0 only when no session crashed,
// hung or stored a malformed value.

#include "PtyInstrument.h"
#include "core/config/IniFile.h"
#include "core/link/AnswerShape.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr const char *FastRead = "fast-read";

// The fault options of one session, drawn from its seed alone.
QStringList faultMix(quint32 seed)
{
    QRandomGenerator r(seed);
    QStringList mix;
    auto chance = [&r](int percent) { return int(r.bounded(100)) < percent; };
    if (chance(50))
        mix << QStringLiteral("garble:%1").arg(0.001 + r.bounded(0.03), 0, 'f', 4);
    if (chance(30))
        mix << QStringLiteral("drop:%1").arg(0.001 + r.bounded(0.02), 0, 'f', 4);
    if (chance(15))
        mix << QStringLiteral("late:%1").arg(100 + r.bounded(700));
    if (chance(15))
        mix << QStringLiteral("cut:%1").arg(1 + r.bounded(3));
    if (chance(20))
        mix << QStringLiteral("hangup:%1").arg(1 + r.bounded(130));
    if (chance(5))
        mix << QStringLiteral("silent");
    if (chance(20))
        mix << QStringLiteral("extra:%1").arg(1 + r.bounded(3));
    if (chance(15))
        mix << QStringLiteral("pause:%1").arg(1 + r.bounded(50));
    // Not a fault: half the sessions read with the program's fast read.
    if (chance(50))
        mix << QLatin1String(FastRead);
    if (chance(15))
        mix << QStringLiteral("deaf:%1").arg(100 + r.bounded(300));
    mix << QStringLiteral("seed:%1").arg(seed);
    return mix;
}

// Keys the whole-set read stores that hold a value without the shape or range of
// their record; `missing` counts keys a reported success did not store.
QStringList malformedValues(const QString &iniPath, bool ready, int &missing)
{
    QStringList bad;
    missing = 0;
    const auto doc = IniFile::load(iniPath);
    auto check = [&](const QString &section, const QString &key) {
        const QString v = doc ? IniFile::read(iniPath, section, key) : QStringLiteral("ERR");
        if (v == QLatin1String("ERR")) {
            if (ready)
                ++missing;
            return;
        }
        if (!AnswerShape::storedValue(section, key, v))
            bad << section + QLatin1Char('/') + key + QLatin1Char('=') + v;
    };
    for (const char *section : {"UNI", "BEEP", "LIT", "FAN"})
        check(QLatin1String(section), QStringLiteral("para"));
    for (int n = 0; n < 4; ++n)
        check(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n));
    for (int n = 0; n < 10; ++n)
        check(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(n));
    for (int n = 0; n < 100; ++n)
        check(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(n));
    return bad;
}

struct Session {
    int index = 0;
    quint32 seed = 0;
    QStringList mix;
    QTemporaryDir home;
    std::unique_ptr<PtyInstrument> sim;
    std::unique_ptr<QProcess> program;
    QTimer limit;
    QElapsedTimer clock;
    bool hung = false;
};

struct Totals {
    int sessions = 0;
    int ready = 0;
    int crashes = 0;
    int hangs = 0;
    int malformed = 0;
    int failedToRun = 0;
    QMap<int, int> statuses;
};

class Runner : public QObject {
public:
    Runner(QString program, int sessions, quint32 seed, int jobs, int limitSec)
        : m_program(std::move(program)), m_sessions(sessions), m_seed(seed), m_jobs(jobs),
          m_limitMs(limitSec * 1000)
    {}

    int run()
    {
        for (int i = 0; i < m_jobs; ++i)
            startNext();
        if (m_running > 0)
            m_loop.exec();
        std::printf("fault sessions: %d, ready %d, exit statuses", m_totals.sessions,
                    m_totals.ready);
        for (auto it = m_totals.statuses.cbegin(); it != m_totals.statuses.cend(); ++it)
            std::printf(" %d:%d", it.key(), it.value());
        std::printf("; crashes %d, hangs %d, malformed %d, not run %d\n", m_totals.crashes,
                    m_totals.hangs, m_totals.malformed, m_totals.failedToRun);
        std::fflush(stdout);
        const bool clean = m_totals.crashes == 0 && m_totals.hangs == 0 &&
                           m_totals.malformed == 0 && m_totals.failedToRun == 0;
        return clean ? 0 : 1;
    }

private:
    void startNext()
    {
        if (m_next >= m_sessions)
            return;
        auto *s = new Session;
        s->index = m_next++;
        s->seed = m_seed + quint32(s->index);
        s->mix = faultMix(s->seed);
        SimFaults faults;
        for (const QString &option : std::as_const(s->mix))
            if (option != QLatin1String(FastRead))
                SimFaults::apply(option, faults);
        s->sim = std::make_unique<PtyInstrument>();
        s->sim->setStatePath(s->home.filePath(QStringLiteral("sim-state.ini")));
        QString error;
        if (!s->home.isValid() || !s->sim->start(&error)) {
            report(s, QStringLiteral("not run: no simulator (%1)").arg(error));
            ++m_totals.failedToRun;
            delete s;
            startNext();
            return;
        }
        s->sim->setFaults(faults);
        s->program = std::make_unique<QProcess>();
        s->program->setProcessChannelMode(QProcess::MergedChannels);
        s->program->setStandardOutputFile(s->home.filePath(QStringLiteral("program.log")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        s->program->setProcessEnvironment(env);
        s->limit.setSingleShot(true);
        QObject::connect(&s->limit, &QTimer::timeout, this, [s] {
            s->hung = true;
            s->program->kill();
        });
        QObject::connect(
            s->program.get(), &QProcess::finished, this,
            [this, s](int code, QProcess::ExitStatus status) { finished(s, code, status); });
        QObject::connect(s->program.get(), &QProcess::errorOccurred, this,
                         [this, s](QProcess::ProcessError e) {
                             if (e == QProcess::FailedToStart)
                                 finished(s, -1, QProcess::CrashExit);
                         });
        ++m_running;
        s->clock.start();
        s->limit.start(m_limitMs);
        QStringList args{QStringLiteral("--home"), s->home.path(), QStringLiteral("--port"),
                         s->sim->devicePath(), QStringLiteral("--exit-when-ready")};
        if (s->mix.contains(QLatin1String(FastRead)))
            args << QStringLiteral("--fast-read");
        s->program->start(m_program, args);
    }

    void finished(Session *s, int code, QProcess::ExitStatus status)
    {
        s->limit.stop();
        const bool started = s->program->error() != QProcess::FailedToStart || s->hung;
        QString outcome;
        if (!started) {
            outcome = QStringLiteral("not run: %1").arg(s->program->errorString());
            ++m_totals.failedToRun;
        } else if (s->hung) {
            outcome = QStringLiteral("HANG (over %1 s)").arg(m_limitMs / 1000);
            ++m_totals.hangs;
        } else if (status == QProcess::CrashExit) {
            outcome = QStringLiteral("CRASH (signal)");
            ++m_totals.crashes;
        } else {
            outcome = QStringLiteral("exit %1").arg(code);
            ++m_totals.statuses[code];
            if (code == 0)
                ++m_totals.ready;
        }
        int missing = 0;
        const bool ready = started && !s->hung && status == QProcess::NormalExit && code == 0;
        const QStringList bad =
            malformedValues(s->home.filePath(QStringLiteral("sys/KRM.ini")), ready, missing);
        if (!bad.isEmpty() || missing > 0)
            ++m_totals.malformed;
        QString shape = bad.isEmpty() ? QStringLiteral("values whole")
                                      : QStringLiteral("MALFORMED %1").arg(bad.join(u' '));
        if (missing > 0)
            shape += QStringLiteral(", MISSING %1 keys after ready").arg(missing);
        QString kept;
        if (s->hung || status == QProcess::CrashExit || !bad.isEmpty() || missing > 0) {
            s->home.setAutoRemove(false); // kept for a look
            kept = QStringLiteral(" kept: ") + s->home.path();
        }
        report(s, QStringLiteral("%1, %2 [%3 s]%4")
                      .arg(outcome, shape)
                      .arg(double(s->clock.elapsed()) / 1000.0, 0, 'f', 1)
                      .arg(kept));
        ++m_totals.sessions;
        --m_running;
        // The process object may not be deleted inside its own signal.
        QTimer::singleShot(0, this, [s] { delete s; });
        startNext();
        if (m_running == 0)
            m_loop.quit();
    }

    static void report(const Session *s, const QString &text)
    {
        std::printf("session %4d seed %10u  %-48s %s\n", s->index + 1, s->seed,
                    qPrintable(s->mix.mid(0, s->mix.size() - 1).join(u' ')), qPrintable(text));
        std::fflush(stdout);
    }

    QString m_program;
    int m_sessions;
    quint32 m_seed;
    int m_jobs;
    int m_limitMs;
    int m_next = 0;
    int m_running = 0;
    Totals m_totals;
    QEventLoop m_loop;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Starts the program against the simulator with random fault mixes."));
    parser.addHelpOption();
    const QCommandLineOption programOption(QStringLiteral("program"),
                                           QStringLiteral("The krm2200 executable."),
                                           QStringLiteral("PATH"));
    const QCommandLineOption sessionsOption(QStringLiteral("sessions"),
                                            QStringLiteral("Number of sessions (default 20)."),
                                            QStringLiteral("N"), QStringLiteral("20"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"), QStringLiteral("Seed of the first session (default: the clock)."),
        QStringLiteral("S"));
    const QCommandLineOption jobsOption(QStringLiteral("jobs"),
                                        QStringLiteral("Sessions at a time (default 2)."),
                                        QStringLiteral("J"), QStringLiteral("2"));
    const QCommandLineOption limitOption(
        QStringLiteral("limit"), QStringLiteral("Seconds before a session counts as hung (90)."),
        QStringLiteral("SEC"), QStringLiteral("90"));
    parser.addOptions({programOption, sessionsOption, seedOption, jobsOption, limitOption});
    parser.process(app);

    const QString program = parser.value(programOption);
    if (program.isEmpty()) {
        std::fprintf(stderr, "krm-faults: --program PATH is required\n");
        return 2;
    }
    const int sessions = qMax(0, parser.value(sessionsOption).toInt());
    const quint32 seed = parser.isSet(seedOption)
                             ? parser.value(seedOption).toUInt()
                             : quint32(QDateTime::currentMSecsSinceEpoch() % 1000000000);
    const int jobs = qBound(1, parser.value(jobsOption).toInt(), 8);
    const int limit = qMax(10, parser.value(limitOption).toInt());
    std::printf("fault sessions from seed %u (re-run one: --sessions 1 --seed SEED)\n", seed);
    Runner runner(program, sessions, seed, jobs, limit);
    return runner.run();
}
