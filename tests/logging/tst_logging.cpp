// The graph's arithmetic and drawing, the log file format and names, and the
// reading of stored logs: everything of the log module that needs no window.

#include "core/config/Parameter.h"
#include "core/logging/GraphCanvas.h"
#include "core/logging/GraphScale.h"
#include "core/logging/LogFile.h"
#include "core/logging/StoredLog.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr double Px = 1.0 / 15.0; // 96 dpi

// A parameter set at the program's start values.
Parameter &freshParam()
{
    Parameter &p = param();
    p.reset();
    p.GraphDivCount = 4.0;
    p.GraphXScale = 50;
    p.GraphPagePoints = 600;
    return p;
}

// Samples given as one text per sample and sensor ("a b c d" per sample).
SampleText samples(const QStringList &rows)
{
    return [rows](int k, qint64 i) {
        if (i < 0 || i >= rows.size())
            return QString();
        return rows.at(qsizetype(i)).split(QLatin1Char(' ')).value(k);
    };
}

bool hasColour(const GraphCanvas &c, double xTwips, double yTwips, const QColor &colour)
{
    const QPoint px = c.toPixel(xTwips, yTwips);
    // One pixel of tolerance around the mapped point for rounding.
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            const QPoint q = px + QPoint(dx, dy);
            if (c.image().rect().contains(q) && c.image().pixelColor(q) == colour)
                return true;
        }
    return false;
}

QString writeTemp(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        return QString();
    return path;
}

QByteArray logLines(int count, const QByteArray &tail = QByteArray())
{
    QByteArray s;
    for (int i = 0; i < count; ++i)
        s += LogFile::formatLine(LogFile::FormatElapsed(5LL * i),
                                 {QStringLiteral("+025.00"), QStringLiteral("+024.00"),
                                  QStringLiteral("*"), QStringLiteral("+025")},
                                 QStringLiteral("+031.50"));
    return s + tail;
}

} // namespace

class tst_Logging : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void yRangeMapping_data();
    void yRangeMapping();
    void segments_data();
    void segments();
    void targetLine();
    void formatElapsed_data();
    void formatElapsed();
    void logLineFormat();
    void rangeLists_data();
    void rangeLists();
    void xScaleAndScroll_data();
    void xScaleAndScroll();
    void pages_data();
    void pages();
    void storedLog_data();
    void storedLog();
    void storedMemo_data();
    void storedMemo();
    void logFileNames();
    void logFileFailures();
};

// Range and canvas height give the scale; a level segment at T lies at the
// mapped y and is drawn in the sensor's colour.
void tst_Logging::yRangeMapping_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("min");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("yScale");
    QTest::addColumn<double>("zeroY");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<double>("y");
    QTest::newRow("150..-50, 0 degC")
        << 150 << -50 << 4000 << 20.0 << 3000.0 << "+000.00" << 3000.0;
    QTest::newRow("150..-50, 100 degC")
        << 150 << -50 << 4000 << 20.0 << 3000.0 << "+100.00" << 1000.0;
    QTest::newRow("default 160..-60")
        << 160 << -60 << 4000 << 18.18 << 2909.09 << "+025.00" << 2909.09 - 25 * 18.18;
    QTest::newRow("100..0: 0 on the bottom line")
        << 100 << 0 << 4000 << 40.0 << 4000.0 << "+050.00" << 2000.0;
}

void tst_Logging::yRangeMapping()
{
    QFETCH(int, max);
    QFETCH(int, min);
    QFETCH(int, height);
    QFETCH(double, yScale);
    QFETCH(double, zeroY);
    QFETCH(QString, temp);
    QFETCH(double, y);
    Parameter &p = freshParam();
    GraphCanvas c(Px);
    c.setHeightTwips(height);
    GraphScale::SetYRange(p, max, min, height);
    QCOMPARE(p.GraphYScale, yScale);
    QCOMPARE(p.GraphZeroY, zeroY);
    const QString row = temp + QStringLiteral(" * * *");
    QVERIFY(c.PlotSample(p, samples({row, row}), 5, 1));
    QVERIFY(hasColour(c, 225, y, GraphCanvas::sensorColour(0)));
    QVERIFY(!hasColour(c, 225, y - 200, GraphCanvas::sensorColour(0)));
}

// Which sensors get a segment between two samples, and where it starts.
void tst_Logging::segments_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("drawn"); // per sensor: 1 drawn, 0 left out
    QTest::addColumn<bool>("ok");
    const QString level = QStringLiteral("+020.00 +040.00 +060.00 +080.00");
    QTest::newRow("all four") << QStringList{level, level} << 3 << "1111" << true;
    QTest::newRow("star at i") << QStringList{level, QStringLiteral("+020.00 * +060.00 +080.00")}
                               << 3 << "1011" << true;
    QTest::newRow("star at i-1") << QStringList{QStringLiteral("* +040.00 +060.00 +080.00"), level}
                                 << 3 << "0111" << true;
    QTest::newRow("not received") << QStringList{level, QStringLiteral("   ")} << 3 << "0000"
                                  << true;
    QTest::newRow("not a number") << QStringList{level, QStringLiteral("+020.00 x1 +060.00 +080")}
                                  << 3 << "1011" << false;
    QTest::newRow("first of a page, clipped") << QStringList{level, level} << 0 << "1111" << true;
}

void tst_Logging::segments()
{
    QFETCH(QStringList, rows);
    QFETCH(int, x);
    QFETCH(QString, drawn);
    QFETCH(bool, ok);
    Parameter &p = freshParam();
    GraphCanvas c(Px);
    c.setHeightTwips(4000);
    GraphScale::SetYRange(p, 150, -50, 4000);
    QCOMPARE(c.PlotSample(p, samples(rows), x, 1), ok);
    const double temps[4] = {20, 40, 60, 80};
    // The segment ends at x * 50 twips; check just left of its end.
    const double xt = x * 50.0 - 10;
    for (int k = 0; k < 4; ++k) {
        const double y = 3000 - temps[k] * 20;
        QCOMPARE(hasColour(c, std::max(xt, 0.0), y, GraphCanvas::sensorColour(k)),
                 drawn.at(k) == QLatin1Char('1'));
    }
    if (x == 1)
        QVERIFY(hasColour(c, 0, 3000 - 20 * 20, GraphCanvas::sensorColour(0)));
}

void tst_Logging::targetLine()
{
    Parameter &p = freshParam();
    GraphCanvas c(Px);
    c.setHeightTwips(4000);
    GraphScale::SetYRange(p, 150, -50, 4000);
    const QImage before = c.image();
    QVERIFY(!c.DrawTargetLine(p, QString()));
    QCOMPARE(c.image(), before);
    QVERIFY(c.DrawTargetLine(p, QStringLiteral("40")));
    // Dashed: along y(40) = 2200 some pixels are in the target colour, some not.
    const int y = c.toPixel(0, 2200).y();
    int on = 0;
    for (int x = 0; x < 300; ++x)
        on += c.image().pixelColor(x, y) == GraphCanvas::targetColour();
    QVERIFY2(on > 50 && on < 290, qPrintable(QString::number(on)));
    // The grid: a vertical line every 500 twips, a horizontal one every quarter.
    c.DrawGrid(p);
    QVERIFY(hasColour(c, 500, 100, GraphCanvas::gridColour()));
    QVERIFY(hasColour(c, 260, 1000, GraphCanvas::gridColour()));
    QVERIFY(!hasColour(c, 260, 1500, GraphCanvas::gridColour()));
}

void tst_Logging::formatElapsed_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<QString>("text");
    const std::pair<qint64, const char *> rows[] = {
        {0, "00:00:00"},    {59, "00:00:59"},    {60, "00:01:00"},      {3599, "00:59:59"},
        {3600, "01:00:00"}, {86399, "23:59:59"}, {360000, "100:00:00"},
    };
    for (const auto &[s, t] : rows)
        QTest::addRow("%lld", s) << s << QString::fromLatin1(t);
}

void tst_Logging::formatElapsed()
{
    QFETCH(qint64, seconds);
    QFETCH(QString, text);
    QCOMPARE(LogFile::FormatElapsed(seconds), text);
}

void tst_Logging::logLineFormat()
{
    QCOMPARE(LogFile::formatLine(QStringLiteral("00:00:05"),
                                 {QStringLiteral("+025.00"), QStringLiteral("+024.98"),
                                  QStringLiteral("*"), QStringLiteral("+025")},
                                 QStringLiteral("+031.50")),
             QByteArray("\"00:00:05\",\"+025.00\",\"+024.98\",\"*\",\"+025\",\"+031.50\"\r\n"));
}

// The Y lists: stored ranges select the nearest entries; a choice at or beyond
// the other end moves the other end.
void tst_Logging::rangeLists_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("min");
    QTest::newRow("default") << "160 -60" << 160 << -60;
    QTest::newRow("absent") << "ERR" << 160 << -60;
    QTest::newRow("not numbers") << "abc 10" << 160 << -60;
    QTest::newRow("between entries") << "103 -12" << 105 << -10;
    QTest::newRow("beyond the lists") << "400 -300" << 160 << -60;
    QTest::newRow("upside down") << "20 25" << 20 << 15;
}

void tst_Logging::rangeLists()
{
    QFETCH(QString, stored);
    QFETCH(int, max);
    QFETCH(int, min);
    int a = 0;
    int b = 0;
    GraphScale::parseStoredRange(stored, &a, &b);
    QCOMPARE(a, max);
    QCOMPARE(b, min);
    QCOMPARE(GraphScale::maxEntries().at(GraphScale::maxIndexFor(a)), QString::number(max));
    QCOMPARE(GraphScale::minEntries().at(GraphScale::minIndexFor(b)), QString::number(min));
    QCOMPARE(GraphScale::maxEntries().size(), 44);
    QCOMPARE(GraphScale::minEntries().constLast(), QStringLiteral("-60"));

    // 20 as maximum, then 25 as minimum: the maximum goes to 30.
    int mx = 20;
    int mn = 25;
    GraphScale::correctRange(&mx, &mn, false);
    QCOMPARE(mx, 30);
    QCOMPARE(
        GraphScale::innerLabels(150, -50),
        QStringList({QStringLiteral("100[℃]"), QStringLiteral("50[℃]"), QStringLiteral("0[℃]")}));
}

void tst_Logging::xScaleAndScroll_data()
{
    QTest::addColumn<int>("option");
    QTest::addColumn<int>("logCount");
    QTest::addColumn<int>("snapped");
    QTest::addColumn<int>("page");
    QTest::addColumn<qint64>("label1");
    QTest::newRow("10Point") << 0 << 1300 << 1200 << 2 << qint64(1200 + 24 + 60);
    QTest::newRow("20Point") << 1 << 1300 << 1225 << 1 << qint64(1200 + 49 + 120);
}

void tst_Logging::xScaleAndScroll()
{
    QFETCH(int, option);
    QFETCH(int, logCount);
    QFETCH(int, snapped);
    QFETCH(int, page);
    QFETCH(qint64, label1);
    Parameter &p = freshParam();
    p.LogCount = logCount;
    GraphScale::setXScale(p, option);
    QCOMPARE(p.GraphPage, page);
    QCOMPARE(p.GraphPageStart, page * p.GraphPagePoints);
    QCOMPARE(GraphScale::snapScroll(1234, p.GraphXScale), snapped);
    QCOMPARE(GraphScale::scrollMaximum(option, 10000), option == 0 ? 20500 : 10250);
    const QList<qint64> labels = GraphScale::xLabels(p, snapped, p.GraphPageStart);
    QCOMPARE(labels.size(), 10);
    QCOMPARE(labels.at(1), label1);
}

// Pages of stored logs by their highest index.
void tst_Logging::pages_data()
{
    QTest::addColumn<qint64>("highest");
    QTest::addColumn<QStringList>("entries");
    QTest::newRow("300 lines") << qint64(299) << QStringList();
    QTest::newRow("301 lines") << qint64(300) << QStringList{QStringLiteral("0～600")};
    QTest::newRow("highest 700") << qint64(700)
                                 << QStringList{QStringLiteral("0～600"),
                                                QStringLiteral("300～900")};
    QTest::newRow("highest 900") << qint64(900)
                                 << QStringList{QStringLiteral("0～600"),
                                                QStringLiteral("300～900"),
                                                QStringLiteral("600～1200")};
}

void tst_Logging::pages()
{
    QFETCH(qint64, highest);
    QFETCH(QStringList, entries);
    QCOMPARE(GraphScale::pageEntries(highest), entries);
}

void tst_Logging::storedLog_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("value2"); // sensor 0 of the last sample
    QTest::addColumn<int>("interval");   // -1: none
    QTest::addColumn<int>("step");       // seconds between samples by all stamps
    QTest::addColumn<bool>("isLog");
    const QByteArray cut = "\"00:00:15\",\"+025.00\",\"+024.00\",\"*\",\"+0";
    QTest::newRow("written log") << logLines(3) << qint64(3) << "+025.00" << 5 << 5 << true;
    // Only whole lines of six fields are samples; further fields are ignored.
    QTest::newRow("damaged lines skipped")
        << QByteArray("\"00:00:05\",\"1\",\"2\",\"3\",\"4\"\r\n\"x\",\"y\"\r\n"
                      "\"00:00:00\",\"5\",\"6\",\"7\",\"8\",\"9\",\"10\"\n"
                      "\"00:03:00\",\"5\",\"6\",\"7\",\"8\",\"9\"")
        << qint64(1) << "5" << -1 << 0 << true;
    QTest::newRow("last line cut") << logLines(3) + cut << qint64(3) << "+025.00" << 5 << 5 << true;
    QTest::newRow("cut before its LF")
        << logLines(3) + logLines(4).mid(logLines(3).size()).chopped(1) << qint64(3) << "+025.00"
        << 5 << 5 << true;
    // A power cut often leaves the file's last block as NUL bytes.
    QTest::newRow("NUL tail") << logLines(2) + cut + QByteArray(4000, '\0') << qint64(2)
                              << "+025.00" << 5 << 5 << true;
    // A missed first reply: the first two stamps are two intervals apart.
    QTest::newRow("first reply missed")
        << logLines(4).remove(logLines(1).size(), logLines(2).size() - logLines(1).size())
        << qint64(3) << "+025.00" << 10 << 5 << true;
    QTest::newRow("memo stops the samples")
        << logLines(2, QByteArrayLiteral("\"\r\n\"\r\n\"-MEMO-\"\r\n\"a,b,\0c,d,e,f\"\r\n"))
        << qint64(2) << "+025.00" << 5 << 5 << true;
    QTest::newRow("single line") << logLines(1) << qint64(1) << "+025.00" << -1 << 0 << true;
    QTest::newRow("empty") << QByteArray() << qint64(0) << "" << -1 << 0 << true;
    // Other files are refused whole, at the first sign.
    QTest::newRow("NUL byte") << logLines(2, QByteArrayLiteral("\",\"\0,,,,\r\n")) << qint64(0)
                              << "" << -1 << 0 << false;
    QTest::newRow("line without end") << logLines(1) + QByteArray(StoredLog::MaxLineBytes + 1, ',')
                                      << qint64(0) << "" << -1 << 0 << false;
}

void tst_Logging::storedLog()
{
    QFETCH(QByteArray, content);
    QFETCH(qint64, count);
    QFETCH(QString, value2);
    QFETCH(int, interval);
    QFETCH(bool, isLog);
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    StoredLog log;
    QCOMPARE(log.read(buffer), isLog);
    QCOMPARE(log.count(), count);
    QCOMPARE(log.value(0, count - 1), value2);
    QCOMPARE(log.value(0, count), QString());
    int seconds = -1;
    QCOMPARE(log.interval(&seconds), interval >= 0);
    if (interval >= 0)
        QCOMPARE(seconds, interval);
    QTEST(int(log.sampleStep()), "step");
    if (count > 0)
        QCOMPARE(log.time(0), QStringLiteral("00:00:00"));
}

// The memo appended after a log is kept as written, whatever it holds.
void tst_Logging::storedMemo_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("memo");
    const QByteArray mark = "\"\r\n\"\r\n\"-MEMO-\"\r\n";
    QTest::newRow("none") << QByteArray() << "";
    QTest::newRow("lines, quotes, commas") << mark + "\"槽温度 \"A\", 25℃\r\n2行目\"\r\n"
                                           << "槽温度 \"A\", 25℃\n2行目";
    QTest::newRow("Shift_JIS of an older system") << mark + "\"\x83\x81\x83\x82\"\r\n"
                                                  << "メモ";
    QTest::newRow("cut by a power cut") << mark + "\"途中まで"
                                        << "途中まで";
}

void tst_Logging::storedMemo()
{
    QFETCH(QByteArray, tail);
    QByteArray content = logLines(2, tail);
    QBuffer buffer(&content);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    StoredLog log;
    QVERIFY(log.read(buffer));
    QCOMPARE(log.count(), qint64(2));
    QTEST(log.memo(), "memo");
}

// Names by day and time; a second log in the same second gets a suffix;
// lines are written whole; the CSV copy is the same bytes.
void tst_Logging::logFileNames()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("a/b/LOG"));
    const QDateTime t(QDate(2008, 1, 15), QTime(12, 30, 45));
    QString failed;
    LogFile first;
    QVERIFY(first.open(folder, t, &failed));
    QCOMPARE(first.TxtLogPath,
             folder + QStringLiteral("/TXT_DATA/2008_01_15/2008_01_15_12_30_45.txt"));
    QVERIFY(QFileInfo(folder + QStringLiteral("/CSV_DATA/2008_01_15")).isDir());
    const QByteArray line = logLines(1);
    QVERIFY(first.writeLine(line));
    QVERIFY(first.close(true, &failed));
    LogFile second;
    QVERIFY(second.open(folder, t, &failed));
    QCOMPARE(second.LogStem, QStringLiteral("2008_01_15_12_30_45_2"));
    QVERIFY(second.close(false, &failed));
    QFile txt(first.TxtLogFinal);
    QFile csv(first.CsvLogPath);
    QVERIFY(txt.open(QIODevice::ReadOnly) && csv.open(QIODevice::ReadOnly));
    QCOMPARE(txt.readAll(), line);
    QCOMPARE(csv.readAll(), line);
    QVERIFY(!QFileInfo::exists(second.CsvLogPath));
}

void tst_Logging::logFileFailures()
{
    QTemporaryDir dir;
    // A file where the log folder should be.
    const QString blocked = writeTemp(dir, QStringLiteral("LOG"), "x");
    QVERIFY(!blocked.isEmpty());
    LogFile log;
    QString failed;
    QVERIFY(!log.open(blocked, QDateTime::currentDateTime(), &failed));
    QVERIFY(failed.contains(QStringLiteral("TXT_DATA")));
    QVERIFY(!log.isOpen());
    QVERIFY(!log.writeLine("x\r\n"));
}

QTEST_MAIN(tst_Logging)
#include "tst_logging.moc"
