// The main window's commands: the top page's buttons, the port window, the
// menus and the toolbar. Each asks and tells through the dialog seam and
// leaves the instrument to the session.

#include "core/app/ConfigSet.h"
#include "core/app/FileCopy.h"
#include "core/app/Version.h"
#include "core/config/Ini_Operation.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/KRM2200.h"
#include "ui/shell/MainWindowTexts.h"
#include "ui/shell/frmPort.h"
#include "ui/shell/frmSplashrw.h"
#include "ui/shell/frmToppage.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>

using namespace MainWindowTexts;

namespace {

// Windows that show configuration values and must re-read the file.
const QStringList kConfigWindows = {
    QStringLiteral("frmOperation_setting"), QStringLiteral("frmDetailed_setting"),
    QStringLiteral("frmGraph"), QStringLiteral("frmPattern_control"),
    QStringLiteral("frmFix_control")};

} // namespace

// ---------------------------------------------------------------- the top page and the port window

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
            auto *port = new frmPort(ini().IniRead(QStringLiteral("COM"), QString()),
                                     m_session->forcedDevice());
            connect(port, &frmPort::connectRequested, this, &KRM2200::connectPort);
            connect(port, &frmPort::cancelRequested, this,
                    [this] { unloadWindow(QStringLiteral("frmPort")); });
            return port;
        },
        QSize(frmPort::WidthTwips, frmPort::HeightTwips));
}

// ---------------------------------------------------------------- menu commands

void KRM2200::discardAndOpen(const QStringList &windows)
{
    m_session->discardInput();
    for (const QString &name : windows)
        openWindow(name);
}

void KRM2200::topPageButton(const QStringList &windows, bool statusQuery)
{
    for (const QString &name : windows)
        openWindow(name);
    if (statusQuery)
        m_session->askStatus(0, false);
    unloadWindow(QStringLiteral("frmToppage"));
}

void KRM2200::statusQuery()
{
    m_session->discardInput();
    m_session->askStatus(0.025, true);
    openWindow(QStringLiteral("frmStatus"));
}

void KRM2200::showVersion()
{
    const QString version = m_session->askVersion();
    Dialogs::instance().message(this, version + QStringLiteral("\nMZP: ") + programVersion(),
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
    m_session->readLogInterval();
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

// The save dialog, then the copy: the path saved to, or empty.
QString saveChosen(QWidget *parent)
{
    const QString chosen = Dialogs::instance().saveFile(parent, configSetFilter(), QString());
    if (chosen.isEmpty())
        return {};
    const QString path = QDir::fromNativeSeparators(chosen);
    return saveCopy(parent, path) ? path : QString();
}

} // namespace

void KRM2200::file_save()
{
    const QString path = saveChosen(this);
    if (path.isEmpty())
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
    const QString path = saveChosen(this);
    if (path.isEmpty())
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
    openSplashrw(QStringLiteral("読込中..."));
    m_splashrw->RWPro->setValue(0);
    QCoreApplication::processEvents();

    const bool ok = m_session->readSet();
    all_flg = ok;

    if (m_splashrw)
        m_splashrw->RWPro->setValue(149);
    closeSplashrw();
    if (ok)
        Dialogs::instance().message(this, QStringLiteral("読み込み完了しました。"),
                                    QStringLiteral("完了"));
    else if (transfer().storeFailed())
        // The disk, not the link, with the system's reason.
        Dialogs::instance().message(this, transfer().storeFailedText(), errorTitle());
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
    m_session->discardInput();

    // Closing either editor may ask whether to apply pending changes; a
    // refusal clears its flag.
    state().operation.flg_d = true;
    unloadWindow(QStringLiteral("frmOperation_setting"));
    state().detailed.flg_s = true;
    unloadWindow(QStringLiteral("frmDetailed_setting"));

    bool ok = false;
    const bool settingsOk =
        state().detailed.flg_i == 0 && state().operation.flg_d && state().detailed.flg_s;
    if (state().detailed.flg_i == 0)
        for (const char *name : {"frmToppage", "frmPort", "frmStatus"})
            unloadWindow(QLatin1String(name));
    if (settingsOk) {
        openSplashrw(QStringLiteral("書込中..."));
        m_splashrw->RWPro->setValue(0);
        QCoreApplication::processEvents();
        // With "書込み後に照合する" the set read back names what differs.
        const InstrumentSession::WriteResult result = m_session->writeSet(false);
        ok = result.kind == InstrumentSession::WriteResult::Kind::Written;
        QString done = QStringLiteral("書き込み完了しました。");
        if (!result.detail.isEmpty())
            done += QLatin1Char('\n') + result.detail;
        if (ok)
            Dialogs::instance().message(this, done, QStringLiteral("完了"));
        else if (result.written)
            Dialogs::instance().message(this, done, confirmTitle());
        else
            Dialogs::instance().message(
                this, QStringLiteral("書き込み失敗しました。") + result.detail, confirmTitle());
        closeSplashrw();
    } else if (!isLoaded(QStringLiteral("frmOperation_setting")) &&
               !isLoaded(QStringLiteral("frmDetailed_setting"))) {
        // (An editor still open was kept by the operator's "いいえ": nothing
        // failed, and the window shows what stays to be done.)
        Dialogs::instance().message(this,
                                    QStringLiteral("書き込みに失敗しました。\n"
                                                   "設定内容を確認し再度書き込みしてください。"),
                                    errorTitle());
    }
    UnlockControls();
    setMenuBarLocked(false);
    Q_EMIT transferFinished(ok);
}

void KRM2200::toolbarAclr()
{
    const InstrumentSession::RunResult result = m_session->aclr();
    toolButton(QStringLiteral("ACLR"))->setEnabled(false);
    unloadWindow(QStringLiteral("frmStatuslog"));
    tellRefused(result);
}

void KRM2200::toolbarStop()
{
    tellRefused(m_session->stop());
}

bool KRM2200::ask(const QString &text, const QString &title, bool defaultYes)
{
    // Over the window whose command asks (the fixed-value run's limits).
    QMdiSubWindow *sub = m_mdi->activeSubWindow();
    QWidget *parent = sub && sub->widget() ? sub->widget() : this;
    return Dialogs::instance().question(parent, text, title, defaultYes);
}

void KRM2200::tell(const QString &text, const QString &title)
{
    Dialogs::instance().message(this, text, title);
}

void KRM2200::notice(const QString &key, const QString &text, const QString &title)
{
    Dialogs::instance().showNotice(this, key, text, title);
}

void KRM2200::tellRefused(const InstrumentSession::RunResult &result)
{
    // An "NG" is told; silence is the link watch's to tell.
    if (result.outcome == InstrumentSession::RunOutcome::InstrumentRefused)
        Dialogs::instance().message(this, result.message, result.title);
}
