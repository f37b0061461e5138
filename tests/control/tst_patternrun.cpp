// The pattern-run logic without a window: which patterns can be started, and
// what the step view shows and how it pages.

#include "core/config/Ini_Operation.h"
#include "core/control/PatternRun.h"
#include "core/control/StepView.h"

#include <QFile>
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

QTEST_GUILESS_MAIN(tst_PatternRun)
#include "tst_patternrun.moc"
