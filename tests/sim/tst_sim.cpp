#include "PtyInstrument.h"
#include "SimEngine.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Line 3 of a reply, as the program's parsers see it.
QString line3(const QByteArray &reply)
{
    return QString::fromLatin1(reply).split(QLatin1Char('\r')).value(2);
}

// What the program stores from a pattern reply: from the first blank on,
// digits and blanks only, trimmed.
QString storedPattern(const QByteArray &reply)
{
    const QString l = line3(reply);
    QString kept;
    for (qsizetype i = l.indexOf(QLatin1Char(' ')); i >= 0 && i < l.size(); ++i) {
        if (l.at(i) == QLatin1Char(' ') || l.at(i).isDigit())
            kept += l.at(i);
    }
    return kept.trimmed();
}

// From a step reply: from the first blank on, without "/", trimmed.
QString storedStep(const QByteArray &reply)
{
    const QString l = line3(reply);
    const qsizetype space = l.indexOf(QLatin1Char(' '));
    return space < 0 ? QString() : l.mid(space).remove(QLatin1Char('/')).trimmed();
}

// From a sensor reply: up to the fifth blank, ":" as a blank, less the echoed
// slot number and its blank.
QString storedSensor(const QByteArray &reply)
{
    const QString l = line3(reply).section(QLatin1Char(' '), 0, 4);
    return l.mid(2).replace(QLatin1Char(':'), QLatin1Char(' '));
}

// Opens the simulator's device the way a plain serial client would.
int openRaw(const QString &path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

// Reads until `crs` carriage returns arrived, the line fails, or the time is up.
QByteArray readLines(int fd, int crs, int timeoutMs, bool *failed = nullptr)
{
    QByteArray got;
    QElapsedTimer t;
    t.start();
    while (got.count('\r') < crs && t.elapsed() < timeoutMs) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            got.append(buf, n);
        } else if (n == 0 || errno != EAGAIN) {
            if (failed)
                *failed = true;
            break;
        }
    }
    return got;
}

void send(int fd, const QByteArray &command)
{
    const QByteArray line = command + '\r';
    QCOMPARE(::write(fd, line.constData(), size_t(line.size())), ssize_t(line.size()));
}

} // namespace

class tst_Sim : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_now = 0;
        m_engine = std::make_unique<SimEngine>();
        m_engine->setClock([this] { return m_now; });
    }

    void queries_data();
    void queries();
    void lfIgnoredAndSplitInput();
    void writes_data();
    void writes();
    void recordsRoundTrip_data();
    void recordsRoundTrip();
    void sensorsRoundTrip();
    void saveAndReload();
    void damagedStateFileKeepsGoodLines();
    void temperatureLine();
    void statusCodes();
    void limitAlarm_data();
    void limitAlarm();
    void patternRunsThroughSteps();
    void patternHoldsAtEnd();
    void timeScale();
    void faults_data();
    void faults();
    void faultOptions_data();
    void faultOptions();

    void ptyPassesBytes();
    void ptySurvivesReopen();
    void ptyPacing();
    void ptyLateFirstChar();
    void ptyLateAcknowledgement();
    void ptyHangUp();
    void ptyDeafAfterOpen();

private:
    QByteArray run(const QByteArray &command) { return m_engine->feed(command + '\r'); }
    void advanceSeconds(double s)
    {
        // Step like a status poll would, so the model is looked at on the way.
        for (double done = 0; done < s; done += 1.0) {
            m_now += qint64(qMin(1.0, s - done) * 1000);
            m_engine->advance();
        }
    }

    qint64 m_now = 0;
    std::unique_ptr<SimEngine> m_engine;
};

void tst_Sim::queries_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("version") << QByteArray("VERSION")
                             << QByteArray("VERSION\rOK\rKRM-2200\rVer 2.01\r");
    QTest::newRow("status idle") << QByteArray("STATUS")
                                 << QByteArray("STATUS\rOK\r00 +031.50 08.0 000 0\r"
                                               "+025.00 +025.00 +025.00 +025 \r");
    QTest::newRow("sen 0") << QByteArray("SEN 0")
                           << QByteArray("SEN 0\rOK\r0 1 +150.00 -050.00 +000.00:100.00\r");
    QTest::newRow("sen 2") << QByteArray("SEN 2") << QByteArray("SEN 2\rOK\r2 1 +080 +000 +000\r");
    QTest::newRow("sen 3") << QByteArray("SEN 3") << QByteArray("SEN 3\rOK\r3 1 +100 +000 +000\r");
    QTest::newRow("uni") << QByteArray("UNI") << QByteArray("UNI\rOK\r3.0 8\r");
    QTest::newRow("beep") << QByteArray("BEEP") << QByteArray("BEEP\rOK\r1\r");
    QTest::newRow("log") << QByteArray("LOG") << QByteArray("LOG\rOK\r1 1\r");
    QTest::newRow("pattern") << QByteArray("LP 0 0") << QByteArray("LP 0 0\rOK\rP0 1 0 0 2\r");
    QTest::newRow("free pattern") << QByteArray("LP 9 0") << QByteArray("LP 9 0\rOK\rP9 * * * *\r");
    QTest::newRow("step") << QByteArray("LS 2 1")
                          << QByteArray("LS 2 1\rOK\rS2 0 0 0 +025.00 00:00:10\r");
    QTest::newRow("free step") << QByteArray("LS 99 1")
                               << QByteArray("LS 99 1\rOK\rS99 * * * * *\r");
    QTest::newRow("unknown") << QByteArray("err") << QByteArray("err\rNG\r");
    QTest::newRow("sensor out of range") << QByteArray("SEN 4") << QByteArray("SEN 4\rNG\r");
    QTest::newRow("step out of range") << QByteArray("LS 100 1") << QByteArray("LS 100 1\rNG\r");
    QTest::newRow("lower case") << QByteArray("status") << QByteArray("status\rNG\r");
}

void tst_Sim::queries()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    QCOMPARE(run(command), reply);
    QCOMPARE(m_engine->receivedCommands(), QStringList{QString::fromLatin1(command)});
}

void tst_Sim::lfIgnoredAndSplitInput()
{
    QCOMPARE(m_engine->feed("BE"), QByteArray());
    QCOMPARE(m_engine->feed("EP\n\r\r\nLIT\r"), QByteArray("BEEP\rOK\r1\rLIT\rOK\r1\r"));
    QCOMPARE(m_engine->receivedCommands(), (QStringList{"BEEP", "LIT"}));
}

void tst_Sim::writes_data()
{
    QTest::addColumn<QByteArray>("write");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QString>("value");
    QTest::newRow("beep") << QByteArray("BEEP 0") << true << QByteArray("BEEP") << "0";
    QTest::newRow("lit") << QByteArray("LIT 0") << true << QByteArray("LIT") << "0";
    QTest::newRow("fan") << QByteArray("FAN 0") << true << QByteArray("FAN") << "0";
    QTest::newRow("log") << QByteArray("LOG 0 1") << true << QByteArray("LOG") << "0 1";
    QTest::newRow("uni") << QByteArray("UNI 4.5 12") << true << QByteArray("UNI") << "4.5 12";
    QTest::newRow("uni one field")
        << QByteArray("UNI 4.5") << false << QByteArray("UNI") << "3.0 8";
    QTest::newRow("beep text") << QByteArray("BEEP on") << false << QByteArray("BEEP") << "1";
    QTest::newRow("sensor numbers normalised")
        << QByteArray("SEN 0 0 100 -20.5 0 100") << true << QByteArray("SEN 0")
        << "0 0 +100.00 -020.50 +000.00:100.00";
    QTest::newRow("sensor keeps resistance")
        << QByteArray("SEN 1 1 +120.00 -010.00 +000.50") << true << QByteArray("SEN 1")
        << "1 1 +120.00 -010.00 +000.50:100.00";
    QTest::newRow("sensor 2 star offset") << QByteArray("SEN 2 0 +080.00 +010.00 *") << true
                                          << QByteArray("SEN 2") << "2 0 +080 +010 +000";
    QTest::newRow("sensor 2 whole degrees only") << QByteArray("SEN 2 1 +080.50 +010 0") << false
                                                 << QByteArray("SEN 2") << "2 1 +080 +000 +000";
    QTest::newRow("sensor no limits")
        << QByteArray("SEN 3 1 * * -2") << true << QByteArray("SEN 3") << "3 1 * * -002";
    QTest::newRow("sensor bad use flag") << QByteArray("SEN 2 7 +080.00 +010.00 0") << false
                                         << QByteArray("SEN 2") << "2 1 +080 +000 +000";
    QTest::newRow("make pattern") << QByteArray("MKP 4 3 1 40 45") << true << QByteArray("LP 4 0")
                                  << "P4 3 1 40 45";
    QTest::newRow("pattern with letters")
        << QByteArray("MKP 4 3 A 40 45") << false << QByteArray("LP 4 0") << "P4 * * * *";
    QTest::newRow("remove pattern")
        << QByteArray("RP 0") << true << QByteArray("LP 0 0") << "P0 * * * *";
    QTest::newRow("make step") << QByteArray("MKS 7 1 0 0 40.5 90") << true << QByteArray("LS 7 1")
                               << "S7 1 0 0 40.5 90";
    QTest::newRow("step with slash") << QByteArray("MKS 7 1 0 0 +040.00 00/01/30") << false
                                     << QByteArray("LS 7 1") << "S7 * * * * *";
    QTest::newRow("remove step") << QByteArray("RS 1") << true << QByteArray("LS 1 1")
                                 << "S1 * * * * *";
}

void tst_Sim::writes()
{
    QFETCH(QByteArray, write);
    QFETCH(bool, ok);
    QFETCH(QByteArray, query);
    QFETCH(QString, value);
    QCOMPARE(run(write), write + (ok ? "\rOK\r" : "\rNG\r"));
    QCOMPARE(line3(run(query)), value);
}

void tst_Sim::recordsRoundTrip_data()
{
    QTest::addColumn<bool>("pattern");
    QTest::addColumn<QString>("record");
    QTest::newRow("pattern") << true << "2 1 10 14";
    QTest::newRow("endless pattern") << true << "0 0 0 9";
    QTest::newRow("step hh:mm:ss") << false << "1 0 0 +040.00 01:30:00";
    QTest::newRow("step seconds") << false << "0 0 0 -12.35 45";
    QTest::newRow("free pattern") << true << "";
    QTest::newRow("free step") << false << "";
}

// What a whole-set read stores must send the same record back with MKP/MKS
// (or RP/RS), and the next read must store the same again.
void tst_Sim::recordsRoundTrip()
{
    QFETCH(bool, pattern);
    QFETCH(QString, record);
    const QByteArray n = pattern ? "3" : "42";
    const QByteArray query = pattern ? "LP " + n + " 0" : "LS " + n + " 1";
    if (record.isEmpty())
        run((pattern ? "RP " : "RS ") + n);
    else
        QCOMPARE(line3(run((pattern ? "MKP " : "MKS ") + n + ' ' + record.toLatin1())), QString());

    const QString stored = pattern ? storedPattern(run(query)) : storedStep(run(query));
    const QStringList fields = stored.split(QLatin1Char(' '));
    if (record.isEmpty()) {
        // The program sends an empty pattern or a "*" step back as a removal.
        QVERIFY(pattern ? stored.isEmpty() : fields.value(1) == QLatin1String("*"));
        run((pattern ? "RP " : "RS ") + n);
    } else {
        QCOMPARE(stored, record);
        run((pattern ? "MKP " : "MKS ") + n + ' ' + stored.toLatin1());
    }
    QCOMPARE(pattern ? storedPattern(run(query)) : storedStep(run(query)), stored);
    QCOMPARE(pattern ? m_engine->patternRecord(3) : m_engine->stepRecord(42), record);
}

void tst_Sim::sensorsRoundTrip()
{
    QVERIFY(m_engine->setSensorRecord(0, "1 +120.00 -030.00 +001.25 099.50"));
    QVERIFY(m_engine->setSensorRecord(2, "0 +060.00 +005.00 -001"));
    for (int n : {0, 2}) {
        const QByteArray q = "SEN " + QByteArray::number(n);
        const QString stored = storedSensor(run(q));
        QCOMPARE(stored, m_engine->sensorRecord(n));
        QCOMPARE(run(q + ' ' + stored.toLatin1()).right(3), QByteArray("OK\r"));
        QCOMPARE(storedSensor(run("SEN " + QByteArray::number(n))), stored);
    }
}

void tst_Sim::saveAndReload()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("state.txt");
    m_engine->setStatePath(path);
    run("SEN 1 0 +090.00 -010.00 0 110");
    run("MKP 5 1 1 50 51");
    run("MKS 50 1 0 0 +070.00 00:02:00");
    run("RP 0");
    run("UNI 2.5 10");
    run("BEEP 0");
    QCOMPARE(run("SAVE"), QByteArray("SAVE\rOK\r"));

    SimEngine reloaded;
    QString why;
    QVERIFY(reloaded.loadState(path, &why));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    for (int n = 0; n < SimEngine::SensorCount; ++n)
        QCOMPARE(reloaded.sensorRecord(n), m_engine->sensorRecord(n));
    for (int n = 0; n < SimEngine::PatternCount; ++n)
        QCOMPARE(reloaded.patternRecord(n), m_engine->patternRecord(n));
    for (int n = 0; n < SimEngine::StepCount; ++n)
        QCOMPARE(reloaded.stepRecord(n), m_engine->stepRecord(n));
    for (const char *s : {"UNI", "BEEP", "LIT", "LOG", "FAN"})
        QCOMPARE(reloaded.setting(s), m_engine->setting(s));
    QCOMPARE(reloaded.patternRecord(0), QString());

    m_engine->setStatePath(dir.filePath("missing/folder/state.txt"));
    QCOMPARE(run("SAVE"), QByteArray("SAVE\rNG\r"));
}

void tst_Sim::damagedStateFileKeepsGoodLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("state.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("BEEP=0\nSEN0=garbage\nPATTERN2=1 0 20 21\nnonsense\nSTEP20=0 0 0 +030.00 10\n");
    f.close();
    QString why;
    QVERIFY(m_engine->loadState(path, &why));
    QVERIFY(why.contains("2") && why.contains("4"));
    QCOMPARE(m_engine->setting("BEEP"), QString("0"));
    QCOMPARE(m_engine->sensorRecord(0), QString("1 +150.00 -050.00 +000.00 100.00"));
    QCOMPARE(m_engine->patternRecord(2), QString("1 0 20 21"));
    QCOMPARE(m_engine->stepRecord(20), QString("0 0 0 +030.00 10"));
}

void tst_Sim::temperatureLine()
{
    m_engine->setTemperature(0, -5.004);
    m_engine->setTemperature(1, 149.996);
    m_engine->setTemperature(3, -7.4);
    QVERIFY(m_engine->setSensorRecord(2, "0 +150.00 -050.00 0"));
    QCOMPARE(m_engine->temperatureLine(), QString("-005.00 +150.00 * -007 "));
    QVERIFY(m_engine->setSensorRecord(3, "0 +150.00 -050.00 0"));
    QCOMPARE(m_engine->temperatureLine(), QString("-005.00 +150.00 * * "));
}

void tst_Sim::statusCodes()
{
    QCOMPARE(m_engine->statusCode(), QString("00"));
    run("RUN 0 1 0 40 1");
    QCOMPARE(m_engine->statusCode(), QString("02"));
    advanceSeconds(30);
    QVERIFY(qAbs(m_engine->temperatures()[0] - 40.0) < 0.1);
    QCOMPARE(m_engine->statusCode(), QString("02")); // keeps the temperature
    run("STOP");
    QCOMPARE(m_engine->statusCode(), QString("00"));
    advanceSeconds(60);
    QVERIFY(qAbs(m_engine->temperatures()[3] - 25.0) < 0.1);

    // Reach choice 0 ends the control once the set point is reached.
    run("RUN 1 1 0 30 0");
    advanceSeconds(5);
    QCOMPARE(m_engine->statusCode(), QString("02"));
    advanceSeconds(30);
    QCOMPARE(m_engine->statusCode(), QString("00"));

    run("RUN 0 1 0 50 1");
    m_engine->alarmTest();
    const QStringList status = line3(run("STATUS")).split(QLatin1Char(' '));
    QCOMPARE(status.size(), 5);
    QCOMPARE(status.at(0), QString("04"));
    QCOMPARE(status.at(3), QString("700"));
    run("RUN 0 1 0 50 1");
    QCOMPARE(m_engine->statusCode(), QString("04")); // blocked until cleared
    run("STOP");
    QCOMPARE(m_engine->statusCode(), QString("04"));
    QCOMPARE(run("ACLR"), QByteArray("ACLR\rOK\r"));
    QCOMPARE(m_engine->statusCode(), QString("00"));
    QCOMPARE(m_engine->alarmCode(), QString("000"));

    run("GO 7");
    QCOMPARE(m_engine->alarmCode(), QString("102"));
    run("ACLR");
    QVERIFY(m_engine->setSensorRecord(1, "0 +150.00 -050.00 0 100"));
    run("RUN 1 1 0 50 1");
    QCOMPARE(m_engine->alarmCode(), QString("021"));
    run("ACLR");
    QCOMPARE(run("RUN 0 x"), QByteArray("RUN 0 x\rNG\r"));
    QCOMPARE(m_engine->statusCode(), QString("00"));

    m_engine->setStatusOverride("80");
    QCOMPARE(m_engine->statusCode(), QString("80"));
}

void tst_Sim::limitAlarm_data()
{
    QTest::addColumn<QString>("sensor1"); // SENSOR1 record; empty: as delivered
    QTest::addColumn<double>("setPoint");
    QTest::addColumn<bool>("alarm");
    QTest::newRow("tight upper") << "1 +045.00 -050.00 0" << 60.0 << true;
    QTest::newRow("delivered upper") << QString() << 90.0 << true;
    QTest::newRow("delivered lower") << QString() << -10.0 << true;
    QTest::newRow("delivered, within") << QString() << 60.0 << false;
    QTest::newRow("no limits") << "1 * * 0" << 90.0 << false;
    QTest::newRow("not in use") << "0 +045 +000 0" << 60.0 << false;
}

void tst_Sim::limitAlarm()
{
    QFETCH(QString, sensor1);
    QFETCH(double, setPoint);
    QFETCH(bool, alarm);
    if (!sensor1.isEmpty())
        QVERIFY(m_engine->setSensorRecord(2, sensor1));
    run("RUN 0 1 0 " + QByteArray::number(setPoint) + " 1");
    advanceSeconds(40);
    QCOMPARE(m_engine->alarmCode(), QString(alarm ? "001" : "000"));
    QCOMPARE(m_engine->isControlling(), !alarm);
    if (alarm) {
        QCOMPARE(m_engine->statusCode(), QString("04"));
        // Stopped on crossing, not after reaching the set point.
        QVERIFY(qAbs(m_engine->temperatures()[0] - setPoint) > 1.0);
    }
}

void tst_Sim::patternRunsThroughSteps()
{
    QVERIFY(m_engine->setPatternRecord(1, "2 0 10 11"));
    QVERIFY(m_engine->setStepRecord(10, "0 0 0 +040.00 00:00:20"));
    QVERIFY(m_engine->setStepRecord(11, "1 0 0 30 10"));
    run("GO 1");
    QCOMPARE(m_engine->statusCode(), QString("02"));

    // Record which step runs each simulated second until the pattern ends.
    QList<int> steps;
    for (int s = 0; s < 600 && m_engine->statusCode() == QLatin1String("02"); ++s) {
        const int step = m_engine->currentStep();
        if (steps.isEmpty() || steps.last() != step)
            steps.append(step);
        advanceSeconds(1);
    }
    QCOMPARE(steps, (QList<int>{10, 11, 10, 11}));
    QCOMPARE(m_engine->statusCode(), QString("00"));
    QCOMPARE(m_engine->currentStep(), 0);
}

void tst_Sim::patternHoldsAtEnd()
{
    QVERIFY(m_engine->setPatternRecord(2, "1 1 20 20"));
    QVERIFY(m_engine->setStepRecord(20, "0 0 0 +035.00 5"));
    run("GO 2");
    double reachedAt = -1;
    for (int s = 0; s < 60; ++s) {
        advanceSeconds(1);
        if (reachedAt < 0 && qAbs(m_engine->temperatures()[0] - 35.0) <= 0.5)
            reachedAt = s;
    }
    QVERIFY(reachedAt > 0);
    QCOMPARE(m_engine->statusCode(), QString("02"));
    QCOMPARE(m_engine->currentStep(), 20);
    QCOMPARE(m_engine->setPoint(), 35.0);

    // A step that is not registered stops the run with a pattern alarm.
    QVERIFY(m_engine->setPatternRecord(3, "1 0 20 21"));
    run("GO 3");
    advanceSeconds(30);
    QCOMPARE(m_engine->alarmCode(), QString("103"));
}

void tst_Sim::timeScale()
{
    // A minute of hold per step passes in well under a second of real time;
    // field 4 of the status line follows the step being run.
    m_engine->setTimeScale(100);
    QCOMPARE(m_engine->timeScale(), 100.0);
    QVERIFY(m_engine->setPatternRecord(4, "1 0 40 41"));
    QVERIFY(m_engine->setStepRecord(40, "0 0 0 +030.00 00:01:00"));
    QVERIFY(m_engine->setStepRecord(41, "0 0 0 +028.00 00:01:00"));
    run("GO 4");
    auto stepField = [this] { return m_engine->statusLine().section(QLatin1Char(' '), 4); };
    QCOMPARE(stepField(), QString("40"));
    QTRY_COMPARE_WITH_TIMEOUT(stepField(), QString("41"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_engine->statusCode(), QString("00"), 20000);
    m_engine->setTimeScale(0); // no factor: real time
    QCOMPARE(m_engine->timeScale(), 1.0);
}

void tst_Sim::faults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("expected"); // empty: check the shape below
    QTest::addColumn<bool>("executed");
    QTest::newRow("silent") << QStringList{"silent"} << QByteArray() << false;
    QTest::newRow("cut 2") << QStringList{"cut:2"} << QByteArray("BEEP 0\rOK\r") << true;
    QTest::newRow("cut 0") << QStringList{"cut:0"} << QByteArray() << true;
    QTest::newRow("drop all") << QStringList{"drop:1"} << QByteArray() << true;
    QTest::newRow("garble all") << QStringList{"garble:100"} << QByteArray("garbled") << true;
    QTest::newRow("drop half") << QStringList{"drop:0.5", "seed:7"} << QByteArray("half") << true;
    QTest::newRow("none resets") << QStringList{"silent", "none"} << QByteArray("BEEP 0\rOK\r")
                                 << true;
    QTest::newRow("refused") << QStringList{"ng:BEEP"} << QByteArray("BEEP 0\rNG\r") << false;
    QTest::newRow("another refused")
        << QStringList{"ng:BEEP 00"} << QByteArray("BEEP 0\rOK\r") << true;
    QTest::newRow("bad echo") << QStringList{"badecho:1"} << QByteArray("#EEP 0\rOK\r") << true;
}

void tst_Sim::faults()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, expected);
    QFETCH(bool, executed);
    SimFaults f;
    for (const QString &s : options)
        QVERIFY(SimFaults::apply(s, f));
    m_engine->setFaults(f);
    const QByteArray clean("BEEP 0\rOK\r");
    const QByteArray got = run("BEEP 0");
    if (expected == "garbled") {
        QCOMPARE(got.size(), clean.size());
        for (int i = 0; i < got.size(); ++i)
            QVERIFY((clean.at(i) == '\r') == (got.at(i) == clean.at(i)));
    } else if (expected == "half") {
        QVERIFY(got.size() > 0 && got.size() < clean.size());
        m_engine->setFaults(f); // same seed, same losses
        QCOMPARE(run("BEEP 0"), got);
    } else {
        QCOMPARE(got, expected);
    }
    QCOMPARE(m_engine->setting("BEEP"), QString(executed ? "0" : "1"));
    QCOMPARE(m_engine->receivedCommands().first(), QString("BEEP 0"));
}

void tst_Sim::faultOptions_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<bool>("ok");
    QTest::newRow("late") << "late:300" << true;
    QTest::newRow("late without time") << "late" << false;
    QTest::newRow("hangup") << "hangup" << true;
    QTest::newRow("hangup after 3") << "hangup:3" << true;
    QTest::newRow("drop too much") << "drop:150" << false;
    QTest::newRow("cut negative") << "cut:-1" << false;
    QTest::newRow("unknown") << "flaky" << false;
    QTest::newRow("deaf") << "deaf:250" << true;
    QTest::newRow("refused without a command") << "ng" << false;
    QTest::newRow("bad echo without a count") << "badecho:x" << false;
    QTest::newRow("late OK") << "lateok:40" << true;
    QTest::newRow("late OK of one command") << "lateok:40:FAN 1" << true;
    QTest::newRow("late OK without time") << "lateok::FAN 1" << false;
}

void tst_Sim::faultOptions()
{
    QFETCH(QString, option);
    QFETCH(bool, ok);
    SimFaults f;
    QString why;
    QCOMPARE(SimFaults::apply(option, f, &why), ok);
    QCOMPARE(why.isEmpty(), ok);
    QCOMPARE(f.any(), ok);
}

void tst_Sim::ptyPassesBytes()
{
    PtyInstrument sim;
    QSignalSpy received(&sim, &PtyInstrument::commandReceived);
    QVERIFY(sim.start());
    QVERIFY(sim.devicePath().startsWith("/dev/pts/"));
    const int fd = openRaw(sim.devicePath());
    QVERIFY(fd >= 0);
    send(fd, "VERSION");
    QCOMPARE(readLines(fd, 4, 5000), QByteArray("VERSION\rOK\rKRM-2200\rVer 2.01\r"));
    send(fd, "FAN 0\n");
    QVERIFY(sim.waitForCommand("FAN 0", 5000));
    QCOMPARE(readLines(fd, 2, 5000), QByteArray("FAN 0\rOK\r"));
    QCOMPARE(sim.withEngine([](SimEngine &e) { return e.setting("FAN"); }), QString("0"));
    QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 5000);
    QCOMPARE(received.at(1).at(0).toString(), QString("FAN 0"));
    ::close(fd);
}

void tst_Sim::ptySurvivesReopen()
{
    PtyInstrument sim;
    QVERIFY(sim.start());
    for (int round = 0; round < 2; ++round) {
        const int fd = openRaw(sim.devicePath());
        QVERIFY(fd >= 0);
        send(fd, "BEEP");
        QCOMPARE(readLines(fd, 3, 5000), QByteArray("BEEP\rOK\r1\r"));
        ::close(fd);
    }
    QVERIFY(sim.waitForCommands(2, 1000));
    QCOMPARE(sim.receivedCommands(), (QStringList{"BEEP", "BEEP"}));
}

// Commands and replies must not cross faster than the line rate. Only the
// lower bound is checked; the figure itself is printed.
void tst_Sim::ptyPacing()
{
    PtyInstrument sim;
    QVERIFY(sim.start());
    const int fd = openRaw(sim.devicePath());
    QVERIFY(fd >= 0);
    QElapsedTimer t;
    t.start();
    qint64 bytes = 0;
    for (int i = 0; i < 40; ++i) {
        send(fd, "STATUS");
        bytes += readLines(fd, 4, 5000).size();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    const qint64 sent = 40 * qint64(sizeof "STATUS"); // with the CR
    const double lineTime = double(bytes + sent) / PtyInstrument::LineCharsPerSecond;
    qInfo("%lld characters in %.3f s, line time %.3f s (ratio %.3f)", bytes, seconds, lineTime,
          seconds / lineTime);
    QCOMPARE(bytes, 40 * SimEngine().feed("STATUS\r").size());
    QVERIFY(seconds >= lineTime * 0.98);
    ::close(fd);
}

void tst_Sim::ptyLateFirstChar()
{
    PtyInstrument sim;
    QVERIFY(sim.start());
    SimFaults f;
    f.lateFirstCharMs = 300;
    sim.setFaults(f);
    const int fd = openRaw(sim.devicePath());
    QElapsedTimer t;
    t.start();
    send(fd, "LIT");
    QCOMPARE(readLines(fd, 3, 5000), QByteArray("LIT\rOK\r1\r"));
    QVERIFY(t.elapsed() >= 300);
    ::close(fd);
}

// The acknowledgement comes a while after the echo, for the named command.
void tst_Sim::ptyLateAcknowledgement()
{
    PtyInstrument sim;
    QVERIFY(sim.start());
    SimFaults f;
    QVERIFY(SimFaults::apply("lateok:300:FAN", f));
    sim.setFaults(f);
    const int fd = openRaw(sim.devicePath());
    QElapsedTimer t;
    t.start();
    send(fd, "FAN 1");
    QCOMPARE(readLines(fd, 1, 5000), QByteArray("FAN 1\r"));
    QCOMPARE(readLines(fd, 1, 5000), QByteArray("OK\r"));
    QVERIFY(t.elapsed() >= 300);
    ::close(fd);
}

void tst_Sim::ptyHangUp()
{
    PtyInstrument sim;
    QSignalSpy hung(&sim, &PtyInstrument::hungUp);
    QVERIFY(sim.start());
    SimFaults f;
    QVERIFY(SimFaults::apply("hangup:1", f));
    sim.setFaults(f);
    const int fd = openRaw(sim.devicePath());
    send(fd, "BEEP");
    QCOMPARE(readLines(fd, 3, 5000), QByteArray("BEEP\rOK\r1\r"));
    send(fd, "LIT");
    bool failed = false;
    QCOMPARE(readLines(fd, 3, 5000, &failed), QByteArray());
    QVERIFY(failed);
    QVERIFY(sim.isHungUp());
    QTRY_COMPARE_WITH_TIMEOUT(hung.size(), 1, 5000);
    QCOMPARE(sim.receivedCommands(), (QStringList{"BEEP", "LIT"}));
    ::close(fd);
}

// Deaf for a time after every open of the device: what is heard then is
// recorded but neither answered nor carried out.
void tst_Sim::ptyDeafAfterOpen()
{
    PtyInstrument sim;
    QVERIFY(sim.start());
    SimFaults f;
    QVERIFY(SimFaults::apply("deaf:300", f));
    sim.setFaults(f);
    for (int round = 1; round <= 2; ++round) {
        QElapsedTimer t;
        t.start();
        const int fd = openRaw(sim.devicePath());
        QVERIFY(fd >= 0);
        send(fd, "BEEP 0");
        QVERIFY(sim.waitForCommands(2 * round - 1, 5000));
        QTest::qSleep(int(std::max<qint64>(0, 400 - t.elapsed())));
        send(fd, "LIT");
        QCOMPARE(readLines(fd, 3, 5000), QByteArray("LIT\rOK\r1\r"));
        ::close(fd);
    }
    QCOMPARE(sim.receivedCommands(), (QStringList{"BEEP 0", "LIT", "BEEP 0", "LIT"}));
    QCOMPARE(sim.withEngine([](SimEngine &e) { return e.setting("BEEP"); }), QString("1"));
}

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
