// The graph window's read-out, X labels, range fit and exports, and the
// "現在値" window, in the real main window against the simulated instrument.
// With KRM_SHELL_SHOTS=<folder> set, the read-out over a stored log, "現在値"
// during a run, the graph during a run and the report's PDF are saved there.

#include "logging/GraphActions.h"
#include "logging/LoggingWindows.h"
#include "logging/ReadoutOverlay.h"
#include "logging/frmCurrentValues.h"
#include "logging/frmGraph.h"
#include "shell/ShellFixture.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPrinterInfo>
#include <QPushButton>
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
    r.f.dialogs->answerSaveFile(csv);
    g->SaveCsv_c->click();
    const QList<QByteArray> lines = fileBytes(csv + QStringLiteral(".csv")).split('\n');
    QCOMPARE(lines.size(), 1 + 401 + 1); // samples 300 ... 700, not the cut line
    QCOMPARE(lines.at(1),
             QByteArray("300,1500,") +
                 GraphExport::isoTime(QDateTime(QDate(2008, 1, 15), QTime(12, 55, 45))).toLatin1() +
                 ",+050.00,+024.00,,+030,ok\r");
    QVERIFY(lines.at(401).startsWith("700,3500,") &&
            lines.at(401).endsWith(",+090.00,+024.00,,+030,ok\r"));

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

    const QString png = r.f.appDir() + QStringLiteral("/page.png");
    r.f.dialogs->answerSaveFile(png);
    g->SaveImage_c->click();
    QImage image;
    QVERIFY(image.load(png));
    const GraphCanvas &canvas = LoggingWindows::of(*r.w).log().canvas();
    QVERIFY(image.width() >= std::lround(30000 * canvas.pixelsPerTwip()));
    QVERIFY(image.height() >= canvas.image().height());
    if (const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS"); !dir.isEmpty())
        image.save(dir + QStringLiteral("/graph_export_page.png"));
    QVERIFY(r.f.dialogs->messages().isEmpty());
    // Cancelled: nothing written, nothing said.
    r.f.dialogs->answerSaveFile(QString());
    g->SaveImage_c->click();
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
    r.f.dialogs->answerQuestion(true);
    r.f.dialogs->answerSaveFile(pdf);
    r.graph->Report_c->click();
    QCOMPARE(r.f.dialogs->questions().at(0).text, QStringLiteral("印刷しますか？"));
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
