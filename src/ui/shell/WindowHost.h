#pragma once

#include "core/app/WindowState.h"

#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QLineEdit;
class QMenu;
class QTimer;
class QWidget;
class InstrumentSession;
struct StatusReport;

// What happens in the window that hosts the others, for windows that follow it.
class HostEvents : public QObject {
    Q_OBJECT
public:
    explicit HostEvents(QObject *parent = nullptr) : QObject(parent) {}

Q_SIGNALS:
    // The start-up sequence ended; `ready` when the instrument answered.
    void startUpFinished(bool ready);
    // The enabling of the control entries changed (state().graph and the
    // toolbar).
    void controlStateChanged();
    // The step editor's pop-up menu entries.
    void popupInsertRequested();
    void popupDeleteRequested();
    // The settings of the status server were stored anew.
    void statusServingChanged();
};

// Hooks of the log and graph modules that the toolbar and the status poll
// call; the logging windows set them when they are registered.
struct LogHooks {
    std::function<void()> startLog;
    std::function<void()> stopLog;
    std::function<void()> redrawGraph;
    // Empty the sensor-log window.
    std::function<void()> clearSensorLog;
    // Echo of a logged sample in the sensor-log window: sample number and the
    // four readings as received. Called by the log module for every line it
    // writes to the text log.
    std::function<void(int, const QStringList &)> echoSensorLog;
    // Opens the alarm window (its code is in state().alarm); once the
    // operator acknowledges it (OK, Escape or the close box) it calls
    // askHeldMemo.
    std::function<void()> showAlarm;
    // The memo question of the log an alarm ended, asked once the alarm
    // window has been acknowledged.
    std::function<void()> askHeldMemo;
};

// What a task window asks of the window that hosts it: the instrument and the
// state that outlives windows, opening and closing the other windows, the
// main window's commands, entries and status bar. Windows take this, never
// the main window itself, so they build and test against the interface.
class WindowHost : public LogHooks {
public:
    // Creates a window's widget when it is opened; the host wraps it in a
    // sub-window that is destroyed when closed.
    using WindowFactory = std::function<QWidget *(WindowHost &)>;

    virtual ~WindowHost() = default;

    // ---- the instrument and the state ----
    // The session the main window drives: the one door to the instrument
    // (queries, the poll, the log, the runs); its state is the one below.
    virtual InstrumentSession &session() = 0;
    virtual WindowState &state() = 0;
    virtual QString appDir() const = 0;
    // The folder holding LOG/ for the text logs.
    virtual QString GetLogdirname() const = 0;
    virtual void SetLogdirname(const QString &log_path) = 0;
    // Full path of the program that opens spreadsheets, or empty.
    virtual QString spreadsheetProgram() const = 0;
    // Whether a log is being recorded.
    virtual bool logRecording() const = 0;

    // ---- windows ----
    // `outerTwips`, when given, is the size of the whole sub-window.
    void registerWindow(const QString &name, WindowFactory factory, QSize outerTwips = {})
    {
        addWindowFactory(name, std::move(factory), outerTwips);
    }
    virtual bool isRegistered(const QString &name) const = 0;
    // Loads the window if needed and shows it; nullptr when no such window
    // is registered.
    virtual QWidget *openWindow(const QString &name) = 0;
    // The widget of a loaded window, or nullptr.
    virtual QWidget *loadedWindow(const QString &name) const = 0;
    bool isLoaded(const QString &name) const { return loadedWindow(name) != nullptr; }
    // Closes the window if loaded; false when it refused to close.
    virtual bool unloadWindow(const QString &name) = 0;
    // Restores a minimised child, otherwise brings it to the front.
    virtual void ShowChild(QWidget *child) = 0;

    // ---- the main window ----
    // The parent of messages and progress windows, and the owner of helpers
    // that live as long as the host.
    virtual QWidget *hostWidget() = 0;
    virtual HostEvents &events() = 0;
    // Menu item by name, toolbar button by key or by index 1-10.
    virtual QAction *menuItem(const QString &name) const = 0;
    virtual QAction *toolButton(const QString &key) const = 0;
    virtual QAction *toolButton(int index) const = 0;
    virtual QMenu *mnuPopmnu() const = 0;
    virtual void Toolbar1_ButtonClick(const QString &key) = 0;
    // Panel 1-5 of the status bar.
    virtual QString panelText(int panel) const = 0;
    virtual void setPanelText(int panel, const QString &text) = 0;
    // What follows a stop of the control: STOP and "制御停止" off, the
    // control menu and the graph's "実行" on.
    virtual void controlStopped() = 0;

    static void SelectAllText(QLineEdit *box);

protected:
    virtual void addWindowFactory(const QString &name, WindowFactory factory, QSize outerTwips) = 0;
};
