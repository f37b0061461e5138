#include "shell/KRM2200.h"

#include "config/IniFile.h"
#include "config/Ini_Operation.h"
#include "config/Parameter.h"
#include "link/Reception_Show.h"
#include "link/SerialLink.h"
#include "session/SetVerify.h"
#include "shell/AccessibleWidgets.h"
#include "shell/ConfigSet.h"
#include "shell/Dialogs.h"
#include "shell/FileCopy.h"
#include "shell/PortChoices.h"
#include "shell/ProgramLookup.h"
#include "shell/StatusCells.h"
#include "shell/SubWindowPlace.h"
#include "shell/SubWindows.h"
#include "shell/TaskWindows.h"
#include "shell/ToolbarKeys.h"
#include "shell/Twips.h"
#include "shell/Version.h"
#include "shell/WindowRegistry.h"
#include "shell/frmPort.h"
#include "shell/frmSplashStart.h"
#include "shell/frmSplashrw.h"
#include "shell/frmToppage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

Q_LOGGING_CATEGORY(lcShell, "krm.shell")

namespace {

const QString kCaption = QStringLiteral("KRM-2200　Development　Environment");

QString checkPortText()
{
    return QStringLiteral("通信ポートを確認してください。");
}

QString quitQuestionText()
{
    return QStringLiteral("終了すると制御が中断されます。\n終了しますか？");
}

QString quitTitle()
{
    return QStringLiteral("終了確認");
}

QString errorTitle()
{
    return QStringLiteral("error");
}

QString confirmTitle()
{
    return QStringLiteral("確認");
}

QString transferRetryText()
{
    return QStringLiteral("本体との接続を確認し、再度実行してください。");
}

// Windows that show configuration values and must re-read the file.
const QStringList kConfigWindows = {
    QStringLiteral("frmOperation_setting"), QStringLiteral("frmDetailed_setting"),
    QStringLiteral("frmGraph"), QStringLiteral("frmPattern_control"),
    QStringLiteral("frmFix_control")};

// Field 1 of the LOG value when it is a whole number of seconds from 1 to 60.
int logIntervalFrom(const QString &value)
{
    bool ok = false;
    const int n = value.section(QLatin1Char(' '), 0, 0).trimmed().toInt(&ok);
    return ok && n >= 1 && n <= 60 ? n : 1;
}

} // namespace

// Counts the nested operations that run event loops (start-up, transfers);
// a quit asked for meanwhile is carried out when the outermost one ends.
struct KRM2200::BusyScope {
    explicit BusyScope(KRM2200 &w) : m_w(w) { ++m_w.m_busyDepth; }
    ~BusyScope() { m_w.leaveBusy(); }
    KRM2200 &m_w;
};

KRM2200::KRM2200(const QString &appDir, QWidget *parent)
    : QMainWindow(parent), m_appDir(QDir::fromNativeSeparators(appDir))
{
    setObjectName(QStringLiteral("KRM2200"));
    setWindowTitle(kCaption);
    installAccessibleWidgets();

    m_parsers = std::make_unique<Reception_Show>(param());
    m_link = std::make_unique<SerialLink>(param(), *m_parsers, ini());
    m_transfer = std::make_unique<SettingsTransfer>(*m_link, *m_parsers, param(), ini());
    m_parsers->onStatus = [this](const StatusReport &r) { applyStatus(r); };
    m_transfer->setView(this);
    m_lookup = [] { return ProgramLookup().findSpreadsheetProgram(); };

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("MDIArea"));
    setCentralWidget(m_mdi);
    m_windows = std::make_unique<WindowRegistry>(m_mdi);

    Log_Timer = new QTimer(this);
    Log_Timer->setObjectName(QStringLiteral("Log_Timer"));

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
    // Files the program writes on its own, with no command waiting for the
    // answer: a notice that does not block, once while it is shown.
    auto writeNotice = [this](const QString &key, const QString &what) {
        return [this, key, what](const QString &path, const QString &reason) {
            Dialogs::instance().showNotice(
                this, key, what + QLatin1Char('\n') + path + QLatin1Char('\n') + reason,
                errorTitle());
        };
    };
    ini().writeFailed = writeNotice(QStringLiteral("iniWrite"),
                                    QStringLiteral("設定ファイルに書き込めませんでした。"));
    connect(m_link.get(), &SerialLink::systemLogFailed, this,
            writeNotice(QStringLiteral("systemLog"),
                        QStringLiteral("システムログに書き込めませんでした。")));
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
    ini().writeFailed = nullptr;
    m_link->disconnect(this);
    m_transfer->setView(nullptr);
    delete m_splashStart.data();
    delete m_splashrw.data();
    m_link->ClosePort();
    m_link->closeSystemLog();
}

QString &KRM2200::str()
{
    return m_link->str;
}

QString &KRM2200::Filename()
{
    return ini().Filename;
}

QString &KRM2200::versi()
{
    return m_parsers->versi;
}

QString KRM2200::workingFile() const
{
    return m_appDir + QStringLiteral("/sys/KRM.ini");
}

// ---------------------------------------------------------------- building

void KRM2200::registerShellWindows()
{
    registerWindow(
        QStringLiteral("frmToppage"),
        [this](WindowHost &) -> QWidget * {
            auto *page = new frmToppage;
            const QString status = QStringLiteral("frmStatus");
            connect(page->Fix_c, &QPushButton::clicked, this,
                    [this] { topPageButton({QStringLiteral("frmFix_control")}, false); });
            connect(page->Pattern_c, &QPushButton::clicked, this, [this] {
                topPageButton({QStringLiteral("frmPattern_control"), QStringLiteral("frmStepview")},
                              false);
            });
            connect(page->Operation_c, &QPushButton::clicked, this,
                    [this] { topPageButton({QStringLiteral("frmOperation_setting")}, false); });
            connect(page->Details_c, &QPushButton::clicked, this,
                    [this] { topPageButton({QStringLiteral("frmDetailed_setting")}, false); });
            connect(page->Graph_c, &QPushButton::clicked, this, [this] {
                topPageButton({QStringLiteral("frmSenlog"), QStringLiteral("frmGraph")}, false);
            });
            connect(page->Status_c, &QPushButton::clicked, this,
                    [this, status] { topPageButton({status}, true); });
            return page;
        },
        QSize(frmToppage::WidthTwips, frmToppage::HeightTwips));

    registerWindow(
        QStringLiteral("frmPort"),
        [this](WindowHost &) -> QWidget * {
            auto *port =
                new frmPort(ini().IniRead(QStringLiteral("COM"), QString()), link().forcedDevice());
            connect(port, &frmPort::connectRequested, this, &KRM2200::connectPort);
            connect(port, &frmPort::cancelRequested, this,
                    [this] { unloadWindow(QStringLiteral("frmPort")); });
            return port;
        },
        QSize(frmPort::WidthTwips, frmPort::HeightTwips));
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
    Parameter &p = param();
    Ini_Operation &cfg = ini();
    restoreStartState();

    // 1
    p.CommOk = true;
    p.LogStopFlag = false;

    // 2
    openSplashStart();
    QCoreApplication::processEvents();

    // 3
    cfg.setWorkingFile(workingFile());

    auto portError = [this] {
        m_link->ClosePort();
        return startUpFailed(StartResult::PortError, checkPortText());
    };

    // 5, before 4: the log-folder default below is written into sys/KRM.ini
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd"));
    const QString dayDir = m_appDir + QStringLiteral("/LOG/XSYS_LOG/") + day;
    for (const QString &dir : {m_appDir + QStringLiteral("/sys"), m_appDir + QStringLiteral("/LOG"),
                               m_appDir + QStringLiteral("/LOG/XSYS_LOG"), dayDir}) {
        if (!QDir().mkpath(dir)) {
            qCWarning(lcShell) << "cannot create" << dir;
            return portError();
        }
    }
    // A program killed in the middle of a configuration write leaves its
    // temporary file beside the intact one.
    if (const int stale = IniFile::removeLeftovers(workingFile()))
        qCInfo(lcShell) << "removed" << stale << "unfinished configuration writes";

    // 4
    const QString logDir = cfg.IniRead(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"));
    if (!logDir.isEmpty() && logDir != QLatin1String("ERR")) {
        m_logDir = logDir;
    } else {
        m_logDir = m_appDir;
        cfg.IniWrite(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"), m_appDir);
    }

    // 6
    {
        QFile probe(m_appDir + QStringLiteral("/sys/CHK.xls"));
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            qCWarning(lcShell) << "cannot create" << probe.fileName() << probe.errorString();
            return portError();
        }
    }

    // 7
    const QString time = QTime::currentTime().toString(QStringLiteral("HH_mm_ss"));
    const QString sysLog =
        dayDir + QLatin1Char('/') + day + QLatin1Char('_') + time + QStringLiteral(".txt");
    if (!m_link->openSystemLog(sysLog)) {
        qCWarning(lcShell) << "cannot open the system log" << sysLog;
        return portError();
    }

    // 8, 9 (the dialog filter is fixed: configSetFilter)
    placeWindow();

    // 10
    Log_Timer->stop();
    p.GraphPagePoints = 600;
    p.GraphDegPerDiv = 50.0;
    p.GraphDivCount = 4.0;
    p.GraphZeroDiv = 3.0;
    p.GraphXScale = 50;

    // 11: a device named on the command line, or chosen earlier in the port
    // window, counts as a configured port.
    if (m_link->forcedDevice().isEmpty()) {
        const QString device = cfg.IniRead(QStringLiteral("COM"), QStringLiteral("device"));
        if (!device.isEmpty() && device != QLatin1String("ERR"))
            m_link->setForcedDevice(device);
    }
    QString port = cfg.IniRead(QStringLiteral("COM"), QString());
    if (port == QLatin1String("ERR")) {
        if (m_link->forcedDevice().isEmpty()) {
            // 21
            cfg.IniWritePara(QStringLiteral("COM"), QString(), QStringLiteral("1"));
            return startUpFailed(StartResult::PortError, checkPortText(), AfterFailure::OfferPort);
        }
        port = QStringLiteral("1");
        cfg.IniWritePara(QStringLiteral("COM"), QString(), port);
    }

    // 12
    if (!m_link->OpenPort(port))
        return startUpFailed(StartResult::PortError,
                             PortChoices::openFailText(checkPortText(), m_link->lastOpenFailure()),
                             AfterFailure::OfferPort);

    // 13
    cfg.IniWritePara(QStringLiteral("Y"), QString(), QStringLiteral("160 -60"));

    // 14, after a write that did not reach the instrument's "SAVE": the
    // instrument holds part of a set, unsaved, and the working file the whole
    // of it, which the read would replace. Offer to write it again first.
    if (m_transfer->unfinishedWrite()) {
        closeSplashStart();
        const bool again = Dialogs::instance().question(
            this,
            QStringLiteral("前回の本体書込は完了していません。\n"
                           "設定ファイルの内容をもう一度本体へ書き込みますか？"),
            QStringLiteral("書込み確認"), true);
        if (again) {
            openSplashrw(QStringLiteral("書込中..."));
            QCoreApplication::processEvents();
            const bool written = m_transfer->WriteAllSettings();
            if (m_ended)
                return m_startResult;
            if (!written) {
                const QString text = QStringLiteral("書き込み失敗しました。") +
                                     m_transfer->writeFailureDetail(transferRetryText());
                // Still unsaved: no read over the working file, so the next
                // start can offer the same again.
                if (m_transfer->unfinishedWrite()) {
                    m_link->ClosePort();
                    return startUpFailed(StartResult::NotConnected, text);
                }
                Dialogs::instance().message(this, text, confirmTitle());
            }
        }
        openSplashStart();
        QCoreApplication::processEvents();
    }
    all_flg = true;
    m_transfer->ReadAllSettings(all_flg);
    if (m_ended)
        return m_startResult;

    // 15
    Log_Timer->stop();
    while (p.LogTimeText.size() < 11)
        p.LogTimeText.append(QString());
    while (p.LogTimeText.size() > 11)
        p.LogTimeText.removeLast();

    // 16
    readLogInterval();

    // 17
    if (!all_flg) {
        m_link->ClosePort();
        return startUpFailed(StartResult::NotConnected,
                             QStringLiteral("読み込みに失敗しました。接続を確認してください。"),
                             AfterFailure::OfferPort);
    }

    // 18
    for (int n = 0; n < 4; ++n) {
        const QString record = cfg.IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n));
        const QString text = SettingsTransfer::sensorPanelText(n, record);
        if (!text.isNull())
            setPanelText(n + 1, text);
    }
    closeSplashStart();
    openWindow(QStringLiteral("frmToppage"));
    UnlockControls();

    // 19
    checkCsvOutput();

    // 20
    setPanelText(5, commOkText());
    m_startResult = StartResult::Ready;
    Q_EMIT startUpFinished(m_startResult);
    return m_startResult;
}

void KRM2200::readLogInterval()
{
    param().LogInterval = logIntervalFrom(ini().IniRead(QStringLiteral("LOG"), QString()));
}

void KRM2200::checkCsvOutput()
{
    Ini_Operation &cfg = ini();
    const QString section = QStringLiteral("CSVPATH");
    const QString key = QStringLiteral("path");
    const QString value = cfg.IniRead(section, key);
    const QString off = QStringLiteral("0 C:\\");
    // Output off (or never set): the flag follows what is stored.
    if (value.isEmpty() || value == QLatin1String("ERR") ||
        value.section(QLatin1Char(' '), 0, 0) != QLatin1String("1")) {
        m_state.detailed.flg_csv = false;
        cfg.IniWrite(section, key, off);
        return;
    }
    const QString program = m_lookup ? m_lookup() : QString();
    if (program.isEmpty()) {
        m_state.detailed.flg_csv = false;
        cfg.IniWrite(section, key, QStringLiteral("0 ") + value.mid(2));
        Dialogs::instance().message(this,
                                    QStringLiteral("EXCEL.EXEを見つけることができませんでした。\n"
                                                   "CSVファイルへの出力を停止します。"),
                                    confirmTitle());
    } else {
        m_state.detailed.flg_csv = true;
        cfg.IniWrite(section, key, QStringLiteral("1 ") + program);
    }
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
    Ini_Operation &cfg = ini();
    m_link->discardInput();
    m_link->ClosePort();
    cfg.IniWritePara(QStringLiteral("COM"), QString(), portText);
    // A device path no port number names is kept beside the number.
    if (!device.isEmpty()) {
        m_link->setForcedDevice(device);
        cfg.IniWrite(QStringLiteral("COM"), QStringLiteral("device"), device);
    } else {
        m_link->setForcedDevice(QString());
        if (cfg.IniRead(QStringLiteral("COM"), QStringLiteral("device")) != QLatin1String("ERR"))
            cfg.IniWrite(QStringLiteral("COM"), QStringLiteral("device"), QString());
    }
    if (m_link->OpenPort(portText)) {
        // As if the program were started again with the new port.
        unloadMainWindow();
        startUp();
        return;
    }
    Dialogs::instance().message(this,
                                PortChoices::openFailText(QStringLiteral("接続を確立できません。"),
                                                          m_link->lastOpenFailure()),
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
    if (m_link->isOpen()) {
        m_link->SendCommand(QStringLiteral("STOP"), QString(), 0.1);
        m_link->ClosePort();
    }
    m_link->closeSystemLog();
}

void KRM2200::unloadMainWindow()
{
    Log_Timer->stop();
    unloadAllWindows();
    closeSplashrw();
    closeSplashStart();
    m_link->ClosePort();
    m_link->closeSystemLog();
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

// ---------------------------------------------------------------- menu commands

void KRM2200::discardAndOpen(const QStringList &windows)
{
    m_link->discardInput();
    for (const QString &name : windows)
        openWindow(name);
}

void KRM2200::topPageButton(const QStringList &windows, bool statusQuery)
{
    for (const QString &name : windows)
        openWindow(name);
    if (statusQuery)
        m_link->SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS2"), 0);
    unloadWindow(QStringLiteral("frmToppage"));
}

void KRM2200::statusQuery()
{
    m_link->discardInput();
    m_parsers->resetStatus();
    m_link->SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS2"), 0.025);
    openWindow(QStringLiteral("frmStatus"));
}

void KRM2200::showVersion()
{
    m_link->discardInput();
    m_parsers->resetVersion();
    m_parsers->versi.clear();
    m_link->SendCommand(QStringLiteral("VERSION"), QStringLiteral("VERSION"), 0.05);
    Dialogs::instance().message(this,
                                m_parsers->versi + QStringLiteral("\nMZP: ") + programVersion(),
                                QStringLiteral("バージョン情報"));
}

void KRM2200::file_open()
{
    Ini_Operation &cfg = ini();
    const QString chosen = Dialogs::instance().openFile(this, configSetFilter(), QString());
    if (chosen.isEmpty())
        return;
    const QString path = QDir::fromNativeSeparators(chosen);
    // Reads come from the working file throughout: the set is checked whole,
    // and only what passed is written over the working file.
    cfg.Filename = cfg.workingFile();
    const ConfigSet::Result opened = ConfigSet::open(path, cfg.workingFile());
    if (!opened.opened) {
        Dialogs::instance().message(this, opened.message, errorTitle());
        return;
    }
    m_setFilePath = path;
    readLogInterval();
    for (const QString &name : kConfigWindows)
        unloadWindow(name);
    Dialogs::instance().message(this, QStringLiteral("読み込み完了"), confirmTitle());
}

namespace {

bool saveCopy(QWidget *parent, const QString &target)
{
    QString reason;
    if (copyFileAtomically(ini().workingFile(), target, &reason))
        return true;
    Dialogs::instance().message(parent,
                                QStringLiteral("ファイルの保存に失敗しました。\n"
                                               "保存先へ書き込めませんでした。（%1）")
                                    .arg(reason),
                                errorTitle());
    return false;
}

} // namespace

void KRM2200::file_save()
{
    const QString chosen = Dialogs::instance().saveFile(this, configSetFilter(), QString());
    if (chosen.isEmpty())
        return;
    const QString path = QDir::fromNativeSeparators(chosen);
    if (!saveCopy(this, path))
        return;
    m_setFilePath = path;
    Dialogs::instance().message(this, QStringLiteral("保存しました。"), confirmTitle());
}

void KRM2200::file_save2()
{
    if (!m_setFilePath.isEmpty()) {
        if (saveCopy(this, m_setFilePath))
            Dialogs::instance().message(this, QStringLiteral("上書きしました\n") + m_setFilePath,
                                        confirmTitle());
        return;
    }
    const QString chosen = Dialogs::instance().saveFile(this, configSetFilter(), QString());
    if (chosen.isEmpty())
        return;
    const QString path = QDir::fromNativeSeparators(chosen);
    if (!saveCopy(this, path))
        return;
    m_setFilePath = path;
    Dialogs::instance().message(this, QStringLiteral("保存しました。\n") + path, confirmTitle());
}

// ---------------------------------------------------------------- toolbar

void KRM2200::Toolbar1_ButtonClick(int index)
{
    if (QAction *a = toolButton(index))
        Toolbar1_ButtonClick(a->data().toString());
}

void KRM2200::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("LOAD")) {
        file_open();
    } else if (key == QLatin1String("SAVE")) {
        file_save2();
    } else if (key == QLatin1String("READ")) {
        toolbarRead();
    } else if (key == QLatin1String("WRITE")) {
        toolbarWrite();
    } else if (key == QLatin1String("LOG")) {
        const std::function<void()> &hook = logRecording() ? stopLog : startLog;
        if (hook)
            hook();
    } else if (key == QLatin1String("ACLR")) {
        toolbarAclr();
    } else if (key == QLatin1String("STOP")) {
        toolbarStop();
    }
}

void KRM2200::toolbarRead()
{
    BusyScope busy(*this);
    LockControls();
    setMenuBarLocked(true);
    for (const char *name :
         {"frmToppage", "frmPort", "frmStatus", "frmDetailed_setting", "frmOperation_setting"})
        unloadWindow(QLatin1String(name));
    m_parsers->resetAll();
    param().ResetReplyBuffers();
    if (!m_link->CommOk()) {
        // Reopens the port and marks the link healthy before the transfer.
        m_link->SendCommand(QStringLiteral("err"), QString(), 0);
        SerialLink::WaitSeconds(0.5);
    }
    m_link->discardInput();
    openSplashrw(QStringLiteral("読込中..."));
    m_splashrw->RWPro->setValue(0);
    QCoreApplication::processEvents();

    all_flg = true;
    m_transfer->ReadAllSettings(all_flg);

    if (m_splashrw)
        m_splashrw->RWPro->setValue(149);
    closeSplashrw();
    // A reply that began but never filled its buffer is a failed read too,
    // even though the link saw characters.
    const bool ok = m_link->CommOk() && all_flg;
    if (ok)
        Dialogs::instance().message(this, QStringLiteral("読み込み完了しました。"),
                                    QStringLiteral("完了"));
    else
        Dialogs::instance().message(
            this, QStringLiteral("読み込み失敗しました。") + transferRetryText(), confirmTitle());
    UnlockControls();
    setMenuBarLocked(false);
    Q_EMIT transferFinished(ok);
}

void KRM2200::toolbarWrite()
{
    BusyScope busy(*this);
    LockControls();
    setMenuBarLocked(true);
    m_link->discardInput();

    // Closing either editor may ask whether to apply pending changes; a
    // refusal clears its flag.
    m_state.operation.flg_d = true;
    unloadWindow(QStringLiteral("frmOperation_setting"));
    m_state.detailed.flg_s = true;
    unloadWindow(QStringLiteral("frmDetailed_setting"));

    bool ok = false;
    bool refused = true;
    if (m_state.detailed.flg_i == 0) {
        for (const char *name : {"frmToppage", "frmPort", "frmStatus"})
            unloadWindow(QLatin1String(name));
        if (!m_link->CommOk()) {
            m_link->SendCommand(QStringLiteral("err"), QString(), 0);
            SerialLink::WaitSeconds(0.5);
        }
        if (m_state.operation.flg_d && m_state.detailed.flg_s) {
            refused = false;
            openSplashrw(QStringLiteral("書込中..."));
            m_splashrw->RWPro->setValue(0);
            QCoreApplication::processEvents();
            // A write that stopped part-way (a fault, or no "SAVE") is a
            // failure even when the link itself is healthy.
            const bool written = m_transfer->WriteAllSettings();
            const bool sent = written && m_link->CommOk();
            ok = sent;
            QString done = QStringLiteral("書き込み完了しました。");
            if (sent && SetVerify::enabled(ini())) {
                // "書込み後に照合する": the set read back names what differs.
                const SetVerify::ReadBack check =
                    SetVerify::checkWritten(*m_link, *m_parsers, ini());
                ok = check.same();
                done += QLatin1Char('\n') + SetVerify::checkText(check);
            }
            if (ok)
                Dialogs::instance().message(this, done, QStringLiteral("完了"));
            else if (sent)
                Dialogs::instance().message(this, done, confirmTitle());
            else
                Dialogs::instance().message(this,
                                            QStringLiteral("書き込み失敗しました。") +
                                                m_transfer->writeFailureDetail(transferRetryText()),
                                            confirmTitle());
            closeSplashrw();
        }
    }
    if (refused)
        Dialogs::instance().message(this,
                                    QStringLiteral("書き込みに失敗しました。\n"
                                                   "設定内容を確認し再度書き込みしてください。"),
                                    errorTitle());
    UnlockControls();
    setMenuBarLocked(false);
    Q_EMIT transferFinished(ok);
}

void KRM2200::toolbarAclr()
{
    m_link->SendCommand(QStringLiteral("ACLR"), QString(), 0.1);
    m_toolButtons.value(QStringLiteral("ACLR"))->setEnabled(false);
    m_state.alarm.standing = false;
    m_state.graph.readflg = false;
    controlStopped();
    m_state.statuslog.alarmVisible = false;
    unloadWindow(QStringLiteral("frmStatuslog"));
}

void KRM2200::toolbarStop()
{
    param().TargetLineText.clear();
    if (redrawGraph)
        redrawGraph();
    m_link->SendCommand(QStringLiteral("STOP"), QString(), 0.1);
    if (!logRecording())
        Log_Timer->stop();
    controlStopped();
}
