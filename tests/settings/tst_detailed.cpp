// The sensor and device settings: the checks of OK and the exact values they
// write (without a window), loading from the configuration file, and the
// window itself: editing rules, the folder picker, the close question of the
// toolbar's write, and the write offered at the end reaching the instrument.
//
// With KRM_SETTINGS_SHOTS=<folder> set, the three pages are saved there.

#include "core/app/ConfigSet.h"
#include "core/net/ServeSettings.h"
#include "core/settings/DetailedSettings.h"
#include "shell/ShellFixture.h"
#include "ui/settings/frmDetailed_setting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

using DS = DetailedSettings;

namespace {

const QString kLimit = QStringLiteral("リミット温度に条件に合う数字を入力してください。");
const QString kOrder = QStringLiteral("下限リミット温度が上限リミット温度を超えています。");
const QString kResistance = QStringLiteral("抵抗値に条件に合う数字を入力してください。");
const QString kOffset = QStringLiteral("オフセット温度に条件に合う数字を入力してください。");
const QString kFolder = QStringLiteral("ログ格納フォルダが存在するか確認してください。");
const QString kTeikou = QStringLiteral("電流調整の抵抗値が不正です。");
const QString kInterval = QStringLiteral("グラフ更新間隔の値が不正です。");
const QString kRefused =
    QStringLiteral("書き込みに失敗しました。\n設定内容を確認し再度書き込みしてください。");

QString readBack(const QString &section, const QString &key = QStringLiteral("para"))
{
    ini().Filename = ini().workingFile();
    return ini().IniRead(section, key);
}

// Valid values of every field, the log folder below `home`.
DS::Values validValues(const QString &home)
{
    DS::Values v;
    v.fan = 2;
    v.beep = 1;
    v.lit = 0;
    v.interval = QStringLiteral("5");
    v.sensors[0] = {true, QStringLiteral("+150.00"), QStringLiteral("-050.00"),
                    QStringLiteral("+000.00"), QStringLiteral("100.00")};
    v.sensors[1] = {false, QStringLiteral("*"), QStringLiteral("20.05"), QString(),
                    QStringLiteral("95.00")};
    v.sensors[2] = {true, QString(), QStringLiteral("0"), QStringLiteral("-10"), QString()};
    v.sensors[3] = {true, QStringLiteral("100"), QStringLiteral("99"), QStringLiteral("+003"),
                    QString()};
    v.preset = DS::PresetFree;
    v.teikou = QStringLiteral("3.5");
    v.current = QStringLiteral("9");
    v.logFolder = home + QStringLiteral("/logs/a");
    v.csvIndex = 0;
    v.csvPath = QStringLiteral("C:\\");
    return v;
}

struct Applied {
    DS::Result result;
    DetailedSettingsState state;
    int logInterval = 7;
    QString logdir;
    int pauses = 0;
};

Applied apply(const DS::Values &v, const QString &program = QString())
{
    Applied a;
    a.state.flg_i = -1;
    DS::Context ctx{ini(),
                    a.state,
                    a.logInterval,
                    [program] { return program; },
                    [&a](const QString &dir) { a.logdir = dir; },
                    [&a](double) { ++a.pauses; }};
    a.result = DS::ApplySettings(v, ctx);
    return a;
}

void setField(DS::Values &v, const QString &field, int n, const QString &text)
{
    DS::Sensor &s = v.sensors[size_t(n)];
    if (field == QLatin1String("upper"))
        s.upper = text;
    else if (field == QLatin1String("lower"))
        s.lower = text;
    else if (field == QLatin1String("offset"))
        s.offset = text;
    else if (field == QLatin1String("resistance"))
        s.resistance = text;
    else if (field == QLatin1String("teikou"))
        v.teikou = text;
    else if (field == QLatin1String("interval"))
        v.interval = text;
    else if (field == QLatin1String("folder"))
        v.logFolder = text;
}

} // namespace

class tst_Detailed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { param().reset(); }
    void rules_data();
    void rules();
    void written();
    void csvOutput_data();
    void csvOutput();
    void load_data();
    void load();
    void editing();
    void browse();
    void okRefusedKeepsWindow();
    void okOffersWrite_data();
    void okOffersWrite();
    void closedByToolbarWrite_data();
    void closedByToolbarWrite();
    void screenshots();
};

// One field changed from a valid set: accepted, or refused with its page and
// message; what came before the failing step stays written, the sensors not.
void tst_Detailed::rules_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("page"); // -1: accepted
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("flg_i");

    const QString a = QStringLiteral("PT100A\n");
    QTest::newRow("PT100A upper 150.00") << "upper" << 0 << "150.00" << -1 << QString() << 0;
    QTest::newRow("PT100A lower -50.00") << "lower" << 0 << "-50.00" << -1 << QString() << 0;
    QTest::newRow("PT100A upper 150.05") << "upper" << 0 << "150.05" << 0 << a + kLimit << 1;
    QTest::newRow("PT100A upper 12.34") << "upper" << 0 << "12.34" << 0 << a + kLimit << 1;
    QTest::newRow("PT100A upper 12.35") << "upper" << 0 << "12.35" << -1 << QString() << 0;
    QTest::newRow("PT100A upper 12.350000") << "upper" << 0 << "12.350000" << -1 << QString() << 0;
    QTest::newRow("PT100A upper 12.3500001")
        << "upper" << 0 << "12.3500001" << 0 << a + kLimit << 1;
    QTest::newRow("PT100A upper full-width")
        << "upper" << 0 << "＋１２．３５" << -1 << QString() << 0;
    QTest::newRow("PT100A upper 1e2") << "upper" << 0 << "1e2" << 0 << a + kLimit << 1;
    QTest::newRow("PT100A upper far out")
        << "upper" << 0 << "99999999999999999999" << 0 << a + kLimit << 1;
    QTest::newRow("PT100A lower above upper") << "lower" << 0 << "150" << 0 << a + kOrder << 2;
    QTest::newRow("PT100A resistance 105.05")
        << "resistance" << 0 << "105.05" << 0 << a + kResistance << 3;
    QTest::newRow("PT100A resistance empty")
        << "resistance" << 0 << "" << 0 << a + kResistance << 3;
    QTest::newRow("PT100B offset 0.03")
        << "offset" << 1 << "0.03" << 0 << QStringLiteral("PT100B\n") + kOffset << 4;
    QTest::newRow("PT100B offset -10.05")
        << "offset" << 1 << "-10.05" << 0 << QStringLiteral("PT100B\n") + kOffset << 4;
    QTest::newRow("SENSOR2 upper 100 lower 100")
        << "lower" << 3 << "100" << 0 << QStringLiteral("SENSOR2\n") + kOrder << 2;
    QTest::newRow("SENSOR1 offset 0.05")
        << "offset" << 2 << "0.05" << 0 << QStringLiteral("SENSOR1\n") + kOffset << 4;
    QTest::newRow("SENSOR2 upper 50.5")
        << "upper" << 3 << "50.5" << 0 << QStringLiteral("SENSOR2\n") + kLimit << 1;
    QTest::newRow("SENSOR2 lower -1")
        << "lower" << 3 << "-1" << 0 << QStringLiteral("SENSOR2\n") + kLimit << 1;
    QTest::newRow("teikou 2.05") << "teikou" << 0 << "2.05" << 1 << kTeikou << -1;
    QTest::newRow("teikou 6.0") << "teikou" << 0 << "6.0" << -1 << QString() << 0;
    QTest::newRow("teikou 6.1") << "teikou" << 0 << "6.1" << 1 << kTeikou << -1;
    QTest::newRow("teikou 0.9") << "teikou" << 0 << "0.9" << 1 << kTeikou << -1;
    QTest::newRow("teikou text") << "teikou" << 0 << "abc" << 1 << kTeikou << -1;
    QTest::newRow("interval 60") << "interval" << 0 << "60" << -1 << QString() << 0;
    QTest::newRow("interval 61") << "interval" << 0 << "61" << 2 << kInterval << -1;
    QTest::newRow("interval 2.5") << "interval" << 0 << "2.5" << 2 << kInterval << -1;
    QTest::newRow("interval -1") << "interval" << 0 << "-1" << 2 << kInterval << -1;
    QTest::newRow("interval empty") << "interval" << 0 << "" << 2 << kInterval << -1;
    QTest::newRow("folder below a file") << "folder" << 0 << "%FILE%/sub" << 2 << kFolder << -1;
}

void tst_Detailed::rules()
{
    QFETCH(QString, field);
    QFETCH(int, sensor);
    QFETCH(QString, text);
    QFETCH(int, page);
    QFETCH(QString, message);
    QFETCH(int, flg_i);
    QTemporaryDir home;
    ini().setWorkingFile(home.filePath(QStringLiteral("KRM.ini")));
    const QString before = QStringLiteral("1 +100.00 +000.00 +000.00 100.00");
    ini().IniWrite(QStringLiteral("SEN"), QStringLiteral("SEN0"), before);
    QFile blocker(home.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    DS::Values v = validValues(home.path());
    setField(v, field, sensor, text.replace(QStringLiteral("%FILE%"), blocker.fileName()));
    const Applied a = apply(v);

    QCOMPARE(a.result.ok, page < 0);
    if (page >= 0) {
        QCOMPARE(a.result.page, page);
        QCOMPARE(a.result.message, message);
        QCOMPARE(readBack(QStringLiteral("SEN"), QStringLiteral("SEN0")), before);
    }
    QCOMPARE(a.state.flg_i, flg_i);
    // The log folder is handed over and stored before it is made.
    QCOMPARE(readBack(QStringLiteral("LOGDIRPATH"), QStringLiteral("path")), v.logFolder);
    QCOMPARE(a.logdir, v.logFolder);
    const bool pastFolder = field != QLatin1String("folder");
    QCOMPARE(readBack(QStringLiteral("FAN")),
             pastFolder ? QStringLiteral("2") : QStringLiteral("ERR"));
}

void tst_Detailed::written()
{
    QTemporaryDir home;
    ini().setWorkingFile(home.filePath(QStringLiteral("KRM.ini")));
    QVERIFY(ShellFixture::writeCompleteConfig(ini().workingFile()));
    const DS::Values v = validValues(home.path());
    const Applied a = apply(v);

    QVERIFY2(a.result.ok, qPrintable(a.result.message));
    // A set saved now opens again: "開く" takes what this window writes.
    QFile saved(ini().workingFile());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(ConfigSet::check(saved.readAll()).ok);
    QCOMPARE(a.state.flg_i, 0);
    QCOMPARE(readBack(QStringLiteral("FAN")), QStringLiteral("2"));
    QCOMPARE(readBack(QStringLiteral("LIT")), QStringLiteral("0"));
    QCOMPARE(readBack(QStringLiteral("BEEP")), QStringLiteral("1"));
    QCOMPARE(readBack(QStringLiteral("UNI")), QStringLiteral("3.5 9"));
    // The profile read drops the blank that ends the value.
    QCOMPARE(readBack(QStringLiteral("LOG")), QStringLiteral("5"));
    QCOMPARE(a.logInterval, 5);
    QCOMPARE(readBack(QStringLiteral("SEN"), QStringLiteral("SEN0")),
             QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
    // An empty offset is stored as 0, an upper limit "*" as "*".
    QCOMPARE(readBack(QStringLiteral("SEN"), QStringLiteral("SEN1")),
             QStringLiteral("0 * 20.05 0 95.00"));
    QCOMPARE(readBack(QStringLiteral("SEN"), QStringLiteral("SEN2")), QStringLiteral("1 * 0 -10"));
    QCOMPARE(readBack(QStringLiteral("SEN"), QStringLiteral("SEN3")),
             QStringLiteral("1 100 99 +003"));
    QCOMPARE(a.pauses, 4);
    QVERIFY(QFileInfo(v.logFolder + QStringLiteral("/LOG")).isDir());

    // An interval of 0 is stored as 1.
    DS::Values zero = v;
    zero.interval = QStringLiteral("0");
    const Applied z = apply(zero);
    QVERIFY(z.result.ok);
    QCOMPARE(readBack(QStringLiteral("LOG")), QStringLiteral("1"));
    QCOMPARE(z.logInterval, 1);

    // "書込み後に照合する" is stored once chosen, and loaded again.
    const QString verify = QLatin1String(DS::VerifySection);
    QCOMPARE(readBack(verify), QStringLiteral("ERR"));
    for (const bool on : {true, false}) {
        DS::Values checked = v;
        checked.verifyAfterWrite = on;
        QVERIFY(apply(checked).result.ok);
        QCOMPARE(readBack(verify), on ? QStringLiteral("1") : QStringLiteral("0"));
        const DS::Values loaded = DS::load(
            [](const QString &section, const QString &key) {
                return readBack(section, key.isEmpty() ? QStringLiteral("para") : key);
            },
            home.path());
        QCOMPARE(loaded.verifyAfterWrite, on);
        // A set saved once "書込み後に照合する" was chosen opens again.
        QFile again(ini().workingFile());
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(ConfigSet::check(again.readAll()).ok);
    }

    // The status server: a port asked for only while it serves; stored,
    // loaded again, and a set holding it opens again.
    struct Serve {
        bool on;
        QString port;
        bool remote;
        bool ok;
        QString stored; // after the apply
    };
    const Serve serves[] = {
        {true, QStringLiteral("9100"), true, true, QStringLiteral("1 9100 1")},
        {true, QStringLiteral("65536"), false, false, QStringLiteral("1 9100 1")},
        {true, QStringLiteral("0"), false, false, QStringLiteral("1 9100 1")},
        {false, QStringLiteral("x"), false, true, QStringLiteral("0 9464 0")}};
    for (const Serve &serve : serves) {
        DS::Values chosen = v;
        chosen.serveOn = serve.on;
        chosen.servePort = serve.port;
        chosen.serveRemote = serve.remote;
        const Applied r = apply(chosen);
        QCOMPARE(r.result.ok, serve.ok);
        if (!serve.ok)
            QCOMPARE(r.result.message, ServeSettings::portMessage());
        QCOMPARE(readBack(QLatin1String(ServeSettings::Section)), serve.stored);
        QFile again(ini().workingFile());
        QVERIFY(again.open(QIODevice::ReadOnly));
        QVERIFY(ConfigSet::check(again.readAll()).ok);
    }
    const DS::Values loaded = DS::load(
        [](const QString &section, const QString &key) {
            return readBack(section, key.isEmpty() ? QStringLiteral("para") : key);
        },
        home.path());
    QCOMPARE(loaded.serveOn, false);
    QCOMPARE(loaded.servePort, QStringLiteral("9464"));
}

void tst_Detailed::csvOutput_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("flg_csv");
    QTest::addColumn<bool>("missing");
    QTest::newRow("on, program found") << 1 << "/opt/calc/bin/calc"
                                       << "1 /opt/calc/bin/calc" << true << false;
    QTest::newRow("on, no program") << 1 << ""
                                    << "0 /home/me/calc" << false << true;
    QTest::newRow("off") << 0 << "/opt/calc/bin/calc"
                         << "0 C:\\" << false << false;
}

void tst_Detailed::csvOutput()
{
    QFETCH(int, index);
    QFETCH(QString, program);
    QFETCH(QString, stored);
    QFETCH(bool, flg_csv);
    QFETCH(bool, missing);
    QTemporaryDir home;
    ini().setWorkingFile(home.filePath(QStringLiteral("KRM.ini")));
    DS::Values v = validValues(home.path());
    v.csvIndex = index;
    v.csvPath = QStringLiteral("/home/me/calc");
    const Applied a = apply(v, program);
    QVERIFY(a.result.ok);
    QCOMPARE(readBack(QStringLiteral("CSVPATH"), QStringLiteral("path")), stored);
    QCOMPARE(a.state.flg_csv, flg_csv);
    QCOMPARE(a.result.csvMissing, missing);
}

// Stored values as the window shows them; short or odd values get defaults.
void tst_Detailed::load_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("UNI 2.0 7 is VD-B") << "UNI"
                                       << ""
                                       << "2.0 7"
                                       << "preset 1 2.0 7";
    QTest::newRow("UNI 2 6 is VD-A") << "UNI"
                                     << ""
                                     << "2 6"
                                     << "preset 0 2.0 6";
    QTest::newRow("UNI 2.5 9 is free") << "UNI"
                                       << ""
                                       << "2.5 9"
                                       << "preset 2 2.5 9";
    QTest::newRow("UNI current off the list") << "UNI"
                                              << ""
                                              << "2.5 40"
                                              << "preset 2 2.5 3";
    QTest::newRow("LOG 0") << "LOG"
                           << ""
                           << "0 1"
                           << "interval 1";
    QTest::newRow("LOG *") << "LOG"
                           << ""
                           << "* "
                           << "interval 1";
    QTest::newRow("LOG 30") << "LOG"
                            << ""
                            << "30 1"
                            << "interval 30";
    QTest::newRow("SEN0 unset offset and resistance") << "SEN"
                                                      << "SEN0"
                                                      << "1 +150.00 -050.00 * *"
                                                      << "sensor0 1|+150.00|-050.00|+000.00|100.00";
    QTest::newRow("SEN0 only the flag") << "SEN"
                                        << "SEN0"
                                        << "1"
                                        << "sensor0 1|*|*|+000.00|100.00";
    QTest::newRow("SEN2 too few fields") << "SEN"
                                         << "SEN2"
                                         << "0 +100"
                                         << "sensor2 0|+100|*|+000|";
    QTest::newRow("SEN3 absent") << "SEN"
                                 << "SEN9"
                                 << "x"
                                 << "sensor3 0|*|*|+000|";
    QTest::newRow("CSV on with a program") << "CSVPATH"
                                           << "path"
                                           << "1 /usr/bin/calc"
                                           << "csv 1 /usr/bin/calc";
    QTest::newRow("CSV absent") << "CSVPATH"
                                << "other"
                                << "1 /x"
                                << "csv 0 ";
    QTest::newRow("log folder absent") << "LOGDIRPATH"
                                       << "other"
                                       << "/x"
                                       << "folder APP";
    QTest::newRow("log folder") << "LOGDIRPATH"
                                << "path"
                                << "/data/k"
                                << "folder /data/k";
    QTest::newRow("FAN out of range") << "FAN"
                                      << ""
                                      << "7"
                                      << "options 0 0 0";
    QTest::newRow("options") << "FAN"
                             << ""
                             << "2"
                             << "options 2 0 0";
}

void tst_Detailed::load()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    auto read = [&](const QString &s, const QString &k) {
        return s == section && k == key ? value : QStringLiteral("ERR");
    };
    const DS::Values v = DS::load(read, QStringLiteral("APP"));
    const QString what = shown.section(QLatin1Char(' '), 0, 0);
    QString got;
    if (what == QLatin1String("preset")) {
        got = QStringLiteral("%1 %2 %3").arg(v.preset).arg(v.teikou, v.current);
    } else if (what == QLatin1String("interval")) {
        got = v.interval;
    } else if (what.startsWith(QLatin1String("sensor"))) {
        const DS::Sensor &s = v.sensors[size_t(what.right(1).toInt())];
        got = QStringList{s.inUse ? QStringLiteral("1") : QStringLiteral("0"), s.upper, s.lower,
                          s.offset, s.resistance}
                  .join(QLatin1Char('|'));
    } else if (what == QLatin1String("csv")) {
        got = QStringLiteral("%1 %2").arg(v.csvIndex).arg(v.csvPath);
    } else if (what == QLatin1String("folder")) {
        got = v.logFolder;
    } else {
        got = QStringLiteral("%1 %2 %3").arg(v.fan).arg(v.beep).arg(v.lit);
    }
    QCOMPARE(what + QLatin1Char(' ') + got, shown);
}

// ---------------------------------------------------------------- window

namespace {

frmDetailed_setting *openSettings(KRM2200 *w)
{
    return qobject_cast<frmDetailed_setting *>(
        w->openWindow(QStringLiteral("frmDetailed_setting")));
}

KRM2200 *portless(ShellFixture &fx)
{
    fx.writeCompleteConfig(fx.iniPath());
    KRM2200 *w = fx.makeWindow();
    ini().setWorkingFile(fx.iniPath());
    w->UnlockControls();
    return w;
}

bool loaded(KRM2200 *w)
{
    return w->isLoaded(QStringLiteral("frmDetailed_setting"));
}

} // namespace

void tst_Detailed::editing()
{
    ShellFixture fx;
    KRM2200 *w = portless(fx);
    frmDetailed_setting *f = openSettings(w);
    QVERIFY(f);
    // What the configuration holds (UNI "3.0 8", FAN 1, SEN3 offset "*").
    QVERIFY(f->O_v.at(2)->isChecked());
    QCOMPARE(f->teikou_t->text(), QStringLiteral("3.0"));
    QCOMPARE(f->Com_a->currentText(), QStringLiteral("8"));
    QVERIFY(f->FAN_O.at(1)->isChecked());
    QCOMPARE(f->ofset_t.at(3)->text(), QStringLiteral("+000"));
    QVERIFY(f->ck_si.at(0)->isChecked() && !f->ck_si.at(1)->isChecked());
    QCOMPARE(f->logFilename_l->text(), fx.appDir());
    QVERIFY(!f->csv_c->isEnabled());

    // Presets fill and lock the thermal unit; the free setting unlocks it.
    f->O_v.at(1)->click();
    QCOMPARE(f->teikou_t->text(), QStringLiteral("2.0"));
    QCOMPARE(f->Com_a->currentText(), QStringLiteral("7"));
    QVERIFY(!f->teikou_t->isEnabled() && !f->Com_a->isEnabled());
    f->O_v.at(0)->click();
    QCOMPARE(f->Com_a->currentText(), QStringLiteral("6"));
    f->O_v.at(2)->click();
    QVERIFY(f->teikou_t->isEnabled() && f->Com_a->isEnabled());

    // Full-width typing becomes half-width; a zero interval becomes 1.
    f->Ulimit_t.at(0)->clear();
    QInputMethodEvent typed; // what an input method commits
    typed.setCommitString(QStringLiteral("１２．３５"));
    QCoreApplication::sendEvent(f->Ulimit_t.at(0), &typed);
    QCOMPARE(f->Ulimit_t.at(0)->text(), QStringLiteral("12.35"));
    f->interval_t->clear();
    QTest::keyClicks(f->interval_t, QStringLiteral("0"));
    QCOMPARE(f->interval_t->text(), QStringLiteral("1"));

    // The key beside the right shift toggles a sensor's check box.
    QTest::keyClick(f->ck_si.at(1), Qt::Key_Backslash);
    QVERIFY(f->ck_si.at(1)->isChecked());

    // CSV output on: the program box turns white and its button works.
    f->csv_op.at(1)->click();
    QVERIFY(f->csv_c->isEnabled());
    QCOMPARE(f->csv_l->palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(w->state().detailed.flg_csv);

    // Choosing a page puts the focus on its first control.
    f->SSTab1->setCurrentIndex(1);
    QCOMPARE(w->focusWidget(), f->FAN_O.at(1));

    // The Tab key walks from the first page through the other two.
    w->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    f->SSTab1->setCurrentIndex(0);
    QList<int> pages;
    for (int i = 0; i < 60 && pages.size() < 3; ++i) {
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        if (!pages.contains(f->SSTab1->currentIndex()))
            pages << f->SSTab1->currentIndex();
    }
    QCOMPARE(pages, (QList<int>{0, 1, 2}));

    // Cancel writes nothing.
    const QString before = fx.text(fx.iniPath());
    f->Cancel_c->click();
    QVERIFY(!loaded(w));
    QCOMPARE(fx.text(fx.iniPath()), before);
}

void tst_Detailed::browse()
{
    ShellFixture fx;
    KRM2200 *w = portless(fx);
    frmDetailed_setting *f = openSettings(w);
    fx.dialogs->answerPickFolder(QStringLiteral("/data/logs"));
    f->logFilename_c->click();
    QCOMPARE(f->logFilename_l->text(), QStringLiteral("/data/logs"));
    fx.dialogs->answerPickFolder(QString()); // cancelled: nothing changes
    f->logFilename_c->click();
    QCOMPARE(f->logFilename_l->text(), QStringLiteral("/data/logs"));
    f->csv_op.at(1)->click();
    fx.dialogs->answerPickFolder(QStringLiteral("/opt/calc"));
    f->csv_c->click();
    QCOMPARE(f->csv_l->text(), QStringLiteral("/opt/calc"));
    QCOMPARE(fx.dialogs->records().size(), 3);
    for (const ScriptedDialogs::Record &r : fx.dialogs->records())
        QCOMPARE(r.title, QStringLiteral("フォルダを選択してください"));
}

void tst_Detailed::okRefusedKeepsWindow()
{
    ShellFixture fx;
    KRM2200 *w = portless(fx);
    frmDetailed_setting *f = openSettings(w);
    f->SSTab1->setCurrentIndex(2);
    f->Llimit_t.at(2)->setText(QStringLiteral("130"));
    bool busyDuringMessage = false;
    fx.dialogs->onMessage = [&](const ScriptedDialogs::Record &) {
        busyDuringMessage = !f->FAN_C->isEnabled();
    };
    // CSV output asked for, but no spreadsheet program: switched off, told, and
    // the other settings still checked.
    f->csv_op.at(1)->click();
    f->FAN_C->click();
    QCOMPARE(fx.dialogs->messages().size(), 2);
    QCOMPARE(fx.dialogs->messages().first().text,
             QStringLiteral("EXCEL.EXEを見つけることができませんでした。\n"
                            "CSVファイルへの出力を停止します。"));
    QCOMPARE(fx.dialogs->messages().first().title, QStringLiteral("確認"));
    QVERIFY(f->csv_op.at(0)->isChecked() && !w->state().detailed.flg_csv);
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("SENSOR1\n") + kLimit);
    QCOMPARE(fx.dialogs->lastMessage().title, QStringLiteral("error"));
    QVERIFY(!busyDuringMessage);
    QVERIFY(loaded(w));
    QCOMPARE(f->SSTab1->currentIndex(), 0);
    QVERIFY(f->SSTab1->isEnabled() && f->Cancel_c->isEnabled());
    QCOMPARE(w->state().detailed.flg_i, 1);
}

// OK with valid values, then the offered write: No closes the window; Yes
// runs the toolbar's write, which sends the new values to the instrument.
void tst_Detailed::okOffersWrite_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("write now") << true;
    QTest::newRow("not now") << false;
}

void tst_Detailed::okOffersWrite()
{
    QFETCH(bool, yes);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    frmDetailed_setting *f = openSettings(w);
    f->Ulimit_t.at(0)->setText(QStringLiteral("120.05"));
    f->O_v.at(1)->click();
    fx.dialogs->answerQuestion(yes);
    f->FAN_C->click();

    QVERIFY(!loaded(w));
    QCOMPARE(fx.dialogs->questions().size(), 1);
    const ScriptedDialogs::Record q = fx.dialogs->questions().first();
    QCOMPARE(q.text, QStringLiteral("設定を反映するためには本体書込みを実行して下さい。\n"
                                    "このまま本体書込みを実行しますか？"));
    QCOMPARE(q.title, QStringLiteral("書込み確認"));
    QVERIFY(!q.defaultYes);
    QCOMPARE(readBack(QStringLiteral("UNI")), QStringLiteral("2.0 7"));
    if (!yes) {
        QVERIFY(fx.sim->waitForIdleLine(1000));
        QCOMPARE(fx.commands(), QStringList());
        return;
    }
    QVERIFY(fx.commands().contains(QStringLiteral("SEN 0 1 120.05 -050.00 +000.00 100.00")));
    QVERIFY(fx.commands().contains(QStringLiteral("UNI 2.0 7")));
    QCOMPARE(fx.commands().last(), QStringLiteral("SAVE"));
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("書き込み完了しました。"));
    QCOMPARE(fx.sim->withEngine([](SimEngine &e) { return e.sensorRecord(0); }),
             QStringLiteral("1 +120.05 -050.00 +000.00 100.00"));
}

// The toolbar's write closes an open window: it asks whether to apply, and
// writes only what was applied and valid.
void tst_Detailed::closedByToolbarWrite_data()
{
    QTest::addColumn<bool>("apply");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("teikou");
    QTest::addColumn<bool>("written");
    QTest::newRow("applied") << true << "120.05"
                             << "3.0" << true;
    QTest::newRow("declined") << false << "120.05"
                              << "3.0" << false;
    QTest::newRow("applied, a sensor wrong") << true << "120.01"
                                             << "3.0" << false;
    QTest::newRow("applied, the unit wrong") << true << "120.05"
                                             << "9" << false;
}

void tst_Detailed::closedByToolbarWrite()
{
    QFETCH(bool, apply);
    QFETCH(QString, upper);
    QFETCH(QString, teikou);
    QFETCH(bool, written);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    frmDetailed_setting *f = openSettings(w);
    f->Ulimit_t.at(0)->setText(upper);
    f->teikou_t->setText(teikou);
    fx.dialogs->answerQuestion(apply);

    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));

    // "いいえ" keeps the window as typed.
    QCOMPARE(loaded(w), !apply);
    // One question only: the apply does not offer a second write.
    QCOMPARE(fx.dialogs->questions().size(), 1);
    QCOMPARE(fx.dialogs->questions().first().text,
             QStringLiteral("変更が更新されていない可能性があります。\n更新して書き込みますか？"));
    QCOMPARE(fx.dialogs->questions().first().title, QStringLiteral("詳細設定確認"));
    const QString sen0 = QStringLiteral("SEN 0 1 120.05 -050.00 +000.00 100.00");
    if (written) {
        QVERIFY(fx.commands().contains(sen0));
        QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("書き込み完了しました。"));
    } else {
        QVERIFY(fx.sim->waitForIdleLine(1000));
        QVERIFY(!fx.commands().contains(QStringLiteral("SAVE")));
        if (apply) {
            QCOMPARE(fx.dialogs->lastMessage().text, kRefused);
        } else {
            // Nothing failed: nothing is said.
            QVERIFY(fx.dialogs->messages().isEmpty());
            QCOMPARE(f->Ulimit_t.at(0)->text(), upper);
        }
    }
}

void tst_Detailed::screenshots()
{
    const QString dir = qEnvironmentVariable("KRM_SETTINGS_SHOTS");
    if (dir.isEmpty())
        QSKIP("KRM_SETTINGS_SHOTS not set");
    ShellFixture fx;
    KRM2200 *w = portless(fx);
    w->resize(1000, 700);
    frmDetailed_setting *f = openSettings(w);
    QWidget *frame = f->parentWidget();
    for (int page = 0; page < 3; ++page) {
        f->SSTab1->setCurrentIndex(page);
        QVERIFY(frame->grab().save(dir + QStringLiteral("/detailed_page%1.png").arg(page), "PNG"));
    }
}

QTEST_MAIN(tst_Detailed)
#include "tst_detailed.moc"
