// Fixed-value control and the alarm window: the set-temperature rule, the run
// sent to the simulated instrument, and an alarm reported by it.

#include "core/control/AlarmTable.h"
#include "core/control/FixControl.h"
#include "core/control/PatternRun.h"
#include "core/control/StepCheck.h"
#include "core/logging/GraphCanvas.h"
#include "core/logging/LOG_Handling.h"
#include "shell/ShellFixture.h"
#include "ui/control/frmAlarm.h"
#include "ui/control/frmFix_control.h"
#include "ui/control/frmPattern_control.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/frmGraph.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// One status poll as the timer sends it; returns once the reply was applied.
bool poll(KRM2200 &w)
{
    w.session().parsers().resetStatus();
    w.session().link().SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS"), 0.05);
    return QTest::qWaitFor([&] { return w.session().parsers().StatusParsed > 0; }, 5000);
}

// Whether the canvas shows the dashed target line at `temperature`.
bool targetLineDrawn(const GraphCanvas &canvas, double temperature)
{
    const Parameter &p = param();
    const int y = canvas.toPixel(0, p.GraphZeroY - temperature * p.GraphYScale).y();
    const QImage &image = canvas.image();
    const QRgb target = GraphCanvas::targetColour().rgb();
    for (int row = qMax(0, y - 1); row <= qMin(image.height() - 1, y + 1); ++row) {
        int hits = 0;
        for (int x = 0; x < image.width(); ++x)
            hits += image.pixel(x, row) == target ? 1 : 0;
        if (hits > image.width() / 4)
            return true;
    }
    return false;
}

// Saves a picture of the window when KRM_SHOTS names a folder.
void shot(QWidget *window, const char *name)
{
    const QString folder = qEnvironmentVariable("KRM_SHOTS");
    if (!folder.isEmpty())
        window->grab().save(folder + QLatin1Char('/') + QLatin1String(name), "PNG");
}

frmAlarm *alarmWindow(KRM2200 &w)
{
    auto *holder = w.findChild<AlarmWindowHolder *>();
    return holder ? holder->window() : nullptr;
}

} // namespace

class tst_FixControl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void setTemperature_data();
    void setTemperature();
    void runArguments_data();
    void runArguments();
    void alarmTexts_data();
    void alarmTexts();

    void runFromTheWindow();
    void typedAsTheEditorTakes_data();
    void typedAsTheEditorTakes();
    void runsRefusedWhileAlarmStands_data();
    void runsRefusedWhileAlarmStands();
    void badTemperatureSendsNothing();
    void refusedCommandsAreTold_data();
    void refusedCommandsAreTold();
    void alarmStopsTheLogAndOpensTheWindow();
};

void tst_FixControl::setTemperature_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("sent"); // as the "RUN" line carries it
    QTest::newRow("upper end") << "150" << true << true << "150";
    QTest::newRow("lower end") << "-50" << true << true << "-50";
    QTest::newRow("above") << "150.05" << true << false << "";
    QTest::newRow("below") << "-50.05" << true << false << "";
    QTest::newRow("step") << "25.05" << true << true << "25.05";
    QTest::newRow("off step .01") << "25.01" << true << false << "";
    QTest::newRow("off step .03") << "25.03" << true << false << "";
    QTest::newRow("half hundredth") << "25.025" << true << false << "";
    // Binary doubles put these just either side of a half: decided exactly.
    QTest::newRow("25.045") << "25.045" << true << false << "";
    QTest::newRow("25.055") << "25.055" << true << false << "";
    QTest::newRow("more decimals") << "25.049" << true << false << "";
    QTest::newRow("trailing zeros") << "25.0500000" << true << true << "25.05";
    QTest::newRow("padded") << " +025.50 " << true << true << "25.5";
    QTest::newRow("leading point") << ".05" << true << true << "0.05";
    QTest::newRow("minus zero") << "-0" << true << true << "0";
    QTest::newRow("exponent") << "1.05e1" << true << true << "10.5";
    QTest::newRow("huge") << "1e6" << true << false << "";
    QTest::newRow("empty") << "" << false << false << "";
    QTest::newRow("letters") << "abc" << false << false << "";
    QTest::newRow("unit typed") << "25℃" << false << false << "";
    QTest::newRow("two points") << "2.5.0" << false << false << "";
    QTest::newRow("overflow") << "1e999" << false << false << "";
}

void tst_FixControl::setTemperature()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(bool, valid);
    QFETCH(QString, sent);
    const SetTempCheck check = checkSetTemp(text);
    QCOMPARE(check.numeric, numeric);
    QCOMPARE(check.valid, valid);
    if (valid)
        QCOMPARE(shortestDecimal(check.value), sent);
}

void tst_FixControl::runArguments_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<int>("heater");
    QTest::addColumn<int>("fan");
    QTest::addColumn<double>("temp");
    QTest::addColumn<int>("reach");
    QTest::addColumn<QString>("expected");
    QTest::newRow("before any run") << 0 << 0 << 0 << 0.0 << 0 << "0 0 0 0 0";
    QTest::newRow("whole") << 0 << 1 << 0 << 25.0 << 1 << "0 1 0 25 1";
    QTest::newRow("negative") << 1 << 0 << 1 << -10.5 << 0 << "1 0 1 -10.5 0";
    QTest::newRow("hundredths") << 1 << 1 << 1 << 149.95 << 1 << "1 1 1 149.95 1";
    QTest::newRow("large refused value") << 0 << 0 << 0 << 100000.0 << 0 << "0 0 0 100000 0";
}

void tst_FixControl::runArguments()
{
    QFETCH(int, sensor);
    QFETCH(int, heater);
    QFETCH(int, fan);
    QFETCH(double, temp);
    QFETCH(int, reach);
    QFETCH(QString, expected);
    const FixControlState fix{sensor, heater, fan, reach, temp};
    QCOMPARE(fix.GetFixpara(), expected);
}

void tst_FixControl::alarmTexts_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("advice");
    const QString hw = QStringLiteral("ハードウェアに問題があります｡");
    const QString power = QStringLiteral("電源を再投入し状況がかわるか試してください｡");
    const QString retry = QStringLiteral("再度､実行してみて状況がかわるか試してください｡");
    const QString factory = QStringLiteral("工場出荷を行いデータ初期化をねがいます｡");
    const QString wiring = QStringLiteral("ヴェルダの接続を確認してください。");
    const QString unusable = QStringLiteral("制御に使用するセンサが使用不可になっています｡");
    auto row = [](const char *code, const QString &message, const QStringList &advice) {
        QTest::newRow(code) << QString::fromLatin1(code) << message << advice;
    };
    row("001", QStringLiteral("001 : 温度センサ・リミットにより動作停止しました"),
        {QStringLiteral("温度センサのリミット設定を見直してください｡")});
    row("003", QStringLiteral("003 : インターロックにより制御開始ができません"),
        {QStringLiteral("汎用入力のインターロック設定を見直してください｡")});
    row("004", QStringLiteral("004 : 機器の内部温度に異常があります"), {hw, power});
    row("005", QStringLiteral("005 : ヴェルダ駆動回路が動作していません"), {hw, power});
    row("006", QStringLiteral("006 : 機器の内部温度に問題があります"),
        {QStringLiteral("0℃以下、もしくは80℃以上です。"),
         QStringLiteral("暖めるか､もしくは冷ましてからご使用ください｡")});
    row("010", QStringLiteral("010 : ヴェルダが断線しています"), {wiring});
    row("011", QStringLiteral("011 : ヴェルダがショートしています"), {wiring});
    row("012", QStringLiteral("012 : ヴェルダへ過電流がながれました"),
        {QStringLiteral("ヴェルダが破壊された可能性があります。"), power});
    row("020", QStringLiteral("020 : 使用センサの指定に問題があります"),
        {unusable, QStringLiteral("センサの設定項目を確認ください｡")});
    row("021", QStringLiteral("021 : 使用不可のセンサを指定しています"),
        {unusable, QStringLiteral("センサが接続されているか確認ください｡")});
    row("022", QStringLiteral("022 : 機器の内部温度計測が実行できません"), {hw, power});
    row("023", QStringLiteral("023 : ヴェルダ駆動回路に異常があります"), {hw, power});
    row("100", QStringLiteral("100 : データ保存に失敗しました"),
        {QStringLiteral("機器情報を書き込む際に異常が発生しました｡"), retry});
    row("101", QStringLiteral("101 : データ読込に失敗しました"),
        {QStringLiteral("機器情報を読み込む際に異常が発生しました｡"), retry});
    row("102", QStringLiteral("102 : 指示されたパターンは未登録です"),
        {QStringLiteral("パターン登録を行ってから再度､実行してください｡")});
    row("103", QStringLiteral("103: 登録パターンに異常があります"),
        {QStringLiteral("登録されているパターンの情報を確認してください｡")});
    row("104", QStringLiteral("104 : データ読込時に問題を発見しました｡"), {factory});
    row("105", QStringLiteral("105 : 保存データに異常を発見しました｡"), {factory});
    row("700", QStringLiteral("700 : アラームテスト"),
        {QStringLiteral("アラームが発生しています")});
    row("000", QString(), {});
    row("999", QString(), {});
    row("1", QString(), {});
    QTest::newRow("padded") << QStringLiteral(" 001") << QString() << QStringList();
}

void tst_FixControl::alarmTexts()
{
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(QStringList, advice);
    const AlarmText text = LookupAlarm(code);
    QCOMPARE(text.Message, message);
    QCOMPARE(text.Advice, advice.join(QStringLiteral("\r\n")));

    // The window shows them, one advice line per label line.
    QWidget main;
    frmAlarm window(code, &main);
    QVERIFY(!main.isEnabled());
    QCOMPARE(window.windowTitle(), QStringLiteral("アラーム情報"));
    QCOMPARE(window.errCode_l->text(), message);
    QCOMPARE(window.errMemo_l->text(), advice.join(QLatin1Char('\n')));
    if (code == QLatin1String("006"))
        shot(&window, "alarm_006.png");
}

void tst_FixControl::runFromTheWindow()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    LOG_Handling &log = LoggingWindows::of(*w).log();
    QSignalSpy started(&log, &LOG_Handling::logStarted);

    struct Run {
        int sensor, heater, fan, reach;
        QString typed, line;
    };
    const Run runs[] = {{1, 1, 0, 0, QStringLiteral("25.50"), QStringLiteral("RUN 1 1 0 25.5 0")},
                        {0, 0, 1, 1, QStringLiteral("-10.5"), QStringLiteral("RUN 0 0 1 -10.5 1")}};
    for (const Run &run : runs) {
        w->menuItem(QStringLiteral("con_teiti"))->trigger();
        auto *fix =
            qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
        QVERIFY(fix);
        // Every opening starts from the same choices.
        QVERIFY(fix->O_S.at(0)->isChecked() && fix->O_H.at(0)->isChecked() &&
                fix->O_F.at(0)->isChecked() && fix->O_K.at(1)->isChecked());
        fix->O_S.at(run.sensor)->click();
        fix->O_H.at(run.heater)->click();
        fix->O_F.at(run.fan)->click();
        fix->O_K.at(run.reach)->click();
        fix->M_T->setText(run.typed);
        shot(fix->parentWidget(), "fix_control.png");
        shot(w, "fix_control_main.png");
        f.sim->clearReceivedCommands();
        fix->RUN_C->click();

        // Besides the status polls of the log.
        const QStringList sent =
            f.commands().filter(QRegularExpression(QStringLiteral("^(?!STATUS$)")));
        QCOMPARE(sent, (QStringList{QStringLiteral("STOP"), run.line}));
        QVERIFY(!w->isLoaded(QStringLiteral("frmFix_control")));
        QCOMPARE(QStringLiteral("RUN ") + w->state().fix.GetFixpara(), run.line);
        QCOMPARE(param().TargetLineText, run.line.section(QLatin1Char(' '), 4, 4));
        QCOMPARE(param().FixTemp, param().TargetLineText);
        QVERIFY(targetLineDrawn(log.canvas(), param().TargetLineText.toDouble()));
        QVERIFY(!w->state().graph.goEnabled && !w->state().graph.readEnabled &&
                !w->state().graph.printEnabled);
        // The run is watched on the graph, whether it was open or not.
        QVERIFY(w->isLoaded(QStringLiteral("frmGraph")));
    }
    // While the log runs, 表示 → グラフ alone of its menu brings the graph
    // forward; the rest waits for the log to end.
    QVERIFY(w->menuItem(QStringLiteral("view"))->isEnabled());
    QVERIFY(w->menuItem(QStringLiteral("view_graph"))->isEnabled());
    QVERIFY(!w->menuItem(QStringLiteral("view_status"))->isEnabled());
    QVERIFY(!w->menuItem(QStringLiteral("view_top"))->isEnabled());
    w->openWindow(QStringLiteral("frmStepview"));
    w->menuItem(QStringLiteral("view_graph"))->trigger();
    QCOMPARE(w->findChild<QMdiArea *>()->activeSubWindow()->widget(),
             w->loadedWindow(QStringLiteral("frmGraph")));
    // The log started with the first run goes on through the second.
    QCOMPARE(started.count(), 1);
    QVERIFY(w->logRecording());
    QVERIFY(w->session().pollTimer().isActive());

    // The instrument runs it: the status poll sees the control running.
    QVERIFY(poll(*w));
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("動作状態"));
    QVERIFY(w->toolButton(QStringLiteral("STOP"))->isEnabled());

    // The next opening shows the temperature last run.
    w->menuItem(QStringLiteral("con_teiti"))->trigger();
    auto *fix = qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
    QVERIFY(fix);
    QCOMPARE(fix->M_T->text(), QStringLiteral("-10.5"));
    fix->Cancel_c->click();
    QVERIFY(!w->isLoaded(QStringLiteral("frmFix_control")));
    QCOMPARE(w->state().fix.GetFixpara(), QStringLiteral("0 0 1 -10.5 1"));

    f.dialogs->answerQuestion(false); // no memo for this log
    w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
    QVERIFY(!w->logRecording());
}

void tst_FixControl::typedAsTheEditorTakes_data()
{
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("answer"); // -1 no question expected, 0 No, 1 Yes
    QTest::addColumn<QString>("sent");
    // PT100B is limited to +080.00 ... -020.00 here, PT100A to 150 ... -50.
    QTest::newRow("full-width digits") << 0 << "２５．５" << -1 << "RUN 0 0 0 25.5 1";
    QTest::newRow("at the upper limit") << 1 << "80" << -1 << "RUN 1 0 0 80 1";
    QTest::newRow("above the limit, No") << 1 << "90" << 0 << "";
    QTest::newRow("above the limit, Yes") << 1 << "９０" << 1 << "RUN 1 0 0 90 1";
    QTest::newRow("below the limit, No") << 1 << "-20.05" << 0 << "";
}

void tst_FixControl::typedAsTheEditorTakes()
{
    QFETCH(int, sensor);
    QFETCH(QString, typed);
    QFETCH(int, answer);
    QFETCH(QString, sent);
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    param().SenPara[1] = QStringLiteral("1 +080.00 -020.00 +000.00 100.00");
    w->startLog = [] {};
    w->menuItem(QStringLiteral("con_teiti"))->trigger();
    auto *fix = qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
    QVERIFY(fix);
    fix->O_S.at(sensor)->click();
    fix->M_T->setText(typed);
    if (answer >= 0)
        f.dialogs->answerQuestion(answer == 1);
    f.sim->clearReceivedCommands();
    fix->RUN_C->click();

    const auto questions = f.dialogs->questions();
    QCOMPARE(questions.size(), answer >= 0 ? 1 : 0);
    if (answer >= 0) {
        QCOMPARE(questions.at(0).text,
                 QStringLiteral("設定温度がセンサの上限/下限を超えています。\n実行しますか？"));
        QCOMPARE(questions.at(0).title, QStringLiteral("確認"));
        QVERIFY(!questions.at(0).defaultYes);
    }
    QVERIFY(f.dialogs->messages().isEmpty());
    QCOMPARE(f.commands().filter(QStringLiteral("RUN")),
             sent.isEmpty() ? QStringList() : QStringList{sent});
    QCOMPARE(w->isLoaded(QStringLiteral("frmFix_control")), sent.isEmpty());
    if (sent.isEmpty())
        QCOMPARE(fix->M_T->text(), StepCheck::toHalfWidth(typed));
}

void tst_FixControl::runsRefusedWhileAlarmStands_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("fixed value") << "frmFix_control";
    QTest::newRow("pattern run") << "frmPattern_control";
    QTest::newRow("graph") << "frmGraph";
}

void tst_FixControl::runsRefusedWhileAlarmStands()
{
    QFETCH(QString, window);
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    int starts = 0;
    w->startLog = [&] { ++starts; };
    w->showAlarm = [] {};
    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("001"));
        return 0;
    });
    QVERIFY(poll(*w));
    QWidget *opened = w->openWindow(window);
    QVERIFY(opened);
    QPushButton *run = nullptr;
    if (auto *fix = qobject_cast<frmFix_control *>(opened)) {
        fix->M_T->setText(QStringLiteral("25"));
        run = fix->RUN_C;
    } else if (auto *pattern = qobject_cast<frmPattern_control *>(opened)) {
        pattern->Com_pa->setCurrentIndex(0);
        run = pattern->C_jikkou;
    } else if (auto *graph = qobject_cast<frmGraph *>(opened)) {
        graph->Com_go->setCurrentIndex(0);
        run = graph->C_go;
        run->setEnabled(true);
    }
    QVERIFY(run);

    f.sim->clearReceivedCommands();
    run->click();
    QCOMPARE(f.dialogs->lastMessage().text,
             QStringLiteral(
                 "アラームが発生しています。\nACLRでアラームを解除してから実行してください。"));
    QCOMPARE(f.dialogs->lastMessage().title, QStringLiteral("確認"));
    QVERIFY(f.commands().isEmpty());
    QCOMPARE(starts, 0);
    QVERIFY(w->isLoaded(window));

    // Once cleared, the same button runs.
    w->Toolbar1_ButtonClick(QStringLiteral("ACLR"));
    f.sim->clearReceivedCommands();
    run->click();
    QCOMPARE(starts, 1);
    QCOMPARE(f.commands().filter(QRegularExpression(QStringLiteral("^(RUN|GO) "))).size(), 1);
}

// An "NG" to a command the operator gave is told, naming the command; the
// controls still follow what was asked.
void tst_FixControl::refusedCommandsAreTold_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("fromGraph");
    QTest::newRow("fixed-value run") << "ng:RUN"
                                     << "RUN 0 0 0 25 1" << false;
    QTest::newRow("pattern run") << "ng:GO"
                                 << "GO" << false;
    QTest::newRow("toolbar STOP") << "ng:STOP"
                                  << "STOP" << false;
    QTest::newRow("toolbar ACLR") << "ng:ACLR"
                                  << "ACLR" << false;
    QTest::newRow("graph run") << "ng:GO"
                               << "GO" << true;
    QTest::newRow("graph stop") << "ng:STOP"
                                << "STOP" << true;
}

void tst_FixControl::refusedCommandsAreTold()
{
    QFETCH(QString, fault);
    QFETCH(QString, command);
    QFETCH(bool, fromGraph);
    ShellFixture f;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(f.startSim(faults));
    KRM2200 *w = f.readyWindow();
    w->startLog = [] {};
    if (fromGraph) {
        auto *graph = qobject_cast<frmGraph *>(w->openWindow(QStringLiteral("frmGraph")));
        QVERIFY(graph);
        graph->Com_go->setCurrentIndex(0);
        QPushButton *button = command == QLatin1String("GO") ? graph->C_go : graph->Stop_c;
        if (command == QLatin1String("GO"))
            command = goLine(graph->Com_go->currentText());
        button->setEnabled(true);
        button->click();
        QCOMPARE(w->state().fix.patternRun, FixControlState::PatternRun::None);
    } else if (command.startsWith(QLatin1String("RUN"))) {
        w->menuItem(QStringLiteral("con_teiti"))->trigger();
        auto *fix =
            qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
        QVERIFY(fix);
        fix->M_T->setText(QStringLiteral("25"));
        fix->RUN_C->click();
        QVERIFY(!w->isLoaded(QStringLiteral("frmFix_control")));
    } else if (command == QLatin1String("GO")) {
        w->menuItem(QStringLiteral("con_pattern"))->trigger();
        auto *run = qobject_cast<frmPattern_control *>(
            w->loadedWindow(QStringLiteral("frmPattern_control")));
        QVERIFY(run);
        run->Com_pa->setCurrentIndex(0);
        command = goLine(run->Com_pa->currentText());
        run->C_jikkou->click();
        QVERIFY(w->isLoaded(QStringLiteral("frmGraph")));
    } else {
        w->Toolbar1_ButtonClick(command);
        QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    }
    QCOMPARE(f.dialogs->lastMessage().text,
             QStringLiteral("本体が受け付けなかったコマンド：\n") + command);
    QCOMPARE(f.dialogs->lastMessage().title, QStringLiteral("error"));
}

void tst_FixControl::badTemperatureSendsNothing()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    int starts = 0;
    w->startLog = [&] { ++starts; };
    w->menuItem(QStringLiteral("con_teiti"))->trigger();
    auto *fix = qobject_cast<frmFix_control *>(w->loadedWindow(QStringLiteral("frmFix_control")));
    QVERIFY(fix);
    QCOMPARE(fix->M_T->text(), QStringLiteral("0")); // nothing run yet
    param().TargetLineText = QStringLiteral("40");
    f.sim->clearReceivedCommands();
    for (const char *typed : {"abc", "", "25.025", "150.05"}) {
        fix->M_T->setText(QLatin1String(typed));
        fix->RUN_C->click();
        QCOMPARE(f.dialogs->lastMessage().text,
                 QStringLiteral("設定温度には条件に合う数字を入力してください"));
        QCOMPARE(f.dialogs->lastMessage().title, QStringLiteral("error"));
    }
    QCOMPARE(f.dialogs->messages().size(), 4);
    QVERIFY(w->isLoaded(QStringLiteral("frmFix_control")));
    QVERIFY(f.commands().isEmpty());
    QCOMPARE(starts, 0);
    QVERIFY(param().TargetLineText.isEmpty());
    QCOMPARE(w->state().fix.GetFixpara(), QStringLiteral("0 0 0 0 0"));
}

void tst_FixControl::alarmStopsTheLogAndOpensTheWindow()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    LOG_Handling &log = LoggingWindows::of(*w).log();
    QSignalSpy stopped(&log, &LOG_Handling::logStopped);

    // The instrument's alarm test, then a limit alarm; closed by "OK" and by
    // the close box.
    int alarms = 0;
    for (const QString &code : {QStringLiteral("700"), QStringLiteral("001")}) {
        f.sim->withEngine([](SimEngine &e) {
            e.clearAlarm();
            return 0;
        });
        f.dialogs->answerQuestion(false); // no memo for the stopped log
        w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
        QVERIFY(w->logRecording());
        f.sim->withEngine([&](SimEngine &e) {
            if (code == QLatin1String("700"))
                e.alarmTest();
            else { // SENSOR1 past its limit while the control runs
                e.execute(QStringLiteral("RUN 0 0 0 95 1"));
                e.setTemperature(2, 85.0);
            }
            return 0;
        });
        QTRY_VERIFY_WITH_TIMEOUT(alarmWindow(*w), 15000);
        QCOMPARE(w->state().alarm.code, code);
        QCOMPARE(stopped.count(), ++alarms);
        QVERIFY(!w->logRecording());
        QVERIFY(!w->session().pollTimer().isActive());
        QVERIFY(w->state().statuslog.nj_red);
        frmAlarm *alarm = alarmWindow(*w);
        QVERIFY(alarm->isVisible());
        QVERIFY(alarm->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(!w->isEnabled());
        QCOMPARE(alarm->errCode_l->text(), LookupAlarm(code).Message);
        shot(alarm, code == QLatin1String("700") ? "alarm_700.png" : "alarm_001.png");
        // Shown again (the status-log window's "詳細") without a refresh.
        w->state().alarm.code = QStringLiteral("000");
        w->showAlarm();
        QCOMPARE(alarmWindow(*w), alarm);
        QCOMPARE(alarm->errCode_l->text(), LookupAlarm(code).Message);

        if (code == QLatin1String("700"))
            alarm->ok_c->click();
        else
            QVERIFY(alarm->close());
        QVERIFY(w->isEnabled());
        QTRY_VERIFY(!alarmWindow(*w));
    }

    // Clearing the alarm on the instrument.
    QVERIFY(w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    f.sim->clearReceivedCommands();
    w->Toolbar1_ButtonClick(QStringLiteral("ACLR"));
    QCOMPARE(f.commands(), (QStringList{QStringLiteral("ACLR"), QStringLiteral("STATUS")}));
    QVERIFY(!w->toolButton(QStringLiteral("ACLR"))->isEnabled());
    QVERIFY(!w->toolButton(QStringLiteral("STOP"))->isEnabled());
    QCOMPARE(w->state().statuslog.nj_l, QStringLiteral("平常状態"));
}

QTEST_MAIN(tst_FixControl)
#include "tst_fixcontrol.moc"
