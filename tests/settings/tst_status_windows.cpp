// The status, status-log and sensor-log windows: the sensor-log boxes and
// their refill, the labels a status reply fills, and the windows themselves
// against the simulated instrument.

#include "core/app/Twips.h"
#include "core/settings/SensorLog.h"
#include "shell/ShellFixture.h"
#include "ui/settings/frmSenlog.h"
#include "ui/settings/frmStatus.h"
#include "ui/settings/frmStatuslog.h"

#include <QLabel>
#include <QListView>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

// Every sensor reads "+<n>.<k>" at sample n (k the sensor), so a line tells
// which sample and which box it came from.
QStringList readings(int n)
{
    QStringList t;
    for (int k = 0; k < 4; ++k)
        t << QStringLiteral("+%1.%2").arg(n).arg(k);
    return t;
}

SampleStore samples(int count)
{
    SampleStore v;
    for (int n = 0; n <= count; ++n)
        v.set(n, readings(n));
    return v;
}

// One status poll as the timer sends it; returns once the reply was applied.
bool poll(KRM2200 &w)
{
    w.session().parsers().resetStatus();
    w.session().link().SendCommand(QStringLiteral("STATUS"), QStringLiteral("STATUS"), 0.05);
    return QTest::qWaitFor([&] { return w.session().parsers().StatusParsed > 0; }, 5000);
}

QString labelText(QWidget *window, const char *name)
{
    auto *label = window->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<none>");
}

void saveShot(QWidget *window, const QString &file)
{
    const QString dir = qEnvironmentVariable("KRM_SHOTS");
    if (!dir.isEmpty() && window)
        window->window()->grab().save(dir + QLatin1Char('/') + file, "PNG");
}

} // namespace

class tst_StatusWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void refill_data();
    void refill();
    void echoIntoClosedWindow_data();
    void echoIntoClosedWindow();
    void sensorLogAcrossClearsAndReopening();
    void statusWindowQueryAndRefresh();
    void statuslogFollowsPollsAndAlarm();
    void designedPlaceAndSize_data();
    void designedPlaceAndSize();
};

void tst_StatusWindows::refill_data()
{
    QTest::addColumn<QStringList>("sample1");
    QTest::addColumn<int>("upTo");
    QTest::addColumn<QString>("box0");
    QTest::addColumn<QString>("box3");

    QTest::newRow("sample 0 is not listed")
        << readings(1) << 2 << QStringLiteral("1 +1.0\r\n2 +2.0\r\n")
        << QStringLiteral("1 +1.3\r\n2 +2.3\r\n");
    QTest::newRow("no samples") << readings(1) << 0 << QString() << QString();
    QTest::newRow("CR dropped, star kept, texts as received")
        << QStringList{"+025.00\r", "-000.50", "25", "*"} << 1 << QStringLiteral("1 +025.00\r\n")
        << QStringLiteral("1 *\r\n");
    QTest::newRow("more samples stored than counted")
        << QStringList{"-050.00", "+100.05", "", "+150"} << 1 << QStringLiteral("1 -050.00\r\n")
        << QStringLiteral("1 +150\r\n");
}

void tst_StatusWindows::refill()
{
    QFETCH(QStringList, sample1);
    QFETCH(int, upTo);
    QFETCH(QString, box0);
    QFETCH(QString, box3);
    Parameter p;
    p.SenValues = samples(2);
    p.SenValues.set(1, sample1);
    p.LogCount = upTo;
    SensorLogState boxes;
    boxes.load(p);
    QCOMPARE(boxes.box(0), box0);
    QCOMPARE(boxes.box(3), box3);
    for (int k = 0; k < 4; ++k)
        QCOMPARE(p.SenValues.text(k, 1), sample1.at(k));
}

// A box written while its window is closed starts from the samples taken,
// and the sample being echoed is listed once.
void tst_StatusWindows::echoIntoClosedWindow_data()
{
    QTest::addColumn<bool>("clearedFirst");
    QTest::addColumn<int>("sampleNo");
    QTest::addColumn<QString>("box0");

    QTest::newRow("live sample just stored")
        << false << 3 << QStringLiteral("1 +1.0\r\n2 +2.0\r\n3 +3.0\r\n");
    QTest::newRow("another sample (a stored log's)")
        << false << 0 << QStringLiteral("1 +1.0\r\n2 +2.0\r\n3 +3.0\r\n0 +0.0\r\n");
    QTest::newRow("after clearing") << true << 3 << QStringLiteral("3 +3.0\r\n");
}

void tst_StatusWindows::echoIntoClosedWindow()
{
    QFETCH(bool, clearedFirst);
    QFETCH(int, sampleNo);
    QFETCH(QString, box0);
    Parameter p;
    p.SenValues = samples(3);
    p.LogCount = 3;
    SensorLogState s;
    if (clearedFirst)
        s.clear();
    s.append(p, sampleNo, readings(sampleNo));
    QCOMPARE(s.rowText(2, s.rows() - 1) + QLatin1String("\r\n"),
             SensorLogState::line(sampleNo, readings(sampleNo).at(2)));
    QCOMPARE(s.box(0), box0);
    s.unload();
    QVERIFY(!s.isLoaded());
    QVERIFY(s.box(0).isEmpty());
}

// 1200 samples: the open boxes were emptied at 600 and 1200, reopening the
// window lists every sample again; the caret and the view follow the end.
void tst_StatusWindows::sensorLogAcrossClearsAndReopening()
{
    ShellFixture f;
    KRM2200 *w = f.makeWindow();
    Parameter &p = param();
    p.SenValues = samples(0);
    auto *window = qobject_cast<frmSenlog *>(w->openWindow(QStringLiteral("frmSenlog")));
    QVERIFY(window);
    for (int n = 1; n <= 1200; ++n) {
        p.SenValues.set(n, readings(n));
        p.LogCount = n;
        if (n % 600 == 0)
            w->clearSensorLog();
        w->echoSensorLog(n, readings(n));
    }
    QCOMPARE(window->lines(1), QStringList{QStringLiteral("1200 +1200.1")});
    QCOMPARE(w->state().senlog.box(1), QStringLiteral("1200 +1200.1\r\n"));

    QVERIFY(w->unloadWindow(QStringLiteral("frmSenlog")));
    QVERIFY(!w->state().senlog.isLoaded());
    window = qobject_cast<frmSenlog *>(w->openWindow(QStringLiteral("frmSenlog")));
    QVERIFY(window);
    QListView *box = window->boxes[3];
    QStringList lines = window->lines(3);
    QCOMPARE(lines.size(), 1200);
    QCOMPARE(lines.first(), QStringLiteral("1 +1.3"));
    QCOMPARE(lines.last(), QStringLiteral("1200 +1200.3"));
    QCOMPARE(box->currentIndex().row(), 1199);
    QTRY_COMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());

    w->echoSensorLog(1201, readings(1201));
    lines = window->lines(3);
    QCOMPARE(lines.mid(1199), (QStringList{"1200 +1200.3", "1201 +1201.3"}));
    QCOMPARE(box->currentIndex().row(), 1200);
    QTRY_COMPARE(box->verticalScrollBar()->value(), box->verticalScrollBar()->maximum());
    saveShot(window, QStringLiteral("sensor_log.png"));
}

void tst_StatusWindows::statusWindowQueryAndRefresh()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();

    w->statusQuery();
    auto *window = qobject_cast<frmStatus *>(w->loadedWindow(QStringLiteral("frmStatus")));
    QVERIFY(window);
    QTRY_COMPARE(labelText(window, "nj_l"), QStringLiteral("平常状態"));
    QCOMPARE(labelText(window, "sa_l"), QStringLiteral("000"));
    QCOMPARE(labelText(window, "js_l"), QStringLiteral("0"));
    QCOMPARE(labelText(window, "sd_l"), QStringLiteral("08.0"));
    for (const char *name : {"no_l", "pta_l", "ptb1_l", "s1_l"})
        QCOMPARE(labelText(window, name).size(), 7);
    QCOMPARE(labelText(window, "s2_l").size(), 4);

    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("005"));
        return 0;
    });
    window->Update_c->click();
    QTRY_COMPARE(labelText(window, "nj_l"), QStringLiteral("アラーム状態"));
    QCOMPARE(labelText(window, "sa_l"), QStringLiteral("005"));
    // The status-window query feeds nothing else.
    QVERIFY(param().SenValues.isEmpty());
    QVERIFY(w->state().statuslog.nj_l.isEmpty());

    // No reply leaves the window as it was.
    SimFaults silent;
    silent.silent = true;
    f.sim->setFaults(silent);
    window->Update_c->click();
    QCOMPARE(labelText(window, "nj_l"), QStringLiteral("アラーム状態"));
    saveShot(window, QStringLiteral("status_window.png"));

    // Closed, its labels are gone: opened again it shows no old reading.
    window->Cancel_c->click();
    QVERIFY(!w->isLoaded(QStringLiteral("frmStatus")));
    window = qobject_cast<frmStatus *>(w->openWindow(QStringLiteral("frmStatus")));
    QVERIFY(window);
    QCOMPARE(labelText(window, "nj_l"), QString());
    QCOMPARE(labelText(window, "pta_l"), QString());
}

void tst_StatusWindows::statuslogFollowsPollsAndAlarm()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    int alarms = 0;
    w->stopLog = [] {};
    w->showAlarm = [&] { ++alarms; };

    // Written while closed, shown on opening.
    QVERIFY(poll(*w));
    auto *window = qobject_cast<frmStatuslog *>(w->openWindow(QStringLiteral("frmStatuslog")));
    QVERIFY(window);
    QCOMPARE(labelText(window, "nj_l"), QStringLiteral("平常状態"));
    QCOMPARE(labelText(window, "sa_l"), QStringLiteral("000"));
    QVERIFY(window->alarm_c->isHidden());
    const QColor black(Qt::black);
    QCOMPARE(window->values[0]->palette().color(QPalette::WindowText), black);

    f.sim->withEngine([](SimEngine &e) {
        e.raiseAlarm(QStringLiteral("003"));
        return 0;
    });
    QVERIFY(poll(*w));
    QCOMPARE(labelText(window, "nj_l"), QStringLiteral("アラーム状態"));
    QCOMPARE(labelText(window, "sa_l"), QStringLiteral("003"));
    QCOMPARE(window->values[0]->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QVERIFY(!window->alarm_c->isHidden());
    saveShot(window, QStringLiteral("status_log_alarm.png"));
    window->alarm_c->click();
    QCOMPARE(alarms, 2);

    // The alarm clears on the instrument: black again, "詳細" stays offered.
    f.sim->withEngine([](SimEngine &e) {
        e.clearAlarm();
        return 0;
    });
    QVERIFY(poll(*w));
    QCOMPARE(labelText(window, "nj_l"), QStringLiteral("平常状態"));
    QCOMPARE(window->values[0]->palette().color(QPalette::WindowText), black);
    QVERIFY(!window->alarm_c->isHidden());

    // Without an opener hook "詳細" opens the registered alarm window.
    w->showAlarm = nullptr;
    w->registerWindow(QStringLiteral("frmAlarm"), [](WindowHost &) { return new QWidget; });
    window->alarm_c->click();
    QVERIFY(w->isLoaded(QStringLiteral("frmAlarm")));
}

void tst_StatusWindows::designedPlaceAndSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips"); // left, top, width, height
    QTest::newRow("status") << QStringLiteral("frmStatus")
                            << QRect(frmStatus::LeftTwips, frmStatus::TopTwips,
                                     frmStatus::WidthTwips, frmStatus::HeightTwips);
    QTest::newRow("status log") << QStringLiteral("frmStatuslog")
                                << QRect(frmStatuslog::LeftTwips, frmStatuslog::TopTwips,
                                         frmStatuslog::WidthTwips, frmStatuslog::HeightTwips);
    QTest::newRow("sensor log") << QStringLiteral("frmSenlog")
                                << QRect(frmSenlog::LeftTwips, frmSenlog::TopTwips,
                                         frmSenlog::WidthTwips, frmSenlog::HeightTwips);
}

void tst_StatusWindows::designedPlaceAndSize()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    ShellFixture f;
    KRM2200 *w = f.makeWindow();
    w->resize(Twips::toPixels(16000, 9000));
    QWidget *window = w->openWindow(name);
    QVERIFY(window);
    auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget());
    QVERIFY(sub);
    QCOMPARE(sub->pos(), QPoint(Twips::toPixelsX(twips.left()), Twips::toPixelsY(twips.top())));
    const QSize designed = Twips::toPixels(twips.width(), twips.height());
    QVERIFY(sub->width() >= designed.width() && sub->height() >= designed.height());
    QVERIFY2(sub->width() >= sub->minimumSizeHint().width() &&
                 sub->height() >= sub->minimumSizeHint().height(),
             qPrintable(QStringLiteral("%1x%2 < %3x%4")
                            .arg(sub->width())
                            .arg(sub->height())
                            .arg(sub->minimumSizeHint().width())
                            .arg(sub->minimumSizeHint().height())));
}

QTEST_MAIN(tst_StatusWindows)
#include "tst_status_windows.moc"
