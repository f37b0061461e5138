// The graph's read-out, X labels, range fit and exports, and the live
// read-out window's values: all computed or drawn without a window.

#include "core/app/WindowState.h"
#include "core/config/Parameter.h"
#include "core/logging/CurrentValues.h"
#include "core/logging/GraphExport.h"
#include "core/logging/GraphReadout.h"
#include "core/logging/LogSummary.h"
#include "core/logging/RangeFit.h"
#include "core/logging/StoredLog.h"

#include <QBuffer>
#include <QDir>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace {

constexpr double Px = 1.0 / 15.0; // 96 dpi: a sample of 50 twips is 3.33 pixels
const QString kFile = QStringLiteral("2008_01_15_12_30_45.txt");

// A stored log: a missed reply between 5 and 15 s, an unused SENSOR1, one
// reading that is not a number, and a last line cut as it was written.
const QByteArray kStored = "\"00:00:00\",\"+025.00\",\"+024.00\",\"*\",\"+030\",\"+031.50\"\r\n"
                           "\"00:00:05\",\"+026.00\",\"+024.50\",\"*\",\"+031\",\"+031.50\"\r\n"
                           "\"00:00:15\",\"+027.50\",\"+025.00\",\"*\",\"+032\",\"+031.50\"\r\n"
                           "\"00:00:20\",\"x\",\"+025.00\",\"*\",\"-012\",\"+031.50\"\r\n"
                           "\"00:00:25\",\"+028.00\",\"+025.00\",\"*\",\"+0";

StoredLog &stored()
{
    static StoredLog log;
    if (log.count() == 0) {
        QByteArray bytes = kStored;
        QBuffer b(&bytes);
        b.open(QIODevice::ReadOnly);
        log.read(b);
    }
    return log;
}

Parameter &scaled(int xScale, int pagePoints)
{
    Parameter &p = param();
    p.reset();
    p.GraphXScale = xScale;
    p.GraphPagePoints = pagePoints;
    return p;
}

// A live log at 5 s on its second page (samples 600 on), 3 samples in:
// 600: 20.00, 601: 21.00, 602: no reply yet.
GraphPage livePage()
{
    Parameter &p = scaled(50, 600);
    p.LogInterval = 5;
    p.LogCount = 602;
    p.GraphPage = 1;
    p.GraphPageStart = 600;
    p.SenValues.clear();
    p.SenValues.resize(605);
    p.SenValues.set(600, {"+020.00", "+020.00", "*", "+020.00"});
    p.SenValues.set(601, {"+021.00", "+021.00", "*", "+021.00"});
    return GraphPage::live(p, QStringLiteral("2008_01_15_12_30_45"));
}

// A stored log at 1 s of `lines` lines whose replies `gapFrom` ... `gapTo`
// never came, PT100A at 50 ℃.
StoredLog &gapLog(qint64 lines, qint64 gapFrom, qint64 gapTo)
{
    static StoredLog log;
    QByteArray bytes;
    for (qint64 n = 0, i = 0; i < lines; ++n) {
        if (n >= gapFrom && n <= gapTo)
            continue;
        bytes += QStringLiteral("\"%1\",\"+050.00\",\"*\",\"*\",\"*\",\"0\"\r\n")
                     .arg(LogSummary::clockText(n))
                     .toLatin1();
        ++i;
    }
    QBuffer b(&bytes);
    b.open(QIODevice::ReadOnly);
    log.read(b);
    return log;
}

GraphPage storedPage()
{
    return GraphPage::stored(stored(), kFile, 5, scaled(50, 600), false, 0);
}

// Rows "a b c d" as a page's samples from 0 on.
GraphPage rowsPage(const QStringList &rows)
{
    GraphPage page;
    page.values = [rows](int k, qint64 i) {
        return i >= 0 && i < rows.size() ? rows.at(qsizetype(i)).split(QLatin1Char(' ')).value(k)
                                         : QString();
    };
    page.elapsed = [](qint64 i) { return i * 5; };
    page.interval = 5;
    page.last = rows.size() - 1;
    return page;
}

QByteArray run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

} // namespace

class tst_GraphTools : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readout_data();
    void readout();
    void startFromFileName_data();
    void startFromFileName();
    void axisLabels_data();
    void axisLabels();
    void rangeFit_data();
    void rangeFit();
    void csvExport();
    void storedCsvRows_data();
    void storedCsvRows();
    void pngExport_data();
    void pngExport();
    void paperInks();
    void storedGap();
    void labelsApart_data();
    void labelsApart();
    void reportPdf();
    void summary();
    void summaryPage();
    void currentValues();
    void currentValuesNotLive_data();
    void currentValuesNotLive();
};

void tst_GraphTools::readout_data()
{
    QTest::addColumn<bool>("live");
    QTest::addColumn<int>("x");      // viewport pixel
    QTest::addColumn<int>("scroll"); // twips
    QTest::addColumn<qint64>("sample");
    QTest::addColumn<QString>("elapsed");
    QTest::addColumn<QString>("clock");
    QTest::addColumn<QString>("first"); // PT100A
    QTest::addColumn<QString>("third"); // SENSOR1

    const QString d = QStringLiteral("2008/01/15 ");
    // Live: sample 600 at x = 0, elapsed 600 x 5 s; the clock from the stem.
    QTest::newRow("live page start")
        << true << 0 << 0 << qint64(600) << "00:50:00" << d + "13:20:45"
        << "+020.00"
        << "*";
    QTest::newRow("live nearest sample")
        << true << 4 << 0 << qint64(601) << "00:50:05" << d + "13:20:50"
        << "+021.00"
        << "*";
    QTest::newRow("live reply not in")
        << true << 7 << 0 << qint64(602) << "00:50:10" << d + "13:20:55"
        << "-"
        << "-";
    QTest::newRow("live past newest") << true << 20 << 0 << qint64(-1) << ""
                                      << ""
                                      << ""
                                      << "";
    // Stored: a line's own stamp is its time (the 10 s reply is missing).
    QTest::newRow("stored first") << false << 1 << 0 << qint64(0) << "00:00:00" << d + "12:30:45"
                                  << "+025.00"
                                  << "*";
    // Each line stands at its time, and the label numbers it as the CSV does:
    // line 2 is sample 3; where the 10 s reply is missing nothing is read.
    QTest::newRow("stored after a gap")
        << false << 10 << 0 << qint64(2) << "00:00:15" << d + "12:31:00"
        << "+027.50"
        << "*";
    QTest::newRow("stored in the gap") << false << 7 << 0 << qint64(-1) << ""
                                       << ""
                                       << ""
                                       << "";
    QTest::newRow("stored scrolled")
        << false << 3 << 150 << qint64(3) << "00:00:20" << d + "12:31:05"
        << "x"
        << "*";
    QTest::newRow("stored past end") << false << 50 << 0 << qint64(-1) << ""
                                     << ""
                                     << ""
                                     << "";
}

void tst_GraphTools::readout()
{
    QFETCH(bool, live);
    QFETCH(int, x);
    QFETCH(int, scroll);
    QFETCH(qint64, sample);
    const GraphPage page = live ? livePage() : storedPage();
    QCOMPARE(GraphReadout::sampleAt(page, x, scroll, Px), sample);
    if (sample < 0)
        return;
    const GraphReadout::Values v = GraphReadout::at(page, sample);
    QTEST(v.elapsed, "elapsed");
    QTEST(v.clock, "clock");
    QTEST(v.temps[0], "first");
    QTEST(v.temps[2], "third");
    // The label carries every value, each sensor in its curve's colour.
    const QString html = GraphReadout::html(v);
    const qint64 numbered = live ? sample : qint64(std::lround(v.elapsed.right(2).toInt() / 5.0));
    QVERIFY(html.contains(QStringLiteral("サンプル：%1").arg(numbered)));
    QVERIFY(html.contains(v.clock));
    QVERIFY(html.contains(QStringLiteral("color:#ff0000\">PT100A：") + v.temps[0]));
    QVERIFY(html.contains(QStringLiteral("color:#ffff00\">PT100B：")));
}

void tst_GraphTools::startFromFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("start"); // empty: unknown

    QTest::newRow("log file") << kFile << "2008-01-15T12:30:45";
    QTest::newRow("second of that second") << "2008_01_15_12_30_45_2.txt"
                                           << "2008-01-15T12:30:45";
    QTest::newRow("CSV copy") << "2026_12_07_23_59_59.CSV"
                              << "2026-12-07T23:59:59";
    QTest::newRow("renamed") << "bench run.txt"
                             << "";
    QTest::newRow("no such date") << "2008_02_30_12_30_45.txt"
                                  << "";
    QTest::newRow("no such time") << "2008_01_15_24_30_45.txt"
                                  << "";
}

void tst_GraphTools::startFromFileName()
{
    QFETCH(QString, name);
    QFETCH(QString, start);
    const QDateTime t = GraphReadout::startFromFileName(name);
    QCOMPARE(t.isValid() ? t.toString(Qt::ISODate).left(19) : QString(), start);
    QCOMPARE(GraphReadout::fileCaption(name),
             QStringLiteral("ファイル：") + name + QStringLiteral("　開始：") +
                 (t.isValid() ? t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                              : QStringLiteral("-")));
}

void tst_GraphTools::axisLabels_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("knownStart");
    QTest::addColumn<QStringList>("labels"); // samples 600, 660, 1140 of the live page

    QTest::newRow("samples") << 0 << true << QStringList{"600", "660", "1140"};
    QTest::newRow("elapsed") << 1 << true << QStringList{"00:50", "00:55", "01:35"};
    QTest::newRow("clock") << 2 << true << QStringList{"13:20:45", "13:25:45", "14:05:45"};
    QTest::newRow("clock, start unknown")
        << 2 << false << QStringList{"--:--:--", "--:--:--", "--:--:--"};
}

void tst_GraphTools::axisLabels()
{
    QFETCH(int, mode);
    QFETCH(bool, knownStart);
    QFETCH(QStringList, labels);
    GraphPage page = livePage();
    if (!knownStart)
        page.start = QDateTime();
    QStringList got;
    for (qint64 s : {600, 660, 1140})
        got << GraphReadout::axisLabel(page, GraphReadout::AxisMode(mode), s);
    QCOMPARE(got, labels);
}

void tst_GraphTools::rangeFit_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<bool>("fits");
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("min");

    QTest::newRow("inside") << QStringList{"+021.30 +024.00 * +030", "+027.10 * * +022"} << true
                            << 30 << 20;
    QTest::newRow("on entries") << QStringList{"+025.00 +025 * *", "+025.00 +025 * *"} << true << 30
                                << 25;
    QTest::newRow("across both ends")
        << QStringList{"+180.00 -070.00 * *", "+020.00 * * *"} << true << 160 << -60;
    QTest::newRow("above the lists") << QStringList{"+170.00 +199.99 * *"} << true << 160 << 155;
    QTest::newRow("below the lists") << QStringList{"-080.00 -099.00 * *"} << true << -55 << -60;
    QTest::newRow("no reading") << QStringList{"* * * *", "   "} << false << 0 << 0;
    QTest::newRow("not numbers skipped") << QStringList{"abc +001.00 * *"} << true << 5 << 0;
}

void tst_GraphTools::rangeFit()
{
    QFETCH(QStringList, rows);
    QFETCH(bool, fits);
    int max = 0;
    int min = 0;
    QCOMPARE(RangeFit::fit(rowsPage(rows), &max, &min), fits);
    QTEST(max, "max");
    QTEST(min, "min");
}

void tst_GraphTools::csvExport()
{
    GraphPage page = storedPage();
    page.start = QDateTime(QDate(2008, 1, 15), QTime(12, 30, 45), Qt::OffsetFromUTC, 9 * 3600);
    QCOMPARE(GraphExport::csv(page),
             QByteArray("index,elapsed_s,time,PT100A,PT100B,SENSOR1,SENSOR2,status\r\n"
                        "0,0,2008-01-15T12:30:45+09:00,+025.00,+024.00,,+030,ok\r\n"
                        "1,5,2008-01-15T12:30:50+09:00,+026.00,+024.50,,+031,ok\r\n"
                        "2,10,2008-01-15T12:30:55+09:00,,,,,missing\r\n"
                        "3,15,2008-01-15T12:31:00+09:00,+027.50,+025.00,,+032,ok\r\n"
                        "4,20,2008-01-15T12:31:05+09:00,,+025.00,,-012,invalid\r\n"));

    // Live: a sample whose reply has not come is "missing"; a west offset and
    // an unknown start.
    page = livePage();
    page.start = QDateTime(QDate(2026, 12, 31), QTime(23, 59, 0), Qt::OffsetFromUTC, -(5 * 3600));
    QCOMPARE(GraphExport::csv(page).split('\n').mid(1),
             QList<QByteArray>({"600,3000,2027-01-01T00:49:00-05:00,+020.00,+020.00,,+020.00,ok\r",
                                "601,3005,2027-01-01T00:49:05-05:00,+021.00,+021.00,,+021.00,ok\r",
                                "602,3010,2027-01-01T00:49:10-05:00,,,,,missing\r", ""}));
    page.start = QDateTime();
    QVERIFY(GraphExport::csv(page).contains("\r\n601,3005,,+021.00,"));

    // A log through the change to summer time keeps the true clock.
    const QTimeZone berlin("Europe/Berlin");
    if (!berlin.isValid())
        QSKIP("no time-zone data on this system");
    page = rowsPage({"+001.00 * * *", "+002.00 * * *"});
    page.start = QDateTime(QDate(2026, 3, 29), QTime(1, 59, 58), berlin);
    QCOMPARE(GraphExport::csv(page).split('\n').mid(1, 2),
             QList<QByteArray>({"0,0,2026-03-29T01:59:58+01:00,+001.00,,,,ok\r",
                                "1,5,2026-03-29T03:00:03+02:00,+002.00,,,,ok\r"}));
}

// A stored log's rows are its samples: a missed reply leaves no line and is a
// "missing" row; stamps that cannot be samples of the log never make rows up,
// and one more than an interval from its place is "invalid".
void tst_GraphTools::storedCsvRows_data()
{
    QTest::addColumn<QStringList>("stamps");
    QTest::addColumn<qint64>("first");     // first line of the page
    QTest::addColumn<QStringList>("rows"); // index:elapsed_s:status
    const QString ok = QStringLiteral(":ok");
    QTest::newRow("gap") << QStringList{"00:00:00", "00:00:05", "00:00:25", "00:00:30"} << qint64(0)
                         << QStringList{"0:0" + ok,     "1:5" + ok,  "2:10:missing", "3:15:missing",
                                        "4:20:missing", "5:25" + ok, "6:30" + ok};
    QTest::newRow("first replies missed")
        << QStringList{"00:00:10", "00:00:15"} << qint64(0)
        << QStringList{"0:0:missing", "1:5:missing", "2:10" + ok, "3:15" + ok};
    QTest::newRow("page from line 2") << QStringList{"00:00:00", "00:00:05", "00:00:25", "00:00:30"}
                                      << qint64(2) << QStringList{"5:25" + ok, "6:30" + ok};
    QTest::newRow("out of order, far off, not a time")
        << QStringList{"00:00:00", "00:00:10", "00:00:05", "99999:00:00", "x", "00:00:15"}
        << qint64(0) << QStringList{"0:0" + ok,     "1:5:missing", "2:10" + ok,   "3:15:invalid",
                                    "4:20:invalid", "5:25" + ok,   "6:30:invalid"};
    // A stamp far beyond its place is damaged: timed by its place, invalid.
    QTest::newRow("stamp far off")
        << QStringList{"00:00:00", "00:00:05", "1000000:00:00", "00:00:15"} << qint64(0)
        << QStringList{"0:0" + ok, "1:5" + ok, "2:10:invalid", "3:15" + ok};
}

void tst_GraphTools::storedCsvRows()
{
    QFETCH(QStringList, stamps);
    QFETCH(qint64, first);
    QByteArray content;
    for (const QString &t : stamps)
        content += "\"" + t.toLatin1() + "\",\"+025.00\",\"*\",\"*\",\"*\",\"+031.50\"\r\n";
    QBuffer b(&content);
    QVERIFY(b.open(QIODevice::ReadOnly));
    StoredLog log;
    QVERIFY(log.read(b));
    const GraphPage page = GraphPage::stored(log, kFile, 5, scaled(50, 600), false, 0);
    QStringList rows;
    const QList<QByteArray> lines = GraphExport::csv(page, first, page.last).split('\n');
    for (const QByteArray &line : lines.mid(1, lines.size() - 2)) {
        const QList<QByteArray> f = line.trimmed().split(',');
        rows << QString::fromLatin1(f.at(0) + ':' + f.at(1) + ':' + f.at(7));
    }
    QTEST(rows, "rows");
}

void tst_GraphTools::pngExport_data()
{
    QTest::addColumn<QSize>("size");
    for (const QSize &size : GraphExport::pictureSizes())
        QTest::addRow("%dx%d", size.width(), size.height()) << size;
}

// The picture has the size chosen, is drawn on white with the four curves
// in their paper inks, and its text is a sixtieth of its width or more.
void tst_GraphTools::pngExport()
{
    QFETCH(QSize, size);
    Parameter &p = scaled(25, 1200);
    p.LogInterval = 1;
    p.LogCount = 1200;
    p.SenValues.clear();
    for (int i = 0; i <= 1200; ++i) {
        QStringList row;
        for (int k = 0; k < 4; ++k)
            row << QString::number(20.0 + k * 20 + 10 * std::sin(i / 50.0), 'f', 2);
        p.SenValues.set(i, row);
    }
    const GraphPage page = GraphPage::live(p, QString());
    GraphExport::PlotSetup setup;
    setup.max = 100;
    setup.min = 0;
    const QImage img = GraphExport::image(page, setup, size);
    QCOMPARE(img.size(), size);

    qint64 white = 0;
    std::array<qint64, 4> inked{};
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            white += c.lightness() > 245;
            for (int k = 0; k < 4; ++k) {
                const QColor ink = GraphExport::sensorInk(GraphExport::Look::Paper, k).colour;
                inked[k] += std::abs(c.red() - ink.red()) + std::abs(c.green() - ink.green()) +
                                std::abs(c.blue() - ink.blue()) <
                            60;
            }
        }
    QVERIFY(white > qint64(size.width()) * size.height() * 8 / 10);
    for (int k = 0; k < 4; ++k)
        QVERIFY2(inked[k] > size.width() / 4,
                 qPrintable(QStringLiteral("%1: %2").arg(k).arg(inked[k])));

    // The rows of ink above the plot's frame: title, file, description.
    auto bands = [](const QImage &image) {
        QList<std::pair<int, int>> found;
        for (int y = 0; y < image.height(); ++y) {
            int dark = 0;
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 128;
            if (dark > image.width() / 2)
                break;
            if (dark == 0)
                continue;
            if (!found.isEmpty() && found.last().second == y - 1)
                found.last().second = y;
            else
                found.append({y, y});
        }
        return found;
    };
    const auto heading = bands(img);
    QVERIFY(heading.size() >= 3);
    // The description drawn again at exactly the size named: the picture's
    // is as tall.
    QImage ref(size.width(), size.width() / 10, QImage::Format_RGB32);
    ref.fill(Qt::white);
    {
        QPainter g(&ref);
        QFont f = g.font();
        f.setPixelSize(int(std::ceil(size.width() / 60.0)));
        g.setFont(f);
        g.setPen(Qt::black);
        g.drawText(QPointF(10, size.width() / 20.0), GraphExport::describe(page, setup));
    }
    const auto named = bands(ref);
    QCOMPARE(named.size(), 1);
    const int drawn = heading.at(2).second - heading.at(2).first;
    QVERIFY2(drawn >= named.at(0).second - named.at(0).first,
             qPrintable(QStringLiteral("%1 rows").arg(drawn)));
}

// On paper the four curves stay apart printed in grey: each differs from the
// others in darkness and in line style.
void tst_GraphTools::paperInks()
{
    for (int a = 0; a < 4; ++a)
        for (int b = a + 1; b < 4; ++b) {
            const GraphExport::Ink x = GraphExport::sensorInk(GraphExport::Look::Paper, a);
            const GraphExport::Ink y = GraphExport::sensorInk(GraphExport::Look::Paper, b);
            QVERIFY(std::abs(qGray(x.colour.rgb()) - qGray(y.colour.rgb())) >= 30);
            QVERIFY(x.style != y.style);
        }
    // The window keeps its colours.
    QCOMPARE(GraphExport::sensorInk(GraphExport::Look::Screen, 1).colour, QColor(255, 255, 0));
}

// A missed reply is a gap at its time: samples 100 ... 110 missing, the
// samples after them drawn 11 s on, and the page's header numbers its
// samples as its CSV does.
void tst_GraphTools::storedGap()
{
    const StoredLog &log = gapLog(700, 100, 110);
    GraphExport::PlotSetup setup;
    setup.max = 80;
    setup.min = 0;
    setup.axis = GraphReadout::AxisMode::Elapsed;
    const GraphPage second = GraphPage::stored(log, kFile, 1, scaled(50, 600), true, 300);
    const QList<QByteArray> rows = GraphExport::csv(second).trimmed().split('\n');
    QVERIFY(GraphExport::describe(second, setup)
                .endsWith(QStringLiteral("範囲：0～80[℃]　サンプル：%1～%2")
                              .arg(QString::fromLatin1(rows.at(1).split(',').at(0)),
                                   QString::fromLatin1(rows.last().split(',').at(0)))));
    QVERIFY(rows.at(1).startsWith("311,311,"));

    const GraphPage first = GraphPage::stored(log, kFile, 1, scaled(50, 600), true, 0);
    const QSize size(1200, 750);
    const QImage img = GraphExport::image(first, setup, size);
    if (const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS"); !dir.isEmpty())
        img.save(dir + QStringLiteral("/graph_gap.png"));
    // Where 50 ℃ and the samples are, from the labels' centres (the first
    // X label starts at its tick rather than centred on it).
    double y40 = 0, y60 = 0;
    QList<std::pair<double, double>> ticks; // seconds, x
    for (const GraphExport::Label &l : GraphExport::pictureLabels(first, setup, size)) {
        y40 = l.text == "40" ? l.box.center().y() : y40;
        y60 = l.text == "60" ? l.box.center().y() : y60;
        const QTime t = QTime::fromString(l.text, QStringLiteral("H:mm:ss"));
        if (t.isValid() && l.text != "0:00:00")
            ticks.append({t.msecsSinceStartOfDay() / 1000.0, l.box.center().x()});
    }
    QVERIFY(y40 > y60 && ticks.size() >= 2);
    const int y = int(std::lround((y40 + y60) / 2));
    auto darkest = [&](double sample) {
        const auto [ta, xa] = ticks.at(0);
        const auto [tb, xb] = ticks.at(1);
        const int x = int(std::lround(xa + (xb - xa) * (sample - ta) / (tb - ta)));
        int gray = 255;
        for (int dy = -2; dy <= 2; ++dy)
            gray = std::min(gray, qGray(img.pixel(x, y + dy)));
        return gray;
    };
    for (double sample : {95.0, 99.0, 111.0, 115.0, 610.0})
        QVERIFY2(darkest(sample) < 80, qPrintable(QString::number(sample)));
    for (double sample = 100.5; sample <= 109.5; sample += 0.25)
        QVERIFY2(darkest(sample) >= 80, qPrintable(QString::number(sample)));
}

void tst_GraphTools::labelsApart_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("axis");
    for (const QSize &size : GraphExport::pictureSizes())
        for (int axis : {1, 2})
            QTest::addRow("%dx%d %s", size.width(), size.height(), axis == 1 ? "elapsed" : "clock")
                << size << axis;
}

// No text of the axes overprints another, each is inside the picture, and
// the last tick has its label.
void tst_GraphTools::labelsApart()
{
    QFETCH(QSize, size);
    QFETCH(int, axis);
    GraphExport::PlotSetup setup;
    setup.axis = GraphReadout::AxisMode(axis);
    const GraphPage page =
        GraphPage::stored(gapLog(700, 1000, 1000), kFile, 1, scaled(50, 600), true, 0);
    const QList<GraphExport::Label> labels = GraphExport::pictureLabels(page, setup, size);
    QVERIFY(labels.size() > 10);
    for (qsizetype i = 0; i < labels.size(); ++i) {
        QVERIFY(QRectF(QPointF(0, 0), size).contains(labels.at(i).box));
        for (qsizetype j = i + 1; j < labels.size(); ++j)
            QVERIFY2(!labels.at(i).box.intersects(labels.at(j).box),
                     qPrintable(labels.at(i).text + " / " + labels.at(j).text));
    }
    for (const QString &text :
         {axis == 1 ? QStringLiteral("0:10:00") : QStringLiteral("12:40:45"),
          axis == 1 ? QStringLiteral("経過時間 [h:mm:ss]") : QStringLiteral("時刻"),
          QStringLiteral("温度 [℃]")})
        QVERIFY2(std::any_of(labels.begin(), labels.end(),
                             [&](const GraphExport::Label &l) { return l.text == text; }),
                 qPrintable(text));
}

void tst_GraphTools::reportPdf()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        QPainter g(&pdf);
        GraphExport::PlotSetup setup;
        setup.max = 40;
        setup.min = 20;
        GraphExport::drawReport(g, QRectF(g.viewport()), storedPage(), setup, 1, 1);
    }
    // Text extraction changes spacing (a full-width space comes back narrow).
    auto bare = [](QString s) {
        return s.remove(QRegularExpression(QStringLiteral("\\s"),
                                           QRegularExpression::UseUnicodePropertiesOption));
    };
    const QString text = bare(QString::fromUtf8(run(QStringLiteral("pdftotext"), {path, "-"})));
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) is needed");
    for (const QString &part :
         {GraphExport::reportTitle(), QStringLiteral("ファイル：") + kFile,
          QStringLiteral("開始：2008/01/15 12:30:45"), QStringLiteral("1Point = 5[s]"),
          QStringLiteral("40[℃]"), QStringLiteral("PT100A"), QStringLiteral("1 / 1")})
        QVERIFY2(text.contains(bare(part)), qPrintable(part + QStringLiteral(" in ") + text));
    // The curves are paths, not a picture: PT100B's dark red line is stroked.
    const QString svg = QString::fromUtf8(run(QStringLiteral("pdftocairo"), {"-svg", path, "-"}));
    QVERIFY(!svg.isEmpty());
    QVERIFY(!svg.contains(QStringLiteral("<image")));
    static const QRegularExpression red(
        QStringLiteral(R"(<path[^>]*stroke[:=]"?rgb\(66\.\d*%, ?0%, ?0%\))"));
    QVERIFY(red.match(svg).hasMatch());
}

// The whole log in figures: samples and the ones missing, each sensor's
// range and mean, the memo, and the alarms the system logs noted while the
// log ran.
void tst_GraphTools::summary()
{
    QByteArray content = "\"00:00:00\",\"+020.00\",\"+030.00\",\"*\",\"+010\",\"0\"\r\n"
                         "\"00:00:05\",\"+022.00\",\"+031.00\",\"*\",\"x\",\"0\"\r\n"
                         "\"00:00:10\",\"+024.00\",\"*\",\"*\",\"+012\",\"0\"\r\n"
                         "\"00:00:25\",\"+026.00\",\"+033.00\",\"*\",\"+014\",\"0\"\r\n";
    QBuffer b(&content);
    QVERIFY(b.open(QIODevice::ReadOnly));
    StoredLog log;
    QVERIFY(log.read(b));
    const GraphPage whole = GraphPage::stored(log, kFile, 5, scaled(50, 600), false, 0);
    LogSummary s = LogSummary::of(whole, QStringLiteral("メモ"));
    QCOMPARE(s.samples, qint64(4));
    QCOMPARE(s.missing, qint64(2));
    QCOMPARE(s.duration, qint64(25));
    QCOMPARE(s.end, QDateTime(QDate(2008, 1, 15), QTime(12, 31, 10)));
    const std::array<std::array<double, 4>, 4> sensors = {
        {{4, 20, 26, 23}, {3, 30, 33, 94.0 / 3}, {0, 0, 0, 0}, {3, 10, 14, 12}}};
    for (int k = 0; k < 4; ++k) {
        const LogSummary::Sensor &got = s.sensors[size_t(k)];
        QCOMPARE(got.readings, qint64(sensors[k][0]));
        QCOMPARE(got.min, sensors[k][1]);
        QCOMPARE(got.max, sensors[k][2]);
        QCOMPARE(got.mean, sensors[k][3]);
    }
    const QStringList lines{"ファイル：" + kFile,
                            "開始：2008/01/15 12:30:45",
                            "終了：2008/01/15 12:31:10",
                            "記録時間：00:00:25",
                            "記録間隔：5[s]",
                            "サンプル数：4",
                            "欠測：2"};
    QStringList got;
    for (const auto &l : s.lines())
        got << l.first + QStringLiteral("：") + l.second;
    QCOMPARE(got, lines);

    // A system log of that morning: an alarm before the log, one as it
    // stopped, one after it; other notes and received lines are no alarms.
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("2008_01_15"))));
    QFile sys(dir.filePath(QStringLiteral("2008_01_15/2008_01_15_12_00_00.txt")));
    QVERIFY(sys.open(QIODevice::WriteOnly));
    const QString stop = QStringLiteral("2008/01/15 12:31:12 ") + LogSummary::alarmNote("012");
    sys.write(("\"STATUS\"\r\n\" 04 1 2 012 0\"\r\n2008/01/15 12:30:40 " +
               LogSummary::alarmNote("001") +
               "\r\n2008/01/15 12:31:00 パターン運転が終了しました。\r\n" + stop +
               "\r\n2008/01/15 12:31:40 " + LogSummary::alarmNote("013") + "\r\n")
                  .toUtf8());
    sys.close();
    QCOMPARE(s.alarmsIn(dir.path()),
             QStringList{QStringLiteral("2008/01/15 12:31:12　") + LogSummary::alarmNote("012")});
    QCOMPARE(LogSummary::alarmNote("012"),
             QStringLiteral("アラーム発生：012 : ヴェルダへ過電流がながれました"));
    QCOMPARE(LogSummary::alarmNote("999"), QStringLiteral("アラーム発生：999"));
}

void tst_GraphTools::currentValues()
{
    Parameter &p = scaled(50, 600);
    StatuslogState status;
    CurrentValues::Feed feed;
    feed.polling = true;
    feed.now = QDateTime(QDate(2008, 1, 15), QTime(12, 30, 45));
    // Nothing yet.
    CurrentValues v = CurrentValues::from(p, status, QString(), feed);
    QCOMPARE(v.temps[0], QStringLiteral("-"));
    QCOMPARE(v.elapsed, QStringLiteral("-"));

    // Sample 3 arrived, the tick for sample 4 is out; a step is running.
    livePage();
    p.LogCount = 4;
    p.SenValues.clear();
    p.SenValues.set(3, {"+040", "+041", "*", "+043"});
    p.SenValues.resize(5);
    p.TargetLineText = QStringLiteral("40");
    status.nj_l = QStringLiteral("動作状態");
    status.js_l = QStringLiteral("1");
    v = CurrentValues::from(p, status, QStringLiteral("通信：正常"), feed);
    QCOMPARE(CurrentValues::newestSample(p), qint64(3));
    QCOMPARE(v.temps, (std::array<QString, 4>{"+040", "+041", "*", "+043"}));
    QCOMPARE(v.setPoint, QStringLiteral("40"));
    QCOMPARE(v.state, QStringLiteral("動作状態"));
    QCOMPARE(v.step, QStringLiteral("1"));
    QCOMPARE(v.elapsed, QStringLiteral("00:00:15"));
    QCOMPARE(v.link, QStringLiteral("通信：正常"));
    QCOMPARE(v.freshness, CurrentValues::Freshness::Live);
    QVERIFY(v.staleWhat.isEmpty());

    // A sensor the settings switch off reads as such, whatever arrives for it.
    p.SenPara[1] = QStringLiteral("0 +150.00 -050.00 +000.00 100.00");
    p.SenPara[2] = QStringLiteral("1 +080 +000 +000");
    v = CurrentValues::from(p, status, QString(), feed);
    QCOMPARE(v.temps, (std::array<QString, 4>{"+040", "使用不可", "*", "+043"}));
}

void tst_GraphTools::currentValuesNotLive_data()
{
    QTest::addColumn<bool>("polling");
    QTest::addColumn<bool>("linkLost");
    QTest::addColumn<QDateTime>("lastReading");
    QTest::addColumn<QDateTime>("pollingEnded");
    QTest::addColumn<int>("freshness");
    QTest::addColumn<QStringList>("stale");
    const QDateTime today(QDate(2008, 1, 15), QTime(12, 30, 5));
    const QDateTime yesterday(QDate(2008, 1, 14), QTime(23, 59, 58));
    using F = CurrentValues::Freshness;
    QTest::newRow("live") << true << false << today << QDateTime() << int(F::Live)
                          << QStringList{"", "", ""};
    QTest::newRow("link lost") << true << true << today << QDateTime() << int(F::LinkLost)
                               << QStringList{"通信異常", "最終受信", "12:30:05"};
    QTest::newRow("link lost since yesterday")
        << true << true << yesterday << QDateTime() << int(F::LinkLost)
        << QStringList{"通信異常", "最終受信（2008/01/14）", "23:59:58"};
    QTest::newRow("log ended") << false << false << yesterday << today << int(F::NotUpdating)
                               << QStringList{"更新停止", "ログ終了", "12:30:05"};
    // A lost link no longer matters once nothing is polled.
    QTest::newRow("log ended during a loss")
        << false << true << yesterday << today << int(F::NotUpdating)
        << QStringList{"更新停止", "ログ終了", "12:30:05"};
    QTest::newRow("no log yet") << false << false << QDateTime() << QDateTime()
                                << int(F::NotUpdating) << QStringList{"更新停止", "ログ停止中", ""};
}

void tst_GraphTools::currentValuesNotLive()
{
    QFETCH(bool, polling);
    QFETCH(bool, linkLost);
    QFETCH(QDateTime, lastReading);
    QFETCH(QDateTime, pollingEnded);
    QFETCH(int, freshness);
    QFETCH(QStringList, stale);
    Parameter &p = scaled(50, 600);
    p.LogCount = 1;
    p.SenValues.set(0, {"+040", "+041", "*", "+043"});
    const CurrentValues::Feed feed{polling, linkLost, lastReading, pollingEnded,
                                   QDateTime(QDate(2008, 1, 15), QTime(12, 30, 45))};
    const CurrentValues v = CurrentValues::from(p, StatuslogState(), QString(), feed);
    // The readings stay: the window greys them.
    QCOMPARE(v.temps[0], QStringLiteral("+040"));
    QCOMPARE(int(v.freshness), freshness);
    QCOMPARE((QStringList{v.staleWhat, v.staleSince, v.staleTime}), stale);
}

QTEST_MAIN(tst_GraphTools)
// The summary of a 25-sample log with a gap, the alarm, the memo and the
// step rows its pattern run wrote, read back from the PDF as text: the
// kanji come back as written, not as radicals of the same look.
void tst_GraphTools::summaryPage()
{
    const GraphPage whole =
        GraphPage::stored(gapLog(25, 10, 12), kFile, 1, scaled(50, 600), false, 0);
    LogSummary s = LogSummary::of(whole, QStringLiteral("槽A"));
    QCOMPARE(s.samples, qint64(25));
    QCOMPARE(s.gapCount, qint64(1));
    QCOMPARE(s.longestGaps.size(), 1);
    QCOMPARE(s.longestGaps.at(0).start, qint64(10));
    QCOMPARE(s.longestGaps.at(0).samples, qint64(3));
    s.alarms = {QStringLiteral("2008/01/15 12:31:00　") + LogSummary::alarmNote("012")};
    QTemporaryDir dir;
    const QString log = dir.filePath(kFile);
    QFile steps(LogSummary::stepsPath(log));
    QVERIFY(steps.open(QIODevice::WriteOnly));
    steps.write("step,loop,set_c,hold_s,start,end,duration_s,over_hold_s\r\n"
                "1,1,40.00,600,2008-01-15T12:30:45,2008-01-15T12:41:05,620,20\r\n"
                "2,1,-5.50,1200,,2008-01-15T13:01:05,,\r\n");
    steps.close();
    s.steps = LogSummary::readSteps(LogSummary::stepsPath(log));
    QCOMPARE(s.steps.size(), 2);

    const QString path = dir.filePath(QStringLiteral("summary.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        QPainter g(&pdf);
        GraphExport::drawSummary(g, QRectF(g.viewport()), s, 1, 2);
    }
    const QString text = QString::fromUtf8(run(QStringLiteral("pdftotext"), {path, "-"}))
                             .remove(QRegularExpression(QStringLiteral("\\s")));
    QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) is needed");
    for (const QString &part :
         {"欠測", "最小", "最大", "50.00[℃]", "アラーム発生：012", "槽A", "欠測区間",
          "2008/01/15 12:30:55", "00:00:03（3サンプル）", "ステップ実績",
          "40.00[℃]00:10:0000:10:2000:00:20", "-5.50[℃]00:20:00不明不明",
          "合計：計画00:30:00所要00:10:20計画より00:00:20超過"})
        QVERIFY2(text.contains(QString(part).remove(QLatin1Char(' '))),
                 qPrintable(part + QStringLiteral(" in ") + text));
}

#include "tst_graph_tools.moc"
