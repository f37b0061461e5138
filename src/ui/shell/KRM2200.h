#pragma once

#include "core/app/WindowState.h"
#include "core/link/Reception_Show.h"
#include "core/link/SettingsTransfer.h"
#include "core/session/InstrumentSession.h"
#include "ui/shell/WindowHost.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class QToolBar;
class frmPort;
class frmSplashStart;
class frmSplashrw;
class frmToppage;
class WindowRegistry;

// The main window: the multiple-document parent of every other window, with
// the status bar, the toolbar and the menus. It owns the instrument session
// (the link, the transfers, the status poll, the log, the runs and the state
// of windows that must outlive their widgets) and drives it: the start-up
// sequence and the shutdown paths around it, the commands of its menus and
// toolbar, and what the session reports.
class KRM2200 : public QMainWindow, public TransferView, public WindowHost, private SessionView {
    Q_OBJECT
public:
    enum class StartResult { NotRun, Ready, NotConnected, PortError };
    Q_ENUM(StartResult)

    // `appDir` is the program folder (separators "/").
    explicit KRM2200(const QString &appDir, QWidget *parent = nullptr);
    ~KRM2200() override;

    // ---- shared objects ----
    InstrumentSession &session() override { return *m_session; }
    SettingsTransfer &transfer() { return m_session->transfer(); }
    WindowState &state() override { return m_session->state(); }

    // The file configuration reads come from (kept by the configuration module).
    QString &Filename();
    // The question of a start-up that finds the instrument running.
    static QString runningInstrumentQuestion();
    // Result of the last whole-set read.
    bool all_flg = false;

    QString GetLogdirname() const override { return m_session->logDir(); }
    void SetLogdirname(const QString &log_path) override { m_session->setLogDir(log_path); }

    QString appDir() const override { return m_appDir; }
    QString workingFile() const;
    // Configuration set last opened or saved; empty at start.
    QString setFilePath() const { return m_setFilePath; }

    // ---- child windows ----
    // A registered window's widget is created when it is opened and wrapped
    // in a sub-window that is destroyed when closed (registerWindow).
    bool isRegistered(const QString &name) const override;
    // Names of every registered window, sorted.
    QStringList registeredWindowNames() const;
    // Loads the window if needed and shows it (ShowChild); nullptr when no
    // such window is registered.
    QWidget *openWindow(const QString &name) override;
    // The widget of a loaded window, or nullptr.
    QWidget *loadedWindow(const QString &name) const override;
    // Closes the window if loaded (its close handler may ask about pending
    // changes). Returns false when the window refused to close.
    bool unloadWindow(const QString &name) override;
    void unloadAllWindows();

    // Restores a minimised child, otherwise brings it to the front.
    void ShowChild(QWidget *child) override;
    // Disable / enable the entries the user must not use without a link.
    void LockControls();
    void UnlockControls();

    frmToppage *toppage() const;
    frmPort *portWindow() const;
    frmSplashStart *splashStart() const;
    frmSplashrw *splashrw() const;

    // ---- start-up and shutdown ----
    StartResult startUp();
    // The desktop session asks to save: it is ending, so the close that
    // follows asks nothing. Should the user then go on working (the logout
    // was cancelled), the close box asks again.
    void sessionEnding();
    StartResult lastStartResult() const { return m_startResult; }
    // Replaces the look-up of the spreadsheet program (tests).
    void setSpreadsheetLookup(std::function<QString()> lookup)
    {
        m_session->setSpreadsheetLookup(std::move(lookup));
    }
    // Full path of the program that opens spreadsheets, or empty.
    QString spreadsheetProgram() const override { return m_session->spreadsheetProgram(); }
    // The port window's connect: reopen and run the start-up sequence again,
    // or report and lock.
    void connectPort(const QString &portText, const QString &device);

    // ---- toolbar ----
    QToolBar *Toolbar1 = nullptr;
    // Button by key (LOAD, SAVE, READ, WRITE, LOG, ACLR, STOP) or by index
    // 1-10 (3, 6 and 8 are separators).
    QAction *toolButton(const QString &key) const override;
    QAction *toolButton(int index) const override;
    void Toolbar1_ButtonClick(const QString &key) override;
    void Toolbar1_ButtonClick(int index);

    // ---- menus ----
    // Menu item by name (file, file_open, ..., ver, top, mnuPopmnuSub1).
    QAction *menuItem(const QString &name) const override;
    QMenu *mnuPopmnu() const override { return m_popup; }
    // Hides and disables the top menus while a transfer runs.
    void setMenuBarLocked(bool locked);

    void file_open();
    void file_save();
    void file_save2();
    void file_end();
    void showVersion();
    // Status query of the status menu entry: reset, ask, then show frmStatus.
    void statusQuery();

    // ---- status bar ----
    // Panel 1-5 of SenStatusBar.
    QString panelText(int panel) const override;
    void setPanelText(int panel, const QString &text) override;

    // What follows a stop of the control (toolbar STOP, ACLR, the graph's
    // "制御停止", an idle status reply): STOP and "制御停止" off, the control
    // menu and the graph's "実行" on; open windows follow at once.
    void controlStopped() override;
    // The notice of a pattern run that ended on the instrument, not here.
    static QString patternRunEndedText();

    // Whether a log is being recorded (button 7 reads "LOG START" otherwise).
    bool logRecording() const override;

    QWidget *hostWidget() override { return this; }
    HostEvents &events() override { return *m_events; }

    // SessionView: the session's questions and messages.
    bool ask(const QString &text, const QString &title, bool defaultYes) override;
    void tell(const QString &text, const QString &title) override;
    void notice(const QString &key, const QString &text, const QString &title) override;

    // TransferView
    void setReadProgress(int value) override;
    void setWriteProgress(int value) override;
    void setSensorPanel(int n, const QString &text) override;
    void closeProgressWindow() override;

Q_SIGNALS:
    void startUpFinished(KRM2200::StartResult result);
    // The program ends (after the shutdown steps); the application quits.
    void programEnded();
    void popupInsertRequested();
    void popupDeleteRequested();
    // A toolbar read or write has ended; ok tells what the user was told.
    void transferFinished(bool ok);
    // The enabling of the control entries changed (state().graph and the
    // toolbar); an open graph window shows it.
    void controlStateChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // At the end of a start-up: a run found going is offered a log.
    void offerLogOfRunningInstrument();
    // The menu entries and toolbar buttons a start-up unlocks, and the flag
    // the windows read.
    void setControlsEnabled(bool enabled);
    // Counts the nested operations that run event loops (start-up,
    // transfers); a quit asked for meanwhile is carried out when the
    // outermost one ends.
    struct BusyScope {
        explicit BusyScope(KRM2200 &w) : m_w(w) { ++m_w.m_busyDepth; }
        ~BusyScope() { m_w.leaveBusy(); }
        KRM2200 &m_w;
    };

    // The toolbar, menus and notices follow the session's replies and stops.
    void connectSession();
    void buildMenus();
    void buildToolbar();
    void buildStatusBar();
    void registerShellWindows();
    void addWindowFactory(const QString &name, WindowFactory factory, QSize outerTwips) override;
    QAction *addMenuItem(QMenu *menu, const char *name, const QString &caption);

    // How a failed start-up ends: with the message alone, or with the port
    // window opened after it when no instrument could be reached.
    enum class AfterFailure { MessageOnly, OfferPort };
    StartResult startUpFailed(StartResult result, const QString &message,
                              AfterFailure after = AfterFailure::MessageOnly);
    void placeWindow();
    void openSplashStart();
    void closeSplashStart();
    void openSplashrw(const QString &label);
    void closeSplashrw();
    void takeKeyboardBack();

    void toolbarRead();
    void toolbarWrite();
    void toolbarAclr();
    void toolbarStop();
    void tellRefused(const InstrumentSession::RunResult &result);
    void topPageButton(const QStringList &windows, bool statusQuery);
    void discardAndOpen(const QStringList &windows);

    void sendStopAndClosePort();
    void unloadMainWindow();
    void endProgram(bool sendStop);
    void leaveBusy();
    void restoreStartState();

    QString m_appDir;
    QString m_setFilePath;
    StartResult m_startResult = StartResult::NotRun;

    // The instrument, its transfers, the status poll, the log and the runs.
    std::unique_ptr<InstrumentSession> m_session;

    QMdiArea *m_mdi = nullptr;
    std::unique_ptr<WindowRegistry> m_windows;
    QHash<QString, QAction *> m_menuItems;
    QHash<QString, QAction *> m_toolButtons;
    HostEvents *m_events = nullptr;
    QMenu *m_popup = nullptr;
    QLabel *m_panels[5] = {};
    QPointer<frmSplashStart> m_splashStart;
    QPointer<frmSplashrw> m_splashrw;

    int m_busyDepth = 0;
    bool m_endPending = false;
    bool m_endSendsStop = false;
    bool m_closeWithoutAsking = false;
    bool m_sessionEnding = false;
    // Enabled and visible state of every menu entry and toolbar button as
    // the window was built.
    QHash<QAction *, QPair<bool, bool>> m_startActions;
    bool m_ended = false;
    bool m_connectPending = false;
    QString m_pendingPort;
    QString m_pendingDevice;
};
