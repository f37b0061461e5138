// krm2200-cli against the simulated instrument: every command with its exit
// status, the simulator's faults, the port held by the window, and a log that
// loses its instrument and finds it again.

#include "shell/ShellFixture.h"

#include "core/app/ConfigSet.h"
#include "core/app/LinkWatch.h"
#include "core/app/PortChoices.h"
#include "core/control/AlarmTable.h"
#include "core/control/FixControl.h"
#include "core/control/RunRules.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0 << "  run pattern N ";
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0
                             << "krm2200-cli 1.3.1\n";
    QTest::newRow("no command") << QStringList() << 2 << "";
    QTest::newRow("unknown command") << QStringList{QStringLiteral("frob")} << 2 << "";
    QTest::newRow("missing file") << QStringList{QStringLiteral("read-set")} << 2 << "";
    QTest::newRow("option of another command")
        << QStringList{QStringLiteral("status"), QStringLiteral("--verify")} << 2 << "";
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
    const CliRun r = cli(args);
    QCOMPARE(r.code, code);
    QVERIFY2(r.out.contains(out), qPrintable(r.out));
    if (args.contains(QStringLiteral("--help"))) {
        for (const char *command :
             {"read-set", "write-set", "status", "log", "run fixed", "run pattern", "stop", "aclr"})
            QVERIFY(r.out.contains(QStringLiteral("\n  ") + QLatin1String(command)));
    }
    if (code == 2)
        QVERIFY(!r.err.isEmpty());
}

void tst_CliE2E::portTakenByTheOtherProgram()
{
    ShellFixture &f = *m_f;
    QVERIFY(f.startSim());
    const QString taken = PortChoices::inUseText(f.sim->devicePath());
    // The window holds the port: the tool says so and leaves it.
    KRM2200 *w = f.readyWindow();
    QVERIFY(w->link().isOpen());
    CliRun r = cli({QStringLiteral("status")});
    QCOMPARE(r.code, 3);
    QCOMPARE(r.err.trimmed(), taken);
    QVERIFY(f.commands().isEmpty());

    // The tool holds it: the window's start reports it.
    w->link().ClosePort();
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
    QTest::newRow("deaf for a moment after the open") << "deaf:1200" << false << "" << 0;
    QTest::newRow("silent") << "silent" << false << "" << 4;
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
            e.raiseAlarm(alarm);
    });
    seed(f);
    QStringList args{QStringLiteral("status")};
    if (json)
        args << QStringLiteral("--json");
    const CliRun r = cli(args);
    QCOMPARE(r.code, code);
    if (code != 0) {
        QCOMPARE(r.err.trimmed(), QStringLiteral("通信異常：KRM-2200から応答がありません。"));
        QVERIFY(r.out.isEmpty());
        return;
    }
    const QString state = alarm.isEmpty() ? QStringLiteral("00") : QStringLiteral("04");
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
    const QJsonObject a = o.value(QStringLiteral("alarm")).toObject();
    QCOMPARE(a.value(QStringLiteral("code")).toString(),
             alarm.isEmpty() ? QStringLiteral("000") : alarm);
    QCOMPARE(a.value(QStringLiteral("message")).toString(), LookupAlarm(alarm).Message);
    QCOMPARE(o.value(QStringLiteral("link")).toString(), QStringLiteral("ok"));
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
                             << "";
    QTest::newRow("pattern not registered")
        << "run pattern 3" << none << ""
        << "" << 8 << "" << QStringLiteral("パターン3は登録されていません。");
    QTest::newRow("pattern in a standing alarm") << "run pattern 0" << none << "001"
                                                 << "" << 8 << "" << alarmStandingText();
    QTest::newRow("pattern refused by the instrument")
        << "run pattern 0"
        << "ng:GO"
        << ""
        << "" << 8 << "GO 0" << QStringLiteral("本体が受け付けなかったコマンド：\nGO 0");
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
    if (!alarm.isEmpty())
        f.sim->withEngine([&alarm](SimEngine &e) { e.raiseAlarm(alarm); });
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
    const QStringList rows = r.out.split(QStringLiteral("\r\n"));
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
        return out.count(QStringLiteral("\r\n")) - 1;
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
    QVERIFY(out.endsWith(QStringLiteral("\r\n")));
    const QStringList all = out.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
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

QTEST_MAIN(tst_CliE2E)
#include "tst_cli_e2e.moc"
