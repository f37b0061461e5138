#include "core/session/InstrumentSession.h"

#include "core/app/FileCopy.h"
#include "core/app/PortChoices.h"
#include "core/app/ProgramLookup.h"
#include "core/config/DiskFile.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/FixControl.h"
#include "core/control/PatternPlan.h"
#include "core/control/PatternRun.h"
#include "core/control/RunRules.h"
#include "core/control/StepCheck.h"
#include "core/link/AnswerShape.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"
#include "core/logging/LogSummary.h"
#include "core/session/StatusEffects.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTime>

Q_LOGGING_CATEGORY(lcSession, "krm.session")

namespace {

const QString kStatus = QStringLiteral("STATUS");

// Field 1 of the LOG value when it is a whole number of seconds from 1 to 60.
int logIntervalFrom(const QString &value)
{
    bool ok = false;
    const int n = value.section(QLatin1Char(' '), 0, 0).trimmed().toInt(&ok);
    return ok && n >= 1 && n <= 60 ? n : 1;
}

} // namespace

InstrumentSession::InstrumentSession(const QString &appDir, QObject *parent)
    : QObject(parent), m_appDir(QDir::fromNativeSeparators(appDir))
{
    m_parsers = std::make_unique<Reception_Show>(param());
    m_link = std::make_unique<SerialLink>(param(), *m_parsers, ini());
    m_transfer = std::make_unique<SettingsTransfer>(*m_link, *m_parsers, param(), ini());
    m_parsers->onStatus = [this](const StatusReport &r) { applyStatus(r); };
    m_parsers->onStatus2 = [this](const Status2Report &r) { Q_EMIT status2Received(r); };
    connect(m_link.get(), &SerialLink::commStateChanged, this,
            &InstrumentSession::linkStateChanged);
    m_lookup = [] { return ProgramLookup().findSpreadsheetProgram(); };

    m_pollTimer.setObjectName(QStringLiteral("Log_Timer"));
    m_log = std::make_unique<LOG_Handling>(param(), *m_link, *m_parsers, m_pollTimer);
    m_log->setView(this);
    m_log->logDir = [this] { return m_logDir; };
    m_log->csvEnabled = [this] { return m_state.detailed.flg_csv; };
    connect(&m_pollTimer, &QTimer::timeout, m_log.get(), &LOG_Handling::tick);

    // Files the program writes on its own, with no command waiting for the
    // answer: told without stopping the work.
    auto writeNotice = [this](const QString &key, const QString &what) {
        return [this, key, what](const QString &path, const QString &reason) {
            if (m_view)
                m_view->notice(key, what + QLatin1Char('\n') + path + QLatin1Char('\n') + reason,
                               QStringLiteral("error"));
        };
    };
    ini().writeFailed = writeNotice(QStringLiteral("iniWrite"),
                                    QStringLiteral("設定ファイルに書き込めませんでした。"));
    connect(m_link.get(), &SerialLink::systemLogFailed, this,
            writeNotice(QStringLiteral("systemLog"),
                        QStringLiteral("システムログに書き込めませんでした。")));

    m_watch = std::make_unique<LinkWatch>(*m_link);
    m_watch->setView(this);
    m_watch->polling = [this] { return m_pollTimer.isActive(); };
}

InstrumentSession::~InstrumentSession()
{
    ini().writeFailed = nullptr;
    m_log->setView(nullptr);
    m_watch->setView(nullptr);
    m_transfer->setView(nullptr);
    m_parsers->onStatus = nullptr;
    m_parsers->onStatus2 = nullptr;
    m_link->ClosePort();
    m_link->closeSystemLog();
}

void InstrumentSession::setTransferView(TransferView *view)
{
    m_transfer->setView(view);
}

void InstrumentSession::setLogView(LogView *view)
{
    m_logView = view ? view : static_cast<LogView *>(this);
    m_log->setView(m_logView);
}

QString InstrumentSession::workingFile() const
{
    return m_appDir + QStringLiteral("/sys/KRM.ini");
}

QString InstrumentSession::checkPortText()
{
    return QStringLiteral("通信ポートを確認してください。");
}

// ---------------------------------------------------------------- opening

InstrumentSession::OpenResult InstrumentSession::open(const OpenOptions &options)
{
    Parameter &p = param();
    Ini_Operation &cfg = ini();
    p.CommOk = true;
    p.LogStopFlag = false;
    cfg.setWorkingFile(workingFile());

    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd"));
    const QString dayDir = m_appDir + QStringLiteral("/LOG/XSYS_LOG/") + day;
    for (const QString &dir : {m_appDir + QStringLiteral("/sys"), m_appDir + QStringLiteral("/LOG"),
                               m_appDir + QStringLiteral("/LOG/XSYS_LOG"), dayDir}) {
        if (!QDir().mkpath(dir)) {
            qCWarning(lcSession) << "cannot create" << dir;
            return OpenResult::FilesError;
        }
    }
    // A program killed in the middle of a configuration write leaves its
    // temporary file beside the intact one.
    if (const int stale = IniFile::removeLeftovers(workingFile()))
        qCInfo(lcSession) << "removed" << stale << "unfinished configuration writes";

    const QString logDir = cfg.IniRead(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"));
    if (!logDir.isEmpty() && logDir != QLatin1String("ERR")) {
        m_logDir = logDir;
    } else {
        m_logDir = m_appDir;
        cfg.IniWrite(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"), m_appDir);
    }

    // The folder must take files: the CSV output is written beside it.
    {
        QFile probe(m_appDir + QStringLiteral("/sys/CHK.xls"));
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qCWarning(lcSession) << "cannot create" << probe.fileName() << probe.errorString();
            return OpenResult::FilesError;
        }
    }

    const QString time = QTime::currentTime().toString(QStringLiteral("HH_mm_ss"));
    const QString sysLog =
        dayDir + QLatin1Char('/') +
        (options.systemLogName.isEmpty() ? day + QLatin1Char('_') + time + QStringLiteral(".txt")
                                         : options.systemLogName);
    m_link->setSystemLogPrefix(options.systemLogPrefix);
    if (!m_link->openSystemLog(sysLog, options.appendSystemLog)) {
        qCWarning(lcSession) << "cannot open the system log" << sysLog;
        return OpenResult::FilesError;
    }

    m_pollTimer.stop();
    readLogInterval();
    m_state.detailed.flg_csv = cfg.IniRead(QStringLiteral("CSVPATH"), QStringLiteral("path"))
                                   .section(QLatin1Char(' '), 0, 0) == QLatin1String("1");

    // A device named on the command line, or chosen earlier in the port
    // window, counts as a configured port.
    if (m_link->forcedDevice().isEmpty()) {
        const QString device = cfg.IniRead(QStringLiteral("COM"), QStringLiteral("device"));
        if (!device.isEmpty() && device != QLatin1String("ERR"))
            m_link->setForcedDevice(device);
    }
    // A start that finds no port stores none: port 1 written here would be
    // opened by the next start, whatever device answers to that name.
    QString port = cfg.IniRead(QStringLiteral("COM"), QString());
    std::optional<IniDocument> withoutPort;
    if (port == QLatin1String("ERR")) {
        if (m_link->forcedDevice().isEmpty())
            return OpenResult::NoPort;
        port = QStringLiteral("1");
        withoutPort = IniFile::load(workingFile());
    }
    if (!m_link->OpenPort(port)) {
        // The port is written before it is opened; a device that did not
        // open leaves the configuration as it was.
        if (withoutPort)
            IniFile::save(workingFile(), *withoutPort);
        return m_link->lastOpenFailure().inUse ? OpenResult::PortInUse : OpenResult::PortError;
    }
    return OpenResult::Ready;
}

bool InstrumentSession::readAtStart()
{
    bool all = true;
    m_transfer->ReadAllSettings(all);
    m_pollTimer.stop();
    // Eleven elapsed-time texts, whatever the instrument sent.
    QStringList &times = param().LogTimeText;
    while (times.size() < 11)
        times.append(QString());
    while (times.size() > 11)
        times.removeLast();
    readLogInterval();
    return all;
}

bool InstrumentSession::choosePort(const QString &portText, const QString &device)
{
    Ini_Operation &cfg = ini();
    m_link->discardInput();
    m_link->ClosePort();
    cfg.IniWritePara(QStringLiteral("COM"), QString(), portText);
    m_link->setForcedDevice(device);
    if (!device.isEmpty())
        cfg.IniWrite(QStringLiteral("COM"), QStringLiteral("device"), device);
    else if (cfg.IniRead(QStringLiteral("COM"), QStringLiteral("device")) != QLatin1String("ERR"))
        cfg.IniWrite(QStringLiteral("COM"), QStringLiteral("device"), QString());
    return m_link->OpenPort(portText);
}

void InstrumentSession::readLogInterval()
{
    param().LogInterval = logIntervalFrom(ini().IniRead(QStringLiteral("LOG"), QString()));
}

QString InstrumentSession::spreadsheetMissingText()
{
    return QStringLiteral("EXCEL.EXEを見つけることができませんでした。\n"
                          "CSVファイルへの出力を停止します。");
}

InstrumentSession::CsvOutput InstrumentSession::checkCsvOutput()
{
    Ini_Operation &cfg = ini();
    const QString section = QStringLiteral("CSVPATH");
    const QString key = QStringLiteral("path");
    const QString value = cfg.IniRead(section, key);
    // Output off (or never set): the flag follows what is stored.
    if (value.isEmpty() || value == QLatin1String("ERR") ||
        value.section(QLatin1Char(' '), 0, 0) != QLatin1String("1")) {
        m_state.detailed.flg_csv = false;
        cfg.IniWrite(section, key, QStringLiteral("0 C:\\"));
        return CsvOutput::Off;
    }
    const QString program = spreadsheetProgram();
    if (program.isEmpty()) {
        m_state.detailed.flg_csv = false;
        cfg.IniWrite(section, key, QStringLiteral("0 ") + value.mid(2));
        return CsvOutput::ProgramMissing;
    }
    m_state.detailed.flg_csv = true;
    cfg.IniWrite(section, key, QStringLiteral("1 ") + program);
    return CsvOutput::On;
}

QString InstrumentSession::openFailureText(const QString &first) const
{
    return PortChoices::openFailText(first, m_link->lastOpenFailure());
}

// ---------------------------------------------------------------- transfers

bool InstrumentSession::readSet(bool fast)
{
    m_parsers->resetAll();
    param().ResetReplyBuffers();
    if (!m_link->CommOk()) {
        // Reopens the port and marks the link healthy before the transfer.
        m_link->SendCommand(QStringLiteral("err"), QString(), 0);
        SerialLink::WaitSeconds(0.5);
    }
    m_link->discardInput();
    m_transfer->setFastRead(fast || m_fastRead);
    bool all_flg = true;
    m_transfer->ReadAllSettings(all_flg);
    // A reply that began but never filled its buffer is a failed read too,
    // even though the link saw characters.
    return m_link->CommOk() && all_flg;
}

InstrumentSession::WriteResult InstrumentSession::writeSet(bool verify)
{
    WriteResult result;
    const QString retry = QStringLiteral("本体との接続を確認し、再度実行してください。");
    m_link->discardInput();
    if (!m_link->CommOk()) {
        m_link->SendCommand(QStringLiteral("err"), QString(), 0);
        SerialLink::WaitSeconds(0.5);
    }
    // A write that stopped part-way (a fault, or no "SAVE") is a failure even
    // when the link itself is healthy.
    const bool ok = m_transfer->WriteAllSettings() && m_link->CommOk();
    if (!ok) {
        result.refused = m_transfer->refusedCommands();
        result.kind =
            result.refused.isEmpty() ? WriteResult::Kind::NoAnswer : WriteResult::Kind::Refused;
        result.detail = m_transfer->writeFailureDetail(retry);
        return result;
    }
    result.kind = WriteResult::Kind::Written;
    result.written = true;
    if (!verify && !SetVerify::enabled(ini()))
        return result;

    const SetVerify::ReadBack check = SetVerify::checkWritten(*m_link, *m_parsers, ini());
    result.differing = check.differing;
    result.detail = SetVerify::checkText(check);
    if (!check.same())
        result.kind = check.read ? WriteResult::Kind::Differs : WriteResult::Kind::NoAnswer;
    return result;
}

// ---------------------------------------------------------------- status

bool InstrumentSession::pollStatus(double maxSeconds)
{
    QElapsedTimer t;
    t.start();
    const int before = m_statusCount;
    for (int attempt = 0;; ++attempt) {
        if (attempt > 0)
            m_link->noteSystemLog(QStringLiteral("再問合せ：") + kStatus);
        m_link->discardInput();
        m_parsers->resetStatus();
        m_link->SendCommand(kStatus, kStatus, 1.0,
                            [this, before] { return m_statusCount > before; });
        if (m_statusCount > before)
            return true;
        if (t.elapsed() >= qint64(maxSeconds * 1000))
            return false;
        // An instrument that needs a moment after the port opens: ask again
        // on the same port rather than reopen it, which would start that
        // moment anew.
        if (m_link->lastPollTimedOut() && m_link->isOpen())
            m_link->markHealthy();
        else
            SerialLink::WaitSeconds(0.2);
    }
}

void InstrumentSession::applyStatus(const StatusReport &report)
{
    Parameter &p = param();
    // The parser hands over only replies with a valid status line and four
    // readings; anything less is ignored as a whole.
    if (!report.hasStatusLine() || report.temps.size() < 4)
        return;
    m_lastStatus = report;
    ++m_statusCount;
    const QString code = report.code();

    // Runs are refused while this holds (until the next reply or ACLR).
    m_state.alarm.standing = code == QLatin1String("04");
    using PatternRun = FixControlState::PatternRun;
    const PatternRun patternRun = m_state.fix.patternRun;
    if (code == QLatin1String("00")) {
        // Idle, whether the run ended by itself or was stopped.
        markControlStopped();
        Q_EMIT idleReported();
        // A pattern run nobody here stopped has ended on the instrument (its
        // last step done, or the instrument restarted): the operator is told.
        if (patternRun == PatternRun::Running) {
            m_link->noteSystemLog(patternRunEndedText(), QDateTime::currentDateTime());
            finishRunProgress();
            Q_EMIT patternRunEnded();
        } else if (patternRun == PatternRun::Sent) {
            // An idle reply to a query sent before "GO" says nothing of
            // that run: it is still awaited.
            m_state.fix.patternRun = PatternRun::Sent;
        } else {
            // A run found going at the start has ended as well.
            finishRunProgress();
        }
    } else if (code == QLatin1String("02")) {
        // A fixed-value run reports step 0 as well; it follows no plan.
        if (!m_state.fix.lastRunFixed)
            followRunProgress(report.status.at(4), patternRun == PatternRun::Sent);
        if (patternRun == PatternRun::Sent)
            m_state.fix.patternRun = PatternRun::Running;
        Q_EMIT runReported();
    } else if (code == QLatin1String("04")) {
        // The alarm tells how this run ended.
        m_state.fix.patternRun = PatternRun::None;
        finishRunProgress();
    }

    const int n = p.LogCount;
    if (m_keepSamples)
        StatusEffects::storeSample(p, n, report);
    if (StatusEffects::updateTarget(p, m_state, ini(), n, report))
        redrawTarget();

    if (m_keepSamples) {
        m_log->plotSample(n - p.GraphPageStart, n);
        if (n > 0 && n % 600 == 0)
            m_logView->clearSensorLog();
    }
    m_log->writeLogLine(report);

    StatusEffects::updateLabels(m_state, report);
    if (code != QLatin1String("04")) {
        Q_EMIT statusApplied(report);
        return;
    }
    // Stamped, so the report of the log it stops can tell when it came.
    m_link->noteSystemLog(LogSummary::alarmNote(report.status.at(3)), QDateTime::currentDateTime());
    m_pollTimer.stop();
    // The run has ended: its target line goes with it.
    if (!p.TargetLineText.isEmpty()) {
        p.TargetLineText.clear();
        redrawTarget();
    }
    // The operator sees the alarm first; the log's memo question follows.
    m_log->StopLogHoldingMemo();
    m_state.alarm.code = report.status.at(3);
    m_state.statuslog.alarmVisible = true;
    Q_EMIT alarmRaised(m_state.alarm.code);
    if (!m_memoAfterAlarm)
        m_log->askHeldMemo();
    Q_EMIT statusApplied(report);
}

void InstrumentSession::askStatus(double settleSeconds, bool fresh)
{
    if (fresh)
        m_parsers->resetStatus();
    m_link->SendCommand(kStatus, QStringLiteral("STATUS2"), settleSeconds);
}

QString InstrumentSession::askVersion()
{
    m_link->discardInput();
    m_parsers->resetVersion();
    m_parsers->versi.clear();
    m_link->SendCommand(QStringLiteral("VERSION"), QStringLiteral("VERSION"), 0.05);
    return m_parsers->versi;
}

void InstrumentSession::pause(double seconds)
{
    SerialLink::WaitSeconds(seconds);
}

void InstrumentSession::discardInput()
{
    m_link->discardInput();
}

bool InstrumentSession::linkOk() const
{
    return m_link->CommOk();
}

void InstrumentSession::noteSystemLog(const QString &text)
{
    m_link->noteSystemLog(text);
}

void InstrumentSession::setForcedDevice(const QString &device)
{
    m_link->setForcedDevice(device);
}

QString InstrumentSession::forcedDevice() const
{
    return m_link->forcedDevice();
}

const SerialLink::OpenFailure &InstrumentSession::lastOpenFailure() const
{
    return m_link->lastOpenFailure();
}

void InstrumentSession::closePort(bool keepSystemLog)
{
    m_link->ClosePort();
    if (!keepSystemLog)
        m_link->closeSystemLog();
}

void InstrumentSession::sendStopAndClose()
{
    if (m_link->isOpen()) {
        m_link->SendCommand(QStringLiteral("STOP"), QString(), 0.1);
        m_link->ClosePort();
    }
    m_link->closeSystemLog();
}

void InstrumentSession::followRunProgress(const QString &stepText, bool sentHere)
{
    bool ok = false;
    const int step = stepText.toInt(&ok);
    if (!ok)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (!m_progress.active()) {
        // A run started here is planned from the pattern it sent; one found
        // going (the program started during it) from the pattern whose steps
        // hold the step reported, its step's own start unknown.
        int number = sentHere ? m_sentPattern : -1;
        for (int k = 0; number < 0 && k < 10; ++k) {
            const PatternPlan plan = PatternPlan::fromIni(ini(), k);
            if (plan.isValid() && step >= plan.firstStep() && step <= plan.lastStep())
                number = k;
        }
        m_progress.start(number >= 0 ? PatternPlan::fromIni(ini(), number) : PatternPlan(), now,
                         sentHere);
    }
    m_progress.observe(step, now);
    Q_EMIT runProgressChanged();
}

void InstrumentSession::finishRunProgress()
{
    if (!m_progress.active())
        return;
    m_progress.finish(QDateTime::currentDateTime());
    Q_EMIT runProgressChanged();
    const QList<RunProgress::StepRow> &rows = m_progress.rows();
    if (rows.isEmpty())
        return;
    for (const RunProgress::StepRow &row : rows)
        m_link->noteSystemLog(RunProgress::rowNote(row));
    // Beside the text log of the run: what each step really took.
    const LogFile &file = m_log->file();
    QString txt = file.isOpen() ? file.TxtLogPath : file.TxtLogFinal;
    if (txt.isEmpty())
        return;
    if (txt.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        txt.chop(4);
    const QString path = txt + QStringLiteral(".steps.csv");
    QString reason;
    if (!DiskFile::replace(path, RunProgress::rowsCsv(rows), &reason) && m_view)
        m_view->notice(QStringLiteral("stepRows"),
                       QStringLiteral("ステップ実績のファイルを書き込めませんでした。\n") + path +
                           QLatin1Char('\n') + reason,
                       QStringLiteral("error"));
}

void InstrumentSession::redrawTarget()
{
    if (m_keepSamples)
        m_log->redrawLive();
    Q_EMIT targetChanged();
}

void InstrumentSession::markControlStopped()
{
    m_state.fix.patternRun = FixControlState::PatternRun::None;
    Q_EMIT controlStopped();
}

// ---------------------------------------------------------------- the log

bool InstrumentSession::startLog()
{
    // As the graph window's log button: a started log shows live data.
    Q_EMIT liveDataResumed();
    m_log->StartLog();
    if (m_pollMs > 0 && m_pollTimer.isActive())
        m_pollTimer.start(m_pollMs);
    return m_log->file().isOpen();
}

void InstrumentSession::stopLog()
{
    m_log->StopLog();
}

bool InstrumentSession::logRecording() const
{
    // The windows' log button when they show the log, else the file.
    return m_log->recording ? m_log->recording() : m_log->file().isOpen();
}

void InstrumentSession::setLogCaptions(bool running)
{
    if (running) {
        Q_EMIT logStarted();
        return;
    }
    // The polling ended: a loss notice's promise to resume no longer holds.
    m_watch->pollingStopped();
    Q_EMIT logStopped();
}

void InstrumentSession::SetLogLock(bool enabled)
{
    Q_EMIT logLockChanged(enabled);
}

bool InstrumentSession::askMemo(const QString &stem)
{
    return m_view && m_view->ask(QStringLiteral("ファイル名") + stem +
                                     QStringLiteral("\n上記のファイルにメモを含めますか？"),
                                 QStringLiteral("確認"), true);
}

void InstrumentSession::openMemo()
{
    m_state.memo.MemoWithLog = true;
    Q_EMIT memoRequested();
}

void InstrumentSession::logClosed(const QString &path)
{
    m_state.memo.logFile = path;
}

void InstrumentSession::logFailed(const QString &message)
{
    if (m_view)
        m_view->tell(message, QStringLiteral("error"));
}

void InstrumentSession::clearSensorLog()
{
    if (m_keepSamples)
        m_state.senlog.clear();
    Q_EMIT samplesCleared();
}

void InstrumentSession::echoSensorLog(int sample, const QStringList &temps)
{
    if (m_keepSamples)
        m_state.senlog.append(param(), sample, temps);
    Q_EMIT sampleLogged(sample, temps);
}

void InstrumentSession::showCommState(bool ok)
{
    Q_EMIT commStateChanged(ok);
}

void InstrumentSession::showLossNotice()
{
    Q_EMIT linkLost();
}

void InstrumentSession::closeLossNotice()
{
    // Also called when the polling stops; only a poll that goes on has
    // found the instrument again.
    if (m_pollTimer.isActive())
        Q_EMIT linkReturned();
}

// ---------------------------------------------------------------- runs

QString InstrumentSession::notRegisteredText(const QString &number)
{
    return QStringLiteral("パターン%1は登録されていません。").arg(number);
}

QString InstrumentSession::patternRunEndedText()
{
    return QStringLiteral("パターン運転が終了しました。（本体が待機状態になりました）");
}

QString InstrumentSession::refusedText(const QString &command)
{
    return QStringLiteral("本体が受け付けなかったコマンド：\n") + command;
}

InstrumentSession::RunOutcome InstrumentSession::send(const QString &command, double delaySeconds)
{
    // The acknowledgement is the reply's second line; "NG" (or none) means
    // the instrument did not carry the command out.
    QStringList lines;
    QObject listening;
    connect(m_link.get(), &SerialLink::lineReceived, &listening,
            [&lines](const QString &line) { lines.append(line.trimmed()); });
    m_link->SendCommand(command, QString(), delaySeconds);
    if (!m_link->CommOk() || m_link->lastPollTimedOut())
        return RunOutcome::NoAnswer;
    if (lines.contains(QLatin1String("NG")))
        return RunOutcome::InstrumentRefused;
    return RunOutcome::Started;
}

void InstrumentSession::startRunLog()
{
    if (startLogForRun)
        startLogForRun();
    else
        startLog();
}

InstrumentSession::RunResult InstrumentSession::runFixed(const FixedRun &run)
{
    RunResult result;
    if (m_state.alarm.standing)
        return {RunOutcome::AlarmStanding, alarmStandingText(), QStringLiteral("確認")};
    Parameter &p = param();
    p.TargetLineText.clear();
    const SetTempCheck check = checkSetTemp(StepCheck::toHalfWidth(run.temperature));
    if (!check.valid)
        return {RunOutcome::BadTemperature, setTempErrorText(), QStringLiteral("error")};
    // The instrument raises an alarm seconds after a run beyond its sensor's
    // limits: ask before sending one.
    const size_t sensor = size_t(run.sensor);
    QString record = sensor < p.SenPara.size() ? p.SenPara.at(sensor) : QString();
    if (record.isEmpty())
        record = ini().IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(run.sensor));
    if (beyondSensorLimits(record, check.value) &&
        !(m_view && m_view->ask(sensorLimitQuestion(), QStringLiteral("確認"), false)))
        return {RunOutcome::Declined, {}, {}};
    const QString temp = shortestDecimal(check.value);

    Q_EMIT liveDataResumed();
    p.TargetLineText = temp;
    redrawTarget();
    if (m_runsStartLog && !logRecording())
        startRunLog();

    // The run's choices are what the memo reports as the last run.
    FixControlState &fix = m_state.fix;
    fix.SensorChoice = run.sensor;
    fix.HeaterChoice = run.heater;
    fix.FanChoice = run.fan;
    fix.ReachChoice = run.reach;
    fix.SetTemp = check.value;
    fix.lastRunFixed = true;
    fix.patternRun = FixControlState::PatternRun::None;
    const QString line = QStringLiteral("RUN ") + fix.GetFixpara();
    Q_EMIT liveDataResumed();
    p.FixTemp = temp;
    send(QStringLiteral("STOP"), 0.05);
    result.outcome = send(line, 0.5);
    if (result.outcome == RunOutcome::InstrumentRefused) {
        result.message = refusedText(line);
        result.title = QStringLiteral("error");
    }
    // Reading or printing a stored log and starting a pattern wait until the
    // run ends.
    Q_EMIT runRequested();
    return result;
}

InstrumentSession::RunResult InstrumentSession::runPattern(const QString &number)
{
    const QString line = goLine(number.trimmed());
    if (line.isEmpty() || !registeredPatternList(ini()).contains(number.trimmed()))
        return {RunOutcome::NotRegistered, notRegisteredText(number.trimmed()),
                QStringLiteral("error")};
    if (m_state.alarm.standing)
        return {RunOutcome::AlarmStanding, alarmStandingText(), QStringLiteral("確認")};
    Q_EMIT liveDataResumed();
    if (m_runsStartLog && !logRecording())
        startRunLog();
    m_state.fix.lastRunFixed = false;
    m_state.fix.patternRun = FixControlState::PatternRun::Sent;
    m_sentPattern = number.trimmed().toInt();
    // A run still followed (its end not yet seen) ends with this one.
    finishRunProgress();
    RunResult result;
    result.outcome = send(line, GoSettleSeconds);
    if (!result.started())
        m_state.fix.patternRun = FixControlState::PatternRun::None;
    if (result.outcome == RunOutcome::InstrumentRefused) {
        result.message = refusedText(line);
        result.title = QStringLiteral("error");
    }
    Q_EMIT runRequested();
    return result;
}

QString InstrumentSession::askPatternRecord(int n)
{
    Parameter &p = param();
    m_link->discardInput();
    m_parsers->resetLp();
    p.LpReply.clear();
    m_link->SendCommand(QStringLiteral("LP %1 0").arg(n), QStringLiteral("LP"), 0.3,
                        [this] { return m_parsers->LpCrCount >= 3; });
    const QString record = p.LpReply.trimmed();
    m_parsers->resetLp();
    p.LpReply.clear();
    return AnswerShape::pattern(record) ? record : QString();
}

InstrumentSession::RunResult InstrumentSession::stop()
{
    param().TargetLineText.clear();
    redrawTarget();
    RunResult result;
    result.outcome = send(QStringLiteral("STOP"), 0.1);
    finishRunProgress();
    if (!logRecording())
        m_pollTimer.stop();
    markControlStopped();
    if (result.outcome == RunOutcome::InstrumentRefused) {
        result.message = refusedText(QStringLiteral("STOP"));
        result.title = QStringLiteral("error");
    }
    return result;
}

InstrumentSession::RunResult InstrumentSession::command(const QString &command)
{
    RunResult result;
    m_link->SendCommand(command, QString(), 0);
    const SerialLink::Ack ack = m_link->awaitAck();
    if (ack == SerialLink::Ack::Ok) {
        result.outcome = RunOutcome::Started;
    } else if (ack == SerialLink::Ack::Ng) {
        result.outcome = RunOutcome::InstrumentRefused;
        result.message = refusedText(command);
        result.title = QStringLiteral("error");
    }
    return result;
}

InstrumentSession::RunResult InstrumentSession::aclr()
{
    RunResult result;
    result.outcome = send(QStringLiteral("ACLR"), 0.1);
    m_state.alarm.standing = false;
    Q_EMIT liveDataResumed();
    markControlStopped();
    m_state.statuslog.alarmVisible = false;
    if (result.outcome == RunOutcome::InstrumentRefused) {
        result.message = refusedText(QStringLiteral("ACLR"));
        result.title = QStringLiteral("error");
    }
    // The alarm stopped the polling: ask at once, so that the windows show
    // the state the instrument is in now rather than the alarm's.
    if (result.outcome == RunOutcome::Started)
        pollStatus(1.0);
    return result;
}
