// The toolbar's read, write, alarm clear and stop against the simulated
// instrument: the exact commands the instrument receives and the result the
// user is told for every ending.
//
// With KRM_SHELL_SHOTS=<folder> set, the progress window is saved there
// during the write.

#include "ShellFixture.h"
#include "TransferSequences.h"
#include "ui/shell/frmSplashrw.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

const QString kRetry = QStringLiteral("本体との接続を確認し、再度実行してください。");

// What the write sends for ShellFixture::completeConfig().
QStringList writeSequence()
{
    QStringList s{QStringLiteral("BEEP 1"),
                  QStringLiteral("LIT 1"),
                  QStringLiteral("LOG 0 1"),
                  QStringLiteral("FAN 1"),
                  QStringLiteral("UNI 3.0 8"),
                  QStringLiteral("SEN 0 1 +150.00 -050.00 +000.00 100.00"),
                  QStringLiteral("SEN 1 0 +150.00 -050.00 +000.00 100.00"),
                  QStringLiteral("SEN 2 1 +100.00 +000.00 +000.00"),
                  QStringLiteral("SEN 3 1 +090 +010 0"),
                  QStringLiteral("MKP 0 1 0 0 1")};
    for (int n = 1; n < 10; ++n)
        s << QStringLiteral("RP %1").arg(n);
    s << QStringLiteral("MKS 0 0 0 0 +040.00 00:00:30")
      << QStringLiteral("MKS 1 0 0 0 +040.00 00:00:30");
    for (int n = 2; n < 100; ++n)
        s << QStringLiteral("RS %1").arg(n);
    s << QStringLiteral("SAVE");
    return s;
}

bool menuBarRestored(KRM2200 *w)
{
    for (const char *name : {"file", "con", "set", "view", "ver"}) {
        QAction *a = w->menuItem(QLatin1String(name));
        if (!a->isVisible() || !a->isEnabled())
            return false;
    }
    return param().UiEnabled && w->toolButton(QStringLiteral("READ"))->isEnabled();
}

// Records the menu bar and controls as they are while the result is shown.
struct DuringMessage {
    bool menuHidden = false;
    bool locked = false;
    void watch(ShellFixture &fx, KRM2200 *w)
    {
        fx.dialogs->onMessage = [this, w](const ScriptedDialogs::Record &) {
            menuHidden = !w->menuItem(QStringLiteral("file"))->isVisible();
            locked = !param().UiEnabled;
        };
    }
};

// A stand-in for an editor whose close asks about pending changes and is
// declined: the refusal clears the flag, as the real editors do.
class DecliningEditor : public QWidget {
public:
    explicit DecliningEditor(bool &flag) : m_flag(flag) {}

protected:
    void closeEvent(QCloseEvent *event) override
    {
        m_flag = false;
        event->accept();
    }

private:
    bool &m_flag;
};

} // namespace

class tst_ToolbarE2E : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writeCheckedByReadBack_data();
    void writeCheckedByReadBack();
    void readAll_data();
    void readAll();
    void readWithSilentInstrument();
    void writeAll();
    void writeInterrupted_data();
    void writeInterrupted();
    void writeRefused_data();
    void writeRefused();
    void writeRefusedByInstrument_data();
    void writeRefusedByInstrument();
    void alarmClear();
    void stopControl_data();
    void stopControl();
};

void tst_ToolbarE2E::readAll_data()
{
    QTest::addColumn<bool>("linkOk");
    QTest::newRow("link healthy") << true;
    QTest::newRow("link marked failed") << false;
}

void tst_ToolbarE2E::readAll()
{
    QFETCH(bool, linkOk);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    fx.sim->withEngine([](SimEngine &e) {
        return e.setSensorRecord(3, QStringLiteral("0 +100.00 +020.00 +000.00"));
    });
    KRM2200 *w = fx.readyWindow();
    w->openWindow(QStringLiteral("frmToppage"));
    param().CommOk = linkOk;
    DuringMessage during;
    during.watch(fx, w);

    w->Toolbar1_ButtonClick(4);

    QStringList expected = readAllSequence();
    if (!linkOk)
        expected.prepend(QStringLiteral("err"));
    QCOMPARE(fx.commands(), expected);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("読み込み完了しました。"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("完了"));
    QVERIFY(during.menuHidden);
    QVERIFY(during.locked);
    QVERIFY(menuBarRestored(w));
    QVERIFY(!w->toppage());
    QVERIFY(!w->splashrw());
    QCOMPARE(w->panelText(4), QStringLiteral("SENSOR2使用不可"));
    QCOMPARE(w->session().link().str, QString());
}

void tst_ToolbarE2E::readWithSilentInstrument()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    SimFaults silent;
    silent.silent = true;
    fx.sim->setFaults(silent);

    w->Toolbar1_ButtonClick(QStringLiteral("READ"));

    QCOMPARE(fx.commands().value(0), QStringLiteral("SEN 0"));
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("読み込み失敗しました。") + kRetry);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    QVERIFY(menuBarRestored(w));
    QVERIFY(!w->splashrw());
}

void tst_ToolbarE2E::writeAll()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    param().CommOk = false; // the write starts on a reopened port
    DuringMessage during;
    during.watch(fx, w);

    // Look at the progress window while the write runs.
    QString label;
    int progress = -1;
    bool onTop = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        frmSplashrw *s = w->splashrw();
        if (!s || !s->isVisible() || s->RWPro->value() < 60 || progress >= 0)
            return;
        label = s->Label1->text();
        progress = s->RWPro->value();
        onTop = s->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
        if (!dir.isEmpty())
            s->grab().save(dir + QStringLiteral("/splashrw_during_write.png"), "PNG");
    });
    probe.start(20);

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    probe.stop();

    QCOMPARE(fx.commands(), QStringList{QStringLiteral("err")} + writeSequence());
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("書き込み完了しました。"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("完了"));
    QCOMPARE(label, QStringLiteral("書込中..."));
    QVERIFY(progress >= 60 && progress <= 149);
    QVERIFY(onTop);
    QVERIFY(during.menuHidden);
    QVERIFY(menuBarRestored(w));
    QVERIFY(!w->splashrw());
    // The instrument took the settings over and saved them.
    QCOMPARE(fx.sim->withEngine([](SimEngine &e) { return e.stepRecord(1); }),
             QStringLiteral("0 0 0 +040.00 00:00:30"));
}

void tst_ToolbarE2E::writeInterrupted_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("after");
    QTest::newRow("hang-up after 10 commands") << QStringLiteral("hangup") << 10;
    QTest::newRow("silent after 30 commands") << QStringLiteral("silent") << 30;
    QTest::newRow("silent from the start") << QStringLiteral("silent") << 0;
    // The link stays healthy, but the write stops at a record it cannot send.
    QTest::newRow("sensor record empty") << QStringLiteral("record") << 2;
}

void tst_ToolbarE2E::writeInterrupted()
{
    QFETCH(QString, fault);
    QFETCH(int, after);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    SimFaults faults;
    if (fault == QLatin1String("record")) {
        ini().IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(after), QString());
    } else if (fault == QLatin1String("hangup")) {
        faults.hangUpAfterCommands = after;
        fx.sim->setFaults(faults);
    } else if (after == 0) {
        faults.silent = true;
        fx.sim->setFaults(faults);
    } else {
        // The instrument falls silent part-way through.
        QObject::connect(fx.sim.get(), &PtyInstrument::commandReceived, w, [&fx, after] {
            if (fx.sim->receivedCommands().size() >= after) {
                SimFaults f;
                f.silent = true;
                fx.sim->setFaults(f);
            }
        });
    }

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));

    QVERIFY(!fx.commands().contains(QStringLiteral("SAVE")));
    if (fault == QLatin1String("record")) {
        QVERIFY(param().CommOk);
        QCOMPARE(fx.commands(), writeSequence().mid(0, 7));
    }
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text,
             QStringLiteral("書き込み失敗しました。\n"
                            "本体には一部の設定だけが書き込まれ、保存されていません。\n") +
                 kRetry);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    QVERIFY(menuBarRestored(w));
    QVERIFY(!w->splashrw());
}

void tst_ToolbarE2E::writeRefused_data()
{
    QTest::addColumn<QString>("reason");
    QTest::newRow("input error") << QStringLiteral("flg_i");
    QTest::newRow("editor changes declined") << QStringLiteral("flg_d");
    QTest::newRow("settings changes declined") << QStringLiteral("flg_s");
}

void tst_ToolbarE2E::writeRefused()
{
    QFETCH(QString, reason);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    WindowState &st = w->state();
    if (reason == QLatin1String("flg_i")) {
        st.detailed.flg_i = 2;
    } else if (reason == QLatin1String("flg_d")) {
        w->registerWindow(QStringLiteral("frmOperation_setting"),
                          [&st](WindowHost &) { return new DecliningEditor(st.operation.flg_d); });
        w->openWindow(QStringLiteral("frmOperation_setting"));
    } else {
        w->registerWindow(QStringLiteral("frmDetailed_setting"),
                          [&st](WindowHost &) { return new DecliningEditor(st.detailed.flg_s); });
        w->openWindow(QStringLiteral("frmDetailed_setting"));
    }

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));

    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(
        fx.dialogs->lastMessage().text,
        QStringLiteral("書き込みに失敗しました。\n設定内容を確認し再度書き込みしてください。"));
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QVERIFY(menuBarRestored(w));
    QVERIFY(!w->splashrw());
    QVERIFY(!w->isLoaded(QStringLiteral("frmOperation_setting")));
    QVERIFY(!w->isLoaded(QStringLiteral("frmDetailed_setting")));
    QVERIFY(fx.sim->waitForIdleLine(1000));
    QCOMPARE(fx.commands(), QStringList());
}

// The instrument answers "NG": the write goes on to "SAVE" but reports the
// failure, naming what was refused (ten at most).
void tst_ToolbarE2E::writeRefusedByInstrument_data()
{
    QTest::addColumn<QString>("refused");
    QTest::addColumn<QString>("named");
    QTest::newRow("one step") << QStringLiteral("MKS 1")
                              << QStringLiteral("\nMKS 1 0 0 0 +040.00 00:00:30");
    QString removals;
    for (int n = 2; n < 12; ++n)
        removals += QStringLiteral("\nRS %1").arg(n);
    QTest::newRow("every removal")
        << QStringLiteral("RS") << removals + QStringLiteral("\nほか88件");
}

void tst_ToolbarE2E::writeRefusedByInstrument()
{
    QFETCH(QString, refused);
    QFETCH(QString, named);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    SimFaults faults;
    QVERIFY(SimFaults::apply(QStringLiteral("ng:") + refused, faults));
    fx.sim->setFaults(faults);

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));

    QCOMPARE(fx.commands(), writeSequence());
    QCOMPARE(fx.dialogs->messages().size(), 1);
    QCOMPARE(fx.dialogs->lastMessage().text,
             QStringLiteral("書き込み失敗しました。\n本体が受け付けなかったコマンド：") + named);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    QVERIFY(menuBarRestored(w));
}

void tst_ToolbarE2E::alarmClear()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    QCOMPARE(fx.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("001"));
        return e.statusCode();
    }),
             QStringLiteral("04"));
    w->registerWindow(QStringLiteral("frmStatuslog"), [](WindowHost &) { return new QWidget; });
    w->openWindow(QStringLiteral("frmStatuslog"));
    w->toolButton(QStringLiteral("ACLR"))->setEnabled(true);
    w->toolButton(QStringLiteral("STOP"))->setEnabled(true);
    w->menuItem(QStringLiteral("con"))->setEnabled(false);
    w->state().graph = GraphState{true, true, false};
    w->state().statuslog.alarmVisible = true;

    w->toolButton(9)->trigger();

    QCOMPARE(fx.commands(), (QStringList{QStringLiteral("ACLR"), QStringLiteral("STATUS")}));
    QVERIFY(fx.sim->withEngine([](SimEngine &e) { return e.statusCode(); }) != QLatin1String("04"));
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("con"))->isEnabled());
    QVERIFY(!w->state().graph.readflg);
    QVERIFY(!w->state().graph.stopEnabled);
    QVERIFY(w->state().graph.goEnabled);
    QVERIFY(!w->state().statuslog.alarmVisible);
    QVERIFY(!w->isLoaded(QStringLiteral("frmStatuslog")));
    QCOMPARE(fx.dialogs->records().size(), 0);
}

void tst_ToolbarE2E::stopControl_data()
{
    QTest::addColumn<bool>("logging");
    QTest::newRow("no log recorded") << false;
    QTest::newRow("log recorded") << true;
}

void tst_ToolbarE2E::stopControl()
{
    QFETCH(bool, logging);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    if (logging)
        w->toolButton(QStringLiteral("LOG"))->setText(QStringLiteral("　LOG STOP"));
    QVERIFY(w->logRecording() == logging);
    w->session().pollTimer().start(60000);
    w->toolButton(QStringLiteral("STOP"))->setEnabled(true);
    w->toolButton(QStringLiteral("ACLR"))->setEnabled(true);
    w->state().graph.stopEnabled = true;
    w->state().graph.goEnabled = false;
    param().TargetLineText = QStringLiteral("40.0");
    int redraws = 0;
    QObject::connect(&w->session(), &InstrumentSession::targetChanged, w, [&] {
        QCOMPARE(param().TargetLineText, QString());
        ++redraws;
    });

    w->toolButton(10)->trigger();

    QCOMPARE(fx.commands(), QStringList{QStringLiteral("STOP")});
    QCOMPARE(redraws, 1);
    QCOMPARE(w->session().pollTimer().isActive(), logging);
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QVERIFY(w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("con"))->isEnabled());
    QVERIFY(!w->state().graph.stopEnabled);
    QVERIFY(w->state().graph.goEnabled);
}

void tst_ToolbarE2E::writeCheckedByReadBack_data()
{
    QTest::addColumn<bool>("instrumentDiffers");
    QTest::newRow("the instrument holds what was written") << false;
    QTest::newRow("the instrument keeps another step 1") << true;
}

void tst_ToolbarE2E::writeCheckedByReadBack()
{
    QFETCH(bool, instrumentDiffers);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    ini().IniWrite(QStringLiteral("WRITEVERIFY"), QStringLiteral("para"), QStringLiteral("1"));
    const QString step1 = ini().IniRead(QStringLiteral("STEP"), QStringLiteral("STEP1"));
    if (instrumentDiffers) {
        QObject::connect(fx.sim.get(), &PtyInstrument::commandReceived, w, [&fx](const QString &c) {
            if (c == QLatin1String("SAVE"))
                fx.sim->withEngine([](SimEngine &e) {
                    e.setStepRecord(1, QStringLiteral("0 0 0 +041.00 00:00:30"));
                });
        });
    }
    QSignalSpy finished(w, &KRM2200::transferFinished);

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));

    // The set is read back after "SAVE", and the working file keeps what the
    // user wrote.
    const QStringList commands = fx.commands();
    QCOMPARE(commands.mid(commands.indexOf(QStringLiteral("SAVE")) + 1).value(0),
             QStringLiteral("SEN 0"));
    QVERIFY(commands.endsWith(QStringLiteral("LS 99 1")));
    QCOMPARE(ini().IniRead(QStringLiteral("STEP"), QStringLiteral("STEP1")), step1);
    QCOMPARE(fx.dialogs->messages().size(), 1);
    const QString done = QStringLiteral("書き込み完了しました。\n");
    if (instrumentDiffers) {
        QCOMPARE(fx.dialogs->lastMessage().text,
                 done + QStringLiteral("書き込んだ値と本体の値が異なります：STEP1"));
        QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("確認"));
    } else {
        QCOMPARE(fx.dialogs->lastMessage().text,
                 done + QStringLiteral("書き込んだ値は本体の値と一致しました。"));
        QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("完了"));
    }
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), !instrumentDiffers);
    QVERIFY(menuBarRestored(w));
}

QTEST_MAIN(tst_ToolbarE2E)
#include "tst_toolbar_e2e.moc"
