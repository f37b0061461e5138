// The graph window's read-out, X labels, range fit and exports, and the
// "現在値" window, in the real main window against the simulated instrument.
// With KRM_SHELL_SHOTS=<folder> set, the read-out over a stored log, "現在値"
// during a run, the graph during a run and the report's PDF are saved there.

#include "core/logging/LogSummary.h"
#include "shell/ShellFixture.h"
#include "ui/logging/GraphActions.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/ReadoutOverlay.h"
#include "ui/logging/frmCurrentValues.h"
#include "ui/logging/frmGraph.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocumentFragment>

namespace {

void shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!dir.isEmpty())
        w->grab().save(dir + QLatin1Char('/') + name);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void moveMouse(QWidget *viewport, int x)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(x, 20), viewport->mapToGlobal(QPointF(x, 20)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
}

QWidget *viewport(const frmGraph *g)
{
    return g->findChild<QWidget *>(QStringLiteral("P1"));
}

QString labelText(const frmGraph *g)
{
    return QTextDocumentFragment::fromHtml(g->readout()->label()->text()).toPlainText();
}

// A ready main window on a simulator whose readings stand still.
struct Rig {
    ShellFixture f;
    KRM2200 *w = nullptr;
    frmGraph *graph = nullptr;

    bool start()
    {
        w = f.steadyLogWindow();
        if (!w)
            return false;
        graph = qobject_cast<frmGraph *>(w->openWindow(QStringLiteral("frmGraph")));
        return graph != nullptr;
    }

    // A stored log of 700 lines every 5 s, started 2008/01/15 12:30:45:
    // PT100A rises by 0.1 a line from 20, SENSOR1 unused, SENSOR2 at 30;
    // without `missing` samples; its last line cut as a full disk leaves it.
    QString storedLog(int lines = 701, int missingFrom = 0, int missingTo = -1,
                      const QString &name = QStringLiteral("2008_01_15_12_30_45.txt"))
    {
        QString content;
        for (int i = 0; i < lines; ++i)
            if (i < missingFrom || i > missingTo)
                content +=
                    QStringLiteral("\"%1\",\"%2\",\"+024.00\",\"*\",\"+030\",\"+031.50\"\r\n")
                        .arg(LogFile::FormatElapsed(5LL * i),
                             QString::asprintf("%+07.2f", 20.0 + i / 10.0));
        content += QStringLiteral("\"%1\",\"+090.10\",\"+024.00\",\"*\",\"+0")
                       .arg(LogFile::FormatElapsed(5LL * lines));
        const QString path = f.appDir() + QLatin1Char('/') + name;
        return ShellFixture::writeText(path, content) ? path : QString();
    }
    // "ログ読込" of `path`, until the log is drawn or its failure told.
    bool read(const QString &path)
    {
        QSignalSpy read(graph, &frmGraph::storedLogRead);
        f.dialogs->answerOpenFile(path);
        graph->C_read->click();
        return read.wait(60000);
    }
};

} // namespace

class tst_GraphToolsE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void storedReadoutAndLabels();
    void fitAndExports();
    void exportFailures();
    void reportToPdf();
    void wholeLogReport();
    void liveReadoutAndCurrentValues();
};

void tst_GraphToolsE2E::storedReadoutAndLabels()
{
    Rig r;
    QVERIFY(r.start());
    frmGraph *g = r.graph;
    QVERIFY(r.read(r.storedLog()));
    QVERIFY(g->File_l->isVisible());
    QCOMPARE(g->File_l->text(),
             QStringLiteral("ファイル：2008_01_15_12_30_45.txt　開始：2008/01/15 12:30:45"));

    // Second page (samples 300 on); 10 samples right of its start. The cursor
    // is laid over the canvas, which is not drawn again.
    g->Com_page->setCurrentIndex(1);
    const qint64 drawn = LoggingWindows::of(*r.w).log().canvas().image().cacheKey();
    const int x =
        int(std::lround(10 * 50 * LoggingWindows::of(*r.w).log().canvas().pixelsPerTwip()));
    moveMouse(viewport(g), x);
    QVERIFY(g->readout()->label()->isVisible());
    QCOMPARE(g->readout()->cursor()->geometry(), QRect(x, 0, 1, viewport(g)->height()));
    QCOMPARE(labelText(g), QStringLiteral("サンプル：310\n経過時間：00:25:50\n"
                                          "時刻：2008/01/15 12:56:35\nPT100A：+051.00\n"
                                          "PT100B：+024.00\nSENSOR1：*\nSENSOR2：+030"));
    QVERIFY(g->readout()->label()->accessibleName().startsWith(QStringLiteral("サンプル：310、")));
    QCOMPARE(LoggingWindows::of(*r.w).log().canvas().image().cacheKey(), drawn);
    shot(r.w, QStringLiteral("graph_readout_stored.png"));

    // The X labels of the same page in the three kinds; the grid stays.
    const QStringList expected[3] = {{"300", "360"}, {"00:25", "00:30"}, {"12:55:45", "13:00:45"}};
    for (int mode = 2; mode >= 0; --mode) {
        g->Com_axis->setCurrentIndex(mode);
        QCOMPARE(QStringList({g->Ls[0]->text(), g->Ls[1]->text()}), expected[mode]);
    }
    QCOMPARE(LoggingWindows::of(*r.w).log().canvas().image().cacheKey(), drawn);

    // Out of the viewport: no read-out.
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(viewport(g), &leave);
    QVERIFY(!g->readout()->label()->isVisible());
    QVERIFY(!g->readout()->cursor()->isVisible());
}

void tst_GraphToolsE2E::fitAndExports()
{
    Rig r;
    QVERIFY(r.start());
    frmGraph *g = r.graph;
    QVERIFY(r.read(r.storedLog()));
    // First page: 20.0 ... 80.0 with 24 and 30 between.
    g->Fit_c->click();
    QCOMPARE(g->Combo_max->currentText(), QStringLiteral("80"));
    QCOMPARE(g->Combo_min->currentText(), QStringLiteral("20"));
    QCOMPARE(g->l202->text(), QStringLiteral("50[℃]"));
    g->Com_page->setCurrentIndex(1); // 50.0 ... 90.0, with 24 below
    g->Fit_c->click();
    QCOMPARE(g->Combo_max->currentText(), QStringLiteral("90"));
    QCOMPARE(g->Combo_min->currentText(), QStringLiteral("20"));

    const QString csv = r.f.appDir() + QStringLiteral("/page");
    r.f.dialogs->answerChoice(0);
    r.f.dialogs->answerSaveFile(csv);
    g->SaveCsv_c->click();
    QCOMPARE(r.f.dialogs->choices().at(0).options, GraphActions::csvRangeChoices());
    const QList<QByteArray> lines = fileBytes(csv + QStringLiteral(".csv")).split('\n');
    QCOMPARE(lines.size(), 1 + 401 + 1); // samples 300 ... 700, not the cut line
    QCOMPARE(lines.at(1),
             QByteArray("300,1500,") +
                 GraphExport::isoTime(QDateTime(QDate(2008, 1, 15), QTime(12, 55, 45))).toLatin1() +
                 ",+050.00,+024.00,,+030,ok\r");
    QVERIFY(lines.at(401).startsWith("700,3500,") &&
            lines.at(401).endsWith(",+090.00,+024.00,,+030,ok\r"));
    // The whole log: the same header and rows, from sample 0.
    const QString all = r.f.appDir() + QStringLiteral("/all.csv");
    r.f.dialogs->answerChoice(1);
    r.f.dialogs->answerSaveFile(all);
    g->SaveCsv_c->click();
    const QList<QByteArray> whole = fileBytes(all).split('\n');
    QCOMPARE(whole.size(), 1 + 701 + 1);
    QCOMPARE(whole.at(0), lines.at(0));
    QVERIFY(whole.at(1).startsWith("0,0,"));
    QCOMPARE(whole.at(301), lines.at(1));
    QCOMPARE(whole.at(701), lines.at(401));

    // A log missing samples 100-104: their rows say so, and the samples
    // after them keep their numbers and times.
    QVERIFY(r.read(r.storedLog(200, 100, 104, QStringLiteral("2008_01_15_13_00_00.txt"))));
    QCOMPARE(g->storedLog().count(), 195);
    const QString gap = r.f.appDir() + QStringLiteral("/gap.csv");
    r.f.dialogs->answerSaveFile(gap);
    g->SaveCsv_c->click();
    const QList<QByteArray> rows = fileBytes(gap).split('\n');
    QCOMPARE(rows.size(), 1 + 200 + 1);
    QVERIFY(rows.at(101).startsWith("100,500,") && rows.at(101).endsWith(",,,,,missing\r"));
    QVERIFY(rows.at(105).startsWith("104,520,") && rows.at(105).endsWith(",,,,,missing\r"));
    QVERIFY(rows.at(106).startsWith("105,525,") &&
            rows.at(106).endsWith(",+030.50,+024.00,,+030,ok\r"));

    // The picture at the size chosen (the second offered).
    const QString png = r.f.appDir() + QStringLiteral("/page.png");
    r.f.dialogs->answerChoice(1);
    r.f.dialogs->answerSaveFile(png);
    g->SaveImage_c->click();
    QCOMPARE(r.f.dialogs->choices().last().options, GraphActions::sizeChoices());
    QImage image;
    QVERIFY(image.load(png));
    QCOMPARE(image.size(), GraphExport::pictureSizes().at(1));
    if (const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS"); !dir.isEmpty())
        image.save(dir + QStringLiteral("/graph_export_page.png"));
    QVERIFY(r.f.dialogs->messages().isEmpty());
    // Cancelled, at the size or at the file: nothing written, nothing said.
    r.f.dialogs->answerChoice(-1);
    g->SaveImage_c->click();
    r.f.dialogs->answerChoice(0);
    r.f.dialogs->answerSaveFile(QString());
    g->SaveImage_c->click();
    QCOMPARE(r.f.dialogs->pendingAnswers(), 0);
    QVERIFY(r.f.dialogs->messages().isEmpty());
}

void tst_GraphToolsE2E::exportFailures()
{
    Rig r;
    QVERIFY(r.start());
    const QString path = r.f.appDir() + QStringLiteral("/no such folder/page.csv");
    r.f.dialogs->answerSaveFile(path);
    r.graph->SaveCsv_c->click();
    QCOMPARE(r.f.dialogs->lastMessage().title, QStringLiteral("error"));
    const QString noFolder = QStringLiteral("ファイルまたはフォルダが見つかりません。");
    QCOMPARE(r.f.dialogs->lastMessage().text,
             QStringLiteral("CSVファイルを保存できませんでした。\n") +
                 QDir::toNativeSeparators(path) + QLatin1Char('\n') + noFolder);
    const QString png = r.f.appDir() + QStringLiteral("/no such folder/page.png");
    r.f.dialogs->answerChoice(0);
    r.f.dialogs->answerSaveFile(png);
    r.graph->SaveImage_c->click();
    QCOMPARE(r.f.dialogs->lastMessage().text, GraphActions::imageFailText(png, noFolder));
    QVERIFY(r.f.dialogs->lastMessage().text.startsWith(
        QStringLiteral("画像ファイルを保存できませんでした。\n")));
}

void tst_GraphToolsE2E::reportToPdf()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed: the report would be printed on it");
    Rig r;
    QVERIFY(r.start());
    QVERIFY(r.read(r.storedLog()));
    const QString pdf = r.f.appDir() + QStringLiteral("/report.pdf");
    r.f.dialogs->answerQuestion(true);
    r.f.dialogs->answerChoice(0);
    r.f.dialogs->answerQuestion(true);
    r.f.dialogs->answerSaveFile(pdf);
    r.graph->Report_c->click();
    QCOMPARE(r.f.dialogs->questions().at(0).text, QStringLiteral("印刷しますか？"));
    QCOMPARE(r.f.dialogs->choices().at(0).text, GraphActions::reportRangeQuestion());
    QCOMPARE(r.f.dialogs->choices().at(0).options,
             QStringList({"表示中のページ（1ページ）", "ログ全体（3ページ）"}));
    QCOMPARE(r.f.dialogs->questions().at(1).text,
             QStringLiteral("プリンタが見つかりません。\nPDFファイルに保存しますか？"));
    QCOMPARE(r.f.dialogs->lastMessage().title, QStringLiteral("確認"));
    QCOMPARE(r.f.dialogs->lastMessage().text,
             QStringLiteral("PDFファイルを保存しました。\n") + QDir::toNativeSeparators(pdf));
    const QByteArray bytes = fileBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    // A4 landscape, drawn as vectors: no picture of the window in it.
    QVERIFY(bytes.contains("/MediaBox [0 0 842.000000 595."));
    QVERIFY(!bytes.contains("/Subtype /Image"));
    const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!dir.isEmpty()) {
        QFile::remove(dir + QStringLiteral("/report_page.pdf"));
        QFile::copy(pdf, dir + QStringLiteral("/report_page.pdf"));
    }
}

// The whole of a three-page log printed to a PDF: a summary of the log, then
// one page per page of the graph, each numbered; on white paper.
void tst_GraphToolsE2E::wholeLogReport()
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed: the report would be printed on it");
    Rig r;
    QVERIFY(r.start());
    // Samples 0 ... 999, 100 ... 104 missing, and a memo after them.
    const QString log = r.storedLog(1000, 100, 104);
    QFile memo(log);
    QVERIFY(memo.open(QIODevice::Append));
    memo.write("\r\n\"\r\n\"\r\n\"-MEMO-\"\r\n\"槽A 試験その1\r\n2行目\"\r\n");
    memo.close();
    // The system log of that morning's start: an alarm as the log stopped,
    // and one before it began.
    const QString day = r.f.appDir() + QStringLiteral("/LOG/XSYS_LOG/2008_01_15");
    QVERIFY(QDir().mkpath(day));
    QVERIFY(ShellFixture::writeText(day + QStringLiteral("/2008_01_15_12_00_00.txt"),
                                    QStringLiteral("2008/01/15 12:00:30 ") +
                                        LogSummary::alarmNote("001") +
                                        QStringLiteral("\r\n\"STATUS\"\r\n2008/01/15 13:54:02 ") +
                                        LogSummary::alarmNote("012") + QStringLiteral("\r\n")));
    QVERIFY(r.read(log));
    QCOMPARE(r.graph->Com_page->count(), 3);
    // On the window too the missed replies are a gap at their time: no
    // PT100A ink over samples 100 ... 104, as there is over others.
    const GraphCanvas &canvas = LoggingWindows::of(*r.w).log().canvas();
    auto inked = [&canvas](double sample) {
        const int x = int(std::lround(sample * 50 * canvas.pixelsPerTwip()));
        int n = 0;
        for (int y = 0; y < canvas.image().height(); ++y)
            n += canvas.image().pixelColor(x, y) == GraphCanvas::sensorColour(0);
        return n;
    };
    QVERIFY(inked(50.5) > 0 && inked(106.5) > 0);
    QCOMPARE(inked(100.5) + inked(102.5) + inked(103.5), 0);

    const QString pdf = r.f.appDir() + QStringLiteral("/whole.pdf");
    r.f.dialogs->answerQuestion(true);
    r.f.dialogs->answerChoice(1);
    r.f.dialogs->answerQuestion(true);
    r.f.dialogs->answerSaveFile(pdf);
    r.graph->Report_c->click();
    QCOMPARE(r.f.dialogs->lastMessage().text, GraphActions::pdfSavedText(pdf));

    // Text extraction changes spacing, and gives some characters back as
    // others of the same look ("〜" for "～", radicals for kanji).
    auto bare = [](const QString &s) {
        return s.normalized(QString::NormalizationForm_KC)
            .replace(QChar(0x301C), QLatin1Char('~'))
            .remove(QRegularExpression(QStringLiteral("\\s"),
                                       QRegularExpression::UseUnicodePropertiesOption));
    };
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(text.waitForFinished(60000) && text.exitCode() == 0,
             "pdftotext (poppler-utils) is needed");
    QStringList pages = QString::fromUtf8(text.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (pages.last().trimmed().isEmpty())
        pages.removeLast();
    QCOMPARE(pages.size(), 4);
    // Sample numbers as the CSV gives them: 100 ... 104 have no line.
    const QStringList spans{"0～605", "305～905", "605～999"};
    for (int n = 1; n <= 4; ++n) {
        const QString page = bare(pages.at(n - 1));
        QVERIFY(page.contains(QStringLiteral("%1/4").arg(n)));
        if (n > 1)
            QVERIFY(page.contains(bare(QStringLiteral("サンプル：") + spans.at(n - 2))));
    }
    // The summary against the log: PT100A rises by 0.1 a sample from 20.
    double sum = 0;
    for (int i = 0; i < 1000; ++i)
        if (i < 100 || i > 104)
            sum += 20.0 + i / 10.0;
    const QString summary = bare(pages.at(0));
    for (const QString &part :
         {QStringLiteral("ファイル：2008_01_15_12_30_45.txt"),
          QStringLiteral("開始：2008/01/15 12:30:45"), QStringLiteral("終了：2008/01/15 13:54:00"),
          QStringLiteral("記録時間：01:23:15"), QStringLiteral("記録間隔：5[s]"),
          QStringLiteral("サンプル数：995"), QStringLiteral("欠測：5"), QStringLiteral("20.00[℃]"),
          QStringLiteral("119.90[℃]"), QString::number(sum / 995, 'f', 2) + QStringLiteral("[℃]"),
          QStringLiteral("24.00[℃]"), QStringLiteral("30.00[℃]"),
          QStringLiteral("槽A試験その12行目"),
          QStringLiteral(
              "グラフは3ページです。各ページは600行で、となりのページと300行ずつ重なります。"),
          bare(QStringLiteral("2008/01/15 13:54:02　") + LogSummary::alarmNote("012"))})
        QVERIFY2(summary.contains(bare(part)), qPrintable(part + QStringLiteral(" in ") + summary));
    QVERIFY(!summary.contains(bare(LogSummary::alarmNote("001"))));

    // A plot page rendered: white paper, not the window's black canvas (the plot
    // fills most of the page).
    const QString stem = r.f.appDir() + QStringLiteral("/page2");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("30"), QStringLiteral("-f"),
                  QStringLiteral("2"), QStringLiteral("-l"), QStringLiteral("2"),
                  QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, stem});
    QVERIFY(render.waitForFinished(60000) && render.exitCode() == 0);
    const QImage page(stem + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    qint64 white = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            white += page.pixelColor(x, y).lightness() > 235;
    QVERIFY2(white > qint64(page.width()) * page.height() * 8 / 10,
             qPrintable(QString::number(white)));
    const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!dir.isEmpty()) {
        QFile::remove(dir + QStringLiteral("/report_whole.pdf"));
        QFile::copy(pdf, dir + QStringLiteral("/report_whole.pdf"));
    }
}

void tst_GraphToolsE2E::liveReadoutAndCurrentValues()
{
    Rig r;
    QVERIFY(r.start());
    QMenu *view = r.w->menuItem(QStringLiteral("view"))->menu();
    QAction *entry = view->findChild<QAction *>(QStringLiteral("view_current"));
    QVERIFY(entry);
    QCOMPARE(entry->text(), QStringLiteral("現在値(&N)"));

    auto *area = r.w->findChild<QMdiArea *>();
    QCoreApplication::processEvents();
    QMdiSubWindow *inUse = area->activeSubWindow();
    // The settings switch PT100B off ("PT100B使用不可"); the instrument still
    // sends a number for it.
    param().SenPara[1] = QStringLiteral("0 +150.00 -050.00 +000.00 100.00");
    r.w->startLog();
    // Every log start opens it; the window in use stays in use.
    auto *cv =
        qobject_cast<frmCurrentValues *>(r.w->loadedWindow(QStringLiteral("frmCurrentValues")));
    QVERIFY(cv);
    QCOMPARE(area->activeSubWindow(), inUse);
    QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= 2 && cv->elapsed_l->text() != "00:00:00", 10000);
    QCOMPARE(cv->temp[0]->text(), QStringLiteral("+025.00"));
    QCOMPARE(cv->temp[1]->text(), QStringLiteral("使用不可"));
    QCOMPARE(cv->temp[2]->text(), QStringLiteral("*"));
    QVERIFY(!cv->showsStale());
    QCOMPARE(cv->temp[3]->text(), QStringLiteral("+025"));
    QCOMPARE(cv->state_l->text(), QStringLiteral("平常状態"));
    // The link as the status bar tells it.
    QCOMPARE(cv->link_l->text(), r.w->panelText(5));
    QCOMPARE(cv->setPoint_l->text(), QStringLiteral("-"));
    QVERIFY(cv->temp[0]->font().pointSizeF() >= 3 * cv->state_l->font().pointSizeF());
    QCOMPARE(cv->swatch[0]->palette().color(QPalette::Window), QColor(255, 0, 0));
    shot(cv->parentWidget(), QStringLiteral("current_values_run.png"));

    // The live read-out: the page's first sample under the viewport's left edge.
    moveMouse(viewport(r.graph), 0);
    QVERIFY(labelText(r.graph).startsWith(QStringLiteral("サンプル：0\n経過時間：00:00:00\n")));
    QVERIFY(labelText(r.graph).contains(QStringLiteral("PT100B：+024.98")));
    shot(r.w, QStringLiteral("graph_readout_live.png"));

    // An instrument that stops answering: as soon as the link fails, the
    // readings turn grey, and the loss and the time of the last reading
    // stand in their large type.
    auto colour = [](const QLabel *l) { return l->palette().color(QPalette::WindowText); };
    const QColor live = colour(cv->temp[0]);
    SimFaults silent;
    silent.silent = true;
    r.f.sim->setFaults(silent);
    QTRY_COMPARE_WITH_TIMEOUT(r.w->panelText(5), QStringLiteral("通信：異常"), 8000);
    QVERIFY(cv->showsStale());
    QCOMPARE(cv->staleWhat_l->text(), QStringLiteral("通信異常"));
    QVERIFY(cv->staleSince_l->text().startsWith(QStringLiteral("最終受信")));
    QVERIFY(QTime::fromString(cv->staleTime_l->text(), QStringLiteral("HH:mm:ss")).isValid());
    QCOMPARE(cv->staleTime_l->font(), cv->temp[0]->font());
    QCOMPARE(cv->temp[0]->text(), QStringLiteral("+025.00"));
    QCOMPARE(colour(cv->temp[0]), frmCurrentValues::staleColour());
    shot(cv->parentWidget(), QStringLiteral("current_values_lost.png"));
    // It stays so while the port is reopened for each query, until the
    // instrument answers.
    r.f.sim->setFaults({});
    QTRY_VERIFY_WITH_TIMEOUT(!cv->showsStale(), 8000);
    QCOMPARE(colour(cv->temp[0]), live);

    // Closed and opened again from the menu after the log: the same values,
    // kept nowhere else, grey, and said to be no longer updated since the
    // log ended.
    r.w->unloadWindow(QStringLiteral("frmCurrentValues"));
    r.f.dialogs->answerQuestion(false);
    r.w->stopLog();
    entry->trigger();
    cv = qobject_cast<frmCurrentValues *>(r.w->loadedWindow(QStringLiteral("frmCurrentValues")));
    QVERIFY(cv);
    QCOMPARE(cv->temp[0]->text(), QStringLiteral("+025.00"));
    QVERIFY(cv->showsStale());
    QCOMPARE(cv->staleWhat_l->text(), QStringLiteral("更新停止"));
    QVERIFY(cv->staleSince_l->text().startsWith(QStringLiteral("ログ終了")));
    QVERIFY(QTime::fromString(cv->staleTime_l->text(), QStringLiteral("HH:mm:ss")).isValid());
    QCOMPARE(colour(cv->temp[0]), frmCurrentValues::staleColour());
    shot(cv->parentWidget(), QStringLiteral("current_values_ended.png"));
}

QTEST_MAIN(tst_GraphToolsE2E)
#include "tst_graph_tools_e2e.moc"
