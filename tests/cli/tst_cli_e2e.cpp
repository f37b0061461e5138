// krm2200-cli against the simulated instrument: every command with its exit
// status, the simulator's faults, the port held by the window, and a log that
// loses its instrument and finds it again.

#include "shell/ShellFixture.h"

#include "core/app/ConfigSet.h"
#include "core/app/LinkWatch.h"
#include "core/app/PortChoices.h"
#include "core/control/AlarmTable.h"
#include "core/control/FixControl.h"
#include "core/control/RunProgress.h"
#include "core/control/RunRules.h"
#include "ui/control/frmPattern_control.h"
#include "ui/logging/frmCurrentValues.h"
#include "ui/settings/frmStatuslog.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

namespace {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

// The row of a sample as "log" prints it.
const QRegularExpression kRow(QStringLiteral(
    R"(^(\d+),(\d+),\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d,([^,]*,){4}(ok|missing|invalid)$)"));

// A configuration like the fixture's, its log folder named, so that two
// program folders hold the same bytes.
void seed(ShellFixture &f, const QString &extra = QString())
{
    QVERIFY(ShellFixture::writeText(f.iniPath(), ShellFixture::completeConfig() +
                                                     QStringLiteral("[LOGDIRPATH]\npath=") +
                                                     f.appDir() + QLatin1Char('\n') + extra));
}

} // namespace

class tst_CliE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void helpAndArguments_data();
    void helpAndArguments();
    void portTakenByTheOtherProgram();
    void readSet_data();
    void readSet();
    void readSetFastMatchesTheWindow();
    void status_data();
    void status();
    void writeSet_data();
    void writeSet();
    void fullDiskIsTold_data();
    void fullDiskIsTold();
    void runCommands_data();
    void runCommands();
    void logRowsWhole();
    void logThroughALostLink();
    void logEnds_data();
    void logEnds();
    void overnightRunEndsByItself();
    void patternRunFollowed();
    void failedStartStoresNoPort_data();
    void failedStartStoresNoPort();
    void besideTheWindow();
    void oneSystemLogADay();

private:
    CliRun cli(const QStringList &args, int timeoutMs = 120000);
    QProcess *startCli(const QStringList &args);

    std::unique_ptr<ShellFixture> m_f;
};

void tst_CliE2E::init()
{
    // One fixture at a time: each installs its dialogs over the last.
    m_f.reset();
    m_f = std::make_unique<ShellFixture>();
}

QProcess *tst_CliE2E::startCli(const QStringList &args)
{
    auto *p = new QProcess(this);
    QStringList all{QStringLiteral("--home"), m_f->appDir()};
    if (m_f->sim)
        all += {QStringLiteral("--port"), m_f->sim->devicePath()};
    p->start(QStringLiteral(KRM2200_CLI_BIN), all + args);
    return p;
}

CliRun tst_CliE2E::cli(const QStringList &args, int timeoutMs)
{
    std::unique_ptr<QProcess> p(startCli(args));
    // The event loop runs meanwhile: the simulator reports what it hears.
    QSignalSpy finished(p.get(), &QProcess::finished);
    CliRun r;
    if (!finished.wait(timeoutMs) || p->exitStatus() != QProcess::NormalExit)
        return r;
    r.code = p->exitCode();
    r.out = QString::fromUtf8(p->readAllStandardOutput());
    r.err = QString::fromUtf8(p->readAllStandardError());
    return r;
}

void tst_CliE2E::helpAndArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out");
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "使い方";
    QTest::newRow("help in English")
        << QStringList{QStringLiteral("--help"), QStringLiteral("en")} << 0 << "\"LP N 0\"";
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << "krm2200-cli 1.3.1\n";
    QTest::newRow("no command") << QStringList() << 2 << "";
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frob")} << 2 << "";
    QTest::newRow("missing file") << QStringList{QStringLiteral("read-set")} << 2 << "";
    QTest::newRow("option of another command")
        << QStringList{QStringLiteral("status"), QStringLiteral("--verify")} << 2 << "";
    QTest::newRow("unknown format")
        << QStringList{QStringLiteral("log"), QStringLiteral("--format"), QStringLiteral("xml")}
        << 2 << "";
    QTest::newRow("sensor out of range")
        << QStringList{QStringLiteral("run"), QStringLiteral("fixed"),  QStringLiteral("--sensor"),
                       QStringLiteral("2"),   QStringLiteral("--temp"), QStringLiteral("25")}
        << 2 << "";
}

void tst_CliE2E::helpAndArguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, out);
    // The help's language follows the locale.
    const bool english = args.removeAll(QStringLiteral("en")) > 0;
    const QByteArray locale = qgetenv("LC_ALL");
    qputenv("LC_ALL", english ? "en_US.UTF-8" : "C.UTF-8");
    const CliRun r = cli(args);
    qputenv("LC_ALL", locale);
    QCOMPARE(r.code, code);
    QVERIFY2(r.out.contains(out), qPrintable(r.out));
    if (args.contains(QStringLiteral("--help"))) {
        for (const char *command :
             {"read-set", "write-set", "status", "log", "run fixed", "run pattern", "stop", "aclr"})
            QVERIFY(r.out.contains(QStringLiteral("\n  ") + QLatin1String(command)));
    }
    // Usage errors in Japanese, as every other message.
    if (code == 2)
        QVERIFY2(
            std::any_of(r.err.begin(), r.err.end(), [](QChar c) { return c.unicode() >= 0x3000; }),
            qPrintable(r.err));
}

void tst_CliE2E::portTakenByTheOtherProgram()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    const QString taken = PortChoices::inUseText(f.sim->devicePath());
    // The window holds the port: the tool says so and leaves it.
    KRM2200 *w = f.readyWindow();
    QVERIFY(w->session().link().isOpen());
    CliRun r = cli({QStringLiteral("status")});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.err.trimmed(), taken);
    // Nor through a link to the same device, as /dev/serial/by-id/ holds.
    const QString link = f.home.filePath(QStringLiteral("by-id-link"));
    QVERIFY(QFile::link(f.sim->devicePath(), link));
    r = cli({QStringLiteral("status"), QStringLiteral("--port"), link});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.err.trimmed(), PortChoices::inUseText(link));
    QVERIFY(f.commands().isEmpty());

    // The tool holds it: the window's start reports it.
    w->session().link().ClosePort();
    std::unique_ptr<QProcess> log(startCli({QStringLiteral("log")}));
    QVERIFY(log->waitForReadyRead(20000));
    QCOMPARE(w->startUp(), KRM2200::StartResult::PortError);
    QVERIFY2(f.dialogs->lastMessage().text.endsWith(taken),
             qPrintable(f.dialogs->lastMessage().text));
    log->terminate();
    QVERIFY(log->waitForFinished(20000));
    QCOMPARE(log->exitCode(), 0);
}

void tst_CliE2E::readSet_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("fast");
    QTest::addColumn<int>("code");
    QTest::newRow("normal") << "none" << false << 0;
    QTest::newRow("fast, the instrument deaf for a moment after the open")
        << "deaf:700" << true << 0;
    QTest::newRow("silent") << "silent" << true << 4;
}

void tst_CliE2E::readSet()
{
    QFETCH(QString, fault);
    QFETCH(bool, fast);
    QFETCH(int, code);
    ShellFixture &f = *m_f;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(f.startSim(faults));
    seed(f);
    const QString set = f.home.filePath(QStringLiteral("read.ini"));
    QStringList args{QStringLiteral("read-set"), set};
    if (fast)
        args << QStringLiteral("--fast");
    const CliRun r = cli(args);
    QCOMPARE(r.code, code);
    if (code != 0) {
        QVERIFY(!QFile::exists(set));
        QVERIFY(r.err.contains(QStringLiteral("読み込み失敗しました。")));
        return;
    }
    // A whole copy of the working file, as "開く" takes it.
    QCOMPARE(ShellFixture::text(set), ShellFixture::text(f.iniPath()));
    QVERIFY(ConfigSet::check(ShellFixture::text(set).toUtf8()).ok);
    QVERIFY(f.commands().contains(QStringLiteral("LS 99 1")));
}

void tst_CliE2E::readSetFastMatchesTheWindow()
{
    // The window's fast "本体読込" ...
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    seed(f);
    w->transfer().setFastRead(true);
    w->Toolbar1_ButtonClick(QStringLiteral("READ"));
    QCOMPARE(f.dialogs->lastMessage().text, QStringLiteral("読み込み完了しました。"));
    const QString window = ShellFixture::text(f.iniPath());
    f.window.reset();

    // ... and the tool's, from the same configuration.
    seed(f);
    const QString set = f.home.filePath(QStringLiteral("read.ini"));
    QCOMPARE(cli({QStringLiteral("read-set"), set, QStringLiteral("--fast")}).code, 0);
    QCOMPARE(ShellFixture::text(set).toUtf8(), window.toUtf8());
}

void tst_CliE2E::status_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<int>("code");
    QTest::newRow("text") << "none" << false << "" << 0;
    QTest::newRow("json") << "none" << true << "" << 0;
    QTest::newRow("alarm standing") << "none" << true << "001" << 0;
    QTest::newRow("alarm cleared") << "none" << true << "006 cleared" << 0;
    QTest::newRow("deaf for a moment after the open") << "deaf:1200" << false << "" << 0;
    QTest::newRow("silent") << "silent" << false << "" << 4;
    QTest::newRow("silent, json") << "silent" << true << "" << 4;
    QTest::newRow("NG, json") << "ng:STATUS" << true << "" << 6;
}

void tst_CliE2E::status()
{
    QFETCH(QString, fault);
    QFETCH(bool, json);
    QFETCH(QString, alarm);
    QFETCH(int, code);
    ShellFixture &f = *m_f;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(f.startSim(faults));
    f.sim->withEngine([&alarm](SimEngine &e) {
        e.setClock([] { return qint64(0); });
        e.setTemperature(0, 25.0);
        e.setTemperature(1, 24.98);
        if (!alarm.isEmpty())
            e.raiseAlarm(alarm.left(3));
        // An instrument that keeps the last alarm's code once it is cleared.
        if (alarm.endsWith(QLatin1String("cleared")))
            e.setStatusOverride(QStringLiteral("00"));
    });
    seed(f);
    QStringList args{QStringLiteral("status")};
    if (json)
        args << QStringLiteral("--json");
    const CliRun r = cli(args);
    QCOMPARE(r.code, code);
    if (code != 0) {
        const QString told = code == 6 ? QStringLiteral("本体が受け付けなかったコマンド：\nSTATUS")
                                       : QStringLiteral("通信異常：KRM-2200から応答がありません。");
        QCOMPARE(r.err.trimmed(), told);
        if (!json) {
            QVERIFY(r.out.isEmpty());
            return;
        }
        // A script reads why from stdout as well.
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value(QStringLiteral("error")).toString(),
                 code == 6 ? QStringLiteral("refused") : QStringLiteral("no-answer"));
        QCOMPARE(o.value(QStringLiteral("exit")).toInt(), code);
        QCOMPARE(o.value(QStringLiteral("message")).toString(), told);
        return;
    }
    const bool standing = alarm.size() == 3;
    const QString state = standing ? QStringLiteral("04") : QStringLiteral("00");
    if (!json) {
        const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines.at(0), QStringLiteral("PT100A +025.00"));
        QCOMPARE(lines.at(1), QStringLiteral("PT100B +024.98"));
        QCOMPARE(lines.at(6), QStringLiteral("state 00 平常状態"));
        QCOMPARE(lines.at(8).trimmed(), QStringLiteral("alarm 000"));
        QCOMPARE(lines.at(9), QStringLiteral("link ok"));
        return;
    }
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    QCOMPARE(
        o.value(QStringLiteral("readings")).toObject().value(QStringLiteral("PT100B")).toDouble(),
        24.98);
    QCOMPARE(o.value(QStringLiteral("state")).toObject().value(QStringLiteral("code")).toString(),
             state);
    // The alarm only while it stands; the last one apart.
    QCOMPARE(o.value(QStringLiteral("alarm")).isNull(), !standing);
    if (standing)
        QCOMPARE(o.value(QStringLiteral("alarm")).toObject().value(QStringLiteral("message")),
                 LookupAlarm(alarm).Message);
    QCOMPARE(
        o.value(QStringLiteral("last_alarm")).toObject().value(QStringLiteral("code")).toString(),
        alarm.left(3));
    QCOMPARE(o.value(QStringLiteral("link")).toString(), QStringLiteral("ok"));
    QVERIFY(o.value(QStringLiteral("target")).isNull());
    QCOMPARE(o.value(QStringLiteral("units")).toObject().value(QStringLiteral("temperature")),
             QStringLiteral("°C"));
    QVERIFY(
        QDateTime::fromString(o.value(QStringLiteral("time")).toString(), Qt::ISODate).isValid());
}

void tst_CliE2E::writeSet_data()
{
    QTest::addColumn<QString>("set"); // what the file lacks or changes
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("verify");
    QTest::addColumn<bool>("changeOnSave"); // the instrument keeps another step 1
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("err");
    QTest::newRow("a key missing") << "STEP7"
                                   << "none" << false << false << 5 << "STEP7";
    QTest::newRow("written and verified") << ""
                                          << "none" << true << false << 0 << "";
    QTest::newRow("commands refused") << ""
                                      << "ng:MKS" << false << false << 6 << "MKS 0 ";
    QTest::newRow("read back differs") << ""
                                       << "none" << true << true << 7 << "：STEP1";
}

void tst_CliE2E::writeSet()
{
    QFETCH(QString, set);
    QFETCH(QString, fault);
    QFETCH(bool, verify);
    QFETCH(bool, changeOnSave);
    QFETCH(int, code);
    QFETCH(QString, err);
    ShellFixture &f = *m_f;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(f.startSim(faults));
    seed(f);
    const QString file = f.home.filePath(QStringLiteral("set.ini"));
    QVERIFY(ShellFixture::writeText(
        file, ShellFixture::completeConfig(QStringLiteral("0"), QStringLiteral("1 1"), set)));
    if (changeOnSave) {
        // An instrument that does not keep what it was sent.
        connect(f.sim.get(), &PtyInstrument::commandReceived, this, [&f](const QString &c) {
            if (c == QLatin1String("SAVE"))
                f.sim->withEngine([](SimEngine &e) {
                    e.setStepRecord(1, QStringLiteral("0 0 0 +041.00 00:00:30"));
                });
        });
    }
    QStringList args{QStringLiteral("write-set"), file};
    if (verify)
        args << QStringLiteral("--verify");
    const CliRun r = cli(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(err), qPrintable(r.err));
    if (code == 5) {
        QVERIFY(!f.commands().contains(QStringLiteral("SAVE")));
        return;
    }
    QCOMPARE(f.sim->withEngine([](SimEngine &e) { return e.setting(QStringLiteral("BEEP")); }),
             QStringLiteral("0"));
    // The working file keeps what was written, whatever was read back.
    ini().setWorkingFile(f.iniPath());
    QCOMPARE(ini().IniRead(QStringLiteral("STEP"), QStringLiteral("STEP1")),
             QStringLiteral("0 0 0 +040.00 00:00:30"));
}

// A full disk under the configuration file is the disk's fault: told once
// with its reason, never as a lost instrument, exit status 1.
void tst_CliE2E::fullDiskIsTold_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("read-set") << "read-set";
    QTest::newRow("write-set") << "write-set";
}

void tst_CliE2E::fullDiskIsTold()
{
    QFETCH(QString, command);
    ShellFixture &f = *m_f;
    const QString sys = QFileInfo(f.iniPath()).absolutePath();
    QDir().mkpath(sys);
    if (::geteuid() != 0 ||
        QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=64k"), QStringLiteral("tmpfs"), sys}) != 0)
        QSKIP("a small tmpfs cannot be mounted here (it needs root): the full disk is not shown");
    struct Unmount {
        QString path;
        ~Unmount() { QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), path}); }
    } unmount{sys};
    QVERIFY(f.startSim());
    seed(f);
    const QString set = f.home.filePath(QStringLiteral("set.ini"));
    QVERIFY(ShellFixture::writeText(set, ShellFixture::completeConfig(QStringLiteral("0"))));
    QFile filler(sys + QStringLiteral("/filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    while (filler.write(QByteArray(4096, 'f')) > 0) {
    }
    while (filler.write("f", 1) == 1) {
    }
    const QByteArray before = ShellFixture::text(f.iniPath()).toUtf8();

    const CliRun r = cli({command, command == QLatin1String("read-set")
                                       ? f.home.filePath(QStringLiteral("read.ini"))
                                       : set});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count(QStringLiteral("ディスクの空き容量が不足しています。")), 1);
    QVERIFY2(!r.err.contains(QStringLiteral("接続")), qPrintable(r.err));
    QCOMPARE(ShellFixture::text(f.iniPath()).toUtf8(), before);
}

void tst_CliE2E::runCommands_data()
{
    QTest::addColumn<QString>("args");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("sen0"); // another PT100A record
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("sent"); // after the status queries, "|" between
    QTest::addColumn<QString>("err");
    const QString none = QStringLiteral("none");
    QTest::newRow("fixed") << "run fixed --temp -10.5 --sensor 1" << none << ""
                           << "" << 0 << "STOP|RUN 1 0 0 -10.5 1"
                           << "";
    QTest::newRow("fixed, not a set temperature") << "run fixed --temp 25.03" << none << ""
                                                  << "" << 8 << "" << setTempErrorText();
    QTest::newRow("fixed, beyond the sensor's limits")
        << "run fixed --temp 90 --heater 1" << none << ""
        << "1 +080.00 -050.00 * *" << 8 << ""
        << sensorLimitQuestion().section(QLatin1Char('\n'), 0, 0);
    QTest::newRow("pattern") << "run pattern 0" << none << ""
                             << "" << 0 << "GO 0"
                             << "パターン0：構成ファイルの登録で実行します。";
    QTest::newRow("pattern the instrument holds")
        << "run pattern 4" << none << ""
        << "" << 0 << "LP 4 0|GO 4"
        << "パターン4：本体の登録（1 0 1 2）で実行します。";
    QTest::newRow("pattern not registered")
        << "run pattern 3" << none << ""
        << "" << 8 << "LP 3 0" << QStringLiteral("パターン3は登録されていません。");
    QTest::newRow("pattern in a standing alarm")
        << "run pattern 0" << none << "001"
        << "" << 8 << ""
        << QStringLiteral("パターン0：構成ファイルの登録で実行します。\n") + alarmStandingText();
    QTest::newRow("pattern refused by the instrument")
        << "run pattern 0"
        << "ng:GO"
        << ""
        << "" << 8 << "GO 0"
        << QStringLiteral("パターン0：構成ファイルの登録で実行します。\n本体が受け付けなかったコマ"
                          "ンド：\nGO 0");
    QTest::newRow("stop") << "stop" << none << ""
                          << "" << 0 << "STOP"
                          << "";
    QTest::newRow("aclr") << "aclr" << none << "001"
                          << "" << 0 << "ACLR"
                          << "";
    QTest::newRow("stop, no answer")
        << "stop"
        << "silent"
        << ""
        << "" << 4 << "" << QStringLiteral("通信異常：KRM-2200から応答がありません。");
}

void tst_CliE2E::runCommands()
{
    QFETCH(QString, args);
    QFETCH(QString, fault);
    QFETCH(QString, alarm);
    QFETCH(QString, sen0);
    QFETCH(int, code);
    QFETCH(QString, sent);
    QFETCH(QString, err);
    ShellFixture &f = *m_f;
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    QVERIFY(f.startSim(faults));
    f.sim->withEngine([&alarm](SimEngine &e) {
        e.setPatternRecord(4, QStringLiteral("1 0 1 2"));
        if (!alarm.isEmpty())
            e.raiseAlarm(alarm);
    });
    seed(f);
    if (!sen0.isEmpty()) {
        ini().setWorkingFile(f.iniPath());
        ini().IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN0"), sen0);
    }
    const CliRun r = cli(args.split(QLatin1Char(' ')));
    QCOMPARE(r.code, code);
    QCOMPARE(r.err.trimmed(), err);
    QStringList commands = f.commands();
    commands.removeAll(QStringLiteral("STATUS"));
    QCOMPARE(commands.join(QLatin1Char('|')), sent);
}

void tst_CliE2E::logRowsWhole()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    seed(f);
    // Polled faster than the fastest setting, at the line's own pace.
    qputenv("KRM_POLL_MS", "40");
    const CliRun r = cli({QStringLiteral("log"), QStringLiteral("--count"), QStringLiteral("150")});
    qunsetenv("KRM_POLL_MS");
    QCOMPARE(r.code, 0);
    QVERIFY(!r.out.contains(QLatin1Char('\r')));
    const QStringList rows = r.out.split(QLatin1Char('\n'));
    QCOMPARE(rows.size(), 152); // the header, 150 rows, nothing after the last line end
    QCOMPARE(rows.first(),
             QStringLiteral("index,elapsed_s,time,PT100A,PT100B,SENSOR1,SENSOR2,status"));
    QVERIFY(rows.last().isEmpty());
    int last = -1;
    for (int i = 1; i <= 150; ++i) {
        const auto m = kRow.match(rows.at(i));
        QVERIFY2(m.hasMatch(), qPrintable(rows.at(i)));
        QVERIFY(m.captured(1).toInt() > last);
        last = m.captured(1).toInt();
    }
    // The text log as a log started from the window writes it.
    const QStringList logs =
        QDir(f.appDir() + QStringLiteral("/LOG/TXT_DATA")).entryList(QDir::Files, QDir::Name) +
        QDir(f.appDir() + QStringLiteral("/LOG/TXT_DATA/") +
             QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd")))
            .entryList(QDir::Files, QDir::Name);
    QCOMPARE(logs.size(), 1);
}

void tst_CliE2E::logThroughALostLink()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    seed(f);
    qputenv("KRM_POLL_MS", "200");
    std::unique_ptr<QProcess> log(startCli({QStringLiteral("log")}));
    qunsetenv("KRM_POLL_MS");
    QString out;
    QString err;
    auto rows = [&] {
        out += QString::fromUtf8(log->readAllStandardOutput());
        err += QString::fromUtf8(log->readAllStandardError());
        return out.count(QLatin1Char('\n')) - 1;
    };
    QTRY_VERIFY_WITH_TIMEOUT(rows() >= 3, 20000);

    SimFaults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    QTRY_VERIFY_WITH_TIMEOUT((rows(), err.contains(LinkWatch::lossNote())), 20000);
    const int whileLost = rows();
    // Several ticks go by without an answer, and without a row.
    f.sim->clearReceivedCommands();
    QVERIFY(f.sim->waitForCommands(3, 20000));
    QCOMPARE(rows(), whileLost);

    f.sim->setFaults({});
    QTRY_VERIFY_WITH_TIMEOUT((rows(), err.contains(LinkWatch::returnNote())), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(rows() >= whileLost + 3, 20000);
    QCOMPARE(err.count(QLatin1Char('\n')), 2); // one line for each

    log->terminate();
    QVERIFY(log->waitForFinished(20000));
    QCOMPARE(log->exitStatus(), QProcess::NormalExit);
    QCOMPARE(log->exitCode(), 0);
    rows();
    QVERIFY(out.endsWith(QLatin1Char('\n')));
    const QStringList all = out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    int last = -1;
    int gaps = 0;
    for (qsizetype i = 1; i < all.size(); ++i) {
        const auto m = kRow.match(all.at(i));
        QVERIFY2(m.hasMatch(), qPrintable(all.at(i)));
        gaps += m.captured(1).toInt() > last + 1 ? 1 : 0;
        last = m.captured(1).toInt();
    }
    QVERIFY(gaps >= 1);
}

void tst_CliE2E::logEnds_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("alarm");
    QTest::addColumn<QString>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("err");
    QTest::newRow("a silent instrument given up")
        << "silent"
        << ""
        << "log --count 3 --no-answer 2" << 4
        << QStringLiteral("通信異常：KRM-2200から応答がありません。");
    QTest::newRow("until idle: the run it saw ended")
        << "none"
        << ""
        << "log --format jsonl --until idle" << 0 << "";
    QTest::newRow("until alarm") << "none"
                                 << "006"
                                 << "log --format jsonl --until alarm" << 9
                                 << LookupAlarm(QStringLiteral("006")).Message;
}

void tst_CliE2E::logEnds()
{
    QFETCH(QString, fault);
    QFETCH(QString, alarm);
    QFETCH(QString, args);
    QFETCH(int, code);
    QFETCH(QString, err);
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    // The simulator's demonstration pattern, many times faster than real time.
    f.sim->withEngine([](SimEngine &e) { e.setTimeScale(60); });
    seed(f);
    if (code == 0)
        QCOMPARE(cli({QStringLiteral("run"), QStringLiteral("pattern"), QStringLiteral("0")}).code,
                 0);
    if (!alarm.isEmpty())
        f.sim->withEngine([&alarm](SimEngine &e) { e.raiseAlarm(alarm); });
    SimFaults faults;
    QVERIFY(SimFaults::apply(fault, faults));
    f.sim->setFaults(faults);
    qputenv("KRM_POLL_MS", "200");
    const CliRun r = cli(args.split(QLatin1Char(' ')));
    qunsetenv("KRM_POLL_MS");
    QCOMPARE(r.code, code);
    QCOMPARE(r.err.trimmed().section(QLatin1Char('\n'), -1), err);
    if (fault != QLatin1String("none")) {
        QVERIFY(r.out.isEmpty());
        return;
    }
    QStringList states;
    for (const QString &line : r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QJsonParseError e;
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8(), &e).object();
        QVERIFY2(e.error == QJsonParseError::NoError, qPrintable(line));
        for (const char *key :
             {"index", "elapsed_s", "time", "readings", "state", "step", "target", "alarm", "link"})
            QVERIFY2(o.contains(QLatin1String(key)), key);
        states
            << o.value(QStringLiteral("state")).toObject().value(QStringLiteral("code")).toString();
    }
    QVERIFY(!states.isEmpty());
    QCOMPARE(states.last(), code == 0 ? QStringLiteral("00") : QStringLiteral("04"));
    if (code == 0)
        QVERIFY(states.contains(QStringLiteral("02")));
}

void tst_CliE2E::overnightRunEndsByItself()
{
    // A pattern of three loops, a log that loses the instrument on the way,
    // and nobody to stop it.
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    f.sim->withEngine([](SimEngine &e) {
        e.setTimeScale(40);
        e.setPatternRecord(0, QStringLiteral("3 0 0 2"));
    });
    seed(f);
    QCOMPARE(cli({QStringLiteral("run"), QStringLiteral("pattern"), QStringLiteral("0")}).code, 0);
    qputenv("KRM_POLL_MS", "200");
    std::unique_ptr<QProcess> log(
        startCli({QStringLiteral("log"), QStringLiteral("--format"), QStringLiteral("jsonl"),
                  QStringLiteral("--until"), QStringLiteral("idle")}));
    qunsetenv("KRM_POLL_MS");
    QString out;
    QString err;
    auto rows = [&] {
        out += QString::fromUtf8(log->readAllStandardOutput());
        err += QString::fromUtf8(log->readAllStandardError());
        return out.count(QLatin1Char('\n'));
    };
    QTRY_VERIFY_WITH_TIMEOUT(rows() >= 3, 20000);
    SimFaults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    QTRY_VERIFY_WITH_TIMEOUT((rows(), err.contains(LinkWatch::lossNote())), 20000);
    f.sim->setFaults({});
    QSignalSpy finished(log.get(), &QProcess::finished);
    QVERIFY(finished.wait(300000));
    rows();
    QCOMPARE(log->exitCode(), 0);
    QVERIFY(err.contains(LinkWatch::returnNote()));
    qint64 last = -1;
    QString state;
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        const qint64 index = o.value(QStringLiteral("index")).toInteger(-1);
        QVERIFY2(index > last, qPrintable(line));
        last = index;
        state =
            o.value(QStringLiteral("state")).toObject().value(QStringLiteral("code")).toString();
    }
    QCOMPARE(state, QStringLiteral("00"));
}

// A pattern of 3 steps x 2 loops on the simulator at sixty times the pace,
// followed at each step: by single "status --json" queries, then by the
// window's polls in 現在値 and the status-log window. No run ends before the
// earliest end told (counted in the simulator's time), and the step rows
// tell each step reached.
void tst_CliE2E::patternRunFollowed()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    constexpr int kScale = 60;
    constexpr int kHoldS = 120; // two seconds at that pace
    const QString pattern = QStringLiteral("2 0 10 12");
    const QStringList steps{QStringLiteral("0 0 0 +040.00 00:02:00"),
                            QStringLiteral("0 0 0 +045.00 00:02:00"),
                            QStringLiteral("0 0 0 +035.00 00:02:00")};
    f.sim->withEngine([&](SimEngine &e) {
        e.setTimeScale(kScale);
        e.setPatternRecord(1, pattern);
        for (int i = 0; i < 3; ++i)
            e.setStepRecord(10 + i, steps.at(i));
    });
    const auto writePattern = [&] {
        ini().setWorkingFile(f.iniPath());
        ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN1"), pattern);
        for (int i = 0; i < 3; ++i)
            ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(10 + i),
                           steps.at(i));
    };
    // Each earliest end told, with when it was told; checked against the end.
    QList<std::pair<QDateTime, QDateTime>> told;
    const auto checkEnds = [&](const QDateTime &end) {
        for (const auto &[at, earliest] : told) {
            // In the simulator's seconds; a step is seen up to a poll late.
            const qint64 real = at.msecsTo(end) * kScale / 1000;
            QVERIFY2(real >= at.secsTo(earliest) - 90,
                     qPrintable(at.toString(Qt::ISODate) + QLatin1Char(' ') +
                                earliest.toString(Qt::ISODate)));
        }
        told.clear();
    };
    const QRegularExpression iso(
        QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d$)"));

    // A single query sees the step only: with two loops, neither the loop
    // nor the step's time left is known.
    seed(f);
    writePattern();
    QCOMPARE(cli({QStringLiteral("run"), QStringLiteral("pattern"), QStringLiteral("1")}).code, 0);
    QSet<int> seen;
    for (;;) {
        const CliRun r = cli({QStringLiteral("status"), QStringLiteral("--json")});
        QCOMPARE(r.code, 0);
        const QDateTime at = QDateTime::currentDateTime();
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QJsonValue run = o.value(QStringLiteral("run"));
        if (o.value(QStringLiteral("state")).toObject().value(QStringLiteral("code")) ==
            QStringLiteral("00")) {
            QVERIFY(run.isNull());
            checkEnds(at);
            break;
        }
        const QJsonObject j = run.toObject();
        const int step = j.value(QStringLiteral("step")).toInt();
        seen.insert(step);
        QCOMPARE(j.value(QStringLiteral("pattern")).toInt(), 1);
        QCOMPARE(j.value(QStringLiteral("index")).toInt(), step - 9);
        QCOMPARE(j.value(QStringLiteral("steps")).toInt(), 3);
        QCOMPARE(j.value(QStringLiteral("loops")).toInt(), 2);
        QVERIFY(j.value(QStringLiteral("loop")).isNull());
        QVERIFY(j.value(QStringLiteral("step_left_s")).isNull());
        const QString end = j.value(QStringLiteral("earliest_end")).toString();
        QVERIFY2(iso.match(end).hasMatch(), qPrintable(r.out));
        told.append({at, QDateTime::fromString(end, Qt::ISODate)});
    }
    QCOMPARE(seen, (QSet<int>{10, 11, 12}));

    // The window follows every reply: the loop counted, the step's time left.
    KRM2200 *w = f.readyWindow();
    writePattern();
    f.presetLiveLog(w);
    w->session().setPollIntervalMs(250);
    w->menuItem(QStringLiteral("con_pattern"))->trigger();
    auto *start =
        qobject_cast<frmPattern_control *>(w->loadedWindow(QStringLiteral("frmPattern_control")));
    QVERIFY(start);
    start->Com_pa->setCurrentIndex(start->Com_pa->findText(QStringLiteral("1")));
    start->C_jikkou->click();
    auto *values =
        qobject_cast<frmCurrentValues *>(w->loadedWindow(QStringLiteral("frmCurrentValues")));
    auto *statuslog = qobject_cast<frmStatuslog *>(w->openWindow(QStringLiteral("frmStatuslog")));
    QVERIFY(values && statuslog);
    const RunProgress &progress = w->session().runProgress();
    const QString runLog = w->session().log().file().TxtLogPath;
    for (int loop = 1; loop <= 2; ++loop) {
        for (int step = 10; step <= 12; ++step) {
            QTRY_VERIFY_WITH_TIMEOUT(progress.step() == step && progress.loop() == loop, 10000);
            const QDateTime at = QDateTime::currentDateTime();
            const QString place = QStringLiteral("ステップ %1（%2 / 3）").arg(step).arg(step - 9);
            const QString loops = QStringLiteral("ループ %1 / 2").arg(loop);
            QCOMPARE(values->runPosition_l->text(), place);
            QCOMPARE(values->runLoop_l->text(), loops);
            QCOMPARE(statuslog->runPosition_l->text(), place);
            QCOMPARE(statuslog->runLoop_l->text(), loops);
            QVERIFY(statuslog->runPosition_l->isVisibleTo(statuslog));
            for (QLabel *l : {values->runStepLeft_l, values->runEnd_l, statuslog->runStepLeft_l,
                              statuslog->runEnd_l})
                QVERIFY2(l->text().contains(QLatin1Char(':')), qPrintable(l->text()));
            const QJsonObject j = runJson(progress, at).toObject();
            QCOMPARE(j.value(QStringLiteral("loop")).toInt(), loop);
            QVERIFY(j.value(QStringLiteral("step_left_s")).toInt(-1) >= 0);
            told.append({at, QDateTime::fromString(
                                 j.value(QStringLiteral("earliest_end")).toString(), Qt::ISODate)});
        }
    }
    QTRY_VERIFY_WITH_TIMEOUT(!progress.active(), 10000);
    checkEnds(QDateTime::currentDateTime());
    QVERIFY(!statuslog->runPosition_l->isVisibleTo(statuslog));

    // What each step took, in the order reached.
    const QStringList rows = ShellFixture::text(runLog.chopped(4) + QStringLiteral(".steps.csv"))
                                 .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 7);
    QCOMPARE(rows.at(0), QStringLiteral("step,loop,set_c,hold_s,start,end,duration_s,over_hold_s"));
    const QStringList set{QStringLiteral("40.00"), QStringLiteral("45.00"),
                          QStringLiteral("35.00")};
    for (int i = 1; i < rows.size(); ++i) {
        const QStringList c = rows.at(i).split(QLatin1Char(','));
        QCOMPARE(c.size(), 8);
        QCOMPARE(c.mid(0, 4),
                 (QStringList{QString::number(10 + (i - 1) % 3), QString::number(1 + (i - 1) / 3),
                              set.at((i - 1) % 3), QString::number(kHoldS)}));
        if (i > 1)
            QCOMPARE(c.at(4), rows.at(i - 1).split(QLatin1Char(',')).at(5));
        QVERIFY(c.at(6).toInt() >= 0 && c.at(7).toInt() >= 0);
    }
}

void tst_CliE2E::failedStartStoresNoPort_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("no port configured") << "";
    QTest::newRow("a device that does not open") << "/nonexistent/ttyKRM";
}

void tst_CliE2E::failedStartStoresNoPort()
{
    QFETCH(QString, port);
    ShellFixture &f = *m_f;
    QString config = ShellFixture::completeConfig();
    config.remove(QStringLiteral("[COM]\npara=1\n"));
    QVERIFY(ShellFixture::writeText(f.iniPath(), config));
    QStringList args{QStringLiteral("status"), QStringLiteral("--json")};
    if (!port.isEmpty())
        args << QStringLiteral("--port") << port;
    const CliRun r = cli(args);
    QCOMPARE(r.code, 3);
    QVERIFY(r.err.startsWith(QStringLiteral("通信ポートを確認してください。")));
    QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value(QStringLiteral("error")),
             QStringLiteral("port"));
    // The next start would open whatever answers to the port stored here.
    ini().setWorkingFile(f.iniPath());
    QCOMPARE(ini().IniRead(QStringLiteral("COM"), QStringLiteral("para")), QStringLiteral("ERR"));
}

void tst_CliE2E::besideTheWindow()
{
    // Run where they were built, both programs keep their folder beside the
    // executable: the same folder only when they lie side by side.
    QCOMPARE(QFileInfo(QStringLiteral(KRM2200_CLI_BIN)).absolutePath(),
             QFileInfo(QStringLiteral(KRM2200_BIN)).absolutePath());
}

void tst_CliE2E::oneSystemLogADay()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    seed(f);
    const QStringList calls{QStringLiteral("status"), QStringLiteral("status"),
                            QStringLiteral("stop")};
    for (const QString &call : calls)
        QCOMPARE(cli({call}).code, 0);
    const QDir day(f.appDir() + QStringLiteral("/LOG/XSYS_LOG/") +
                   QDate::currentDate().toString(QStringLiteral("yyyy_MM_dd")));
    QCOMPARE(day.entryList(QDir::Files), QStringList{QStringLiteral("cli.txt")});
    // Every line tells the call it belongs to; each call left some.
    const QStringList lines = ShellFixture::text(day.filePath(QStringLiteral("cli.txt")))
                                  .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QSet<QString> marks;
    for (const QString &line : lines) {
        QVERIFY2(line.startsWith(QLatin1String("[status ")) ||
                     line.startsWith(QLatin1String("[stop ")),
                 qPrintable(line));
        marks.insert(line.section(QLatin1Char(']'), 0, 0));
    }
    QCOMPARE(marks.size(), 3);
}

QTEST_MAIN(tst_CliE2E)
#include "tst_cli_e2e.moc"
