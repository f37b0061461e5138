#pragma once

#include "core/app/LinkWatch.h"
#include "core/app/WindowState.h"
#include "core/control/RunProgress.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"
#include "core/logging/LOG_Handling.h"
#include "core/session/SetVerify.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class SettingsTransfer;
class TransferView;

// What the session cannot decide alone: questions the user answers, and
// messages about something the user did not ask for (a log file that cannot
// be written). The main window answers through its dialogs, the command-line
// tool on its terminal.
class SessionView {
public:
    virtual ~SessionView() = default;
    // A question with Yes and No; true only for Yes.
    virtual bool ask(const QString &text, const QString &title, bool defaultYes) = 0;
    // A message with one OK button.
    virtual void tell(const QString &text, const QString &title) = 0;
    // A message that must not stop the work (a file the program writes on
    // its own failed); `key` tells repeats of the same notice apart.
    virtual void notice(const QString &key, const QString &text, const QString &title)
    {
        Q_UNUSED(key);
        tell(text, title);
    }
};

// One instrument on its serial line and everything that talks to it without
// a window: the link and the reply parsers, the whole-set transfers, the
// status poll and what a status reply changes, the running log and the runs.
// It reports through signals and asks through a SessionView, so the main
// window and the command-line tool drive the same object.
class InstrumentSession : public QObject, private LogView, private LinkWatchView {
    Q_OBJECT
public:
    // `appDir` is the program folder (configuration in sys/, logs in LOG/).
    explicit InstrumentSession(const QString &appDir, QObject *parent = nullptr);
    ~InstrumentSession() override;

    void setView(SessionView *view) { m_view = view; }
    void setTransferView(TransferView *view);
    // Windows that show the log (its captions, the memo, the sensor-log
    // echo) instead of the session's own signals; nullptr gives them back.
    void setLogView(LogView *view);
    // The memo question of a log an alarm ended waits until the alarm has
    // been acknowledged (the alarm window asks it); otherwise it is asked
    // at once.
    void setMemoAfterAlarm(bool wait) { m_memoAfterAlarm = wait; }

    Reception_Show &parsers() { return *m_parsers; }
    SerialLink &link() { return *m_link; }
    SettingsTransfer &transfer() { return *m_transfer; }
    LOG_Handling &log() { return *m_log; }
    LinkWatch &linkWatch() { return *m_watch; }
    QTimer &pollTimer() { return m_pollTimer; }
    WindowState &state() { return m_state; }

    // The device the command line named instead of the configured port.
    void setForcedDevice(const QString &device);
    QString forcedDevice() const;
    // What the last failed opening of the port said.
    const SerialLink::OpenFailure &lastOpenFailure() const;
    // The port closed; the system log too unless `keepSystemLog`.
    void closePort(bool keepSystemLog = false);
    // At the end of the program: "STOP" to an open port, which is closed,
    // and the system log closed.
    void sendStopAndClose();

    QString appDir() const { return m_appDir; }
    QString workingFile() const;
    // The folder holding LOG/ for the text logs (LOGDIRPATH).
    QString logDir() const { return m_logDir; }
    void setLogDir(const QString &dir) { m_logDir = dir; }

    // ---- opening ----
    // FilesError: a folder, the write probe or the system log could not be
    // made; NoPort: no port configured.
    enum class OpenResult { Ready, NoPort, PortError, PortInUse, FilesError };
    struct OpenOptions {
        // Append to a system log of the same name instead of starting it
        // anew: short runs one after another within a second keep what the
        // earlier one received.
        bool appendSystemLog = false;
        // The system log's file name in the day's folder instead of one of
        // its own for this run ("<day>_<time>.txt"), and what each of its
        // lines starts with.
        QString systemLogName;
        QByteArray systemLogPrefix;
    };
    // What the start-up does that is not a window: the working file, the
    // folders, the log folder's default, the write probe, a new system log,
    // the port of the configuration (or the forced device) opened, the log
    // interval and the CSV setting as stored. The window shows its splash
    // around it.
    OpenResult open(const OpenOptions &options);
    OpenResult open() { return open(OpenOptions()); }
    // The message for an open that did not reach Ready: `first` and what the
    // system said, or that another program holds the port.
    QString openFailureText(const QString &first) const;
    // The start-up's whole-set read, and the log settings taken from what it
    // read. True when every answer came in.
    bool readAtStart();
    // The port window's choice: the configuration takes the port (and the
    // device path no port number names), and the port is opened.
    bool choosePort(const QString &portText, const QString &device);
    static QString checkPortText();

    // The log interval as the configuration stores it (1 to 60 s).
    void readLogInterval();
    // The CSV output setting checked at start: off as stored, on with the
    // spreadsheet program found (its path stored), or turned off because
    // no such program was found (the user is told).
    enum class CsvOutput { Off, On, ProgramMissing };
    CsvOutput checkCsvOutput();
    static QString spreadsheetMissingText();
    // Replaces the look-up of the spreadsheet program (tests).
    void setSpreadsheetLookup(std::function<QString()> lookup) { m_lookup = std::move(lookup); }
    // Full path of the program that opens spreadsheets, or empty.
    QString spreadsheetProgram() const { return m_lookup ? m_lookup() : QString(); }

    // ---- whole-set transfers ----
    // The whole-set read of the toolbar's "本体読込"; true when every answer
    // came in. The read is fast when `fast` is given, when the fast read was
    // asked for (the command line) or the configuration asks for it.
    bool readSet(bool fast = false);
    void setFastRead(bool on) { m_fastRead = on; }

    struct WriteResult {
        enum class Kind { Written, Refused, NoAnswer, Differs };
        Kind kind = Kind::NoAnswer;
        // The whole set reached the instrument and its "SAVE" was
        // acknowledged; a failure after that is one of the read-back.
        bool written = false;
        // The message after "書き込み失敗しました。" (Refused, NoAnswer), or
        // the read-back's result when the set was checked (SetVerify::checkText).
        QString detail;
        QStringList refused;   // commands the instrument refused
        QStringList differing; // keys whose read-back differs
    };
    // The whole-set write of "本体書込". With `verify`, or when the settings
    // ask for it, the set is read back and compared key by key
    // (SetVerify::checkWritten).
    WriteResult writeSet(bool verify);

    // ---- status ----
    // One status query, its answer applied as a poll's is; repeated on the
    // same open port while the instrument is silent, for at most
    // `maxSeconds`. True when a reply was taken.
    bool pollStatus(double maxSeconds = 3.0);
    // The last status reply taken, and the number taken so far.
    const StatusReport &lastStatus() const { return m_lastStatus; }
    int statusCount() const { return m_statusCount; }
    // Applies an accepted status-poll reply: the run state, the sample, the
    // step's target line, the log line, the status-log labels, and on an
    // alarm the stop of the log.
    void applyStatus(const StatusReport &report);

    // Where the pattern run is against its plan, followed from the status
    // replies; what each step took once it ended.
    const RunProgress &runProgress() const { return m_progress; }

    // The target line changed: the live graph is drawn again and
    // targetChanged() follows.
    void redrawTarget();

    // A status query of the windows ("状態表示", the status window's "更新",
    // a top-page button), `settleSeconds` after the send. A poll-shaped
    // answer is applied (statusApplied), a status window's comes as
    // status2Received. `fresh`: replies half parsed before are forgotten.
    void askStatus(double settleSeconds, bool fresh);
    // The instrument's version text ("VERSION"); empty when it did not answer.
    QString askVersion();
    // A wait that keeps the program answering (the settings' pauses).
    static void pause(double seconds);
    // Drops what the instrument sent that no query waits for.
    void discardInput();
    // Whether the status poll runs (a log, a run, or both), and its stop.
    bool polling() const { return m_pollTimer.isActive(); }
    void stopPolling() { m_pollTimer.stop(); }
    // The link cell: false once an exchange failed, until one succeeds.
    bool linkOk() const;
    // A line of the system log, stamped now.
    void noteSystemLog(const QString &text);

    // Whether samples are kept for a graph (the readings of every sample,
    // the drawing, the sensor-log rows). A session without a graph keeps
    // none, so a long log takes no memory.
    void setKeepsSamples(bool keep) { m_keepSamples = keep; }
    bool keepsSamples() const { return m_keepSamples; }

    // ---- the log ----
    bool startLog();
    void stopLog();
    bool logRecording() const;
    // Milliseconds between the polls of a log instead of its interval in
    // seconds; 0 for the interval (benchmarks drive a fast poll).
    void setPollIntervalMs(int ms) { m_pollMs = ms; }
    // Whether a run started while no log is recorded starts one, as the
    // control windows do.
    void setRunsStartLog(bool on) { m_runsStartLog = on; }
    // How a run starts that log; the windows set their log button's routine.
    // Empty: startLog().
    std::function<void()> startLogForRun;

    // ---- runs ----
    enum class RunOutcome {
        Started,
        AlarmStanding,  // the last status reply carried an alarm
        BadTemperature, // not a set temperature
        Declined,       // beyond the sensor's limits, and the user said No
        NotRegistered,  // no such pattern in the configuration
        InstrumentRefused,
        NoAnswer,
    };
    struct RunResult {
        RunOutcome outcome = RunOutcome::NoAnswer;
        // What the user is told (empty for Started and Declined), and its title.
        QString message;
        QString title;
        bool started() const { return outcome == RunOutcome::Started; }
    };
    // The fixed-value run: the choices of the fixed-value window, the
    // temperature as typed. Sends "STOP", then "RUN …".
    struct FixedRun {
        int sensor = 0; // 0 PT100A, 1 PT100B
        int heater = 0;
        int fan = 0;
        int reach = 1; // 1 keeps the temperature once reached
        QString temperature;
    };
    RunResult runFixed(const FixedRun &run);
    // "GO n" for a registered pattern.
    RunResult runPattern(const QString &number);
    // The instrument's own record of pattern `n` ("LP n 0"), as the whole-set
    // read stores it; empty when no record of that shape came back.
    QString askPatternRecord(int n);
    // "STOP": the control stops; a poll without a log stops with it.
    RunResult stop();
    // "ACLR": the alarm is cleared, and the status asked for at once.
    RunResult aclr();
    // `command` as the graph window sends it, without a settling wait: done
    // once the instrument acknowledged it.
    RunResult command(const QString &command);

    static QString notRegisteredText(const QString &number);
    // The notice of a pattern run that ended on the instrument, not here.
    static QString patternRunEndedText();
    static QString refusedText(const QString &command);

Q_SIGNALS:
    // A status reply was applied (after its effects).
    void statusApplied(const StatusReport &report);
    // The instrument runs a pattern ("02").
    void runReported();
    // A status reply said idle ("00").
    void idleReported();
    // A pattern run turned idle on the instrument without a stop from here
    // (its last step done, or the instrument restarted); noted in the
    // system log.
    void patternRunEnded();
    // The control stopped: by STOP, ACLR or an idle status reply.
    void controlStopped();
    // A log, a run or ACLR: what a graph shows follows the instrument again
    // (a stored log it showed gives way).
    void liveDataResumed();
    // A run was asked for (whatever the answer): reading or printing a stored
    // log and starting a pattern wait until the run ends.
    void runRequested();
    // A status reply carried an alarm; the log has been stopped.
    void alarmRaised(const QString &code);
    // The target line changed (TargetLineText); a graph draws it again.
    void targetChanged();
    // A sample was written to the running text log: its number and the four
    // readings as received.
    void sampleLogged(int sample, const QStringList &temps);
    // Every sample row was emptied (a new log, every 600 samples).
    void samplesCleared();
    void logStarted();
    void logStopped();
    // Commands that must not run while logging: enabled or not.
    void logLockChanged(bool enabled);
    // The memo question of a finished log was answered Yes.
    void memoRequested();
    // The link cell: healthy or failed.
    void commStateChanged(bool ok);
    // The link's own state changed (every exchange that changes it, whoever
    // watches the link).
    void linkStateChanged(bool ok);
    // The pattern run moved on (a new step, a new loop) or ended.
    void runProgressChanged();
    // A status window's reply ("STATUS2").
    void status2Received(const Status2Report &reply);
    // The instrument stopped answering while a log polls it, and came back.
    void linkLost();
    void linkReturned();

private:
    // LogView
    void setLogCaptions(bool running) override;
    void SetLogLock(bool enabled) override;
    bool askMemo(const QString &stem) override;
    void openMemo() override;
    void logClosed(const QString &path) override;
    void logFailed(const QString &message) override;
    void clearSensorLog() override;
    void echoSensorLog(int sample, const QStringList &temps) override;
    // LinkWatchView
    void showCommState(bool ok) override;
    void showLossNotice() override;
    void closeLossNotice() override;

    // Sends `command` and tells whether the instrument acknowledged it.
    RunOutcome send(const QString &command, double delaySeconds);
    void startRunLog();
    // A status reply of a running pattern naming `stepText`; `sentHere`: the
    // run is the one this program sent.
    void followRunProgress(const QString &stepText, bool sentHere);
    // The run ended: its step rows to the system log and beside its log.
    void finishRunProgress();
    void markControlStopped();

    QString m_appDir;
    QString m_logDir;
    WindowState m_state;
    SessionView *m_view = nullptr;
    std::unique_ptr<Reception_Show> m_parsers;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<SettingsTransfer> m_transfer;
    QTimer m_pollTimer;
    std::unique_ptr<LOG_Handling> m_log;
    std::unique_ptr<LinkWatch> m_watch;
    StatusReport m_lastStatus;
    RunProgress m_progress;
    int m_sentPattern = -1;
    int m_statusCount = 0;
    int m_pollMs = 0;
    bool m_keepSamples = true;
    bool m_runsStartLog = true;
    bool m_fastRead = false;
    bool m_memoAfterAlarm = false;
    std::function<QString()> m_lookup;
    LogView *m_logView = this;
};
