#pragma once

#include "core/logging/GraphCanvas.h"
#include "core/logging/LogFile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;
class Reception_Show;
class SerialLink;
struct Parameter;
struct StatusReport;

// What the log needs from the windows around it. The main window implements
// it over its toolbar, menus and windows; tests record it.
class LogView {
public:
    virtual ~LogView() = default;
    // Toolbar button 7 and the graph window's log button.
    virtual void setLogCaptions(bool running) = 0;
    // Commands that must not run while logging.
    virtual void SetLogLock(bool enabled) = 0;
    // The memo question after a log; true for Yes.
    virtual bool askMemo(const QString &stem) = 0;
    virtual void openMemo() = 0;
    // A text log was closed (the memo appends to it).
    virtual void logClosed(const QString &path) = 0;
    // A log file could not be made or written: tell the user.
    virtual void logFailed(const QString &message) = 0;
    virtual void clearSensorLog() = 0;
    virtual void echoSensorLog(int sample, const QStringList &temps) = 0;
};

// Status polling and log files, and the live graph they feed. The windows
// hand it their canvas, so that the graph is kept (and drawn into) whether
// its window is open or not; without one (the command line) nothing is drawn.
class LOG_Handling : public QObject {
    Q_OBJECT
public:
    // Samples after which a log is closed and a new one started.
    static constexpr int RestartCount = 21600;
    // A poll's reply that failed its check (noise on the line) is asked for
    // again within the tick, at most this often, when the try still fits
    // before the next tick; a poll nobody answered is the link watch's.
    static constexpr int MaxStatusRetries = 2;
    // How long after the first reply character the reply is judged: the
    // whole reply takes about 10 ms at 57600 baud.
    static constexpr int ReplyCheckMs = 100;

    LOG_Handling(Parameter &p, SerialLink &link, Reception_Show &parsers, QTimer &timer,
                 QObject *parent = nullptr);

    void setView(LogView *view) { m_view = view; }
    // The folder holding "LOG" (GetLogdirname), and whether CSV copies are made.
    std::function<QString()> logDir;
    std::function<bool()> csvEnabled;
    // The clock that names the files (tests set it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Whether the log button shows "ログ停止" (button 7 is the single truth).
    std::function<bool()> recording;

    void StartLog();
    void StopLog();
    // Closes the log as StopLog does but keeps its memo question for
    // askHeldMemo(), so that an alarm window can come first.
    void StopLogHoldingMemo();
    // Asks the memo question of the log StopLogHoldingMemo closed, once.
    void askHeldMemo();
    // One tick of Log_Timer.
    void tick();
    // The status poll's effects on the graph and the log.
    void plotSample(int x, int sample);
    void writeLogLine(const StatusReport &report);
    void redrawLive();

    bool LogLineFlag = false;
    QDateTime tstart;
    const LogFile &file() const { return m_file; }
    QString TxtLogFinal() const { return m_file.TxtLogFinal; }

    void setCanvas(GraphCanvas *canvas) { m_canvas = canvas; }
    bool hasCanvas() const { return m_canvas != nullptr; }
    // Only with a canvas handed over.
    GraphCanvas &canvas() { return *m_canvas; }

    // Seconds between the samples shown: their log's own, otherwise the
    // setting.
    int interval() const;
    // The elapsed-time text of a sample of the running log.
    QString stamp(qint64 sample) const;

    // Live page arithmetic of a tick: the width in twips that the samples of
    // the page take, for the graph window's scroll range.
    int liveWidthTwips() const;

    // Messages of a log file that could not be made or written, with the
    // system's reason when known.
    static QString txtFailText(const QString &path, const QString &reason = QString());
    static QString csvFailText(const QString &path, const QString &reason = QString());
    static QString writeFailText(const QString &path, const QString &reason = QString());

Q_SIGNALS:
    // The canvas changed; a shown viewport takes the new image.
    void canvasChanged();
    // The live page turned (scroll back to the start, new X labels).
    void pageTurned();
    // A tick added a sample slot to the live page.
    void ticked();
    void logStarted();
    void logStopped();

private:
    bool openFile();
    void sendPoll();
    void checkReply();

    Parameter &m_p;
    SerialLink &m_link;
    Reception_Show &m_parsers;
    QTimer &m_timer;
    LogView *m_view = nullptr;
    LogFile m_file;
    GraphCanvas *m_canvas = nullptr;
    QTimer *m_replyCheck = nullptr;
    QElapsedTimer m_tickClock;
    qint64 m_sentMark = 0;
    qint64 m_receivedMark = 0;
    int m_tries = 0;
    bool m_holdMemo = false;
    QString m_heldMemoStem;
};
