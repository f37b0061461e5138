// The pattern-run logic without a window: which patterns can be started, and
// what the step view shows and how it pages.

#include "core/config/Ini_Operation.h"
#include "core/control/PatternPlan.h"
#include "core/control/PatternRun.h"
#include "core/control/RunProgress.h"
#include "core/control/StepView.h"
#include "core/logging/GraphExport.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A value that leaves its key out of the file altogether.
const QString kMissing = QStringLiteral("<missing>");

class ConfigFile {
public:
    ConfigFile() { ini().setWorkingFile(m_dir.filePath(QStringLiteral("KRM.ini"))); }

    void section(const QString &name) { m_text += QLatin1Char('[') + name + QLatin1String("]\n"); }
    void key(const QString &name, const QString &value)
    {
        if (value != kMissing)
            m_text += name + QLatin1Char('=') + value + QLatin1Char('\n');
    }
    bool write()
    {
        QFile f(ini().workingFile());
        return f.open(QIODevice::WriteOnly) && f.write(m_text.toUtf8()) > 0;
    }

private:
    QTemporaryDir m_dir;
    QString m_text;
};

// "first:NA": the first step shown, then N/A or - for the two page buttons.
QString pageState(const StepView &v)
{
    return QStringLiteral("%1:%2%3")
        .arg(v.view_first)
        .arg(v.nextEnabled() ? QLatin1Char('N') : QLatin1Char('-'))
        .arg(v.aheadEnabled() ? QLatin1Char('A') : QLatin1Char('-'));
}

} // namespace

class tst_PatternRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void plan_data();
    void plan();
    void planWhileRunning();
    void progressOfARun();
    void registeredPatterns_data();
    void registeredPatterns();
    void paging_data();
    void paging();
    void rows_data();
    void rows();
};

void tst_PatternRun::registeredPatterns_data()
{
    QTest::addColumn<QStringList>("values"); // PATTERN0 to PATTERN9
    QTest::addColumn<QStringList>("listed");
    QStringList none(10, QString());
    QStringList some = none;
    some[0] = QStringLiteral("1 0 0 2");
    some[2] = QStringLiteral("2 1 20 21");
    some[5] = QStringLiteral("0 0 50 50");
    QTest::newRow("0, 2 and 5") << some << QStringList{"0", "2", "5"};
    QStringList missing(10, kMissing);
    missing[3] = QStringLiteral("1 0 30 30");
    QTest::newRow("missing keys are free") << missing << QStringList{"3"};
    QTest::newRow("no section") << QStringList() << QStringList();
    QStringList star = some;
    star[2] = QStringLiteral("1 * 20 21");
    QTest::newRow("star in field 2") << star << QStringList{"0", "5"};
}

void tst_PatternRun::registeredPatterns()
{
    QFETCH(QStringList, values);
    QFETCH(QStringList, listed);
    ConfigFile cfg;
    cfg.section(QStringLiteral("SEN"));
    cfg.key(QStringLiteral("SEN0"), QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
    if (!values.isEmpty())
        cfg.section(QStringLiteral("PATTERN"));
    for (int n = 0; n < values.size(); ++n)
        cfg.key(QStringLiteral("PATTERN%1").arg(n), values.at(n));
    QVERIFY(cfg.write());
    QCOMPARE(::registeredPatternList(ini()), listed);
    QCOMPARE(goLine(listed.value(0)), listed.isEmpty() ? QString() : "GO " + listed.at(0));
}

void tst_PatternRun::paging_data()
{
    // r<first>: the pattern-run window's choice; n, a: the page buttons.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QStringList>("states");
    QTest::newRow("10 to 22") << "r10 n n a a"
                              << QStringList{"10:N-", "20:-A", "20:-A", "10:N-", "10:N-"};
    QTest::newRow("empty record keeps the buttons") << "r10 r30" << QStringList{"10:N-", "30:N-"};
    QTest::newRow("three fields keep the buttons") << "r10 r60" << QStringList{"10:N-", "60:N-"};
    QTest::newRow("one page") << "r40 n" << QStringList{"40:--", "40:--"};
    QTest::newRow("three pages") << "r70 n n a a a" << QStringList{"70:N-", "80:NA", "90:-A",
                                                                   "80:NA", "70:N-", "70:N-"};
}

void tst_PatternRun::paging()
{
    QFETCH(QString, actions);
    QFETCH(QStringList, states);
    ConfigFile cfg;
    cfg.section(QStringLiteral("PATTERN"));
    cfg.key(QStringLiteral("PATTERN1"), QStringLiteral("5 1 10 22"));
    cfg.key(QStringLiteral("PATTERN2"), QString());
    cfg.key(QStringLiteral("PATTERN3"), QString());
    cfg.key(QStringLiteral("PATTERN4"), QStringLiteral("1 0 40 42"));
    cfg.key(QStringLiteral("PATTERN6"), QStringLiteral("1 0 60"));
    cfg.key(QStringLiteral("PATTERN7"), QStringLiteral("0 1 70 95"));
    QVERIFY(cfg.write());

    StepView view(ini());
    QStringList seen;
    for (const QString &a : actions.split(QLatin1Char(' '))) {
        if (a == QLatin1String("n"))
            view.nextPage();
        else if (a == QLatin1String("a"))
            view.aheadPage();
        else
            view.reLoad(qint16(a.mid(1).toInt()));
        seen.append(pageState(view));
        QCOMPARE(view.rows().front().stepNo, int(view.view_first));
        QCOMPARE(view.rows().back().stepNo, view.view_first + 9);
    }
    QCOMPARE(seen, states);
}

void tst_PatternRun::rows_data()
{
    QTest::addColumn<QString>("sen1");
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("time");
    const QString on = QStringLiteral("1 +150.00 -050.00 +000.00 100.00");
    const QString off = QStringLiteral("0 +150.00 -050.00 +000.00 100.00");
    const QString &valid = stepMarkValid();
    QTest::newRow("PT100A in use") << on << "0 0 0 +040.00 00:00:30" << 0 << valid << "+040.00"
                                   << "00:00:30";
    QTest::newRow("PT100B in use") << on << "1 1 1 25.5 90" << 1 << valid << "25.5"
                                   << "90";
    QTest::newRow("sensor not in use") << off << "1 1 0 25.5 90" << 1 << stepMarkInvalid() << "25.5"
                                       << "90";
    QTest::newRow("sensor key missing") << kMissing << "1 0 0 30 10" << 1 << ""
                                        << "30"
                                        << "10";
    QTest::newRow("blank sensor") << on << "2 0 0 30 10" << 2 << ""
                                  << "30"
                                  << "10";
    QTest::newRow("empty") << on << "" << 2 << ""
                           << "40"
                           << "0";
    QTest::newRow("key missing") << on << kMissing << 2 << ""
                                 << "40"
                                 << "0";
    QTest::newRow("four fields") << on << "0 0 0 30" << 2 << ""
                                 << "40"
                                 << "0";
    QTest::newRow("not held by the instrument") << on << "* * * * *" << 2 << ""
                                                << "40"
                                                << "0";
    QTest::newRow("star in field 2") << on << "0 * 0 30 10" << 2 << ""
                                     << "40"
                                     << "0";
    QTest::newRow("sensor outside the list") << on << "3 0 0 30 10" << 2 << ""
                                             << "40"
                                             << "0";
}

void tst_PatternRun::rows()
{
    QFETCH(QString, sen1);
    QFETCH(QString, record);
    QFETCH(int, sensor);
    QFETCH(QString, mark);
    QFETCH(QString, temp);
    QFETCH(QString, time);
    ConfigFile cfg;
    cfg.section(QStringLiteral("SEN"));
    cfg.key(QStringLiteral("SEN0"), QStringLiteral("1 +150.00 -050.00 +000.00 100.00"));
    cfg.key(QStringLiteral("SEN1"), sen1);
    cfg.section(QStringLiteral("STEP"));
    cfg.key(QStringLiteral("STEP3"), record);
    cfg.key(QStringLiteral("STEP13"), QStringLiteral("0 0 0 +050.00 00:01:00"));
    QVERIFY(cfg.write());

    // Row 3 had a mark on the page shown before.
    StepView view(ini());
    view.reLoad(10);
    QCOMPARE(view.rows().at(3).mark, stepMarkValid());
    view.reLoad(0);
    const StepViewRow &row = view.rows().at(3);
    QCOMPARE(row.stepNo, 3);
    QCOMPARE(row.sensorIndex, sensor);
    QCOMPARE(row.mark, mark);
    QCOMPARE(row.temp, temp);
    QCOMPARE(row.time, time);
}

// The plan of the records as the editor writes them: "step/loop sensor set
// hold @earliest start" for every step, "gap" for one the registration drops.
void tst_PatternRun::plan_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("steps"); // "n=record"
    QTest::addColumn<QString>("senUse");    // SEN0 ... SEN3, first character
    QTest::addColumn<QStringList>("plan");
    QTest::addColumn<QString>("summary");

    const QStringList three = {"20=0 0 0 +030.00 00:10:00", "21=1 0 0 +045.50 00:00:00",
                               "22=0 0 0 -010.00 01:00:05"};
    QTest::newRow("one loop, a zero hold")
        << "1 0 20 22" << three << "1111"
        << QStringList{"20/1 0 30 600 @0", "21/1 1 45.5 0 @600", "22/1 0 -10 3605 @600"}
        << "ステップ数 3　ループ 1 回　保持時間の合計 1:10:05";
    QTest::newRow("two loops repeat in order")
        << "2 1 20 21" << three << "1111"
        << QStringList{"20/1 0 30 600 @0", "21/1 1 45.5 0 @600", "20/2 0 30 600 @600",
                       "21/2 1 45.5 0 @1200"}
        << "ステップ数 2　ループ 2 回　保持時間の合計 0:20:00";
    // A pattern that took the next block: steps 8 to 11.
    QTest::newRow("several blocks")
        << "1 0 8 11"
        << QStringList{"8=0 0 0 +025.00 00:00:10", "9=0 0 0 +026.00 00:00:10",
                       "10=1 0 0 +027.00 00:00:10", "11=1 0 0 +028.00 00:00:10"}
        << "1111"
        << QStringList{"8/1 0 25 10 @0", "9/1 0 26 10 @10", "10/1 1 27 10 @20", "11/1 1 28 10 @30"}
        << "ステップ数 4　ループ 1 回　保持時間の合計 0:00:40";
    // PT100B not in use: its step is a gap and holds nothing; a free step
    // (blank sensor) as well; "*" is the instrument's step it does not hold.
    QTest::newRow("unregistered steps are gaps")
        << "1 0 20 23"
        << QStringList{"20=0 0 0 +030.00 00:10:00", "21=1 0 0 +045.50 00:05:00",
                       "22=2 0 0 +040.00 00:00:00", "23=0 * * * *"}
        << "1011"
        << QStringList{"20/1 0 30 600 @0", "21/1 gap @600", "22/1 gap @600", "23/1 gap @600"}
        << "ステップ数 4　ループ 1 回　保持時間の合計 0:10:00";
    QTest::newRow("endless plans one loop")
        << "0 0 20 20" << three << "1111" << QStringList{"20/1 0 30 600 @0"}
        << "ステップ数 1　ループ 無限　保持時間の合計 0:10:00（1 ループ）";
    QTest::newRow("not registered") << "* * * *" << three << "1111" << QStringList{} << QString();
    QTest::newRow("empty") << "" << three << "1111" << QStringList{} << QString();
    QTest::newRow("range backwards")
        << "1 0 22 20" << three << "1111" << QStringList{} << QString();
}

void tst_PatternRun::plan()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, steps);
    QFETCH(QString, senUse);
    QFETCH(QStringList, plan);
    QFETCH(QString, summary);
    std::array<QString, 4> use;
    for (size_t i = 0; i < use.size(); ++i)
        use[i] = senUse.mid(int(i), 1);
    const PatternPlan p = PatternPlan::fromRecords(
        pattern,
        [&steps](int n) {
            for (const QString &s : steps)
                if (s.section(QLatin1Char('='), 0, 0).toInt() == n)
                    return s.section(QLatin1Char('='), 1);
            return QStringLiteral("ERR");
        },
        use);
    QStringList shown;
    for (const PlannedStep &s : p.steps())
        shown << (s.registered() ? QStringLiteral("%1/%2 %3 %4 %5 @%6")
                                       .arg(s.step)
                                       .arg(s.loop)
                                       .arg(s.sensor)
                                       .arg(s.setC)
                                       .arg(s.holdS)
                                       .arg(s.earliestStartS)
                                 : QStringLiteral("%1/%2 gap @%3")
                                       .arg(s.step)
                                       .arg(s.loop)
                                       .arg(s.earliestStartS));
    QCOMPARE(shown, plan);
    QCOMPARE(p.isValid(), !plan.isEmpty());
    QCOMPARE(p.isValid() ? p.summaryLine() : QString(), summary);
}

// The earliest left of a run: the rest of the step's hold and every later
// hold; from the next step when the step's start is unknown; none for loops
// without end.
void tst_PatternRun::planWhileRunning()
{
    const auto steps = [](int n) {
        return n == 20 ? QStringLiteral("0 0 0 +030.00 00:10:00")
                       : QStringLiteral("1 0 0 +045.00 00:05:00");
    };
    const std::array<QString, 4> use = {"1", "1", "1", "1"};
    const PatternPlan p = PatternPlan::fromRecords(QStringLiteral("3 0 20 21"), steps, use);
    QCOMPARE(p.totalHoldS(), 3 * 900);
    QCOMPARE(p.indexOf(21, 2), 3);
    QCOMPARE(p.indexOf(19, 1), -1);
    QCOMPARE(p.earliestLeftS(3, qint64(60)), 240 + 900);
    QCOMPARE(p.earliestLeftS(3, std::nullopt), 900);
    QCOMPARE(p.earliestLeftS(0, qint64(0)), 2700);
    // A step that took longer than its hold has nothing left, never less.
    QCOMPARE(p.stepLeftS(5, 1000), 0);
    QCOMPARE(p.earliestLeftS(5, qint64(1000)), 0);
    QCOMPARE(PatternPlan::hms(36005), QStringLiteral("10:00:05"));
    const PatternPlan endless = PatternPlan::fromRecords(QStringLiteral("0 0 20 21"), steps, use);
    QVERIFY(!endless.earliestLeftS(0, qint64(0)));
}

// A run of 2 steps x 2 loops followed reply by reply: its place, the loop
// counted when the first step comes back, the earliest end, and what each
// step took; then a run found already going, and one without end.
void tst_PatternRun::progressOfARun()
{
    const auto steps = [](int n) {
        return n == 20 ? QStringLiteral("0 0 0 +030.00 00:10:00")
                       : QStringLiteral("1 0 0 +045.00 00:05:00");
    };
    const std::array<QString, 4> use = {"1", "1", "1", "1"};
    const PatternPlan plan = PatternPlan::fromRecords(QStringLiteral("2 0 20 21"), steps, use);
    const QDateTime t0(QDate(2026, 12, 8), QTime(22, 0, 0));
    RunProgress run;
    run.start(plan, t0);
    run.observe(20, t0.addSecs(5));
    QCOMPARE(run.positionText(), QStringLiteral("ステップ 20（1 / 2）"));
    QCOMPARE(run.loopText(), QStringLiteral("ループ 1 / 2"));
    QCOMPARE(run.stepLeftText(t0.addSecs(65)), QStringLiteral("0:09:00"));
    // 540 s of this hold, then 300 + 600 + 300.
    QCOMPARE(run.earliestEnd(t0.addSecs(65)), t0.addSecs(65 + 540 + 1200));
    QCOMPARE(run.endText(t0.addSecs(65)), QStringLiteral("22:30:05"));
    const QJsonObject going = runJson(run, t0.addSecs(65)).toObject();
    QCOMPARE(going.value(QStringLiteral("loop")).toInt(), 1);
    QCOMPARE(going.value(QStringLiteral("step_left_s")).toInt(), 540);
    QCOMPARE(going.value(QStringLiteral("earliest_end")).toString(),
             GraphExport::isoTime(t0.addSecs(65 + 540 + 1200)));
    // What the graph draws ahead of the newest sample: the rest of this
    // hold, then the later steps.
    QStringList ahead;
    for (const RunProgress::Ahead &a : run.ahead(t0.addSecs(65)))
        ahead << QStringLiteral("%1-%2 %3").arg(a.fromS).arg(a.toS).arg(a.setC);
    QCOMPARE(ahead, (QStringList{"0-540 30", "540-840 45", "840-1440 30", "1440-1740 45"}));
    run.observe(20, t0.addSecs(300)); // the same step again changes nothing
    run.observe(21, t0.addSecs(700));
    run.observe(20, t0.addSecs(1100));
    QCOMPARE(run.loopText(), QStringLiteral("ループ 2 / 2"));
    QCOMPARE(run.positionText(), QStringLiteral("ステップ 20（1 / 2）"));
    // Late beyond the plan: the step has nothing left, the end follows now.
    QCOMPARE(run.stepLeftText(t0.addSecs(2000)), QStringLiteral("0:00:00"));
    QCOMPARE(run.earliestEnd(t0.addSecs(2000)), t0.addSecs(2000 + 300));
    run.observe(21, t0.addSecs(1800));
    run.finish(t0.addSecs(2200));
    QVERIFY(!run.active());
    QCOMPARE(QString::fromUtf8(RunProgress::rowsCsv(run.rows())),
             QStringLiteral("step,loop,set_c,hold_s,start,end,duration_s,over_hold_s\r\n"
                            "20,1,30.00,600,2026-12-08T22:00:05,2026-12-08T22:11:40,695,95\r\n"
                            "21,1,45.00,300,2026-12-08T22:11:40,2026-12-08T22:18:20,400,100\r\n"
                            "20,2,30.00,600,2026-12-08T22:18:20,2026-12-08T22:30:00,700,100\r\n"
                            "21,2,45.00,300,2026-12-08T22:30:00,2026-12-08T22:36:40,400,100\r\n"));
    QCOMPARE(RunProgress::rowNote(run.rows().at(1)),
             QStringLiteral("ステップ実績：ステップ 21　ループ 1　設定 45.00℃　保持 0:05:00　"
                            "所要 0:06:40　超過 0:01:40"));

    // Found running at a start-up: neither the step's own start nor the loop
    // is known; the earliest end counts the step as in the last loop.
    run.start(plan, t0, false);
    run.observe(21, t0);
    QCOMPARE(run.stepLeftText(t0), QStringLiteral("不明"));
    QCOMPARE(run.loopText(), QStringLiteral("ループ 不明 / 2"));
    QCOMPARE(run.earliestEnd(t0), t0);
    const QJsonObject json = runJson(run, t0).toObject();
    QCOMPARE(QJsonDocument(json).toJson(QJsonDocument::Compact),
             "{\"earliest_end\":\"" + GraphExport::isoTime(t0).toUtf8() +
                 "\",\"index\":2,\"loop\":null,\"loops\":2,\"pattern\":null,\"step\":21,"
                 "\"step_left_s\":null,\"steps\":2}");
    run.finish(t0.addSecs(10));
    QVERIFY(RunProgress::rowsCsv(run.rows()).endsWith("21,,45.00,300,,2026-12-08T22:00:10,,\r\n"));
    QVERIFY(runJson(run, t0).isNull());

    run.start(PatternPlan::fromRecords(QStringLiteral("0 0 20 21"), steps, use), t0);
    run.observe(20, t0);
    QCOMPARE(run.loopText(), QStringLiteral("ループ 1 / 無限"));
    QCOMPARE(run.endText(t0), QStringLiteral("なし（繰り返し）"));
}

QTEST_GUILESS_MAIN(tst_PatternRun)
#include "tst_patternrun.moc"
