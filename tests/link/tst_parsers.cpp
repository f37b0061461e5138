#include "core/config/Parameter.h"
#include "core/link/AnswerShape.h"
#include "core/link/Reception_Show.h"

#include <QtTest>

#include <algorithm>
#include <limits>

namespace {

const QString StatusLine = QStringLiteral("00 +030.5 3.0 000 1");
const QString TempLine = QStringLiteral("+025.00 +026.00 +027.00 +028");
const QString Accepted = QStringLiteral("00|+030.5|3.0|000|1 / +025.00|+026.00|+027.00|+028");

const QStringList AllKeys = {"VERSION", "STATUS", "STATUS2", "SEN", "BEEP", "LIT",
                             "LOG",     "FAN",    "LP",      "LS",  "UNI"};

// A parser with its own parameter set and a record of every status report.
struct Probe {
    Parameter p;
    Reception_Show rs{p};
    QStringList reports;

    Probe()
    {
        rs.onStatus = [this](const StatusReport &r) {
            reports << r.status.join('|') + " / " + r.temps.join('|');
        };
        rs.onStatus2 = [this](const Status2Report &r) {
            reports << r.text + ' ' + r.status.join('|') + " / " + r.temps.join('|');
        };
    }
    Probe(const Probe &) = delete;

    // Hands the chunks over as the receive handler does: each character in
    // order to the parser of the awaited key.
    int receive(const QString &key, const QStringList &chunks)
    {
        int taken = 0;
        for (const QString &chunk : chunks)
            for (QChar c : chunk)
                taken += rs.dispatch(key, c) ? 1 : 0;
        return taken;
    }

    QString result(const QString &key) const
    {
        if (key == "VERSION")
            return rs.versi;
        if (key.startsWith("STATUS"))
            return reports.join(';');
        const QMap<QString, QString> buffers = {
            {"SEN", p.SenReply}, {"BEEP", p.BeepReply}, {"LIT", p.LitReply}, {"LOG", p.LogReply},
            {"FAN", p.FanReply}, {"LP", p.LpReply},     {"LS", p.LsReply},   {"UNI", p.UniReply}};
        return buffers.value(key);
    }

    // Everything a parser can change, to compare runs as a whole.
    QString fingerprint() const
    {
        QStringList parts = {p.SenReply, p.BeepReply, p.LitReply, p.LogReply, p.FanReply,
                             p.LpReply,  p.LsReply,   p.UniReply, rs.versi,   rs.StatusBuffer};
        for (int n : {rs.VerCrCount, rs.StatusCrCount, rs.StatusParsed, rs.SenCrCount,
                      rs.SenSpaceCount, rs.BeepCrCount, rs.LitCrCount, rs.LogCrCount, rs.FanCrCount,
                      rs.UniCrCount, rs.LpCrCount, rs.LpSpaceCount, rs.LsCrCount, rs.LsSpaceCount})
            parts << QString::number(n);
        return parts.join('#') + '#' + reports.join(';');
    }
};

} // namespace

class tst_parsers : public QObject {
    Q_OBJECT

private slots:
    void wholeReply_data();
    void wholeReply();
    void everySplitPoint_data() { wholeReply_data(); }
    void everySplitPoint();
    void unknownKeyHandsToNobody_data();
    void unknownKeyHandsToNobody();
    void everyKnownKeyTakesCharacters();
    void secondReplyFollowsCounters_data();
    void secondReplyFollowsCounters();
    void receiverMayResetParser();
    void endlessInputStaysBounded_data();
    void endlessInputStaysBounded();
    void statusText_data();
    void statusText();
    void answerShapes_data();
    void answerShapes();
    void oneCharacterOff_data();
    void oneCharacterOff();
};

void tst_parsers::wholeReply_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, const QString &key, const QString &reply,
                  const QString &expected) { QTest::newRow(name) << key << reply << expected; };
    const QString head = QStringLiteral("STATUS\rOK\r");

    row("beep three lines", "BEEP", "BEEP\rOK\r1\r", "1");
    row("beep fourth line ignored", "BEEP", "BEEP\rOK\r1\r0\r", "1");
    row("beep cut after line 3", "BEEP", "BEEP\rOK\r1", "1");
    row("beep two lines only", "BEEP", "BEEP\rOK\r", "");
    row("lit", "LIT", "LIT\rOK\r2\r", "2");
    row("log keeps spaces", "LOG", "LOG\rOK\r0 5\r", "0 5");
    row("fan", "FAN", "FAN\rOK\r0\r", "0");
    row("uni", "UNI", "UNI\rOK\r3.5 8\r", "3.5 8");

    row("sen stops before fifth space", "SEN", "SEN 0\rOK\r0 1 +100.00 -050.00 10:20 x\r",
        "0 1 +100.00 -050.00 10 20");
    row("sen four spaces whole line", "SEN", "SEN 2\rOK\r2 1 +150.00 -050.00 *\r",
        "2 1 +150.00 -050.00 *");
    row("lp digits and spaces from first space", "LP", "LP 1 0\rOK\rLP 1 2 A5\r", " 1 2 5");
    row("lp no space on line 3", "LP", "LP 1 0\rOK\rLP12\r", "");
    row("ls without slashes", "LS", "LS 3 1\rOK\rLS 3 1/2/3\r", " 3 123");
    row("ls step record", "LS", "LS 5 1\rOK\rLS 5 0 0 0 +040.00 00:10:00\r",
        " 5 0 0 0 +040.00 00:10:00");

    row("version two lines", "VERSION", "VERSION\rOK\rKRM-2200\rVer 1.03\rtail\r",
        "\r\nKRM-2200\r\nVer 1.03");
    row("version cut after line 3", "VERSION", "VERSION\rOK\rKRM-2200", "\r\nKRM-2200");

    row("status accepted", "STATUS", head + StatusLine + '\r' + TempLine + '\r', Accepted);
    row("status star fourth reading", "STATUS", head + StatusLine + "\r+025.00 * +027.00 *\r",
        "00|+030.5|3.0|000|1 / +025.00|*|+027.00|*");
    row("status all readings missing", "STATUS", head + StatusLine + "\r* * * *\r",
        "00|+030.5|3.0|000|1 / *|*|*|*");
    row("status 3-char fourth reading", "STATUS",
        head + StatusLine + "\r+025.00 +026.00 +027.00 +02\r", "");
    row("status 3-char code", "STATUS", head + "000 +030.5 3.0 000 1\r" + TempLine + '\r', "");
    row("status leading space in status line", "STATUS",
        head + ' ' + StatusLine + '\r' + TempLine + '\r', "");
    row("status trailing space in temperature line", "STATUS",
        head + StatusLine + '\r' + TempLine + " \r", Accepted);
    row("status trailing space in status line", "STATUS",
        head + StatusLine + " \r" + TempLine + '\r', Accepted);
    // A field lost or bent on the way leaves no sample rather than a wrong one.
    row("status double space is refused", "STATUS", head + "00  +030.5 3.0 000\r" + TempLine + '\r',
        "");
    row("status letter in a reading", "STATUS",
        head + StatusLine + "\r+025.00 +02O.00 +027.00 +028\r", "");
    row("status reading cut short", "STATUS", head + StatusLine + "\r+025.00 +026.0 +027.00 +028\r",
        "");
    row("status alarm code of two digits", "STATUS",
        head + "04 +031.0 3.0 12 3\r" + TempLine + '\r', "");
    row("status alarm code passed on", "STATUS", head + "04 +031.0 3.0 012 3\r" + TempLine + '\r',
        "04|+031.0|3.0|012|3 / +025.00|+026.00|+027.00|+028");
    row("status cut before fourth CR", "STATUS", head + StatusLine + '\r' + TempLine, "");
    row("status ERR lines", "STATUS", "ERR\rERR\rERR\rERR\rERR\r", "");
    row("status garbage lines", "STATUS", "\r \r+\r- - - -\r    \r\n\r+ + + +\r", "");
    row("status once although more follows", "STATUS",
        head + StatusLine + '\r' + TempLine + '\r' + head + "02 +030.5 3.0 000 7\r" + TempLine +
            '\r',
        Accepted);
    row("status later bad temperature line wins", "STATUS",
        "STATUS\r" + TempLine + '\r' + StatusLine + "\r+1 +2 +3 +4\r", "");
    row("status later good temperature line wins", "STATUS",
        "STATUS\r+1 +2 +3 +4\r" + StatusLine + '\r' + TempLine + '\r', Accepted);
    row("status unfinished late status line not taken", "STATUS",
        head + "XX\r" + TempLine + "\r00 +030.5 3.0 000 12", "");
    row("status late status line taken when complete", "STATUS",
        head + "XX\r" + TempLine + "\r00 +030.5 3.0 000 12\r",
        "00|+030.5|3.0|000|12 / +025.00|+026.00|+027.00|+028");

    const QString shown = QStringLiteral("平常状態 00|+030.5|3.0|000|1 / "
                                         "+025.00|+026.00|+027.00|+028|");
    row("status2 accepted", "STATUS2", head + StatusLine + '\r' + TempLine + " \r", shown);
    row("status2 four-piece temperature line", "STATUS2",
        head + StatusLine + '\r' + TempLine + '\r', "");
    row("status2 unknown code", "STATUS2", head + "03 +030.5 3.0 000 1\r" + TempLine + " \r", "");
    row("status2 six status fields", "STATUS2", head + StatusLine + " \r" + TempLine + " \r", "");
    row("status2 starting up without readings", "STATUS2", head + "80 +030.5 3.0 000 0\r* * * * \r",
        QStringLiteral("起動中 80|+030.5|3.0|000|0 / *|*|*|*|"));
    row("status2 once although more follows", "STATUS2",
        head + StatusLine + '\r' + TempLine + " \r" + head + "02 1 2 3 4\r" + TempLine + " \r",
        shown);
    row("status2 cut before fourth CR", "STATUS2", head + StatusLine + '\r' + TempLine + ' ', "");
    row("status2 ERR lines", "STATUS2", "ERR\rERR\rERR\rERR\rERR\r", "");
}

void tst_parsers::wholeReply()
{
    QFETCH(QString, key);
    QFETCH(QString, reply);
    QFETCH(QString, expected);

    Probe probe;
    QCOMPARE(probe.receive(key, {reply}), reply.size());
    QCOMPARE(probe.result(key), expected);
}

void tst_parsers::everySplitPoint()
{
    QFETCH(QString, key);
    QFETCH(QString, reply);
    QFETCH(QString, expected);

    Probe whole;
    whole.receive(key, {reply});
    const QString reference = whole.fingerprint();

    for (qsizetype at = 1; at < reply.size(); ++at) {
        Probe split;
        split.receive(key, {reply.left(at), reply.mid(at)});
        QVERIFY2(split.fingerprint() == reference, qPrintable(QString("split at %1").arg(at)));
        QCOMPARE(split.result(key), expected);
    }

    QStringList single;
    for (QChar c : reply)
        single << QString(c);
    Probe bytewise;
    bytewise.receive(key, single);
    QCOMPARE(bytewise.fingerprint(), reference);
}

void tst_parsers::unknownKeyHandsToNobody_data()
{
    QTest::addColumn<QString>("key");
    QTest::newRow("empty") << QString();
    QTest::newRow("run") << "RUN";
    QTest::newRow("lower case") << "status";
    QTest::newRow("command text") << "SEN ";
    QTest::newRow("near miss") << "STATUS3";
}

void tst_parsers::unknownKeyHandsToNobody()
{
    QFETCH(QString, key);
    const QString reply = "RUN\rOK\r00 1 2 3 4\r" + TempLine + " \r1\r";

    Probe fresh;
    Probe probe;
    QCOMPARE(probe.receive(key, {reply}), 0);
    QCOMPARE(probe.fingerprint(), fresh.fingerprint());
}

void tst_parsers::everyKnownKeyTakesCharacters()
{
    for (const QString &key : AllKeys) {
        Probe probe;
        QVERIFY2(probe.rs.dispatch(key, QLatin1Char('\r')), qPrintable(key));
    }
}

void tst_parsers::secondReplyFollowsCounters_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("resetBetween");
    QTest::addColumn<QString>("expected");

    const QString st1 = "STATUS\rOK\r" + StatusLine + '\r' + TempLine + " \r";
    const QString st2 = "STATUS\rOK\r02 +030.0 3.0 000 4\r" + TempLine + " \r";
    const QString txt1 = "00|+030.5|3.0|000|1 / +025.00|+026.00|+027.00|+028";
    const QString txt2 = "02|+030.0|3.0|000|4 / +025.00|+026.00|+027.00|+028";

    QTest::newRow("beep ignored") << "BEEP"
                                  << "BEEP\rOK\r1\r"
                                  << "BEEP\rOK\r0\r" << false << "1";
    // Resetting counters without emptying the buffer appends.
    QTest::newRow("beep appended") << "BEEP"
                                   << "BEEP\rOK\r1\r"
                                   << "BEEP\rOK\r0\r" << true << "10";
    QTest::newRow("sen ignored") << "SEN"
                                 << "SEN 0\rOK\r0 1 a b c:d\r"
                                 << "SEN 1\rOK\r1 1 e f g:h\r" << false << "0 1 a b c d";
    QTest::newRow("ls appended") << "LS"
                                 << "LS 1 1\rOK\rLS 1 2\r"
                                 << "LS 2 1\rOK\rLS 2 3\r" << true << " 1 2 2 3";
    QTest::newRow("version ignored") << "VERSION"
                                     << "V\rOK\rA\rB\r"
                                     << "V\rOK\rC\rD\r" << false << "\r\nA\r\nB";
    QTest::newRow("version replaced") << "VERSION"
                                      << "V\rOK\rA\rB\r"
                                      << "V\rOK\rC\rD\r" << true << "\r\nC\r\nD";
    QTest::newRow("status once") << "STATUS" << st1 << st2 << false << txt1;
    QTest::newRow("status twice") << "STATUS" << st1 << st2 << true << txt1 + ';' + txt2;
    QTest::newRow("status2 once") << "STATUS2" << st1 << st2 << false
                                  << QStringLiteral("平常状態 ") + txt1 + '|';
    QTest::newRow("status2 twice")
        << "STATUS2" << st1 << st2 << true
        << QStringLiteral("平常状態 ") + txt1 + "|;" + QStringLiteral("動作状態 ") + txt2 + '|';
}

void tst_parsers::secondReplyFollowsCounters()
{
    QFETCH(QString, key);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, resetBetween);
    QFETCH(QString, expected);

    Probe probe;
    probe.receive(key, {first});
    if (resetBetween)
        probe.rs.resetAll(); // counters and status state, not the reply buffers
    probe.receive(key, {second});
    QCOMPARE(probe.result(key), expected);
}

// Whoever takes a status report may reset the status state (stopping a log
// does) or change the receiver; neither may disturb the parser.
void tst_parsers::receiverMayResetParser()
{
    Parameter p;
    Reception_Show rs(p);
    QStringList codes;
    rs.onStatus = [&](const StatusReport &r) {
        codes << r.code();
        rs.resetStatus();
        rs.onStatus = [&](const StatusReport &later) { codes << "next " + later.code(); };
    };
    const QString reply = "STATUS\rOK\r" + StatusLine + '\r' + TempLine + '\r';
    for (QChar c : reply + reply)
        rs.dispatch("STATUS", c);
    QCOMPARE(codes, QStringList({"00", "next 00"}));
}

void tst_parsers::endlessInputStaysBounded_data()
{
    QTest::addColumn<QString>("key");
    for (const QString &key : AllKeys)
        QTest::newRow(qPrintable(key)) << key;
}

void tst_parsers::endlessInputStaysBounded()
{
    QFETCH(QString, key);

    // A line 3 that never ends, then a flood of short lines.
    Probe probe;
    probe.receive(key, {"X\rOK\r", QString(20000, QLatin1Char('7'))});
    const QString lines = QString("+1 +2 +3 +4\r00 1 2 3 4\r ").repeated(2000);
    probe.receive(key, {lines, lines});

    const QStringList buffers = {probe.p.SenReply,     probe.p.BeepReply, probe.p.LitReply,
                                 probe.p.LogReply,     probe.p.FanReply,  probe.p.LpReply,
                                 probe.p.LsReply,      probe.p.UniReply,  probe.rs.versi,
                                 probe.rs.StatusBuffer};
    for (const QString &b : buffers)
        QVERIFY(b.size() <= Reception_Show::BufferLimit);
    QVERIFY(probe.reports.size() <= 1);
    QVERIFY(probe.rs.StatusCrCount >= 0 && probe.rs.StatusParsed <= 1);
    QCOMPARE(probe.result(key).isEmpty(), key.startsWith("STATUS"));

    // Counters at their ceiling stay there instead of wrapping back to line 3.
    probe.rs.BeepCrCount = std::numeric_limits<int>::max();
    probe.p.BeepReply.clear();
    probe.receive("BEEP", {"\r1"});
    QCOMPARE(probe.rs.BeepCrCount, std::numeric_limits<int>::max());
    QVERIFY(probe.p.BeepReply.isEmpty());
}

void tst_parsers::statusText_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("00") << "00" << QStringLiteral("平常状態");
    QTest::newRow("01") << "01" << QStringLiteral("ロック状態");
    QTest::newRow("02") << "02" << QStringLiteral("動作状態");
    QTest::newRow("04") << "04" << QStringLiteral("アラーム状態");
    QTest::newRow("40") << "40" << QStringLiteral("アクセス状態");
    QTest::newRow("80") << "80" << QStringLiteral("起動中");
    QTest::newRow("unknown") << "03" << QString();
    QTest::newRow("one char") << "0" << QString();
    QTest::newRow("padded") << " 00" << QString();
    QTest::newRow("empty") << "" << QString();
}

void tst_parsers::statusText()
{
    QFETCH(QString, code);
    QFETCH(QString, text);
    const QString got = Reception_Show::statusText(code);
    QCOMPARE(got, text);
    QCOMPARE(got.isNull(), text.isNull());
}

// What the whole-set read may store, key by key. The noisy rows are values
// a garbled line actually produced.
void tst_parsers::answerShapes_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("shaped");
    auto row = [](const char *name, const char *section, const char *key, const char *value,
                  bool shaped) {
        QTest::newRow(name) << QString::fromLatin1(section) << QString::fromLatin1(key)
                            << QString::fromUtf8(value) << shaped;
    };
    row("pt100 record", "SEN", "SEN0", "1 +150.00 -050.00 +000.00 100.00", true);
    row("pt100 without offset", "SEN", "SEN1", "0 +150.00 -050.00 * *", true);
    row("sensor1 record", "SEN", "SEN2", "1 +100.00 +020.00 +000.00", true);
    row("sensor2 whole degrees", "SEN", "SEN3", "1 +080 +000 +000", true);
    row("pt100 whole degrees", "SEN", "SEN0", "1 +080 +000 +000 100.00", false);
    row("pt100 lacks resistance", "SEN", "SEN0", "1 +150.00 -050.00 +000.00", false);
    row("sensor2 with resistance", "SEN", "SEN3", "1 +100.00 +020.00 * 100.00", false);
    row("noisy limit", "SEN", "SEN1", "1 +1_0.00 -050.00 +000.00 100.00", false);
    row("use flag not 0 or 1", "SEN", "SEN2", "7 +100.00 +020.00 *", false);
    row("limit lost its sign", "SEN", "SEN2", "1 5150.00 +020.00 *", false);
    row("double space", "SEN", "SEN2", "1  +100.00 +020.00", false);
    // The settings window's ranges hold for answers too.
    row("pt100 limits 999.99", "SEN", "SEN0", "1 +999.99 -999.99 +000.00 100.00", false);
    row("pt100 upper 150.05", "SEN", "SEN1", "1 +150.05 -050.00 +000.00 100.00", false);
    row("pt100 off the 0.05 grid", "SEN", "SEN1", "1 +012.34 -050.00 +000.00 100.00", false);
    row("lower above upper", "SEN", "SEN0", "1 +020.00 +030.00 +000.00 100.00", false);
    row("lower equal to upper", "SEN", "SEN3", "1 +050 +050 +000", false);
    row("sensor1 below 0", "SEN", "SEN2", "1 +080 -001 +000", false);
    row("sensor1 half degree", "SEN", "SEN2", "1 +080.50 +000.00 +000", false);
    row("offset over 10", "SEN", "SEN0", "1 +150.00 -050.00 +010.05 100.00", false);
    row("resistance 105.05", "SEN", "SEN1", "1 +150.00 -050.00 +000.00 105.05", false);
    row("unit", "UNI", "para", "3.0 8", true);
    row("unit limits", "UNI", "para", "6.0 16", true);
    row("unit 99 A", "UNI", "para", "2.0 99", false);
    row("unit 2 A", "UNI", "para", "2.0 2", false);
    row("unit 6.1 ohms", "UNI", "para", "6.1 8", false);
    row("unit 2.05 ohms", "UNI", "para", "2.05 8", false);
    row("fan 2", "FAN", "para", "2", true);
    row("fan 7", "FAN", "para", "7", false);
    row("backlight 2", "LIT", "para", "2", false);
    row("beep far out", "BEEP", "para", "99999999999999999999", false);
    row("noisy unit", "UNI", "para", "3.' 8", false);
    row("unit one field", "UNI", "para", "3.0", false);
    row("beep", "BEEP", "para", "1", true);
    row("empty fan", "FAN", "para", "", false);
    row("noisy backlight", "LIT", "para", "1#", false);
    row("pattern", "PATTERN", "PATTERN0", "1 0 0 2", true);
    row("pattern not held", "PATTERN", "PATTERN9", "", true);
    row("pattern one field", "PATTERN", "PATTERN5", "7", false);
    row("step", "STEP", "STEP0", "0 0 0 +040.00 00:00:30", true);
    row("step as typed", "STEP", "STEP1", "1 0 0 40.5 90", false);
    row("step not held", "STEP", "STEP99", "* * * * *", true);
    row("noisy step", "STEP", "STEP35", "_ * * *", false);
    row("step half held", "STEP", "STEP3", "0 * 0 +040.00 00:00:30", false);
    row("noisy hold time", "STEP", "STEP3", "0 0 0 +040.00 00:0#:30", false);
    // A dropped digit breaks the fixed widths; a changed one is caught by
    // the ranges where it leaves them.
    row("temperature lost its point", "STEP", "STEP15", "0 0 0 +02575 00:00:30", false);
    row("temperature off the grid", "STEP", "STEP15", "0 0 0 +025.72 00:00:30", false);
    row("coldest step", "STEP", "STEP15", "1 1 1 -050.00 10:00:00", true);
    row("sensor 3", "STEP", "STEP15", "3 0 0 +025.00 00:10:00", false);
    row("hotter than the range", "STEP", "STEP15", "0 0 0 +150.05 00:00:30", false);
    row("hold over ten hours", "STEP", "STEP98", "0 0 0 +025.00 10:00:01", false);
    row("hold as parts", "STEP", "STEP98", "0 0 0 +025.00 0:0:90", false);
    row("hold lost a digit", "STEP", "STEP98", "0 0 0 +025.00 00:3:26", false);
    row("minutes past 59", "STEP", "STEP98", "0 0 0 +025.00 00:99:99", false);
    row("sensor 4", "STEP", "STEP2", "4 0 0 +025.00 00:00:30", false);
    row("fan flag 2", "STEP", "STEP2", "0 0 2 +025.00 00:00:30", false);
    row("loop 50 to step 99", "PATTERN", "PATTERN1", "50 1 0 99", true);
    row("loop 51", "PATTERN", "PATTERN1", "51 1 0 9", false);
    row("action 5", "PATTERN", "PATTERN1", "5 5 0 9", false);
    row("end step 100", "PATTERN", "PATTERN1", "1 1 0 100", false);
    row("start after end", "PATTERN", "PATTERN1", "1 1 7 5", false);
    row("key the read never writes", "COM", "para", "anything", true);
    row("log is fixed text", "LOG", "para", "1 1", true);
}

void tst_parsers::answerShapes()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, shaped);
    QCOMPARE(AnswerShape::storedValue(section, key, value), shaped);
    // A sensor reply is the record behind its echoed slot number.
    if (section == QLatin1String("SEN")) {
        const int n = key.right(1).toInt();
        QCOMPARE(AnswerShape::sensorReply(n, QString::number(n) + QLatin1Char(' ') + value),
                 shaped);
        QVERIFY(
            !AnswerShape::sensorReply((n + 1) % 4, QString::number(n) + QLatin1Char(' ') + value));
    }
}

QTEST_GUILESS_MAIN(tst_parsers)
// Every answer of the whole-set read as the instrument sends it, with one
// character changed, dropped or added anywhere: refused, or what would be
// stored is the instrument's value. The one change no check of a single
// answer can see is a digit in place of a digit or a sign in place of a
// sign (and, in numbers without a fixed width, a digit more or less); it
// may pass only as such.
void tst_parsers::oneCharacterOff_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("stored");
    auto row = [](const char *command, const char *line, const char *stored) {
        QTest::newRow(command) << command << line << stored;
    };
    row("SEN 0", "0 1 +150.00 -050.00 +000.00:100.00", "1 +150.00 -050.00 +000.00 100.00");
    row("SEN 1", "1 0 * -010.00 +001.50:099.50", "0 * -010.00 +001.50 099.50");
    row("SEN 3", "3 1 +080 +000 +000", "1 +080 +000 +000");
    row("UNI", "3.0 8", "3.0 8");
    row("BEEP", "1", "1");
    row("FAN", "2", "2");
    row("LOG", "1 1", "1 1");
    row("LP 3 0", "P3 4 1 10 12", "4 1 10 12");
    row("LP 9 0", "P9 * * * *", "");
    row("LS 10 1", "S10 1 0 0 +055.50 01:02:03", "1 0 0 +055.50 01:02:03");
    row("LS 99 1", "S99 * * * * *", "* * * * *");
}

namespace {

bool digits(const QString &t)
{
    return !t.isEmpty() && std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.isDigit(); });
}

// Two values that differ at most where digits stand in for digits.
bool digitsForDigits(const QString &a, const QString &b)
{
    const QStringList fa = a.split(QLatin1Char(' '));
    const QStringList fb = b.split(QLatin1Char(' '));
    if (fa.size() != fb.size())
        return false;
    for (qsizetype i = 0; i < fa.size(); ++i) {
        const QString &x = fa[i];
        const QString &y = fb[i];
        bool xNumber = false, yNumber = false;
        const double xv = x.toDouble(&xNumber), yv = y.toDouble(&yNumber);
        bool same = x == y || (digits(x) && digits(y)) || (xNumber && yNumber && xv == yv);
        auto sign = [](QChar c) { return c == QLatin1Char('+') || c == QLatin1Char('-'); };
        if (!same && x.size() == y.size()) {
            same = true;
            for (qsizetype j = 0; j < x.size(); ++j)
                same = same && (x[j] == y[j] || (x[j].isDigit() && y[j].isDigit()) ||
                                (sign(x[j]) && sign(y[j])));
        }
        if (!same)
            return false;
    }
    return true;
}

} // namespace

void tst_parsers::oneCharacterOff()
{
    QFETCH(QString, command);
    QFETCH(QString, line);
    QFETCH(QString, stored);
    const QString whole = command + QStringLiteral("\rOK\r") + line + QLatin1Char('\r');
    QString value;
    QVERIFY(AnswerShape::answerValue(command, whole, &value));
    QCOMPARE(value, stored);

    const QString others = QStringLiteral("07+-.: *#PSO\r");
    QStringList variants;
    for (qsizetype i = 0; i <= whole.size(); ++i) {
        if (i < whole.size())
            variants << QString(whole).remove(i, 1);
        for (const QChar c : others) {
            variants << QString(whole).insert(i, c);
            if (i < whole.size() && whole[i] != c)
                variants << QString(whole).replace(i, 1, c);
        }
    }
    for (const QString &v : std::as_const(variants)) {
        QString got;
        if (!AnswerShape::answerValue(command, v, &got) || got == stored)
            continue;
        QVERIFY2(digitsForDigits(stored, got),
                 qPrintable(QString(v).replace(QLatin1Char('\r'), QLatin1Char('|')) +
                            QStringLiteral(" stored ") + got));
    }
}

#include "tst_parsers.moc"
