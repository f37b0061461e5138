// The main window and its helpers without an instrument: window structure,
// control locking, start-up failures before any exchange, shutdown questions,
// configuration sets, the port window, and the small core helpers.

#include "ShellFixture.h"
#include "core/app/AppHome.h"
#include "core/app/FileCopy.h"
#include "core/app/LinkWatch.h"
#include "core/app/PortChoices.h"
#include "core/app/ProgramLookup.h"
#include "core/app/Twips.h"
#include "ui/shell/frmPort.h"
#include "ui/shell/frmToppage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWindow>

namespace {

const QString kCheckPort = QStringLiteral("通信ポートを確認してください。");
// The line a failed open adds: the device and the system's reason.
const QString kNoDevice = QStringLiteral("\n/dev/nonexistent：No such file or directory");
const QString kQuitQuestion = QStringLiteral("終了すると制御が中断されます。\n終了しますか？");

QString readIni(const QString &path, const QString &section, const QString &key)
{
    ini().Filename = path;
    return ini().IniRead(section, key);
}

bool makeExecutable(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(content);
    f.close();
    return f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                            QFile::ReadUser | QFile::ExeUser);
}

// A window with a configuration but no port, unlocked as after a good start.
KRM2200 *portlessWindow(ShellFixture &fx)
{
    fx.writeCompleteConfig(fx.iniPath());
    KRM2200 *w = fx.makeWindow();
    ini().setWorkingFile(fx.iniPath());
    w->UnlockControls();
    return w;
}

} // namespace

class tst_Shell : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ---- helpers ----
    void scriptedDialogsAnswerInOrderAndRecord();
    void scriptedDialogsReportUnscriptedQuestions();
    void noticeDoesNotBlockAndClosesByProgram();
    void twipsCentring_data();
    void twipsCentring();
    void twipsFollowLogicalDpi();
    void windowSizes_data();
    void windowSizes();
    void atomicCopy();
    void atomicCopyFailureLeavesTargetAlone();
    void spreadsheetFromDesktopEntry();
    void spreadsheetFromSearchPath();
    void appHome_data();
    void appHome();

    // ---- main window ----
    void windowStructure();
    void menuTree();
    void lockControls_data();
    void lockControls();
    void menuBarLock();
    void showChildRestoresMinimised();
    void selectAllText();
    void toppageContents();

    // ---- start-up without an instrument ----
    void startWithoutPortKey();
    void startWithPortThatCannotOpen();
    void startRemovesUnfinishedWrites_data();
    void startRemovesUnfinishedWrites();
    void startWritesLogFolderWhenMissing_data();
    void startWritesLogFolderWhenMissing();

    // ---- shutdown ----
    void quitFromMenu_data();
    void quitFromMenu();
    void closeBox_data();
    void closeBox();
    void closeByProgramAsksNothing();
    void closeAfterSessionSave_data();
    void closeAfterSessionSave();

    // ---- configuration sets ----
    void openGoodSet_data();
    void openGoodSet();
    void openDamagedSetIsRefused_data();
    void openDamagedSetIsRefused();
    void openSetWithFreeSlots();
    void openCancelled();
    void openFailedCopy();
    void openClosesConfigurationWindows();
    void saveAs();
    void saveAsFailure();
    void overwriteBeforeAnyOpenOrSave();
    void overwriteAfterSave();
    void toolbarLoadAndSaveRunFileCommands();

    // ---- port window and version ----
    void portWindowOptions();
    void portWindowConnectFailure_data();
    void portWindowConnectFailure();
    void versionWithoutAnswer();
};

// ------------------------------------------------------------------ helpers

void tst_Shell::scriptedDialogsAnswerInOrderAndRecord()
{
    ScriptedDialogs d;
    d.answerQuestion(true);
    d.answerQuestion(false);
    d.answerOpenFile(QStringLiteral("/a.ini"));
    d.answerSaveFile(QString());
    Dialogs &dlg = Dialogs::instance();
    QCOMPARE(&dlg, static_cast<Dialogs *>(&d));
    dlg.message(nullptr, QStringLiteral("m"), QStringLiteral("t"));
    QVERIFY(dlg.question(nullptr, QStringLiteral("q1"), QStringLiteral("t1"), true));
    QVERIFY(!dlg.question(nullptr, QStringLiteral("q2"), QStringLiteral("t2"), false));
    QCOMPARE(dlg.openFile(nullptr, QStringLiteral("f"), QString()), QStringLiteral("/a.ini"));
    QCOMPARE(dlg.saveFile(nullptr, QStringLiteral("f"), QString()), QString());
    QCOMPARE(d.records().size(), 5);
    QCOMPARE(d.messages().size(), 1);
    QCOMPARE(d.lastMessage().title, QStringLiteral("t"));
    QCOMPARE(d.questions().at(0).defaultYes, true);
    QCOMPARE(d.questions().at(1).defaultYes, false);
    QCOMPARE(d.pendingAnswers(), 0);
}

void tst_Shell::scriptedDialogsReportUnscriptedQuestions()
{
    ScriptedDialogs d;
    QStringList unexpected;
    d.onUnexpected = [&](const ScriptedDialogs::Record &r) { unexpected << r.text; };
    QVERIFY(!Dialogs::instance().question(nullptr, QStringLiteral("q"), QString(), true));
    QCOMPARE(Dialogs::instance().openFile(nullptr, QStringLiteral("filter"), QString()), QString());
    QCOMPARE(unexpected, (QStringList{QStringLiteral("q"), QStringLiteral("filter")}));
}

void tst_Shell::noticeDoesNotBlockAndClosesByProgram()
{
    // The real notice: on the screen without a modal loop, one per key, gone
    // once the program closes it.
    QtDialogs d;
    QWidget parent;
    d.showNotice(&parent, QStringLiteral("k"), LinkWatch::noticeText(), LinkWatch::noticeTitle());
    QPointer<QMessageBox> box = d.notice(QStringLiteral("k"));
    QVERIFY(box && box->isVisible());
    if (const QString shots = qEnvironmentVariable("KRM_SHELL_SHOTS"); !shots.isEmpty())
        QVERIFY(box->grab().save(shots + QStringLiteral("/link_lost_notice.png"), "PNG"));
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(box->windowTitle(), QStringLiteral("通信異常"));
    QCOMPARE(box->text(), LinkWatch::noticeText());
    d.showNotice(&parent, QStringLiteral("k"), QStringLiteral("again"), QStringLiteral("t"));
    QCOMPARE(d.notice(QStringLiteral("k")), box.data());
    d.closeNotice(QStringLiteral("k"));
    QTRY_VERIFY(!box);
    QVERIFY(!d.notice(QStringLiteral("k")));

    // Closed by the user first: closing again does nothing, a new one may come.
    d.showNotice(&parent, QStringLiteral("k"), QStringLiteral("c"), QStringLiteral("t"));
    box = d.notice(QStringLiteral("k"));
    box->close();
    QTRY_VERIFY(!box);
    d.closeNotice(QStringLiteral("k"));
    d.showNotice(&parent, QStringLiteral("k"), QStringLiteral("d"), QStringLiteral("t"));
    QVERIFY(d.notice(QStringLiteral("k")));
    d.closeNotice(QStringLiteral("k"));
}

void tst_Shell::twipsCentring_data()
{
    QTest::addColumn<int>("area");
    QTest::addColumn<int>("window");
    QTest::addColumn<int>("origin");
    QTest::newRow("larger screen") << 1920 << 800 << 560;
    QTest::newRow("same size") << 800 << 800 << 0;
    QTest::newRow("smaller screen") << 640 << 800 << 0;
}

void tst_Shell::twipsCentring()
{
    QFETCH(int, area);
    QFETCH(int, window);
    QFETCH(int, origin);
    QCOMPARE(Twips::centredOrigin(area, window), origin);
}

void tst_Shell::twipsFollowLogicalDpi()
{
    const double dpi = Twips::logicalDpiX();
    QCOMPARE(Twips::toPixelsX(1440), qRound(dpi));
    QCOMPARE(Twips::toPixelsX(12000), qRound(12000 * dpi / 1440));
    QVERIFY(qAbs(Twips::fromPixelsX(Twips::toPixelsX(7200)) - 7200) < 1440 / dpi);
}

// A designed size grows to the layout's minimum; the main window's designed
// size is its outer size, so the frame comes off it.
void tst_Shell::windowSizes_data()
{
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QSize>("least");
    QTest::addColumn<QSize>("inner");
    const QSize designed = Twips::toPixels(12000, 8600);
    QTest::newRow("roomy, no frame") << QMargins() << QSize(100, 100) << designed;
    QTest::newRow("frame comes off")
        << QMargins(4, 30, 4, 4) << QSize(100, 100) << designed.shrunkBy(QMargins(4, 30, 4, 4));
    QTest::newRow("layout needs more")
        << QMargins(4, 30, 4, 4) << QSize(2000, 100) << QSize(2000, designed.height() - 34);
    QTest::newRow("no layout") << QMargins() << QSize(-1, -1) << designed;
}

void tst_Shell::windowSizes()
{
    QFETCH(QMargins, frame);
    QFETCH(QSize, least);
    QFETCH(QSize, inner);
    QCOMPARE(Twips::innerPixels(12000, 8600, frame, least), inner);
    if (frame.isNull())
        QCOMPARE(Twips::windowPixels(12000, 8600, least), inner);
    // Centred by the outer size: frame included.
    const QSize outer = inner.grownBy(frame);
    QCOMPARE(Twips::centredOrigin(3000, outer.width()), (3000 - outer.width()) / 2);
}

void tst_Shell::atomicCopy()
{
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("a.ini"));
    const QString dst = dir.filePath(QStringLiteral("b.ini"));
    QVERIFY(ShellFixture::writeText(src, QStringLiteral("[A]\nx=日本\n")));
    QVERIFY(ShellFixture::writeText(dst, QStringLiteral("old")));
    QVERIFY(copyFileAtomically(src, dst));
    QCOMPARE(ShellFixture::text(dst), QStringLiteral("[A]\nx=日本\n"));
    // Copying a file onto itself keeps it whole.
    QVERIFY(copyFileAtomically(src, src));
    QCOMPARE(ShellFixture::text(src), QStringLiteral("[A]\nx=日本\n"));
}

void tst_Shell::atomicCopyFailureLeavesTargetAlone()
{
    QTemporaryDir dir;
    const QString dst = dir.filePath(QStringLiteral("b.ini"));
    QVERIFY(ShellFixture::writeText(dst, QStringLiteral("old")));
    QString reason;
    QVERIFY(!copyFileAtomically(dir.filePath(QStringLiteral("missing.ini")), dst, &reason));
    QVERIFY(!reason.isEmpty());
    QCOMPARE(ShellFixture::text(dst), QStringLiteral("old"));
    // A target that cannot be replaced (here a folder) stays as it was.
    const QString src = dir.filePath(QStringLiteral("a.ini"));
    QVERIFY(ShellFixture::writeText(src, QStringLiteral("new")));
    const QString folder = dir.filePath(QStringLiteral("folder.ini"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/inner")));
    QVERIFY(!copyFileAtomically(src, folder, &reason));
    QVERIFY(QFileInfo(folder + QStringLiteral("/inner")).isDir());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("a.ini"), QStringLiteral("b.ini")}));
}

void tst_Shell::spreadsheetFromDesktopEntry()
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    const QString apps = dir.filePath(QStringLiteral("applications"));
    QDir().mkpath(bin);
    QDir().mkpath(apps);
    QVERIFY(
        makeExecutable(bin + QStringLiteral("/xdg-mime"), "#!/bin/sh\necho calc-test.desktop\n"));
    QVERIFY(makeExecutable(bin + QStringLiteral("/mycalc"), "#!/bin/sh\n"));
    QVERIFY(ShellFixture::writeText(apps + QStringLiteral("/calc-test.desktop"),
                                    QStringLiteral("[Desktop Entry]\nName=Calc\n"
                                                   "Exec=mycalc --calc %U\n")));
    ProgramLookup lookup;
    lookup.searchPaths = {bin};
    lookup.applicationDirs = {apps};
    lookup.candidates = {};
    QCOMPARE(lookup.findSpreadsheetProgram(), bin + QStringLiteral("/mycalc"));

    // A desktop entry naming a program that is not there finds nothing.
    QVERIFY(ShellFixture::writeText(apps + QStringLiteral("/calc-test.desktop"),
                                    QStringLiteral("[Desktop Entry]\nExec=\"gone\" %U\n")));
    QCOMPARE(lookup.findSpreadsheetProgram(), QString());
}

void tst_Shell::spreadsheetFromSearchPath()
{
    QTemporaryDir dir;
    QVERIFY(makeExecutable(dir.filePath(QStringLiteral("gnumeric")), "#!/bin/sh\n"));
    ProgramLookup lookup;
    lookup.xdgMime.clear();
    lookup.searchPaths = {dir.path()};
    QCOMPARE(lookup.findSpreadsheetProgram(), dir.filePath(QStringLiteral("gnumeric")));
    lookup.searchPaths = {dir.filePath(QStringLiteral("empty"))};
    QCOMPARE(lookup.findSpreadsheetProgram(), QString());
}

void tst_Shell::appHome_data()
{
    // Folders below the temporary root; "file" is a plain file, so nothing
    // below it can be made or written. Expected: the --home folder, the
    // executable's folder or the per-user one.
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("exeDir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("--home") << "chosen"
                            << "build/app"
                            << "chosen";
    QTest::newRow("beside the executable") << ""
                                           << "build/app"
                                           << "build/app";
    QTest::newRow("--home not writable") << "file/sub"
                                         << "build/app"
                                         << "user";
    QTest::newRow("executable folder not writable") << ""
                                                    << "file/sub"
                                                    << "user";
    QTest::newRow("installed, writable bin") << ""
                                             << "prefix/bin"
                                             << "user";
    QTest::newRow("installed, --home wins") << "chosen"
                                            << "prefix/bin"
                                            << "chosen";
    QTest::newRow("bin without desktop entry") << ""
                                               << "other/bin"
                                               << "other/bin";
}

void tst_Shell::appHome()
{
    QFETCH(QString, home);
    QFETCH(QString, exeDir);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(ShellFixture::writeText(dir.filePath(QStringLiteral("file")), QStringLiteral("x")));
    QVERIFY(ShellFixture::writeText(
        dir.filePath(QStringLiteral("prefix/share/applications/%1.desktop").arg(appId())),
        QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("prefix/bin")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("other/bin")));
    auto below = [&dir](const QString &path) {
        return path.isEmpty() ? QString() : QDir::fromNativeSeparators(dir.filePath(path));
    };
    const QString wanted = expected == QLatin1String("user")
                               ? QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                               : below(expected);
    QCOMPARE(resolveAppHome(below(home), below(exeDir)), wanted);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("prefix/bin/sys"))));
}

// ------------------------------------------------------------------ main window

void tst_Shell::windowStructure()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QCOMPARE(w->windowTitle(), QStringLiteral("KRM-2200　Development　Environment"));

    // Toolbar: keys, captions, tooltips, separators at 3, 6 and 8.
    const QList<QAction *> actions = w->Toolbar1->actions();
    QCOMPARE(actions.size(), 10);
    const QStringList keys{QStringLiteral("LOAD"),
                           QStringLiteral("SAVE"),
                           QString(),
                           QStringLiteral("READ"),
                           QStringLiteral("WRITE"),
                           QString(),
                           QStringLiteral("LOG"),
                           QString(),
                           QStringLiteral("ACLR"),
                           QStringLiteral("STOP")};
    const QStringList captions{QStringLiteral("FILE読込"),
                               QStringLiteral("FILE書込"),
                               QString(),
                               QStringLiteral("本体読込"),
                               QStringLiteral("本体書込"),
                               QString(),
                               QStringLiteral("LOG START"),
                               QString(),
                               QStringLiteral("ACLR"),
                               QStringLiteral("STOP")};
    const QStringList tips{QStringLiteral("開く"),
                           QStringLiteral("上書き保存"),
                           QString(),
                           QStringLiteral("本体読み込み"),
                           QStringLiteral("本体書き込み"),
                           QString(),
                           QStringLiteral("ログ"),
                           QString(),
                           QStringLiteral("アラームクリア"),
                           QStringLiteral("動作停止")};
    for (int i = 0; i < 10; ++i) {
        QAction *a = actions.at(i);
        if (keys.at(i).isEmpty()) {
            QVERIFY2(a->isSeparator(), qPrintable(QString::number(i + 1)));
            QVERIFY(!w->toolButton(i + 1));
            continue;
        }
        QCOMPARE(a->data().toString(), keys.at(i));
        QCOMPARE(a->text(), captions.at(i));
        // The tip names the command's key.
        QVERIFY(!a->shortcut().isEmpty());
        QCOMPARE(a->toolTip(), tips.at(i) + QStringLiteral("（") +
                                   a->shortcut().toString(QKeySequence::NativeText) +
                                   QStringLiteral("）"));
        QCOMPARE(w->toolButton(i + 1), a);
    }
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());

    // Status bar.
    QCOMPARE(w->statusBar()->objectName(), QStringLiteral("SenStatusBar"));
    const QStringList panels{QStringLiteral("PT1000A"), QStringLiteral("PT1000B"),
                             QStringLiteral("SENSOR1"), QStringLiteral("SENSOR2"),
                             QStringLiteral("通信：")};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(w->panelText(i + 1), panels.at(i));
    QVERIFY(w->statusBar()->findChild<QLabel *>(QStringLiteral("COMM")));

    QVERIFY(!w->session().pollTimer().isActive());
}

void tst_Shell::menuTree()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    auto entries = [&](const char *menu) {
        QStringList out;
        const auto actions = w->menuItem(QLatin1String(menu))->menu()->actions();
        for (QAction *a : actions)
            out << a->objectName() + QLatin1Char('=') + (a->isSeparator() ? "-" : a->text());
        return out;
    };
    QCOMPARE(entries("file"),
             (QStringList{"file_open=開く(&O)", "mnuline=-", "file_save=名前をつけて保存(&A)",
                          "file_save2=上書き保存(&S)", "mnuline1=-", "file_memo=メモ(&M)",
                          "mnuline2=-", "file_end=終了(&X)"}));
    QCOMPARE(entries("con"),
             (QStringList{"con_teiti=定値制御(&T)", "con_pattern=パターン制御(&P)"}));
    QCOMPARE(entries("set"),
             (QStringList{"set_dousa=パターン動作(&D)", "set_shousai=センサと機器動作(&S)",
                          "mnuline3=-", "set_con=接続ポート(&P)"}));
    QCOMPARE(entries("view"),
             (QStringList{"view_top=初期画面(&T)", "mnuline4=-", "view_graph=グラフ(&G)",
                          "view_status=ステータス(&S)", "view_current=現在値(&N)"}));
    QCOMPARE(entries("mnuPopmnu"), (QStringList{"mnuPopmnuSub1=挿入", "mnuPopmnuSub2=削除"}));

    QStringList top;
    for (QAction *a : w->menuBar()->actions())
        top << a->objectName() + QLatin1Char('=') + a->text() +
                   (a->isVisible() ? QString() : QStringLiteral(" hidden"));
    QCOMPARE(top, (QStringList{"file=ファイル(&F)", "con=制御(&C)", "set=設定(&S)", "view=表示(&V)",
                               "ver=バージョン(&A)", "top=TOP(&T) hidden"}));
    QVERIFY(!w->menuItem(QStringLiteral("ver"))->menu());
    QCOMPARE(w->menuItem(QStringLiteral("file"))->menu()->accessibleName(),
             QStringLiteral("ファイル(F)"));

    QSignalSpy insert(w, &KRM2200::popupInsertRequested);
    QSignalSpy remove(w, &KRM2200::popupDeleteRequested);
    w->menuItem(QStringLiteral("mnuPopmnuSub1"))->trigger();
    w->menuItem(QStringLiteral("mnuPopmnuSub2"))->trigger();
    QCOMPARE(insert.count(), 1);
    QCOMPARE(remove.count(), 1);
}

void tst_Shell::lockControls_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("locked");
    for (const char *name : {"file_memo", "file_open", "file_save", "file_save2", "con",
                             "set_dousa", "set_shousai", "view_top", "view_status", "ver"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    for (const char *name : {"LOAD", "SAVE", "READ", "WRITE", "LOG"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    // Quitting, the port, the graph and the alarm buttons stay as they are.
    for (const char *name : {"file", "file_end", "set", "set_con", "view", "view_graph"})
        QTest::newRow(name) << QString::fromLatin1(name) << false;
}

void tst_Shell::lockControls()
{
    QFETCH(QString, item);
    QFETCH(bool, locked);
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QAction *a = w->menuItem(item) ? w->menuItem(item) : w->toolButton(item);
    QVERIFY(a);
    w->UnlockControls();
    QVERIFY(a->isEnabled());
    QVERIFY(param().UiEnabled);
    w->LockControls();
    QCOMPARE(a->isEnabled(), !locked);
    QVERIFY(!param().UiEnabled);
    w->UnlockControls();
    QVERIFY(a->isEnabled());

    // ACLR and STOP are left alone either way.
    w->toolButton(QStringLiteral("STOP"))->setEnabled(true);
    w->LockControls();
    QVERIFY(w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
}

void tst_Shell::menuBarLock()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    w->setMenuBarLocked(true);
    for (const char *name : {"file", "con", "set", "view", "ver"})
        QVERIFY2(!w->menuItem(QLatin1String(name))->isVisible(), name);
    for (const char *name : {"file", "set", "view"})
        QVERIFY2(!w->menuItem(QLatin1String(name))->isEnabled(), name);
    w->setMenuBarLocked(false);
    for (const char *name : {"file", "con", "set", "view", "ver"}) {
        QVERIFY2(w->menuItem(QLatin1String(name))->isVisible(), name);
        QVERIFY2(w->menuItem(QLatin1String(name))->isEnabled(), name);
    }
    QVERIFY(!w->menuItem(QStringLiteral("top"))->isVisible());
}

void tst_Shell::showChildRestoresMinimised()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    int created = 0;
    w->registerWindow(QStringLiteral("frmMemo"), [&](WindowHost &) {
        ++created;
        return new QWidget;
    });
    QWidget *memo = w->openWindow(QStringLiteral("frmMemo"));
    QVERIFY(memo);
    auto *sub = qobject_cast<QMdiSubWindow *>(memo->parentWidget());
    QVERIFY(sub);
    QVERIFY(sub->testAttribute(Qt::WA_DeleteOnClose));
    sub->showMinimized();
    QVERIFY(sub->isMinimized());
    QCOMPARE(w->openWindow(QStringLiteral("frmMemo")), memo);
    QVERIFY(!sub->isMinimized());
    QCOMPARE(created, 1);

    // Closed windows are destroyed and created again when reopened.
    QPointer<QMdiSubWindow> gone(sub);
    QVERIFY(w->unloadWindow(QStringLiteral("frmMemo")));
    QVERIFY(!w->isLoaded(QStringLiteral("frmMemo")));
    QTRY_VERIFY(gone.isNull());
    QVERIFY(w->openWindow(QStringLiteral("frmMemo")));
    QCOMPARE(created, 2);
    // The menu entry opens it too; unknown windows open nothing.
    QVERIFY(!w->openWindow(QStringLiteral("frmNothing")));
}

void tst_Shell::selectAllText()
{
    QLineEdit box(QStringLiteral("+025.00"));
    box.setCursorPosition(3);
    // A box the focus has already left keeps its text unselected.
    KRM2200::SelectAllText(&box);
    QVERIFY(!box.hasSelectedText());
    box.show();
    box.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    box.setFocus();
    QTRY_VERIFY(box.hasFocus());
    KRM2200::SelectAllText(&box);
    QCOMPARE(box.selectionStart(), 0);
    QCOMPARE(box.selectedText(), QStringLiteral("+025.00"));
    KRM2200::SelectAllText(nullptr);
}

void tst_Shell::toppageContents()
{
    frmToppage page;
    QCOMPARE(page.windowTitle(), QStringLiteral("一覧"));
    const QList<std::pair<QPushButton *, QString>> buttons{
        {page.Fix_c, QStringLiteral("定値制御")},
        {page.Pattern_c, QStringLiteral("パターン制御")},
        {page.Operation_c, QStringLiteral("パターン動作")},
        {page.Details_c, QStringLiteral("センサと機器動作")},
        {page.Graph_c, QStringLiteral("グラフ表示")},
        {page.Status_c, QStringLiteral("ステータス表示")}};
    for (const auto &[button, caption] : buttons)
        QCOMPARE(button->text(), caption);
    QStringList labels;
    for (QLabel *l : page.findChildren<QLabel *>())
        labels << l->text();
    QVERIFY(labels.contains(QStringLiteral("KRM-2200本体のステータス情報を取得します。")));
    QVERIFY(labels.contains(QStringLiteral("センサ・ファン・電流調整など詳細な設定を行います。")));
    QCOMPARE(labels.size(), 6);
}

// ------------------------------------------------------------------ start-up

void tst_Shell::startWithoutPortKey()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QSignalSpy finished(w, &KRM2200::startUpFinished);
    QCOMPARE(w->startUp(), KRM2200::StartResult::PortError);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, kCheckPort);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    // No port is stored: port 1 would be opened at the next start, whatever
    // device answers to it.
    QCOMPARE(readIni(fx.iniPath(), QStringLiteral("COM"), QStringLiteral("para")),
             QStringLiteral("ERR"));
    QVERIFY(!param().UiEnabled);
    QVERIFY(!w->menuItem(QStringLiteral("file_open"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("set_con"))->isEnabled());
    QVERIFY(!w->splashStart());
    QVERIFY(!w->toppage());
    // Folders, probe file and the system log of this run exist.
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd"));
    QVERIFY(QFileInfo::exists(fx.appDir() + QStringLiteral("/sys/CHK.xls")));
    const QDir dayDir(fx.appDir() + QStringLiteral("/LOG/XSYS_LOG/") + day);
    QCOMPARE(dayDir.entryList({day + QStringLiteral("_*.txt")}, QDir::Files).size(), 1);
    QCOMPARE(w->session().link().systemLogPath().left(dayDir.path().size()), dayDir.path());
    QCOMPARE(param().GraphPagePoints, 600);
    QCOMPARE(param().GraphXScale, 50);
}

void tst_Shell::startRemovesUnfinishedWrites_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("temporary of a killed write") << "KRM.ini.a1B2c3" << true;
    QTest::newRow("backup copy") << "KRM.ini.backup" << false;
    QTest::newRow("short suffix") << "KRM.ini.bak" << false;
    QTest::newRow("longer suffix") << "KRM.ini.a1B2c3d" << false;
    QTest::newRow("not a letter or digit") << "KRM.ini.a1-2c3" << false;
    QTest::newRow("another file's") << "CHK.xls.a1B2c3" << false;
}

void tst_Shell::startRemovesUnfinishedWrites()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    ShellFixture fx;
    fx.writeCompleteConfig(fx.iniPath());
    const QString stray = fx.appDir() + QStringLiteral("/sys/") + name;
    QVERIFY(fx.writeText(stray, QStringLiteral("[SEN]\nSEN0=half")));
    KRM2200 *w = fx.makeWindow();
    w->session().link().setForcedDevice(QStringLiteral("/dev/nonexistent"));
    w->startUp();
    QCOMPARE(QFileInfo::exists(stray), !removed);
    QVERIFY(fx.text(fx.iniPath()).contains(QStringLiteral("SEN0=1 +150.00")));
}

void tst_Shell::startWithPortThatCannotOpen()
{
    ShellFixture fx;
    QVERIFY(fx.writeText(fx.iniPath(), QStringLiteral("[COM]\npara=3\n")));
    KRM2200 *w = fx.makeWindow();
    w->session().link().setForcedDevice(QStringLiteral("/dev/nonexistent"));
    QCOMPARE(w->startUp(), KRM2200::StartResult::PortError);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, kCheckPort + kNoDevice);
    QVERIFY(!w->session().link().isOpen());
    QVERIFY(!param().UiEnabled);
    QVERIFY(!w->toolButton(QStringLiteral("READ"))->isEnabled());
    // The stored port is kept as it was.
    QCOMPARE(readIni(fx.iniPath(), QStringLiteral("COM"), QString()), QStringLiteral("3"));
}

void tst_Shell::startWritesLogFolderWhenMissing_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<bool>("usesAppDir");
    QTest::newRow("missing") << QString() << true;
    QTest::newRow("empty") << QStringLiteral("[LOGDIRPATH]\npath=\n") << true;
    QTest::newRow("set") << QStringLiteral("[LOGDIRPATH]\npath=/data/logs\n") << false;
}

void tst_Shell::startWritesLogFolderWhenMissing()
{
    QFETCH(QString, content);
    QFETCH(bool, usesAppDir);
    ShellFixture fx;
    if (!content.isEmpty())
        QVERIFY(fx.writeText(fx.iniPath(), content));
    KRM2200 *w = fx.makeWindow();
    w->startUp();
    const QString expected = usesAppDir ? fx.appDir() : QStringLiteral("/data/logs");
    QCOMPARE(w->GetLogdirname(), expected);
    QCOMPARE(readIni(fx.iniPath(), QStringLiteral("LOGDIRPATH"), QStringLiteral("path")), expected);
    w->SetLogdirname(QStringLiteral("/elsewhere"));
    QCOMPARE(w->GetLogdirname(), QStringLiteral("/elsewhere"));
}

// ------------------------------------------------------------------ shutdown

void tst_Shell::quitFromMenu_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_Shell::quitFromMenu()
{
    QFETCH(bool, yes);
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QSignalSpy ended(w, &KRM2200::programEnded);
    fx.dialogs->answerQuestion(yes);
    w->menuItem(QStringLiteral("file_end"))->trigger();
    QCOMPARE(fx.dialogs->questions().size(), 1);
    const auto q = fx.dialogs->questions().constFirst();
    QCOMPARE(q.text, kQuitQuestion);
    QCOMPARE(q.title, QStringLiteral("終了確認"));
    QVERIFY(q.defaultYes);
    QCOMPARE(ended.count(), yes ? 1 : 0);
    QCOMPARE(w->isVisible(), !yes);
}

void tst_Shell::closeBox_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void tst_Shell::closeBox()
{
    QFETCH(bool, yes);
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QSignalSpy ended(w, &KRM2200::programEnded);
    fx.dialogs->answerQuestion(yes);
    // The window system's close request, as the close box sends it.
    QCloseEvent request;
    QCoreApplication::sendEvent(w->windowHandle(), &request);
    QCOMPARE(fx.dialogs->questions().size(), 1);
    QVERIFY(!fx.dialogs->questions().constFirst().defaultYes);
    QCOMPARE(fx.dialogs->questions().constFirst().title, QStringLiteral("終了確認"));
    QCOMPARE(ended.count(), yes ? 1 : 0);
    QCOMPARE(w->isVisible(), !yes);
}

void tst_Shell::closeByProgramAsksNothing()
{
    ShellFixture fx;
    KRM2200 *w = fx.makeWindow();
    QSignalSpy ended(w, &KRM2200::programEnded);
    QVERIFY(w->close());
    QCOMPARE(fx.dialogs->records().size(), 0);
    QCOMPARE(ended.count(), 1);
}

// The desktop session asks to save: the close that ends the session asks
// nothing. A logout that is called off shows in the user working again; the
// close box then asks, and a Yes sends "STOP".
void tst_Shell::closeAfterSessionSave_data()
{
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("yes");
    QTest::newRow("session ends") << false << false;
    QTest::newRow("logout cancelled, then yes") << true << true;
    QTest::newRow("logout cancelled, then no") << true << false;
}

void tst_Shell::closeAfterSessionSave()
{
    QFETCH(bool, cancelled);
    QFETCH(bool, yes);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QSignalSpy ended(w, &KRM2200::programEnded);
    w->sessionEnding();
    if (cancelled) {
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(w, &activate);
        fx.dialogs->answerQuestion(yes);
    }
    QCloseEvent request;
    QCoreApplication::sendEvent(w->windowHandle(), &request);
    QCOMPARE(fx.dialogs->questions().size(), cancelled ? 1 : 0);
    if (cancelled)
        QCOMPARE(fx.dialogs->questions().constFirst().title, QStringLiteral("終了確認"));
    const bool ends = !cancelled || yes;
    QCOMPARE(ended.count(), ends ? 1 : 0);
    QCOMPARE(fx.commands().contains(QStringLiteral("STOP")), cancelled && yes);
}

// ------------------------------------------------------------------ configuration sets

void tst_Shell::openGoodSet_data()
{
    QTest::addColumn<QString>("logValue");
    QTest::addColumn<int>("interval");
    QTest::newRow("5 s") << QStringLiteral("5 1") << 5;
    QTest::newRow("60 s") << QStringLiteral("60 1") << 60;
    QTest::newRow("61 s") << QStringLiteral("61 1") << 1;
    QTest::newRow("not a number") << QStringLiteral("abc 1") << 1;
    QTest::newRow("zero") << QStringLiteral("0 1") << 1;
}

void tst_Shell::openGoodSet()
{
    QFETCH(QString, logValue);
    QFETCH(int, interval);
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString set = fx.appDir() + QStringLiteral("/sets/運転A.ini");
    const QString content = ShellFixture::completeConfig(QStringLiteral("0"), logValue);
    QVERIFY(fx.writeText(set, content));
    fx.dialogs->answerOpenFile(set);
    w->file_open();
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("読み込み完了"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    QCOMPARE(ShellFixture::text(fx.iniPath()), content);
    QCOMPARE(w->setFilePath(), set);
    QCOMPARE(w->Filename(), fx.iniPath());
    QCOMPARE(param().LogInterval, interval);
    QCOMPARE(fx.dialogs->records().constFirst().text, QStringLiteral("構成設定 (*.ini)"));
}

// A set that is not whole or holds a value the instrument must not get is
// refused, naming the first key that failed; the working file stays as it
// was.
namespace {
// Marks a row of the refused sets whose named value is told as out of range.
const QString kOutOfRange = QStringLiteral("|range");
} // namespace

void tst_Shell::openDamagedSetIsRefused_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a 200 MB file that is no set
    QTest::addColumn<QString>("named");
    const QByteArray good = ShellFixture::completeConfig(QStringLiteral("0")).toUtf8();
    const QByteArray lastStep = good.left(good.indexOf("STEP99=") + 7);
    QTest::newRow("key missing") << ShellFixture::completeConfig(QStringLiteral("0"),
                                                                 QStringLiteral("1 1"),
                                                                 QStringLiteral("STEP57"))
                                        .toUtf8()
                                 << QStringLiteral("[STEP] STEP57");
    QTest::newRow("cut inside the last step")
        << lastStep + "0 0 0 +02" << QStringLiteral("[STEP] STEP99");
    QTest::newRow("cut right after the last key") << lastStep << QStringLiteral("[STEP] STEP99");
    QByteArray garbage;
    for (const QByteArray &line : good.split('\n')) {
        const qsizetype eq = line.indexOf('=');
        garbage += eq < 0 ? line : line.left(eq + 1) + QByteArray("\x01\xfe\0#%", 5);
        garbage += '\n';
    }
    QTest::newRow("garbage values") << garbage << QStringLiteral("[SEN] SEN0");
    QTest::newRow("settings empty")
        << ShellFixture::completeConfig({}, {}, {}, true).toUtf8() << QStringLiteral("[SEN] SEN0");
    QByteArray dropped = good;
    dropped.replace("STEP1=0 0 0 +040.00", "STEP1=0 0 0 +04000");
    // Read as a number, 4000 degrees: told as out of range.
    QTest::newRow("temperature lost its point")
        << dropped << QStringLiteral("[STEP] STEP1") + kOutOfRange;
    QTest::newRow("200 MB") << QByteArray() << QString();
}

void tst_Shell::openDamagedSetIsRefused()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString before = ShellFixture::text(fx.iniPath());
    const QString set = fx.appDir() + QStringLiteral("/broken.ini");
    if (content.isEmpty()) {
        QVERIFY(ShellFixture::writeLargeNonText(set, 200LL * 1024 * 1024));
    } else {
        QFile f(set);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    }
    param().LogInterval = 9;
    fx.dialogs->answerOpenFile(set);
    w->Toolbar1_ButtonClick(QStringLiteral("LOAD"));
    QFile::remove(set);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    const bool outOfRange = named.endsWith(kOutOfRange);
    named.chop(outOfRange ? kOutOfRange.size() : 0);
    QCOMPARE(fx.dialogs->lastMessage().text,
             QStringLiteral("ファイルの読み込みに失敗しました。\n") +
                 (outOfRange
                      ? QStringLiteral("設定値が範囲外です。")
                      : QStringLiteral("ファイルが破損しているか存在しない可能性があります。")) +
                 (named.isEmpty() ? QString() : QStringLiteral("\n問題のある項目：") + named));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QCOMPARE(ShellFixture::text(fx.iniPath()), before);
    QCOMPARE(w->Filename(), fx.iniPath());
    QCOMPARE(w->setFilePath(), QString());
    QCOMPARE(param().LogInterval, 9);
}

// Free pattern and step slots are written empty by the editor: such a set
// opens.
void tst_Shell::openSetWithFreeSlots()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString set = fx.appDir() + QStringLiteral("/free.ini");
    QString content = ShellFixture::completeConfig();
    content.replace(QStringLiteral("=* * * * *"), QStringLiteral("="));
    content.replace(QStringLiteral("PATTERN0=1 0 0 1"), QStringLiteral("PATTERN0="));
    QVERIFY(fx.writeText(set, content));
    fx.dialogs->answerOpenFile(set);
    w->file_open();
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("読み込み完了"));
    QCOMPARE(ShellFixture::text(fx.iniPath()), content);
    QCOMPARE(param().LogInterval, 1);
}

void tst_Shell::openCancelled()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString before = ShellFixture::text(fx.iniPath());
    fx.dialogs->answerOpenFile(QString());
    w->file_open();
    QCOMPARE(fx.dialogs->messages().size(), 0);
    QCOMPARE(ShellFixture::text(fx.iniPath()), before);
    QCOMPARE(w->Filename(), fx.iniPath());
}

void tst_Shell::openFailedCopy()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString set = fx.appDir() + QStringLiteral("/good.ini");
    QVERIFY(fx.writeText(set, ShellFixture::completeConfig(QStringLiteral("0"))));
    // The working file cannot be replaced: a folder stands in its place.
    QVERIFY(QFile::remove(fx.iniPath()));
    QVERIFY(QDir().mkpath(fx.iniPath() + QStringLiteral("/keep")));
    fx.dialogs->answerOpenFile(set);
    w->file_open();
    QCOMPARE(fx.dialogs->messages().size(), 1);
    const auto m = fx.dialogs->lastMessage();
    QCOMPARE(m.title, QStringLiteral("error"));
    QVERIFY(m.text.startsWith(QStringLiteral("ファイルの読み込みに失敗しました。\n")));
    QVERIFY(m.text.size() > QStringLiteral("ファイルの読み込みに失敗しました。\n").size());
    QVERIFY(QFileInfo(fx.iniPath() + QStringLiteral("/keep")).isDir());
    QCOMPARE(w->setFilePath(), QString());
    QCOMPARE(w->Filename(), fx.iniPath());
    // Nothing half-written is left beside it.
    QCOMPARE(QDir(fx.appDir() + QStringLiteral("/sys")).entryList(QDir::Files), QStringList());
}

void tst_Shell::openClosesConfigurationWindows()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QStringList names{QStringLiteral("frmOperation_setting"),
                            QStringLiteral("frmDetailed_setting"),
                            QStringLiteral("frmGraph"),
                            QStringLiteral("frmPattern_control"),
                            QStringLiteral("frmFix_control"),
                            QStringLiteral("frmMemo")};
    for (const QString &name : names) {
        w->registerWindow(name, [](WindowHost &) { return new QWidget; });
        QVERIFY(w->openWindow(name));
    }
    const QString set = fx.appDir() + QStringLiteral("/good.ini");
    QVERIFY(fx.writeText(set, ShellFixture::completeConfig(QStringLiteral("0"))));
    fx.dialogs->answerOpenFile(set);
    w->file_open();
    for (const QString &name : names)
        QCOMPARE(w->isLoaded(name), name == QLatin1String("frmMemo"));
}

void tst_Shell::saveAs()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString target = fx.appDir() + QStringLiteral("/保存.ini");
    fx.dialogs->answerSaveFile(target);
    w->menuItem(QStringLiteral("file_save"))->trigger();
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("保存しました。"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    QCOMPARE(ShellFixture::text(target), ShellFixture::text(fx.iniPath()));
    QCOMPARE(w->setFilePath(), target);

    // Cancelled: nothing happens.
    fx.dialogs->clear();
    fx.dialogs->answerSaveFile(QString());
    w->file_save();
    QCOMPARE(fx.dialogs->messages().size(), 0);
    QCOMPARE(w->setFilePath(), target);
}

void tst_Shell::saveAsFailure()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString target = fx.appDir() + QStringLiteral("/no/such/folder/a.ini");
    fx.dialogs->answerSaveFile(target);
    w->file_save();
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QVERIFY(fx.dialogs->lastMessage().text.startsWith(
        QStringLiteral("ファイルの保存に失敗しました。\n")));
    QCOMPARE(w->setFilePath(), QString());
}

void tst_Shell::overwriteBeforeAnyOpenOrSave()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString target = fx.appDir() + QStringLiteral("/first.ini");
    fx.dialogs->answerSaveFile(target);
    w->file_save2();
    QCOMPARE(fx.dialogs->records().constFirst().kind, ScriptedDialogs::Kind::SaveFile);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("保存しました。\n") + target);
    QCOMPARE(ShellFixture::text(target), ShellFixture::text(fx.iniPath()));
    QCOMPARE(w->setFilePath(), target);
}

void tst_Shell::overwriteAfterSave()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    const QString target = fx.appDir() + QStringLiteral("/set.ini");
    fx.dialogs->answerSaveFile(target);
    w->file_save();
    // The working file changes; overwriting asks for no name.
    ini().IniWritePara(QStringLiteral("BEEP"), QString(), QStringLiteral("0"));
    fx.dialogs->clear();
    w->file_save2();
    QCOMPARE(fx.dialogs->records().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("上書きしました\n") + target);
    QCOMPARE(ShellFixture::text(target), ShellFixture::text(fx.iniPath()));
    QVERIFY(ShellFixture::text(target).contains(QStringLiteral("[BEEP]\npara=0")));
}

void tst_Shell::toolbarLoadAndSaveRunFileCommands()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    fx.dialogs->answerOpenFile(QString());
    fx.dialogs->answerSaveFile(QString());
    w->toolButton(1)->trigger();
    w->toolButton(2)->trigger();
    QCOMPARE(fx.dialogs->records().size(), 2);
    QCOMPARE(fx.dialogs->records().at(0).kind, ScriptedDialogs::Kind::OpenFile);
    QCOMPARE(fx.dialogs->records().at(1).kind, ScriptedDialogs::Kind::SaveFile);
    // A key of no button does nothing.
    w->Toolbar1_ButtonClick(QStringLiteral("NOPE"));
    w->Toolbar1_ButtonClick(3);
    QCOMPARE(fx.dialogs->records().size(), 2);
}

// ------------------------------------------------------------------ port window, version

void tst_Shell::portWindowOptions()
{
    // Stable names: links in a by-id folder, one of them to a device gone.
    QTemporaryDir dir;
    const QString byId = dir.filePath(QStringLiteral("by-id"));
    QVERIFY(QDir().mkpath(byId));
    const QString usb = dir.filePath(QStringLiteral("ttyUSB3"));
    const QString acm = dir.filePath(QStringLiteral("ttyACM0"));
    QVERIFY(ShellFixture::writeText(usb, QString()) && ShellFixture::writeText(acm, QString()));
    const QString stable = byId + QStringLiteral("/usb-KRM_Bench_A1234-if00-port0");
    QVERIFY(QFile::link(usb, stable));
    QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone")), byId + QStringLiteral("/usb-gone")));
    PortChoices::setByIdFolder(byId);
    auto restore = qScopeGuard([] { PortChoices::setByIdFolder(QString()); });

    // A listed device is named by its link, with its description; one without
    // a link by its path. Linked ones come first and are the suggestion: the
    // machine's own /dev/ttyS0 is there whether an instrument is or not.
    const QString builtIn = QStringLiteral("/dev/ttyS0");
    const QList<PortChoice> named = PortChoices::stableNames(
        {{builtIn, QString()}, {usb, QStringLiteral("FT232R USB UART")}, {acm, QString()}}, byId);
    QCOMPARE(named.size(), 3);
    QCOMPARE(named.at(0).path, stable);
    QCOMPARE(named.at(0).description, QStringLiteral("FT232R USB UART"));
    QCOMPARE(named.at(1).path, builtIn);
    QCOMPARE(named.at(2).path, acm);
    QCOMPARE(PortChoices::suggestion(named, byId), stable);
    QCOMPARE(PortChoices::suggestion(named.mid(1), byId), QString());

    frmPort port(QStringLiteral("4"), QStringLiteral("/dev/pts/99"));
    QCOMPARE(port.windowTitle(), QStringLiteral("ポート設定"));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(port.O_com.at(i)->text(), QStringLiteral("COM%1").arg(i + 1));
    QCOMPARE(port.CON->text(), QStringLiteral("接続"));
    QCOMPARE(port.CAN->text(), QStringLiteral("キャンセル"));
    QCOMPARE(port.C_rescan->text(), QStringLiteral("再検索"));
    auto *caption = port.findChild<QLabel *>(QStringLiteral("L_device"));
    QVERIFY(caption && caption->buddy() == port.T_device);
    auto option = [&port](const QString &text) {
        for (QRadioButton *o : std::as_const(port.O_com))
            if (o->text() == text)
                return o;
        return static_cast<QRadioButton *>(nullptr);
    };
    // The device chosen earlier is offered, selected and in the entry.
    QVERIFY(option(QStringLiteral("/dev/pts/99")));
    QVERIFY(option(QStringLiteral("/dev/pts/99"))->isChecked());
    QCOMPARE(port.T_device->text(), QStringLiteral("/dev/pts/99"));
    QVERIFY(option(stable));
    QVERIFY(!option(byId + QStringLiteral("/usb-gone")));

    // A device plugged in while the window is open shows after "再検索".
    const QString second = byId + QStringLiteral("/usb-Other_B9-if00-port0");
    QVERIFY(QFile::link(acm, second));
    QVERIFY(!option(second));
    port.C_rescan->click();
    QVERIFY(option(second));
    QVERIFY(option(QStringLiteral("/dev/pts/99"))->isChecked());

    const QString shots = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!shots.isEmpty()) {
        port.resize(
            Twips::toPixels(frmPort::WidthTwips, frmPort::HeightTwips).expandedTo(port.sizeHint()));
        QVERIFY(port.grab().save(shots + QStringLiteral("/port_window.png"), "PNG"));
    }

    // What "接続" asks for: a listed device, a number, a typed path.
    QSignalSpy connectSpy(&port, &frmPort::connectRequested);
    option(stable)->click();
    QCOMPARE(port.T_device->text(), stable);
    port.CON->click();
    port.O_com.at(1)->click();
    QVERIFY(port.T_device->text().isEmpty());
    port.CON->click();
    QTest::keyClicks(port.T_device, QStringLiteral("/dev/ttyUSB7"));
    for (QRadioButton *o : std::as_const(port.O_com))
        QVERIFY(!o->isChecked());
    port.CON->click();
    QCOMPARE(connectSpy.count(), 3);
    const QStringList asked = {connectSpy.at(0).at(1).toString(),
                               connectSpy.at(1).at(0).toString() +
                                   connectSpy.at(1).at(1).toString(),
                               connectSpy.at(2).at(1).toString()};
    QCOMPARE(asked, (QStringList{stable, QStringLiteral("2"), QStringLiteral("/dev/ttyUSB7")}));
}

void tst_Shell::portWindowConnectFailure_data()
{
    QTest::addColumn<bool>("typed");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("denied");
    QTest::addColumn<QString>("text");
    const QString cannot = QStringLiteral("接続を確立できません。");
    const QString usb = QStringLiteral("\n/dev/ttyUSB0：Permission denied");
    QTest::newRow("typed path, no such device") << true << 0 << false << cannot + kNoDevice;
    // Root may open anything, so the user's missing rights are handed in.
    QTest::newRow("no rights") << false << int(QSerialPort::PermissionError) << true
                               << cannot + usb + QLatin1Char('\n') + PortChoices::dialoutHint();
    QTest::newRow("in use") << false << int(QSerialPort::PermissionError) << false << cannot + usb;
}

void tst_Shell::portWindowConnectFailure()
{
    QFETCH(bool, typed);
    QFETCH(int, error);
    QFETCH(bool, denied);
    QFETCH(QString, text);
    if (!typed) {
        const SerialLink::OpenFailure failure{QStringLiteral("/dev/ttyUSB0"),
                                              QSerialPort::SerialPortError(error),
                                              QStringLiteral("Permission denied"), denied};
        QCOMPARE(PortChoices::openFailText(QStringLiteral("接続を確立できません。"), failure),
                 text);
        return;
    }
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    w->openWindow(QStringLiteral("frmToppage"));
    w->menuItem(QStringLiteral("set_con"))->trigger();
    frmPort *port = w->portWindow();
    QVERIFY(port);
    QVERIFY(port->O_com.at(0)->isChecked());
    // A typed path that cannot be opened: its reason is told, and it is kept
    // for later starts.
    QTest::keyClicks(port->T_device, QStringLiteral("/dev/nonexistent"));
    port->CON->click();
    QCOMPARE(fx.dialogs->lastMessage().text, text);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QVERIFY(!w->toppage());
    QVERIFY(!param().UiEnabled);
    QCOMPARE(readIni(fx.iniPath(), QStringLiteral("COM"), QString()), QStringLiteral("1"));
    QCOMPARE(readIni(fx.iniPath(), QStringLiteral("COM"), QStringLiteral("device")),
             QStringLiteral("/dev/nonexistent"));

    // Cancel closes the window.
    QVERIFY(w->portWindow());
    w->portWindow()->CAN->click();
    QVERIFY(!w->portWindow());
}

void tst_Shell::versionWithoutAnswer()
{
    ShellFixture fx;
    KRM2200 *w = portlessWindow(fx);
    w->session().link().setForcedDevice(QStringLiteral("/dev/nonexistent"));
    w->session().parsers().versi = QStringLiteral("old");
    w->menuItem(QStringLiteral("ver"))->trigger();
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("バージョン情報"));
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("\nMZP: 1.3.1"));
}

QTEST_MAIN(tst_Shell)
#include "tst_shell.moc"
