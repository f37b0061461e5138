#pragma once

#include "core/app/Twips.h"
#include "core/logging/GraphCanvas.h"
#include "core/logging/LOG_Handling.h"

#include <QObject>
#include <QPointer>

class InstrumentSession;
class WindowHost;

// The log and the graph window inside the main window: the hooks the toolbar,
// the status poll and the control windows call, the status timer's tick, and
// the effects of the log on the toolbar, menus and other windows.
class LoggingWindows : public QObject, public LogView {
    Q_OBJECT
public:
    explicit LoggingWindows(WindowHost &w);
    ~LoggingWindows() override;

    // The instance registered in `w`.
    static LoggingWindows &of(WindowHost &w);

    // The session's log, shown by these windows.
    LOG_Handling &log() { return *m_log; }
    WindowHost &window() { return m_w; }

    // The graph window's "ログ読込" and "通常使うプリンタへ印刷" (kept in the
    // graph's window state): locked while a log or a run drives the graph.
    void setReadPrintEnabled(bool enabled);

    // LogView
    void setLogCaptions(bool running) override;
    void SetLogLock(bool enabled) override;
    bool askMemo(const QString &stem) override;
    void openMemo() override;
    void logClosed(const QString &path) override;
    void logFailed(const QString &message) override;
    void clearSensorLog() override;
    void echoSensorLog(int sample, const QStringList &temps) override;

Q_SIGNALS:
    void readPrintEnabledChanged(bool enabled);

private:
    WindowHost &m_w;
    // The session may go before the windows when the program ends.
    QPointer<InstrumentSession> m_session;
    QPointer<LOG_Handling> m_log;
    // The live graph, drawn as the samples come whether its window is open
    // or not.
    GraphCanvas m_canvas{Twips::logicalDpiY() / Twips::PerInch};
};

// Sets the log hooks of the main window; a start that reaches ready with CSV
// output on makes the missing CSV copies. The graph window and 現在値 are
// registered after it: they show what it keeps.
void registerLoggingWindows(WindowHost &w);
// Makes the CSV copy of every text log that has none (the running log
// excepted) and notes each in the system log.
void makeMissingCsvCopies(WindowHost &w, const LOG_Handling &log);
