#pragma once

#include "core/config/DiskFile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

struct Parameter;
class Reception_Show;
class Ini_Operation;

// The one serial line to the instrument and the one routine through which
// every command is sent. Replies are read character by character, every
// complete line goes to the system log, and every character goes to the
// reply parser chosen by the awaited-command key `str`.
class SerialLink : public QObject {
    Q_OBJECT
public:
    SerialLink(Parameter &p, Reception_Show &parsers, Ini_Operation &ini,
               QObject *parent = nullptr);
    ~SerialLink() override;

    // Awaited-command key, set by every SendCommand.
    QString str;

    // Sends text followed by one CR. With the link healthy and the port open,
    // polls for the first reply character for at most 0.5 s without servicing
    // any event; otherwise reopens the port and sends without waiting. Then
    // waits delaySeconds with events serviced. When `answered` is given, the
    // wait ends earlier, once it holds (the reply's wanted line is in); the
    // parser then gets only the echo of `text` and what follows it, so lines
    // of an earlier reply still arriving never pass for this one. Without a
    // recognisable echo in time (noise on it) the reply is taken to start at
    // the line before its acknowledgement ("OK" or "NG"); without that either
    // the parser gets everything received, as without `answered`.
    void SendCommand(const QString &text, const QString &awaitedKey, double delaySeconds,
                     const std::function<bool()> &answered = {});
    // Runs the event loop until the given time has passed.
    static void WaitSeconds(double seconds);

    // The acknowledgement of the last command: the first "OK" or "NG" line
    // received since it was sent, leaving out the very first line (its echo,
    // or what is left of an earlier reply).
    enum class Ack { None, Ok, Ng };
    Ack lastAck() const { return m_ack; }
    // Waits with events serviced until the last command's acknowledgement is
    // in, or the first-reply limit, counted from its sending, is over; then
    // takes in whatever has arrived. An instrument may acknowledge well after
    // its echo, and the next command's discard of the input must not throw
    // that away. Returns lastAck().
    Ack awaitAck();
    // Waits with events serviced until `answered` holds, or the first-reply
    // limit, counted from the last command's sending, is over. A reply that a
    // busy machine delivers after a fixed wait is still taken in, rather than
    // the query being judged on half of it.
    void awaitAnswer(const std::function<bool()> &answered);
    // Runs the event loop until nothing was received for quietMs, or for at
    // most maxSeconds: lets the tail of a longer reply come in before the
    // line is handed to someone else.
    void waitQuiet(int quietMs, double maxSeconds);

    // Opens the port if it is closed and records portText under COM/para.
    // Returns whether the port is open afterwards.
    bool OpenPort(const QString &portText);
    // Why the last open failed; error NoError after a successful open.
    struct OpenFailure {
        QString device;
        QSerialPort::SerialPortError error = QSerialPort::NoError;
        QString reason; // the system's words
        // The user may not use the device (as opposed to a device in use).
        bool accessDenied = false;
        // Another program holds the device (its lock, or exclusive use).
        bool inUse = false;
    };
    const OpenFailure &lastOpenFailure() const { return m_openFailure; }
    void ClosePort();
    bool isOpen() const;
    // Empties the port's input buffer.
    void discardInput();

    bool CommOk() const;
    // Whether the last SendCommand polled for its first reply character and
    // gave up (the instrument did not start to answer in time).
    bool lastPollTimedOut() const { return m_lastPollTimedOut; }
    // Marks the link healthy again with the port kept open, so that the next
    // command is polled as usual rather than sent after a reopen: for a
    // caller that knows the port is good and only the instrument was slow
    // (reopening would restart an instrument's start-up pause).
    void markHealthy();

    // The device opened for a port number. A forced device (from the command
    // line or a device chosen in the port window) replaces the mapping of port
    // numbers for this run.
    void setForcedDevice(const QString &device) { m_forcedDevice = device; }
    QString forcedDevice() const { return m_forcedDevice; }
    QString deviceFor(const QString &portText) const;
    static QString deviceForNumber(int n);

    // System log: every complete received line, in double quotes, CR LF ended.
    // A new file: when `path` exists (two runs in one second) the log is
    // named with a suffix ("_2", ...); with `append`, what a file of that
    // name holds is kept and the log goes on after it. A line the disk
    // cannot take is reported (systemLogFailed, once until the log takes
    // lines again) and counted in the log where it goes on.
    bool openSystemLog(const QString &path, bool append = false);
    void closeSystemLog();
    QString systemLogPath() const { return m_sysLog.fileName(); }
    // Put before every line: runs that share one system log tell theirs apart.
    void setSystemLogPrefix(const QByteArray &prefix) { m_sysLogPrefix = prefix; }
    // A line of the program's own in the system log, unquoted (received lines
    // are quoted) and stamped with the wall-clock time `when`.
    void noteSystemLog(const QString &text, const QDateTime &when = QDateTime::currentDateTime());

    // Number of bytes written to the port since construction (for tests and
    // benchmarks).
    qint64 bytesSent() const { return m_bytesSent; }
    qint64 bytesReceived() const { return m_bytesReceived; }

    // Poll timeout for the first reply character, in milliseconds.
    static constexpr int FirstByteTimeoutMs = 500;
    // Silence on the line that marks the end of a reply's tail (about a dozen
    // character times at 57600 baud).
    static constexpr int QuietGapMs = 2;
    // A device that failed to open is not tried again sooner than this, so a
    // missing instrument costs at most one attempt per status tick (1 s or
    // more) whatever else is sent meanwhile.
    static constexpr int ReopenRetryMs = 900;

Q_SIGNALS:
    // Panel 5 of the status bar follows this.
    void commStateChanged(bool ok);
    // Every complete received line, after it reached the system log.
    void lineReceived(const QString &line);
    // The system log could not take a line, or could not be flushed to the
    // disk, for the system's `reason`.
    void systemLogFailed(const QString &path, const QString &reason);

private:
    void onReadyRead();
    void drain();
    void handleChar(QChar c);
    void setCommOk(bool ok);
    bool reopen();
    void writeLine(const QString &text);
    void writeSystemLog(const QByteArray &line);
    void waitForAnswer(double seconds, const std::function<bool()> &answered);
    void releaseHeld();
    static qsizetype replyStart(const QString &held);

    Parameter &m_p;
    Reception_Show &m_parsers;
    Ini_Operation &m_ini;
    QSerialPort m_port;
    DiskFile m_sysLog;
    int m_sysLogLost = 0; // lines the system log could not take since it last took one
    QByteArray m_sysLogPrefix;
    QString m_LineBuffer;
    QString m_portText;
    QString m_forcedDevice;
    OpenFailure m_openFailure;
    QElapsedTimer m_failedOpen; // valid while the last open failed
    QByteArray m_rx;            // received bytes not yet handed to the log and parsers
    bool m_draining = false;
    bool m_inPoll = false;
    bool m_drainQueued = false;
    bool m_lossQueued = false; // the close of a lost device is on its way
    bool m_lastPollTimedOut = false;
    // Acknowledgement of the last command and the lines received since it
    // was sent, and when it was sent.
    Ack m_ack = Ack::None;
    int m_linesSinceSend = 0;
    QElapsedTimer m_sentAt;
    // Early-ending wait: characters held back until the echo line arrives.
    bool m_echoPending = false;
    QString m_echo;
    QString m_held;
    qsizetype m_heldLineStart = 0;
    qint64 m_bytesSent = 0;
    qint64 m_bytesReceived = 0;
};
