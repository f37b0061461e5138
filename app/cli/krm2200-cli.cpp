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
#include "core/control/PatternRun.h"
#include "core/control/RunProgress.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"
#include "core/logging/CurrentValues.h"
#include "core/logging/GraphExport.h"
#include "core/logging/GraphScale.h"
#include "core/logging/LOG_Handling.h"
#include "core/net/HttpRoutes.h"
#include "core/net/MetricsModel.h"
#include "core/net/MetricsServer.h"
#include "core/net/ServeSettings.h"
#include "core/session/InstrumentSession.h"
#include "core/session/StatusJson.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QSet>
#include <QSocketNotifier>
#include <QTimer>

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
    ListenFailed = 10,
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
    "  status [--json]                 one status query: readings, state, step, target, alarm,\n"
    "                                  link; asked again while the instrument is silent, for\n"
    "                                  at most 10 s in all\n"
    "  log [--interval S] [--count N] [--format csv|jsonl] [--until idle|alarm]\n"
    "      [--no-answer S]             poll and print one row a sample (csv: a header and one\n"
    "                                  line each; jsonl: one JSON object each) until N rows, a\n"
    "                                  signal, the end asked for (idle: a run the log saw has\n"
    "                                  ended; alarm: an alarm stands, exit 9, as every log\n"
    "                                  does), or no answer for S seconds (default 60, at least\n"
    "                                  two polls and a second; exit 4)\n"
    "  run fixed --sensor N --temp T   fixed-value run (--heater, --fan 0|1; --reach 0 ends "
    "there)\n"
    "  run pattern N                   run pattern N: the configuration's record, else the\n"
    "                                  instrument's own (asked with \"LP N 0\"); stderr says\n"
    "                                  which was used\n"
    "  stop                            stop the running control\n"
    "  aclr                            clear the alarm\n"
    "  serve [--listen HOST:PORT] [--interval S] [--bench NAME]\n"
    "                                  poll the status every S seconds (default: the log\n"
    "                                  interval) and serve it read-only over HTTP until a\n"
    "                                  signal: GET /metrics (Prometheus text format),\n"
    "                                  GET /status.json (as status --json). HOST:PORT is\n"
    "                                  127.0.0.1:9464 unless given ([::1]:9464 for IPv6,\n"
    "                                  0.0.0.0:9464 for every network; port 0: any free\n"
    "                                  port, told on stderr). NAME labels the bench (default\n"
    "                                  the configuration's, else the host name). A lost\n"
    "                                  instrument is looked for again at every poll\n"
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
    "(named: of the write, or STATUS); 7 the set read back differs (the keys are named);\n"
    "8 the run was refused; 9 an alarm stopped the log; 10 serve cannot listen on the\n"
    "address (another program holds the port).\n"
    "\n"
    "status --json prints, when it fails, {\"error\": ID, \"exit\": N, \"message\": TEXT} on\n"
    "stdout; ID is one of \"port\" (3), \"no-answer\" (4), \"refused\" (6: the instrument\n"
    "answered NG).\n"
    "\n"
    "status --json tells a pattern run in \"run\": {\"pattern\", \"step\", \"index\" (its place\n"
    "in the pattern), \"steps\", \"loop\", \"loops\" (0: without end), \"step_left_s\",\n"
    "\"earliest_end\" (ISO 8601, as if every ramp took no time)}, null otherwise. One query\n"
    "sees the step only: the loop and the time left of the step are null when a run has\n"
    "several loops, and the earliest end counts from the next step of the last loop.\n"
    "\n"
    "Messages and this text are in Japanese unless LANG (LC_ALL, LC_MESSAGES) names English.\n";

// The same, for a Japanese reader: the default, as the window's.
const char *const kHelpJa =
    "使い方: krm2200-cli [--home DIR] [--port DEVICE] コマンド [引数]\n"
    "\n"
    "ウィンドウなしのKRM-2200：krm2200と同じプログラムフォルダとポートを使います\n"
    "（--home、--portも同じ）。メッセージは標準エラー、データは標準出力へ出します。\n"
    "\n"
    "コマンド:\n"
    "  read-set FILE [--fast]          本体の設定をすべて読み込みFILEへ保存する\n"
    "  write-set FILE [--verify]       FILEを「開く」と同じく確認し、本体へ書き込む\n"
    "  status [--json]                 状態を一度問い合わせる：温度、状態、ステップ、目標温度、\n"
    "                                  アラーム、通信。本体が応答しないあいだは問い合わせを\n"
    "                                  繰り返す（合わせて最大10秒）\n"
    "  log [--interval S] [--count N] [--format csv|jsonl] [--until idle|alarm]\n"
    "      [--no-answer S]             サンプルごとに1行出力する（csv：見出しと1行ずつ、\n"
    "                                  jsonl：JSONオブジェクト1つずつ）。N行、シグナル、指定の\n"
    "                                  終わり（idle：見ていた運転が終わった、alarm：アラーム\n"
    "                                  発生、終了状態9、どのログも同じ）、またはS秒応答なし\n"
    "                                  （既定60秒、少なくとも2回の問い合わせと1秒、終了状態4）\n"
    "                                  で終わる\n"
    "  run fixed --sensor N --temp T   定値制御（--heater、--fan 0|1、--reach 0で到達時に終了）\n"
    "  run pattern N                   パターンNを実行する：構成ファイルの登録、なければ本体の\n"
    "                                  登録（\"LP N 0\"で問い合わせる）。どちらを使ったかを\n"
    "                                  標準エラーに出す\n"
    "  stop                            制御を停止する\n"
    "  aclr                            アラームを解除する\n"
    "  serve [--listen HOST:PORT] [--interval S] [--bench NAME]\n"
    "                                  S秒ごと（既定はログの間隔）に状態を問い合わせ、シグナル\n"
    "                                  まで読み取り専用のHTTPで公開する：GET /metrics\n"
    "                                  （Prometheusのテキスト形式）、GET /status.json\n"
    "                                  （status --json と同じ）。HOST:PORT の既定は\n"
    "                                  127.0.0.1:9464（IPv6は [::1]:9464、すべての\n"
    "                                  ネットワークは 0.0.0.0:9464、ポート0は空きポートを\n"
    "                                  使い標準エラーに示す）。NAMEは装置の名前（既定は構成の\n"
    "                                  名前、なければホスト名）。応答がなくなった本体は\n"
    "                                  問い合わせのたびに探し直す\n"
    "\n"
    "オプション:\n"
    "  --home DIR      プログラムフォルダ（構成 sys/KRM.ini、ログ LOG/）\n"
    "  --port DEVICE   本体のシリアルデバイス（指定がなければ構成のポート）\n"
    "  -h, --help      この説明\n"
    "  -v, --version   プログラムのバージョン\n"
    "\n"
    "終了状態: 0 完了、1 ファイルを書き込めなかった、2 引数の誤り、3 ポートがない、開けない、\n"
    "または他のプログラムが使用中、4 本体が応答しない、5 構成を受け付けない（キーを示す）、\n"
    "6 本体がコマンドを受け付けなかった（書き込みのコマンドまたはSTATUSを示す）、7 読み戻した\n"
    "構成が異なる（キーを示す）、8 運転を受け付けなかった、9 アラームでログが止まった、\n"
    "10 serve が待ち受けできない（他のプログラムがポートを使用中）。\n"
    "\n"
    "status --json は失敗したとき標準出力に {\"error\": ID, \"exit\": N, \"message\": TEXT} を\n"
    "出す。IDは \"port\"（3）、\"no-answer\"（4）、\"refused\"（6：本体がNGを返した）。\n"
    "\n"
    "status --json はパターン運転中、\"run\" に {\"pattern\"、\"step\"、\"index\"（パターン内の\n"
    "順番）、\"steps\"、\"loop\"、\"loops\"（0：無限）、\"step_left_s\"、\"earliest_end\"\n"
    "（ISO 8601、昇降温の時間を0とした最短）} を出し、運転中でなければ null。一度の問い合わせで\n"
    "わかるのはステップだけなので、ループが複数あるときループとステップ残りは null、終了予定は\n"
    "最後のループの次のステップから数える。\n"
    "\n"
    "LANG（LC_ALL、LC_MESSAGES）が英語のとき、この説明は英語になります。\n";

// English only when the user's locale asks for it; Japanese otherwise, as
// the window.
bool english()
{
    for (const char *name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QByteArray v = qgetenv(name);
        if (!v.isEmpty())
            return v.startsWith("en");
    }
    return false;
}

int signalPipe[2] = {-1, -1};

void onSignal(int sig)
{
    const char c = char(sig);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGINT and SIGTERM are read from signalPipe[0] by the event loop.
bool catchSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        std::perror("krm2200-cli: socketpair");
        return false;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    return true;
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

// How long "status" keeps asking a silent instrument, as --help says.
constexpr double kStatusBudgetSeconds = 10.0;

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
    int serve();

    bool takeOptions(const QString &command);
    bool instrumentAnswers();
    // A failure: the message on stderr, and with --json (status only) the
    // error object on stdout.
    int statusFailed(const char *id, int code, const QString &message);
    int runResult(const InstrumentSession::RunResult &r);
    // An option's whole-number value within lo ... hi, or nothing (and the
    // reason printed).
    std::optional<int> number(const QString &option, int lo, int hi, int fallback);

    QCommandLineParser &m_parser;
    InstrumentSession &m_session;
    TerminalView &m_view;
    int m_interval = 0;
    int m_count = 0;
    int m_noAnswer = 60;
    bool m_jsonl = false;
    QString m_until;
    HttpRoutes::Listen m_listen{HttpRoutes::defaultHost(), HttpRoutes::kDefaultPort};
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
    printErr(QStringLiteral("krm2200-cli: --%1 には %2 から %3 までの整数を指定してください。")
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
        // The instrument answered but the file could not take its set.
        if (m_session.transfer().storeFailed()) {
            printErr(m_session.transfer().storeFailedText());
            return Failed;
        }
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

int Cli::statusFailed(const char *id, int code, const QString &message)
{
    printErr(message);
    if (m_parser.isSet(QStringLiteral("json")))
        printOut(QJsonDocument(StatusJson::errorJson(QLatin1String(id), code, message))
                     .toJson(QJsonDocument::Compact) +
                 '\n');
    return code;
}

int Cli::status()
{
    if (!m_session.pollStatus(kStatusBudgetSeconds)) {
        // An instrument that answers "NG" is there; it refused.
        if (m_session.link().lastAck() == SerialLink::Ack::Ng)
            return statusFailed("refused", CommandsRefused,
                                InstrumentSession::refusedText(QStringLiteral("STATUS")));
        return statusFailed("no-answer", NoAnswer, noAnswerText());
    }
    const StatusReport &r = m_session.lastStatus();
    if (!m_parser.isSet(QStringLiteral("json"))) {
        const QString code = r.code();
        const QString lastAlarm = r.status.at(3);
        QString out;
        for (int k = 0; k < 4; ++k)
            out += sensorName(k) + QLatin1Char(' ') + r.temps.at(k) + QLatin1Char('\n');
        out += QStringLiteral("internal ") + r.status.at(1) + QLatin1Char('\n');
        out += QStringLiteral("current ") + r.status.at(2) + QLatin1Char('\n');
        out += QStringLiteral("state ") + code + QLatin1Char(' ') +
               Reception_Show::statusText(code) + QLatin1Char('\n');
        out += QStringLiteral("step ") + r.status.at(4) + QLatin1Char('\n');
        out += QStringLiteral("alarm ") + lastAlarm + QLatin1Char(' ') +
               LookupAlarm(lastAlarm).Message + QLatin1Char('\n');
        out += QStringLiteral("link ok\n");
        printOut(out.toUtf8());
        return Ok;
    }
    printOut(QJsonDocument(StatusJson::statusJson(r, QDateTime::currentDateTime()))
                 .toJson(QJsonDocument::Compact) +
             '\n');
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
    if (!catchSignals())
        return Failed;

    int rows = 0;
    int exitCode = Ok;
    bool headerDone = false;
    QObject scope;
    auto stopLater = [this] {
        QMetaObject::invokeMethod(
            &m_session, [this] { m_session.stopLog(); }, Qt::QueuedConnection);
    };
    // One stream however many log files the run fills: a full log starts
    // its samples at 0 again, the stream goes on counting.
    qint64 base = 0;
    int lastSample = -1;
    QDateTime streamStart;
    QObject::connect(
        &m_session, &InstrumentSession::sampleLogged, &scope,
        [&](int sample, const QStringList &temps) {
            if (count > 0 && rows >= count)
                return;
            if (sample <= lastSample)
                base += std::max(lastSample + 1, LOG_Handling::RestartCount);
            lastSample = sample;
            if (!streamStart.isValid())
                streamStart = m_session.log().tstart;
            const qint64 index = base + sample;
            // The columns of the graph's "CSV保存", a row whole and flushed.
            GraphPage page;
            page.values = [&temps](int k, qint64) { return temps.value(k); };
            page.start = streamStart;
            page.interval = param().LogRunInterval;
            const QByteArray csv = GraphExport::csv(page, index, index);
            if (!m_jsonl) {
                // Files keep CRLF; a terminal and a script's last field want
                // none of the CR.
                QByteArray lines = headerDone ? csv.mid(csv.indexOf('\n') + 1) : csv;
                printOut(lines.replace("\r\n", "\n"));
            } else {
                const QList<QByteArray> f = csv.mid(csv.indexOf('\n') + 1).trimmed().split(',');
                QJsonObject o =
                    StatusJson::statusObject(m_session.lastStatus(), param().TargetLineText);
                o.insert(QStringLiteral("index"), index);
                o.insert(QStringLiteral("elapsed_s"), f.value(1).toLongLong());
                o.insert(QStringLiteral("time"), QString::fromLatin1(f.value(2)));
                o.insert(QStringLiteral("link"),
                         m_session.linkOk() ? QStringLiteral("ok") : QStringLiteral("no-answer"));
                printOut(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
            }
            headerDone = true;
            if (count > 0 && ++rows >= count)
                stopLater();
        });
    // An instrument silent for longer than a script waits ends the log.
    QTimer silence;
    silence.setSingleShot(true);
    // Never before two polls went unanswered: a log polled once a minute is
    // not given up between two answered polls.
    const int pollMs = qEnvironmentVariableIntValue("KRM_POLL_MS") > 0
                           ? qEnvironmentVariableIntValue("KRM_POLL_MS")
                           : param().LogInterval * 1000;
    silence.setInterval(std::max(m_noAnswer * 1000, 2 * pollMs + 1000));
    QObject::connect(&silence, &QTimer::timeout, &scope, [&] {
        printErr(noAnswerText());
        exitCode = NoAnswer;
        m_session.stopLog();
    });
    // "--until idle": a run seen running, then the instrument idle.
    bool sawRun = false;
    QObject::connect(&m_session, &InstrumentSession::statusApplied, &scope,
                     [&](const StatusReport &report) {
                         silence.start();
                         if (report.code() == QLatin1String("02"))
                             sawRun = true;
                         else if (sawRun && report.code() == QLatin1String("00") &&
                                  m_until == QLatin1String("idle"))
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
    if (m_session.startLog()) {
        silence.start();
        QCoreApplication::exec();
    }
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
        const std::optional<int> noAnswer = number(QStringLiteral("no-answer"), 1, 86400, 60);
        if (!interval || !count || !noAnswer)
            return false;
        m_interval = *interval;
        m_count = *count;
        m_noAnswer = *noAnswer;
        const QString format = m_parser.value(QStringLiteral("format"));
        m_until = m_parser.value(QStringLiteral("until"));
        if (!format.isEmpty() && format != QLatin1String("csv") &&
            format != QLatin1String("jsonl")) {
            printErr(
                QStringLiteral("krm2200-cli: --format には csv か jsonl を指定してください。"));
            return false;
        }
        if (m_parser.isSet(QStringLiteral("until")) && m_until != QLatin1String("idle") &&
            m_until != QLatin1String("alarm")) {
            printErr(
                QStringLiteral("krm2200-cli: --until には idle か alarm を指定してください。"));
            return false;
        }
        m_jsonl = format == QLatin1String("jsonl");
        return true;
    }
    if (command == QLatin1String("serve")) {
        const std::optional<int> interval = number(QStringLiteral("interval"), 1, 3600, 0);
        if (!interval)
            return false;
        m_interval = *interval;
        if (m_parser.isSet(QStringLiteral("listen")) &&
            !HttpRoutes::parseListen(m_parser.value(QStringLiteral("listen")), &m_listen)) {
            printErr(QStringLiteral("krm2200-cli: --listen には 127.0.0.1:9464 のように"
                                    "アドレスとポートを指定してください。"));
            return false;
        }
        return true;
    }
    if (command != QLatin1String("run fixed"))
        return true;
    if (!m_parser.isSet(QStringLiteral("temp"))) {
        printErr(QStringLiteral("krm2200-cli: run fixed には --temp T が必要です。"));
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
    // A pattern the configuration does not hold may be the instrument's: a
    // fresh program folder has read nothing yet.
    bool isNumber = false;
    const int n = number.toInt(&isNumber);
    if (registeredPatternList(ini()).contains(number)) {
        printErr(QStringLiteral("パターン%1：構成ファイルの登録で実行します。").arg(number));
    } else if (isNumber && n >= 0 && n <= 9 && number == QString::number(n)) {
        const QString record = m_session.askPatternRecord(n);
        if (isRegisteredPattern(record)) {
            ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN") + number, record);
            printErr(
                QStringLiteral("パターン%1：本体の登録（%2）で実行します。").arg(number, record));
        }
    }
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

int Cli::serve()
{
    if (m_interval <= 0)
        m_interval = param().LogInterval > 0 ? param().LogInterval : 1;
    if (!catchSignals())
        return Failed;

    MetricsModel model;
    QString bench = m_parser.value(QStringLiteral("bench"));
    if (bench.isEmpty())
        bench = ServeSettings::load(ini()).bench;
    if (bench.isEmpty())
        bench = QHostInfo::localHostName();
    QString device = m_session.forcedDevice();
    if (device.isEmpty())
        device = m_session.link().deviceFor(
            ini().IniRead(QStringLiteral("COM"), QStringLiteral("para")));
    model.setInfo({programVersion(), device, bench});
    const auto statusJson = [this, &model]() -> MetricsServer::JsonAnswer {
        if (!model.linkUp())
            return {503, QJsonDocument(StatusJson::errorJson(QStringLiteral("no-answer"), NoAnswer,
                                                             noAnswerText()))
                                 .toJson(QJsonDocument::Compact) +
                             '\n'};
        return {200, QJsonDocument(StatusJson::statusJson(m_session.lastStatus(),
                                                          QDateTime::currentDateTime(),
                                                          &m_session.runProgress()))
                             .toJson(QJsonDocument::Compact) +
                         '\n'};
    };
    MetricsServer server(model, statusJson);
    if (!server.listen(m_listen.host, m_listen.port)) {
        printErr(ServeSettings::listenFailedText(m_listen.port, server.addressInUse(),
                                                 server.errorString()));
        return ListenFailed;
    }
    const QString host = m_listen.host.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + m_listen.host.toString() + QLatin1Char(']')
                             : m_listen.host.toString();
    printErr(QStringLiteral("状態を公開しています：http://%1:%2/metrics")
                 .arg(host)
                 .arg(server.serverPort()));

    // One query a tick; a lost instrument is looked for again by the next
    // (the link reopens its port as the window's poll does).
    bool lost = false;
    const auto poll = [&] {
        for (int k = 0; k < 4; ++k)
            model.setSensorUnused(k, CurrentValues::sensorUnusable(param(), k));
        model.pollSent();
        const bool answered = m_session.pollStatus(0.5);
        if (answered) {
            const StatusReport &r = m_session.lastStatus();
            model.take(r, param().TargetLineText, !m_session.state().fix.lastRunFixed,
                       QDateTime::currentMSecsSinceEpoch());
        } else {
            model.pollFailed();
        }
        if (answered == lost)
            printErr(answered ? LinkWatch::returnNote() : LinkWatch::lossNote());
        lost = !answered;
    };
    QTimer tick;
    tick.setInterval(m_interval * 1000);
    QObject::connect(&tick, &QTimer::timeout, &tick, poll);
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &tick, [] {
        char c = 0;
        if (::read(signalPipe[0], &c, 1) == 1)
            QCoreApplication::exit();
    });
    poll();
    tick.start();
    QCoreApplication::exec();
    server.close();
    return Ok;
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
        {QStringLiteral("log"),
         0,
         {QStringLiteral("interval"), QStringLiteral("count"), QStringLiteral("format"),
          QStringLiteral("until"), QStringLiteral("no-answer")}},
        {QStringLiteral("run"),
         1,
         {QStringLiteral("sensor"), QStringLiteral("temp"), QStringLiteral("heater"),
          QStringLiteral("fan"), QStringLiteral("reach")}},
        {QStringLiteral("stop"), 0, {}},
        {QStringLiteral("aclr"), 0, {}},
        {QStringLiteral("serve"),
         0,
         {QStringLiteral("listen"), QStringLiteral("interval"), QStringLiteral("bench")}},
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
        printErr(
            command.isEmpty()
                ? QStringLiteral("krm2200-cli: コマンドがありません。（--help を参照）")
            : shape
                ? QStringLiteral("krm2200-cli: %1 の引数が正しくありません。（--help を参照）")
                      .arg(command)
                : QStringLiteral("krm2200-cli: %1 というコマンドはありません。（--help を参照）")
                      .arg(command));
        return Usage;
    }
    for (const QString &option : m_parser.optionNames()) {
        if (option != QLatin1String("home") && option != QLatin1String("port") &&
            !shape->options.contains(option)) {
            printErr(
                QStringLiteral("krm2200-cli: %1 に --%2 は指定できません。").arg(command, option));
            return Usage;
        }
    }
    if (command == QLatin1String("run") && kind != QLatin1String("fixed") &&
        kind != QLatin1String("pattern")) {
        printErr(QStringLiteral(
            "krm2200-cli: run fixed か run pattern N を指定してください。（--help を参照）"));
        return Usage;
    }
    if (!takeOptions(command == QLatin1String("run") ? command + QLatin1Char(' ') + kind : command))
        return Usage;

    // The instrument and its line, as the program's start-up opens them.
    // One system log a day for every call, each line marked with its call:
    // a script polling every few seconds leaves one file, not thousands.
    const QByteArray mark = QStringLiteral("[%1 %2] ")
                                .arg(args.join(QLatin1Char(' ')))
                                .arg(QCoreApplication::applicationPid())
                                .toUtf8();
    const InstrumentSession::OpenResult opened =
        m_session.open(InstrumentSession::OpenOptions{.appendSystemLog = true,
                                                      .systemLogName = QStringLiteral("cli.txt"),
                                                      .systemLogPrefix = mark});
    // "status --json" tells a script why on stdout too.
    switch (opened) {
    case InstrumentSession::OpenResult::Ready:
        break;
    case InstrumentSession::OpenResult::PortInUse:
        return statusFailed("port", PortFailed,
                            PortChoices::inUseText(m_session.lastOpenFailure().device));
    case InstrumentSession::OpenResult::NoPort:
    case InstrumentSession::OpenResult::PortError:
        return statusFailed("port", PortFailed,
                            m_session.openFailureText(InstrumentSession::checkPortText()));
    case InstrumentSession::OpenResult::FilesError:
        return statusFailed("port", PortFailed, InstrumentSession::checkPortText());
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
    if (command == QLatin1String("serve"))
        return serve();
    return aclr();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The window's name, not the tool's: an installed program's folder is
    // named after it, and both programs share that folder.
    QCoreApplication::setApplicationName(QStringLiteral("krm2200"));
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
    parser.addOptions(
        {help, version, valued("home"), valued("port"), valued("interval"), valued("count"),
         valued("sensor"), valued("temp"), valued("heater"), valued("fan"), valued("reach"),
         valued("format"), valued("until"), valued("no-answer"), valued("listen"), valued("bench"),
         QCommandLineOption(QStringLiteral("fast")), QCommandLineOption(QStringLiteral("verify")),
         QCommandLineOption(QStringLiteral("json"))});
    if (!parser.parse(QCoreApplication::arguments())) {
        // Qt's own text, in Japanese with its catalogue installed.
        printErr(QStringLiteral("krm2200-cli: ") + parser.errorText() +
                 QStringLiteral("（--help を参照）"));
        return Usage;
    }
    if (parser.isSet(help)) {
        std::fputs(english() ? kHelp : kHelpJa, stdout);
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
        session.setForcedDevice(parser.value(QStringLiteral("port")));
    return Cli(parser, session, view).run(parser.positionalArguments());
}
