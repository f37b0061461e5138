// krm2200-cli: the instrument without the window, for scripts. The same
// program folder, port, checks and texts as krm2200; messages on stderr,
// data on stdout.

#include "core/app/AppHome.h"
#include "core/app/ConfigSet.h"
#include "core/app/FileCopy.h"
#include "core/app/PortChoices.h"
#include "core/app/QtJapanese.h"
#include "core/app/Version.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/AlarmTable.h"
#include "core/control/FixControl.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"
#include "core/logging/GraphExport.h"
#include "core/logging/GraphScale.h"
#include "core/session/InstrumentSession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSet>
#include <QSocketNotifier>

#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Exit statuses, as --help lists them.
enum Exit {
    Ok = 0,
    Failed = 1,
    Usage = 2,
    PortFailed = 3,
    NoAnswer = 4,
    SetRefused = 5,
    CommandsRefused = 6,
    VerifyDiffers = 7,
    RunRefused = 8,
    AlarmStop = 9,
};

const char *const kHelp =
    "Usage: krm2200-cli [--home DIR] [--port DEVICE] COMMAND [ARGUMENTS]\n"
    "\n"
    "The KRM-2200 without the window: the program folder and the port of krm2200\n"
    "(--home, --port as there). Messages go to stderr, data to stdout.\n"
    "\n"
    "Commands:\n"
    "  read-set FILE [--fast]          read the instrument's whole set into FILE\n"
    "  write-set FILE [--verify]       check FILE as \"開く\" does, write it to the instrument\n"
    "  status [--json]                 one status poll: readings, state, step, alarm, link\n"
    "  log [--interval S] [--count N]  poll and print one CSV row a sample until N rows or a "
    "signal\n"
    "  run fixed --sensor N --temp T   fixed-value run (--heater, --fan 0|1; --reach 0 ends "
    "there)\n"
    "  run pattern N                   run the registered pattern N\n"
    "  stop                            stop the running control\n"
    "  aclr                            clear the alarm\n"
    "\n"
    "Options:\n"
    "  --home DIR      program folder (configuration sys/KRM.ini, logs LOG/)\n"
    "  --port DEVICE   serial device of the instrument (else the configured one)\n"
    "  -h, --help      this text\n"
    "  -v, --version   the program's version\n"
    "\n"
    "Exit status: 0 done; 1 a file could not be written; 2 wrong arguments; 3 no port,\n"
    "the port cannot be opened or another program holds it; 4 the instrument did not\n"
    "answer; 5 the set was refused (the key is named); 6 the instrument refused commands\n"
    "of the write (named); 7 the set read back differs (the keys are named); 8 the run\n"
    "was refused; 9 an alarm stopped the log.\n";

int signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

void printErr(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

void printOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString noAnswerText()
{
    return QStringLiteral("通信異常：KRM-2200から応答がありません。");
}

// Nobody sits at a terminal to answer: a question takes No, which refuses
// what it asks about; a message is printed.
class TerminalView : public SessionView {
public:
    bool ask(const QString &, const QString &, bool) override { return false; }
    void tell(const QString &text, const QString &) override
    {
        printErr(text);
        ++told;
    }
    // A notice is told once a run: a full disk refuses every write of the
    // one operation the run makes, and one account of it is enough.
    void notice(const QString &key, const QString &text, const QString &title) override
    {
        if (m_noticed.contains(key))
            return;
        m_noticed.insert(key);
        tell(text, title);
    }
    // Messages so far: the session tells only of failures.
    int told = 0;

private:
    QSet<QString> m_noticed;
};

class Cli {
public:
    Cli(QCommandLineParser &parser, InstrumentSession &session, TerminalView &view)
        : m_parser(parser), m_session(session), m_view(view)
    {}

    int run(const QStringList &args);

private:
    int readSet(const QString &file);
    int writeSet(const QString &file);
    int status();
    int log();
    int runFixed();
    int runPattern(const QString &number);
    int stop();
    int aclr();

    bool takeOptions(const QString &command);
    bool instrumentAnswers();
    int runResult(const InstrumentSession::RunResult &r);
    // An option's whole-number value within lo ... hi, or nothing (and the
    // reason printed).
    std::optional<int> number(const QString &option, int lo, int hi, int fallback);

    QCommandLineParser &m_parser;
    InstrumentSession &m_session;
    TerminalView &m_view;
    int m_interval = 0;
    int m_count = 0;
    InstrumentSession::FixedRun m_fixed;
};

std::optional<int> Cli::number(const QString &option, int lo, int hi, int fallback)
{
    if (!m_parser.isSet(option))
        return fallback;
    bool ok = false;
    const int v = m_parser.value(option).toInt(&ok);
    if (ok && v >= lo && v <= hi)
        return v;
    printErr(QStringLiteral("krm2200-cli: --%1 takes a whole number from %2 to %3")
                 .arg(option)
                 .arg(lo)
                 .arg(hi));
    return std::nullopt;
}

bool Cli::instrumentAnswers()
{
    if (m_session.pollStatus())
        return true;
    printErr(noAnswerText());
    return false;
}

int Cli::runResult(const InstrumentSession::RunResult &r)
{
    using O = InstrumentSession::RunOutcome;
    switch (r.outcome) {
    case O::Started:
        return Ok;
    case O::NoAnswer:
        printErr(noAnswerText());
        return NoAnswer;
    case O::Declined:
        printErr(sensorLimitQuestion().section(QLatin1Char('\n'), 0, 0));
        return RunRefused;
    default:
        printErr(r.message);
        return RunRefused;
    }
}

int Cli::readSet(const QString &file)
{
    if (!m_session.readSet(m_parser.isSet(QStringLiteral("fast")))) {
        // The instrument answered but the file could not take its set: the
        // disk's reason was told once, by the configuration file's notice.
        if (m_session.transfer().storeFailed())
            return Failed;
        printErr(
            QStringLiteral("読み込み失敗しました。本体との接続を確認し、再度実行してください。"));
        return NoAnswer;
    }
    // As "名前をつけて保存" after "本体読込": a whole copy of the working file.
    QString reason;
    if (!copyFileAtomically(m_session.workingFile(), file, &reason)) {
        printErr(QStringLiteral("ファイルの保存に失敗しました。\n"
                                "保存先へ書き込めませんでした。（%1）")
                     .arg(reason));
        return Failed;
    }
    return Ok;
}

int Cli::writeSet(const QString &file)
{
    const ConfigSet::Result opened = ConfigSet::open(file, m_session.workingFile());
    if (!opened.opened) {
        printErr(opened.message);
        return opened.diskFailed ? Failed : SetRefused;
    }
    if (!instrumentAnswers())
        return NoAnswer;
    using K = InstrumentSession::WriteResult::Kind;
    const InstrumentSession::WriteResult r =
        m_session.writeSet(m_parser.isSet(QStringLiteral("verify")));
    switch (r.kind) {
    case K::Written:
        return Ok;
    case K::Refused:
        printErr(QStringLiteral("書き込み失敗しました。") + r.detail);
        return CommandsRefused;
    case K::NoAnswer:
        // A set written whole whose read-back failed was not refused.
        printErr(r.written ? r.detail : QStringLiteral("書き込み失敗しました。") + r.detail);
        return NoAnswer;
    case K::Differs:
        printErr(r.detail);
        return VerifyDiffers;
    }
    return Failed;
}

int Cli::status()
{
    if (!instrumentAnswers())
        return NoAnswer;
    const StatusReport &r = m_session.lastStatus();
    const AlarmText alarm = LookupAlarm(r.status.at(3));
    const QString stateText = Reception_Show::statusText(r.code());
    if (!m_parser.isSet(QStringLiteral("json"))) {
        QString out;
        for (int k = 0; k < 4; ++k)
            out += sensorName(k) + QLatin1Char(' ') + r.temps.at(k) + QLatin1Char('\n');
        out += QStringLiteral("internal ") + r.status.at(1) + QLatin1Char('\n');
        out += QStringLiteral("current ") + r.status.at(2) + QLatin1Char('\n');
        out +=
            QStringLiteral("state ") + r.code() + QLatin1Char(' ') + stateText + QLatin1Char('\n');
        out += QStringLiteral("step ") + r.status.at(4) + QLatin1Char('\n');
        out += QStringLiteral("alarm ") + r.status.at(3) + QLatin1Char(' ') + alarm.Message +
               QLatin1Char('\n');
        out += QStringLiteral("link ok\n");
        printOut(out.toUtf8());
        return Ok;
    }
    auto value = [](const QString &text) -> QJsonValue {
        double v = 0;
        if (sampleValue(text, &v) == SampleKind::Value)
            return v;
        return QJsonValue::Null;
    };
    QJsonObject readings;
    for (int k = 0; k < 4; ++k)
        readings.insert(sensorName(k), value(r.temps.at(k)));
    const QJsonObject o{
        {QStringLiteral("readings"), readings},
        {QStringLiteral("internal"), value(r.status.at(1))},
        {QStringLiteral("current"), value(r.status.at(2))},
        {QStringLiteral("state"),
         QJsonObject{{QStringLiteral("code"), r.code()}, {QStringLiteral("text"), stateText}}},
        {QStringLiteral("step"), r.status.at(4).toInt()},
        {QStringLiteral("alarm"), QJsonObject{{QStringLiteral("code"), r.status.at(3)},
                                              {QStringLiteral("message"), alarm.Message},
                                              {QStringLiteral("advice"), alarm.Advice}}},
        {QStringLiteral("link"), QStringLiteral("ok")},
    };
    printOut(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
    return Ok;
}

int Cli::log()
{
    const int count = m_count;
    if (m_interval > 0)
        param().LogInterval = m_interval;
    // Benchmarks poll faster than a second.
    m_session.setPollIntervalMs(qEnvironmentVariableIntValue("KRM_POLL_MS"));

    // SIGINT and SIGTERM end the log as its stop button does.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("krm2200-cli: socketpair");
        return Failed;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);

    int rows = 0;
    int exitCode = Ok;
    bool headerDone = false;
    QObject scope;
    auto stopLater = [this] {
        QMetaObject::invokeMethod(
            &m_session, [this] { m_session.stopLog(); }, Qt::QueuedConnection);
    };
    QObject::connect(&m_session, &InstrumentSession::sampleLogged, &scope,
                     [&](int sample, const QStringList &temps) {
                         if (count > 0 && rows >= count)
                             return;
                         // One row of the graph's "CSV保存", whole and flushed.
                         GraphPage page;
                         page.values = [&temps](int k, qint64) { return temps.value(k); };
                         page.start = m_session.log().tstart;
                         page.interval = param().LogRunInterval;
                         const QByteArray csv = GraphExport::csv(page, sample, sample);
                         printOut(headerDone ? csv.mid(csv.indexOf('\n') + 1) : csv);
                         headerDone = true;
                         if (count > 0 && ++rows >= count)
                             stopLater();
                     });
    QObject::connect(&m_session, &InstrumentSession::linkLost, &scope,
                     [] { printErr(LinkWatch::lossNote()); });
    QObject::connect(&m_session, &InstrumentSession::linkReturned, &scope,
                     [] { printErr(LinkWatch::returnNote()); });
    QObject::connect(&m_session, &InstrumentSession::alarmRaised, &scope,
                     [&exitCode](const QString &code) {
                         printErr(LookupAlarm(code).Message);
                         exitCode = AlarmStop;
                     });
    // A full log is closed and another started at once: only a log that
    // stays stopped ends the program.
    QObject::connect(&m_session, &InstrumentSession::logStopped, &scope, [this] {
        QMetaObject::invokeMethod(
            &m_session,
            [this] {
                if (!m_session.logRecording())
                    QCoreApplication::exit();
            },
            Qt::QueuedConnection);
    });
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &scope, [this] {
        char c = 0;
        if (::read(signalPipe[0], &c, 1) == 1)
            m_session.stopLog();
    });

    const int toldBefore = m_view.told;
    if (m_session.startLog())
        QCoreApplication::exec();
    // A log file that could not be made or written was told of.
    if (exitCode == Ok && m_view.told > toldBefore)
        exitCode = Failed;
    return exitCode;
}

int Cli::runFixed()
{
    if (!instrumentAnswers())
        return NoAnswer;
    return runResult(m_session.runFixed(m_fixed));
}

// The values of the options, before anything is opened.
bool Cli::takeOptions(const QString &command)
{
    if (command == QLatin1String("log")) {
        const std::optional<int> interval = number(QStringLiteral("interval"), 1, 60, 0);
        const std::optional<int> count = number(QStringLiteral("count"), 1, INT_MAX, 0);
        if (!interval || !count)
            return false;
        m_interval = *interval;
        m_count = *count;
        return true;
    }
    if (command != QLatin1String("run fixed"))
        return true;
    if (!m_parser.isSet(QStringLiteral("temp"))) {
        printErr(QStringLiteral("krm2200-cli: run fixed needs --temp T"));
        return false;
    }
    const std::optional<int> sensor = number(QStringLiteral("sensor"), 0, 1, 0);
    const std::optional<int> heater = number(QStringLiteral("heater"), 0, 1, 0);
    const std::optional<int> fan = number(QStringLiteral("fan"), 0, 1, 0);
    const std::optional<int> reach = number(QStringLiteral("reach"), 0, 1, 1);
    if (!sensor || !heater || !fan || !reach)
        return false;
    m_fixed.sensor = *sensor;
    m_fixed.heater = *heater;
    m_fixed.fan = *fan;
    m_fixed.reach = *reach;
    m_fixed.temperature = m_parser.value(QStringLiteral("temp"));
    return true;
}

int Cli::runPattern(const QString &number)
{
    if (!instrumentAnswers())
        return NoAnswer;
    return runResult(m_session.runPattern(number));
}

int Cli::stop()
{
    if (!instrumentAnswers())
        return NoAnswer;
    return runResult(m_session.stop());
}

int Cli::aclr()
{
    if (!instrumentAnswers())
        return NoAnswer;
    return runResult(m_session.aclr());
}

int Cli::run(const QStringList &args)
{
    const QString command = args.value(0);
    // Each command with its positional arguments and its own options.
    struct Shape {
        QString name;
        int positional;
        QStringList options;
    };
    const QList<Shape> shapes = {
        {QStringLiteral("read-set"), 1, {QStringLiteral("fast")}},
        {QStringLiteral("write-set"), 1, {QStringLiteral("verify")}},
        {QStringLiteral("status"), 0, {QStringLiteral("json")}},
        {QStringLiteral("log"), 0, {QStringLiteral("interval"), QStringLiteral("count")}},
        {QStringLiteral("run"),
         1,
         {QStringLiteral("sensor"), QStringLiteral("temp"), QStringLiteral("heater"),
          QStringLiteral("fan"), QStringLiteral("reach")}},
        {QStringLiteral("stop"), 0, {}},
        {QStringLiteral("aclr"), 0, {}},
    };
    const Shape *shape = nullptr;
    for (const Shape &s : shapes)
        if (s.name == command)
            shape = &s;
    const QString kind = args.value(1);
    const int positional =
        shape && command == QLatin1String("run") && kind == QLatin1String("pattern") ? 2
        : shape ? shape->positional
                : 0;
    if (!shape || args.size() != positional + 1) {
        printErr(QStringLiteral("krm2200-cli: %1 (see --help)")
                     .arg(shape ? QStringLiteral("wrong arguments for ") + command
                                : QStringLiteral("unknown command ") + command));
        return Usage;
    }
    for (const QString &option : m_parser.optionNames()) {
        if (option != QLatin1String("home") && option != QLatin1String("port") &&
            !shape->options.contains(option)) {
            printErr(QStringLiteral("krm2200-cli: %1 takes no --%2").arg(command, option));
            return Usage;
        }
    }
    if (command == QLatin1String("run") && kind != QLatin1String("fixed") &&
        kind != QLatin1String("pattern")) {
        printErr(QStringLiteral("krm2200-cli: run fixed or run pattern N (see --help)"));
        return Usage;
    }
    if (!takeOptions(command == QLatin1String("run") ? command + QLatin1Char(' ') + kind : command))
        return Usage;

    // The instrument and its line, as the program's start-up opens them.
    const InstrumentSession::OpenResult opened =
        m_session.open(InstrumentSession::OpenOptions{.appendSystemLog = true});
    switch (opened) {
    case InstrumentSession::OpenResult::Ready:
        break;
    case InstrumentSession::OpenResult::PortInUse:
        printErr(PortChoices::inUseText(m_session.link().lastOpenFailure().device));
        return PortFailed;
    case InstrumentSession::OpenResult::NoPort:
    case InstrumentSession::OpenResult::PortError:
        printErr(m_session.openFailureText(InstrumentSession::checkPortText()));
        return PortFailed;
    case InstrumentSession::OpenResult::FilesError:
        printErr(InstrumentSession::checkPortText());
        return PortFailed;
    }

    if (command == QLatin1String("read-set"))
        return readSet(args.at(1));
    if (command == QLatin1String("write-set"))
        return writeSet(args.at(1));
    if (command == QLatin1String("status"))
        return status();
    if (command == QLatin1String("log"))
        return log();
    if (command == QLatin1String("run"))
        return kind == QLatin1String("fixed") ? runFixed() : runPattern(args.at(2));
    if (command == QLatin1String("stop"))
        return stop();
    return aclr();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("krm2200-cli"));
    QCoreApplication::setApplicationVersion(programVersion());
    QtJapanese::install(app);
    // Its stderr carries the program's messages only; QT_LOGGING_RULES still
    // turns the diagnostics on.
    QLoggingCategory::setFilterRules(QStringLiteral("krm.*=false"));

    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const auto valued = [](const char *name) {
        return QCommandLineOption(QLatin1String(name), QString(), QStringLiteral("VALUE"));
    };
    parser.addOptions({help, version, valued("home"), valued("port"), valued("interval"),
                       valued("count"), valued("sensor"), valued("temp"), valued("heater"),
                       valued("fan"), valued("reach"), QCommandLineOption(QStringLiteral("fast")),
                       QCommandLineOption(QStringLiteral("verify")),
                       QCommandLineOption(QStringLiteral("json"))});
    if (!parser.parse(QCoreApplication::arguments())) {
        printErr(QStringLiteral("krm2200-cli: ") + parser.errorText() +
                 QStringLiteral(" (see --help)"));
        return Usage;
    }
    if (parser.isSet(help)) {
        std::fputs(kHelp, stdout);
        return Ok;
    }
    if (parser.isSet(version)) {
        std::printf("krm2200-cli %s\n", qPrintable(programVersion()));
        return Ok;
    }

    // An installed program keeps its folder in the per-user data location.
    const QString home = resolveAppHome(parser.value(QStringLiteral("home")),
                                        QCoreApplication::applicationDirPath());
    TerminalView view;
    InstrumentSession session(home);
    session.setView(&view);
    // No graph here: a log of any length keeps no samples.
    session.setKeepsSamples(false);
    // A run is logged by "log", which holds the port while it runs.
    session.setRunsStartLog(false);
    if (parser.isSet(QStringLiteral("port")))
        session.link().setForcedDevice(parser.value(QStringLiteral("port")));
    return Cli(parser, session, view).run(parser.positionalArguments());
}
