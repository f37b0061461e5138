#include "ui/logging/LoggingWindows.h"

#include "core/app/Twips.h"
#include "core/config/Parameter.h"
#include "core/session/InstrumentSession.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/WindowHost.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

LoggingWindows::LoggingWindows(WindowHost &w)
    : QObject(w.hostWidget()), m_w(w), m_session(&w.session()), m_log(&w.session().log())
{
    setObjectName(QStringLiteral("LoggingWindows"));
    m_log->setCanvas(&m_canvas);
    w.session().setLogView(this);
    // The alarm window asks the memo question once it is acknowledged.
    w.session().setMemoAfterAlarm(true);
    m_log->recording = [&w] { return w.logRecording(); };
}

LoggingWindows::~LoggingWindows()
{
    if (m_session)
        m_session->setLogView(nullptr);
    if (m_log)
        m_log->setCanvas(nullptr);
}

LoggingWindows &LoggingWindows::of(WindowHost &w)
{
    return *w.hostWidget()->findChild<LoggingWindows *>(QStringLiteral("LoggingWindows"),
                                                        Qt::FindDirectChildrenOnly);
}

void LoggingWindows::setReadPrintEnabled(bool enabled)
{
    m_w.state().graph.readEnabled = enabled;
    m_w.state().graph.printEnabled = enabled;
    Q_EMIT readPrintEnabledChanged(enabled);
}

void LoggingWindows::setLogCaptions(bool running)
{
    m_w.toolButton(QStringLiteral("LOG"))
        ->setText(running ? QStringLiteral("　LOG STOP") : QStringLiteral("LOG START"));
}

void LoggingWindows::SetLogLock(bool enabled)
{
    for (int index : {1, 2, 4, 5})
        m_w.toolButton(index)->setEnabled(enabled);
    for (const char *name : {"set", "file_open", "file_save", "file_save2", "ver"})
        if (QAction *a = m_w.menuItem(QLatin1String(name)))
            a->setEnabled(enabled);
    // A running log must always be watchable: 表示 → グラフ stays, the rest
    // of the menu waits for the log to end.
    if (QAction *view = m_w.menuItem(QStringLiteral("view")); view && view->menu()) {
        for (QAction *entry : view->menu()->actions())
            if (entry->objectName() != QLatin1String("view_graph"))
                entry->setEnabled(enabled);
    }
    setReadPrintEnabled(enabled);
}

bool LoggingWindows::askMemo(const QString &stem)
{
    // While the alarm window stands (always on top, the main window disabled)
    // the question belongs to it, so that it is never hidden behind it.
    QWidget *parent = m_w.hostWidget();
    if (!m_w.hostWidget()->isEnabled()) {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("frmAlarm") && top->isVisible())
                parent = top;
    }
    return Dialogs::instance().question(parent,
                                        QStringLiteral("ファイル名") + stem +
                                            QStringLiteral("\n上記のファイルにメモを含めますか？"),
                                        QStringLiteral("確認"), true);
}

void LoggingWindows::openMemo()
{
    m_w.state().memo.MemoWithLog = true;
    if (m_w.isRegistered(QStringLiteral("frmMemo")))
        m_w.openWindow(QStringLiteral("frmMemo"));
}

void LoggingWindows::logClosed(const QString &path)
{
    m_w.state().memo.logFile = path;
}

void LoggingWindows::logFailed(const QString &message)
{
    Dialogs::instance().message(m_w.hostWidget(), message, QStringLiteral("error"));
}

void LoggingWindows::clearSensorLog()
{
    if (m_w.clearSensorLog)
        m_w.clearSensorLog();
}

void LoggingWindows::echoSensorLog(int sample, const QStringList &temps)
{
    if (m_w.echoSensorLog)
        m_w.echoSensorLog(sample, temps);
}

void makeMissingCsvCopies(WindowHost &w, const LOG_Handling &log)
{
    const QString running = log.file().isOpen() ? log.file().TxtLogPath : QString();
    const auto made =
        LogFile::makeMissingCsvCopies(w.GetLogdirname() + QStringLiteral("/LOG"), running);
    const LogFile::MadeCopy *firstFailed = nullptr;
    int failed = 0;
    for (const LogFile::MadeCopy &copy : made) {
        w.session().noteSystemLog(copy.error.isEmpty()
                                      ? QStringLiteral("CSVファイルを作成しました：") + copy.csvPath
                                      : QStringLiteral("CSVファイルを作成できませんでした：") +
                                            copy.csvPath + QStringLiteral("（") + copy.error +
                                            QStringLiteral("）"));
        if (!copy.error.isEmpty() && !failed++)
            firstFailed = &copy;
    }
    // One message for them all: a full disk fails every copy alike.
    if (firstFailed) {
        QString text = LOG_Handling::csvFailText(firstFailed->csvPath, firstFailed->error);
        if (failed > 1)
            text +=
                QStringLiteral("\nほかに%1件のCSVファイルを作成できませんでした。").arg(failed - 1);
        Dialogs::instance().message(w.hostWidget(), text, QStringLiteral("error"));
    }
}

void registerLoggingWindows(WindowHost &w)
{
    auto *logging = new LoggingWindows(w);
    LOG_Handling *log = &logging->log();
    // As the graph window's log button: a started log shows live data.
    w.startLog = [&w] { w.session().startLog(); };
    w.stopLog = [&w] { w.session().stopLog(); };
    w.session().startLogForRun = [&w] {
        if (w.startLog)
            w.startLog();
    };
    w.askHeldMemo = [log] { log->askHeldMemo(); };
    w.redrawGraph = [&w] { w.session().redrawTarget(); };
    QObject::connect(&w.events(), &HostEvents::startUpFinished, logging, [&w, log](bool ready) {
        if (ready && w.state().detailed.flg_csv)
            makeMissingCsvCopies(w, *log);
    });
}
