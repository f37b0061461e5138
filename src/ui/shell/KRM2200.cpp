#include "ui/shell/KRM2200.h"

#include "core/app/PortChoices.h"
#include "core/app/Twips.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/logging/GraphScale.h"
#include "ui/shell/AccessibleWidgets.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/MainWindowTexts.h"
#include "ui/shell/StatusCells.h"
#include "ui/shell/TaskWindows.h"
#include "ui/shell/WindowRegistry.h"
#include "ui/shell/frmPort.h"
#include "ui/shell/frmSplashStart.h"
#include "ui/shell/frmSplashrw.h"
#include "ui/shell/frmToppage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QWindow>

Q_LOGGING_CATEGORY(lcShell, "krm.shell")

using namespace MainWindowTexts;

namespace {

const QString kCaption = QStringLiteral("KRM-2200　Development　Environment");

QString quitQuestionText()
{
    return QStringLiteral("終了すると制御が中断されます。\n終了しますか？");
}

QString quitTitle()
{
    return QStringLiteral("終了確認");
}

} // namespace

KRM2200::KRM2200(const QString &appDir, QWidget *parent)
    : QMainWindow(parent), m_appDir(QDir::fromNativeSeparators(appDir))
{
    setObjectName(QStringLiteral("KRM2200"));
    setWindowTitle(kCaption);
    installAccessibleWidgets();

    m_session = std::make_unique<InstrumentSession>(m_appDir);
    m_session->setTransferView(this);
    m_session->setView(this);
    connectSession();

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIArea"));
    setCentralWidget(m_mdi);
    m_windows = std::make_unique<WindowRegistry>(m_mdi);

    // Windows follow the main window through its events, not through it.
    m_events = new HostEvents(this);
    connect(this, &KRM2200::startUpFinished, m_events,
            [this](StartResult r) { Q_EMIT m_events->startUpFinished(r == StartResult::Ready); });
    connect(this, &KRM2200::controlStateChanged, m_events, &HostEvents::controlStateChanged);
    connect(this, &KRM2200::popupInsertRequested, m_events, &HostEvents::popupInsertRequested);
    connect(this, &KRM2200::popupDeleteRequested, m_events, &HostEvents::popupDeleteRequested);

    buildMenus();
    buildToolbar();
    buildStatusBar();
    registerShellWindows();
    // Task windows of the other subsystems, and the link cell and the
    // loss notice.
    registerTaskWindows(*this);
    // The session ending closes the window without a question.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &KRM2200::sessionEnding);

    // Nothing may be used before the start-up sequence has decided.
    LockControls();
    // What the window is built with is the state every start begins from.
    QList<QAction *> actions = m_menuItems.values();
    actions += m_toolButtons.values();
    for (QAction *a : std::as_const(actions))
        m_startActions.insert(a, {a->isEnabled(), a->isVisible()});
    placeWindow();
}

KRM2200::~KRM2200()
{
    // The windows show the session's objects: they go while it is there.
    delete m_mdi;
    m_session->disconnect(this);
    m_session->setTransferView(nullptr);
    m_session->setView(nullptr);
    delete m_splashStart.data();
    delete m_splashrw.data();
    m_session->closePort();
}

QString &KRM2200::Filename()
{
    return ini().Filename;
}

QString KRM2200::workingFile() const
{
    return m_appDir + QStringLiteral("/sys/KRM.ini");
}

// ---------------------------------------------------------------- windows

void KRM2200::addWindowFactory(const QString &name, WindowFactory factory, QSize outerTwips)
{
    m_windows->add(name, std::move(factory), outerTwips);
}

bool KRM2200::isRegistered(const QString &name) const
{
    return m_windows->contains(name);
}

QStringList KRM2200::registeredWindowNames() const
{
    return m_windows->names();
}

QWidget *KRM2200::loadedWindow(const QString &name) const
{
    return m_windows->loaded(name);
}

QWidget *KRM2200::openWindow(const QString &name)
{
    return m_windows->open(name, *this);
}

bool KRM2200::unloadWindow(const QString &name)
{
    return m_windows->unload(name);
}

void KRM2200::unloadAllWindows()
{
    m_windows->unloadAll();
}

void KRM2200::ShowChild(QWidget *child)
{
    m_windows->showChild(child);
}

frmToppage *KRM2200::toppage() const
{
    return qobject_cast<frmToppage *>(loadedWindow(QStringLiteral("frmToppage")));
}

frmPort *KRM2200::portWindow() const
{
    return qobject_cast<frmPort *>(loadedWindow(QStringLiteral("frmPort")));
}

frmSplashStart *KRM2200::splashStart() const
{
    return m_splashStart;
}

frmSplashrw *KRM2200::splashrw() const
{
    return m_splashrw;
}

// ---------------------------------------------------------------- status bar

void KRM2200::setSensorPanel(int n, const QString &text)
{
    setPanelText(n + 1, text);
}

void KRM2200::setReadProgress(int value)
{
    if (m_splashStart)
        m_splashStart->StartPro->setValue(value);
    if (m_splashrw)
        m_splashrw->RWPro->setValue(value);
}

void KRM2200::setWriteProgress(int value)
{
    if (m_splashrw)
        m_splashrw->RWPro->setValue(value);
}

void KRM2200::closeProgressWindow()
{
    closeSplashrw();
}

void KRM2200::openSplashStart()
{
    if (!m_splashStart)
        m_splashStart = new frmSplashStart;
    m_splashStart->StartPro->setValue(0);
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        m_splashStart->move(area.center() - m_splashStart->rect().center());
    }
    m_splashStart->show();
    m_splashStart->raise();
}

void KRM2200::closeSplashStart()
{
    if (m_splashStart) {
        m_splashStart->close();
        delete m_splashStart.data();
        takeKeyboardBack();
    }
}

void KRM2200::takeKeyboardBack()
{
    // A splash or progress window that had the keyboard leaves it with no
    // window where no window manager hands it on; the keys belong here then.
    if (isVisible() && !QApplication::activeWindow())
        activateWindow();
}

void KRM2200::openSplashrw(const QString &label)
{
    if (!m_splashrw)
        m_splashrw = new frmSplashrw(this);
    m_splashrw->Label1->setText(label);
    // The bar has no caption of its own: a screen reader names it by the label.
    m_splashrw->RWPro->setAccessibleName(label);
    const QRect outer = frameGeometry();
    m_splashrw->move(outer.center() - m_splashrw->rect().center());
    m_splashrw->show();
    m_splashrw->raise();
}

void KRM2200::closeSplashrw()
{
    if (m_splashrw) {
        m_splashrw->close();
        delete m_splashrw.data();
        takeKeyboardBack();
    }
}

bool KRM2200::logRecording() const
{
    return m_toolButtons.value(QStringLiteral("LOG"))->text() != QLatin1String("LOG START");
}

// ---------------------------------------------------------------- start-up

void KRM2200::placeWindow()
{
    // The designed size is the outer one, frame and caption included, and
    // the window is centred by that outer size.
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const QSize least = minimumSizeHint().expandedTo(minimumSize());
    const QSize inner = Twips::innerPixels(12000, 8600, frame, least, screen);
    resize(inner);
    if (screen) {
        const QSize outer = inner.grownBy(frame);
        const QRect full = screen->geometry();
        move(full.x() + Twips::centredOrigin(full.width(), outer.width()),
             full.y() + Twips::centredOrigin(full.height(), outer.height()));
    }
}

KRM2200::StartResult KRM2200::startUpFailed(StartResult result, const QString &message,
                                            AfterFailure after)
{
    // The splash goes before the message so it cannot cover it.
    closeSplashStart();
    Dialogs::instance().message(this, message, errorTitle());
    LockControls();
    // The operator is led to where the port is chosen, with the devices
    // present listed, rather than left with a message and a locked window.
    if (after == AfterFailure::OfferPort && !m_ended) {
        openWindow(QStringLiteral("frmPort"));
        if (frmPort *port = portWindow())
            port->showStartFailure();
    }
    m_startResult = result;
    Q_EMIT startUpFinished(result);
    return result;
}

void KRM2200::restoreStartState()
{
    // A start on a new port begins from the window a fresh start shows, so
    // that nothing of the previous instrument (its sensor limits, its link
    // state, buttons its status enabled) is left should this start fail.
    for (int i = 1; i <= 5; ++i)
        setPanelText(i, initialCellText(i));
    for (auto it = m_startActions.cbegin(); it != m_startActions.cend(); ++it) {
        it.key()->setEnabled(it.value().first);
        it.key()->setVisible(it.value().second);
    }
    LockControls();
}

KRM2200::StartResult KRM2200::startUp()
{
    BusyScope busy(*this);
    restoreStartState();

    openSplashStart();
    QCoreApplication::processEvents();

    // The working file, the folders, the log folder, the write probe, the
    // system log and the port.
    placeWindow();
    const InstrumentSession::OpenResult opened = m_session->open();
    // The live graph's page starts as it was designed at every start.
    if (opened != InstrumentSession::OpenResult::FilesError)
        GraphScale::setPageDefaults(param());
    switch (opened) {
    case InstrumentSession::OpenResult::Ready:
        break;
    case InstrumentSession::OpenResult::FilesError:
        m_session->closePort(true);
        return startUpFailed(StartResult::PortError, InstrumentSession::checkPortText());
    case InstrumentSession::OpenResult::NoPort:
        return startUpFailed(StartResult::PortError, InstrumentSession::checkPortText(),
                             AfterFailure::OfferPort);
    case InstrumentSession::OpenResult::PortError:
    case InstrumentSession::OpenResult::PortInUse:
        return startUpFailed(StartResult::PortError,
                             m_session->openFailureText(InstrumentSession::checkPortText()),
                             AfterFailure::OfferPort);
    }

    ini().IniWritePara(QStringLiteral("Y"), QString(), QStringLiteral("160 -60"));

    // After a write that did not reach the instrument's "SAVE": the
    // instrument holds part of a set, unsaved, and the working file the whole
    // of it, which the read would replace. Offer to write it again first.
    if (transfer().unfinishedWrite()) {
        closeSplashStart();
        const bool again = Dialogs::instance().question(
            this,
            QStringLiteral("前回の本体書込は完了していません。\n"
                           "設定ファイルの内容をもう一度本体へ書き込みますか？"),
            QStringLiteral("書込み確認"), true);
        if (again) {
            openSplashrw(QStringLiteral("書込中..."));
            QCoreApplication::processEvents();
            const bool written = transfer().WriteAllSettings();
            if (m_ended)
                return m_startResult;
            if (!written) {
                const QString text = QStringLiteral("書き込み失敗しました。") +
                                     transfer().writeFailureDetail(transferRetryText());
                // Still unsaved: no read over the working file, so the next
                // start can offer the same again.
                if (transfer().unfinishedWrite()) {
                    m_session->closePort(true);
                    return startUpFailed(StartResult::NotConnected, text);
                }
                Dialogs::instance().message(this, text, confirmTitle());
            }
        }
        openSplashStart();
        QCoreApplication::processEvents();
    }
    all_flg = m_session->readAtStart();
    if (m_ended)
        return m_startResult;

    if (!all_flg && transfer().storeFailed()) {
        // The instrument answered; the disk could not take its set. Not a
        // connection failure: the port window would not help.
        m_session->closePort(true);
        return startUpFailed(StartResult::NotConnected, transfer().storeFailedText());
    }
    if (!all_flg) {
        m_session->closePort(true);
        return startUpFailed(StartResult::NotConnected,
                             QStringLiteral("読み込みに失敗しました。接続を確認してください。"),
                             AfterFailure::OfferPort);
    }

    for (int n = 0; n < 4; ++n) {
        const QString record = ini().IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n));
        const QString text = SettingsTransfer::sensorPanelText(n, record);
        if (!text.isNull())
            setPanelText(n + 1, text);
    }
    closeSplashStart();
    openWindow(QStringLiteral("frmToppage"));
    UnlockControls();

    if (m_session->checkCsvOutput() == InstrumentSession::CsvOutput::ProgramMissing)
        Dialogs::instance().message(this, InstrumentSession::spreadsheetMissingText(),
                                    confirmTitle());

    setPanelText(5, commOkText());
    m_startResult = StartResult::Ready;
    Q_EMIT startUpFinished(m_startResult);
    offerLogOfRunningInstrument();
    return m_startResult;
}

void KRM2200::offerLogOfRunningInstrument()
{
    // The instrument may have gone on running while this program was away
    // (a crash, a restart of the computer): nothing would be logged until
    // someone pressed LOG START. Asked as the status window asks, so the
    // answer changes nothing else.
    QString code;
    const QMetaObject::Connection reply =
        connect(m_session.get(), &InstrumentSession::status2Received, this,
                [&code](const Status2Report &r) { code = r.status.value(0); });
    m_session->askStatus(0.05, true);
    disconnect(reply);
    if (code != QLatin1String("02") || m_ended || logRecording())
        return;
    if (Dialogs::instance().question(this, runningInstrumentQuestion(), confirmTitle(), true) &&
        startLog)
        startLog();
}

QString KRM2200::runningInstrumentQuestion()
{
    return QStringLiteral("本体は運転中です。ログを開始しますか？");
}

void KRM2200::connectPort(const QString &portText, const QString &device)
{
    if (m_busyDepth > 0) {
        // A start-up read is inside one of its waits: connect once it is over.
        m_connectPending = true;
        m_pendingPort = portText;
        m_pendingDevice = device;
        return;
    }
    if (m_session->choosePort(portText, device)) {
        // As if the program were started again with the new port.
        unloadMainWindow();
        startUp();
        return;
    }
    Dialogs::instance().message(this,
                                PortChoices::openFailText(QStringLiteral("接続を確立できません。"),
                                                          m_session->lastOpenFailure()),
                                errorTitle());
    for (const char *name :
         {"frmToppage", "frmOperation_setting", "frmGraph", "frmPattern_control", "frmFix_control",
          "frmSenlog", "frmDetailed_setting", "frmStatus", "frmStatuslog", "frmStepview"})
        unloadWindow(QLatin1String(name));
    LockControls();
}

// ---------------------------------------------------------------- shutdown

void KRM2200::sendStopAndClosePort()
{
    m_session->sendStopAndClose();
}

void KRM2200::unloadMainWindow()
{
    m_session->stopPolling();
    unloadAllWindows();
    closeSplashrw();
    closeSplashStart();
    m_session->closePort();
}

void KRM2200::endProgram(bool sendStop)
{
    if (m_ended)
        return;
    if (m_busyDepth > 0) {
        // A start-up read or a transfer is inside one of its waits: let it
        // return first, then end.
        m_endPending = true;
        m_endSendsStop = m_endSendsStop || sendStop;
        return;
    }
    if (sendStop)
        sendStopAndClosePort();
    m_closeWithoutAsking = true;
    close();
}

void KRM2200::leaveBusy()
{
    if (--m_busyDepth > 0)
        return;
    if (m_endPending) {
        m_endPending = false;
        m_connectPending = false;
        const bool stop = m_endSendsStop;
        QTimer::singleShot(0, this, [this, stop] { endProgram(stop); });
    } else if (m_connectPending) {
        m_connectPending = false;
        QTimer::singleShot(0, this, [this] { connectPort(m_pendingPort, m_pendingDevice); });
    }
}

void KRM2200::file_end()
{
    if (Dialogs::instance().question(this, quitQuestionText(), quitTitle(), true))
        endProgram(true);
}

void KRM2200::closeEvent(QCloseEvent *event)
{
    if (m_ended) {
        event->accept();
        return;
    }
    const bool quiet = m_closeWithoutAsking || m_sessionEnding;
    if (!quiet && event->spontaneous()) {
        // The close box.
        if (!Dialogs::instance().question(this, quitQuestionText(), quitTitle(), false)) {
            event->ignore();
            return;
        }
        if (m_busyDepth > 0) {
            event->ignore();
            endProgram(true);
            return;
        }
        sendStopAndClosePort();
    } else if (m_busyDepth > 0 && !quiet) {
        event->ignore();
        endProgram(false);
        return;
    }
    unloadMainWindow();
    m_ended = true;
    event->accept();
    Q_EMIT programEnded();
}

void KRM2200::sessionEnding()
{
    m_sessionEnding = true;
    // The platforms say when a session ends, not when its end is called
    // off. The user working in the program again says it.
    qApp->installEventFilter(this);
}

bool KRM2200::eventFilter(QObject *watched, QEvent *event)
{
    if (m_sessionEnding) {
        const QEvent::Type t = event->type();
        const bool userAgain = t == QEvent::MouseButtonPress || t == QEvent::KeyPress ||
                               t == QEvent::Wheel ||
                               (t == QEvent::WindowActivate && watched == this);
        if (userAgain) {
            m_sessionEnding = false;
            qApp->removeEventFilter(this);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
