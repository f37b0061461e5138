// A log against the simulated instrument: the text log byte for byte, missed
// replies, the alarm stop, the CSV copy, failures told to the user, and the
// graph window with stored logs, printing and its closing question.

#include "core/logging/GraphScale.h"
#include "core/logging/StoredLogLoader.h"
#include "shell/ShellFixture.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/frmGraph.h"
#include "ui/settings/frmDetailed_setting.h"
#include "ui/shell/frmSplashrw.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

namespace {

const QByteArray kLine = "\"+025.00\",\"+024.98\",\"*\",\"+025\",\"+031.50\"\r\n";

QByteArray stamped(const char *elapsed)
{
    return QByteArray("\"") + elapsed + "\"," + kLine;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Screenshots only when asked for: KRM_SHELL_SHOTS=<folder>.
void saveShot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (dir.isEmpty())
        return;
    QDir().mkpath(dir);
    w->grab().save(dir + QLatin1Char('/') + name);
}

// A ready main window on a simulator whose readings stand still.
struct LogRig {
    ShellFixture f;
    KRM2200 *w = nullptr;

    bool start()
    {
        w = f.steadyLogWindow();
        return w != nullptr;
    }
    LOG_Handling &log() { return LoggingWindows::of(*w).log(); }
    QString logPath() { return log().file().TxtLogPath; }
    bool lines(int n)
    {
        return QTest::qWaitFor([&] { return fileBytes(logPath()).count('\n') >= n; }, 10000);
    }
    // "ログ読込" of `path`, until the log is drawn or its failure told.
    bool readStored(frmGraph *graph, const QString &path)
    {
        QSignalSpy read(graph, &frmGraph::storedLogRead);
        f.dialogs->answerOpenFile(path);
        graph->C_read->click();
        return read.wait(60000);
    }
};

} // namespace

class tst_LoggingE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void logFileByteForByte_data();
    void logFileByteForByte();
    void alarmStopsTheLogAndCsvCopies();
    void fullLogRestarts();
    void pollAskedAgainOrToldRefused_data();
    void pollAskedAgainOrToldRefused();
    void failuresAreTold_data();
    void failuresAreTold();
    void writeErrorStopsTheLog();
    void storedLogPages();
    void storedLogReadAside();
    void wholeYLabels();
    void targetLineAfterPageTurn();
    void printsA4Landscape();
    void closingWhileLogging();
};

void tst_LoggingE2E::logFileByteForByte_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("missOne");
    QTest::addColumn<bool>("changeInterval");
    QTest::newRow("1 s, one reply missed") << 1 << true << false;
    QTest::newRow("2 s") << 2 << false << false;
    QTest::newRow("1 s, 5 s applied meanwhile") << 1 << false << true;
}

void tst_LoggingE2E::logFileByteForByte()
{
    QFETCH(int, interval);
    QFETCH(bool, missOne);
    QFETCH(bool, changeInterval);
    LogRig r;
    QVERIFY(r.start());
    param().LogInterval = interval;
    r.w->startLog();
    QCOMPARE(r.w->toolButton(QStringLiteral("LOG"))->text(), QStringLiteral("　LOG STOP"));
    QCOMPARE(r.w->session().pollTimer().interval(), interval * 1000);
    QVERIFY(!r.w->toolButton(QStringLiteral("READ"))->isEnabled());
    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    QCOMPARE(graph->Log_c->text(), QStringLiteral("ログ停止"));
    QVERIFY(!graph->C_read->isEnabled());
    QVERIFY(r.lines(3));

    if (changeInterval) {
        // The settings window applies 5 s: the log keeps its 1 s, and says so.
        auto *settings = qobject_cast<frmDetailed_setting *>(
            r.w->openWindow(QStringLiteral("frmDetailed_setting")));
        QVERIFY(settings);
        settings->interval_t->setText(QStringLiteral("5"));
        for (int k : {2, 3}) {
            settings->Ulimit_t.at(k)->setText(QStringLiteral("90"));
            settings->Llimit_t.at(k)->setText(QStringLiteral("0"));
        }
        r.f.dialogs->answerQuestion(false);
        settings->FAN_C->click();
        QCOMPARE(param().LogInterval, 5);
        QVERIFY(r.f.dialogs->questions().value(0).text.startsWith(QStringLiteral(
            "ログ出力中のため、グラフ更新間隔の変更は次のログ開始から有効になります。\n")));
        const int now = param().LogCount;
        QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= now + 3, 8000);
        QCOMPARE(r.w->session().pollTimer().interval(), interval * 1000);
    }

    int missed = -1;
    if (missOne) {
        // One tick without a reply: its stamp is missing, the next ones go on.
        SimFaults silent;
        silent.silent = true;
        r.f.sim->setFaults(silent);
        missed = param().LogCount + 1;
        QTRY_VERIFY_WITH_TIMEOUT(param().LogCount == missed, 5000);
        r.f.sim->setFaults({});
        QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= missed + 2, 8000);
    }
    // Stop between ticks, once every reply so far has been written.
    QTRY_VERIFY_WITH_TIMEOUT(
        fileBytes(r.logPath()).count('\n') == param().LogCount + (missOne ? 0 : 1), 5000);
    if (missOne)
        saveShot(r.w, QStringLiteral("graph_live.png"));

    r.f.dialogs->answerQuestion(false);
    r.w->stopLog();
    QByteArray expected;
    for (int n = 0; n <= param().LogCount; ++n)
        if (n != missed)
            expected += stamped(qPrintable(LogFile::FormatElapsed(qint64(interval) * n)));
    const QString path = r.log().TxtLogFinal();
    QCOMPARE(fileBytes(path), expected);
    QCOMPARE(r.w->state().memo.logFile, path);
    QVERIFY(!r.w->state().memo.MemoWithLog);
    const auto q = r.f.dialogs->questions();
    QCOMPARE(q.size(), changeInterval ? 2 : 1);
    QCOMPARE(q.last().text, QStringLiteral("ファイル名") + QFileInfo(path).completeBaseName() +
                                QStringLiteral("\n上記のファイルにメモを含めますか？"));
    QCOMPARE(r.w->toolButton(QStringLiteral("LOG"))->text(), QStringLiteral("LOG START"));
    QVERIFY(!r.w->session().pollTimer().isActive());
    QVERIFY(r.w->toolButton(QStringLiteral("READ"))->isEnabled());
    QCOMPARE(graph->Log_c->text(), QStringLiteral("ログ開始"));
    QVERIFY(graph->C_read->isEnabled());
}

// A poll's reply bent by noise is asked for again within its tick, so the
// log keeps its samples and never takes a bent one; an "NG" is told as a
// refusal, not as a lost instrument.
void tst_LoggingE2E::pollAskedAgainOrToldRefused_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("everyTick");
    // Every second reply has a letter in its values: each tick's second try
    // brings its sample.
    QTest::newRow("noise") << "badvalue:2"
                           << "再問合せ：STATUS" << true;
    QTest::newRow("refused") << "ng:STATUS"
                             << "本体が受け付けなかったコマンド：STATUS" << false;
}

void tst_LoggingE2E::pollAskedAgainOrToldRefused()
{
    QFETCH(QString, fault);
    QFETCH(QString, note);
    QFETCH(bool, everyTick);
    LogRig r;
    QVERIFY(r.start());
    QVERIFY(r.w->session().link().openSystemLog(r.f.appDir() + QStringLiteral("/system.log")));
    r.w->startLog();
    QVERIFY(r.lines(1));
    SimFaults faults;
    for (const QString &option : fault.split(QLatin1Char(',')))
        QVERIFY(SimFaults::apply(option, faults));
    r.f.sim->setFaults(faults);
    const int from = param().LogCount;
    QTRY_VERIFY_WITH_TIMEOUT(param().LogCount >= from + 6, 10000);
    r.f.sim->setFaults({});
    const QString sysLog = ShellFixture::text(r.w->session().link().systemLogPath());
    QVERIFY2(sysLog.contains(note), qPrintable(sysLog.right(600)));
    QVERIFY(!r.w->panelText(5).contains(QStringLiteral("異常")));
    // Every tick, the last one too, has its line.
    if (everyTick)
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(r.logPath()).count('\n') == param().LogCount + 1, 5000);
    r.f.dialogs->answerQuestion(false);
    r.w->stopLog();
    // Every line written has the program's own shape: nothing bent got in.
    const QList<QByteArray> written = fileBytes(r.log().TxtLogFinal()).split('\n');
    static const QRegularExpression shape(QStringLiteral(
        R"re(^"\d\d:\d\d:\d\d","[+-]\d{3}\.\d{2}","[+-]\d{3}\.\d{2}","\*","[+-]\d{3}","[+-]?[\d.]+"\r$)re"));
    int taken = 0;
    for (const QByteArray &line : written) {
        if (line.isEmpty())
            continue;
        QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line.constData());
        ++taken;
    }
    if (everyTick)
        QCOMPARE(taken, param().LogCount + 1);
    else
        QVERIFY(taken <= from + 1);
}

void tst_LoggingE2E::alarmStopsTheLogAndCsvCopies()
{
    LogRig r;
    QVERIFY(r.start());
    r.w->state().detailed.flg_csv = true;
    r.w->startLog();
    QVERIFY(r.lines(2));
    r.f.dialogs->answerQuestion(true);
    // The operator reads the alarm first; the memo is asked once it has been
    // acknowledged, over no alarm window.
    auto alarmWindow = [] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->objectName() == QLatin1String("frmAlarm") && top->isVisible())
                return qobject_cast<QDialog *>(top);
        return static_cast<QDialog *>(nullptr);
    };
    bool alarmShownAtQuestion = false;
    r.f.dialogs->onQuestion = [&](const ScriptedDialogs::Record &) {
        alarmShownAtQuestion = alarmWindow() != nullptr;
    };
    r.f.sim->withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
    QTRY_VERIFY_WITH_TIMEOUT(!r.w->logRecording(), 5000);
    QVERIFY(alarmWindow());
    QVERIFY(r.f.dialogs->questions().isEmpty());
    alarmWindow()->reject();
    QTRY_COMPARE(r.f.dialogs->questions().size(), 1);
    QVERIFY(!alarmShownAtQuestion);
    QVERIFY(!r.w->session().pollTimer().isActive());
    QVERIFY(r.w->state().memo.MemoWithLog);
    const QByteArray txt = fileBytes(r.log().file().TxtLogFinal);
    QVERIFY(txt.startsWith(stamped("00:00:00")));
    QCOMPARE(fileBytes(r.log().file().CsvLogPath), txt);
}

// At 21 600 samples the log goes on in a new file, without the memo question.
void tst_LoggingE2E::fullLogRestarts()
{
    LogRig r;
    QVERIFY(r.start());
    r.w->startLog();
    QVERIFY(r.lines(1));
    const QString first = r.logPath();
    param().LogCount = LOG_Handling::RestartCount - 2;
    QTRY_VERIFY_WITH_TIMEOUT(r.logPath() != first, 8000);
    QVERIFY(r.w->logRecording());
    QVERIFY(r.w->session().pollTimer().isActive());
    QVERIFY(r.f.dialogs->questions().isEmpty());
    QCOMPARE(r.w->state().memo.logFile, first);
    QVERIFY(r.lines(1));
    QVERIFY(fileBytes(r.logPath()).startsWith(stamped("00:00:00")));
    QVERIFY(fileBytes(first).endsWith(stamped("05:59:59")));
    r.f.dialogs->answerQuestion(false);
    r.w->stopLog();
}

// Every log file that cannot be made is told, with its path; the log is left
// stopped (or stops) and the user knows.
void tst_LoggingE2E::failuresAreTold_data()
{
    QTest::addColumn<bool>("csv");
    QTest::newRow("log folder is a file") << false;
    QTest::newRow("CSV folder gone") << true;
}

void tst_LoggingE2E::failuresAreTold()
{
    QFETCH(bool, csv);
    LogRig r;
    QVERIFY(r.start());
    if (!csv) {
        QVERIFY(
            ShellFixture::writeText(r.f.appDir() + QStringLiteral("/LOG"), QStringLiteral("x")));
        r.w->startLog();
        QVERIFY(!r.w->logRecording());
        QVERIFY(!r.w->session().pollTimer().isActive());
        QVERIFY(r.w->toolButton(QStringLiteral("READ"))->isEnabled());
    } else {
        r.w->state().detailed.flg_csv = true;
        r.w->startLog();
        QVERIFY(r.lines(1));
        const QString csvDir = r.log().file().CsvDayDir;
        QVERIFY(QDir(csvDir).removeRecursively());
        QVERIFY(ShellFixture::writeText(csvDir, QStringLiteral("x")));
        r.f.dialogs->answerQuestion(false);
        r.w->stopLog();
        QVERIFY(!r.w->logRecording());
    }
    const auto m = r.f.dialogs->lastMessage();
    QCOMPARE(m.title, QStringLiteral("error"));
    QVERIFY2(m.text.contains(QStringLiteral("ログフォルダを確認してください。")),
             qPrintable(m.text));
    QVERIFY(m.text.contains(csv ? QStringLiteral("CSV_DATA") : QStringLiteral("TXT_DATA")));
}

// A disk that fills up while a log runs: the write of the next line fails,
// the log stops and the user is told, and the file keeps its whole lines.
void tst_LoggingE2E::writeErrorStopsTheLog()
{
    LogRig r;
    QVERIFY(r.start());
    r.w->startLog();
    QVERIFY(r.lines(1));
    const QString path = r.logPath();
    const QByteArray before = fileBytes(path);

    // A file-size limit at the log's present size makes its next write fail
    // (EFBIG) the way a full disk does; the signal that comes with it is ignored.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit full = old;
    full.rlim_cur = rlim_t(before.size());
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &full), 0);
    const bool stopped = QTest::qWaitFor([&] { return !r.w->logRecording(); }, 8000);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(stopped);
    QVERIFY(!r.w->session().pollTimer().isActive());
    QVERIFY(r.f.dialogs->questions().isEmpty());
    bool told = false;
    for (const auto &m : r.f.dialogs->messages())
        told = told || (m.title == QStringLiteral("error") &&
                        m.text.contains(QStringLiteral("ログファイルに書き込めませんでした。")) &&
                        m.text.contains(path));
    QVERIFY(told);
    QCOMPARE(fileBytes(r.log().file().TxtLogFinal.isEmpty() ? path : r.log().file().TxtLogFinal),
             before);
}

// A stored log of 701 lines: two overlapping pages; the second draws samples
// 301 ... 700 and its labels count from 300.
void tst_LoggingE2E::storedLogPages()
{
    LogRig r;
    QVERIFY(r.start());
    QByteArray content;
    for (int i = 0; i <= 700; ++i) {
        const double t = 20.0 + 30.0 * std::sin(i / 50.0);
        content += LogFile::formatLine(LogFile::FormatElapsed(5LL * i),
                                       {QString::asprintf("%+07.2f", t),
                                        QString::asprintf("%+07.2f", t - 10),
                                        QString::asprintf("%+07.2f", 100 - t), QStringLiteral("*")},
                                       QStringLiteral("+031.50"));
    }
    content += "\"\r\n\"\r\n\"-MEMO-\"\r\n\"1,2,3,4,5,6\"\r\n";
    const QString path = r.f.appDir() + QStringLiteral("/stored.txt");
    QVERIFY(ShellFixture::writeText(path, QString::fromUtf8(content)));

    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    QVERIFY(r.readStored(graph, path));
    QVERIFY(r.w->state().graph.readflg);
    QCOMPARE(graph->storedLog().count(), 701);
    QVERIFY(graph->p_flg);
    QCOMPARE(graph->Com_page->count(), 2);
    QCOMPARE(graph->Com_page->itemText(1), QStringLiteral("300～900"));
    QCOMPARE(graph->Label1->text(), QStringLiteral("1Point = 5[s]"));
    graph->Com_page->setCurrentIndex(1);
    QCOMPARE(graph->Ls[0]->text(), QStringLiteral("300"));
    QCOMPARE(graph->Ls[1]->text(), QStringLiteral("360"));
    saveShot(r.w, QStringLiteral("graph_stored_page2.png"));

    // Twenty, then twenty-five as minimum: the maximum moves to thirty.
    graph->Combo_max->setCurrentText(QStringLiteral("20"));
    graph->Combo_min->setCurrentText(QStringLiteral("25"));
    QCOMPARE(graph->Combo_max->currentText(), QStringLiteral("30"));
    QCOMPARE(graph->l202->text(), QStringLiteral("27.5[℃]"));

    // A log that cannot be read (missing, 200 MB that are no log and are
    // refused at once, a pipe that nothing writes to, a folder) leaves the
    // graph and its pages as they were.
    const QImage before = r.log().canvas().image();
    const QString other = r.f.appDir() + QStringLiteral("/other.txt");
    QVERIFY(ShellFixture::writeLargeNonText(other, 200LL * 1024 * 1024));
    const QString fifo = r.f.appDir() + QStringLiteral("/pipe.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &path :
         {r.f.appDir() + QStringLiteral("/gone.txt"), other, fifo, r.f.appDir()}) {
        QVERIFY(r.readStored(graph, path));
        const auto told = r.f.dialogs->lastMessage();
        QCOMPARE(told.text, QStringLiteral("ログファイルを読み込めませんでした。\n") + path);
        QCOMPARE(told.title, QStringLiteral("確認"));
        QCOMPARE(graph->storedLog().count(), 701);
        QCOMPARE(graph->Com_page->count(), 2);
        QCOMPARE(graph->Com_page->currentIndex(), 1);
        QVERIFY(r.log().canvas().image() == before);
    }
    QFile::remove(other);
}

// A large stored log is read off the window's thread: the window's events go
// on (every chunk waits here for a turn of them), the progress window shows,
// and a log chosen meanwhile, a log started or the window closed meanwhile
// never gets a stale result.
void tst_LoggingE2E::storedLogReadAside()
{
    LogRig r;
    QVERIFY(r.start());
    QByteArray content;
    QByteArray head;
    for (int i = 0; i < 60000; ++i) { // about 3.2 MB, four chunks
        content += stamped(qPrintable(LogFile::FormatElapsed(i)));
        if (i == 2)
            head = content;
    }
    const QString large = r.f.appDir() + QStringLiteral("/large.txt");
    const QString small = r.f.appDir() + QStringLiteral("/small.txt");
    QVERIFY(ShellFixture::writeText(large, QString::fromLatin1(content)));
    QVERIFY(ShellFixture::writeText(small, QString::fromLatin1(head)));
    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    StoredLogLoader &loader = graph->storedLogLoader();

    QSemaphore turns;
    loader.afterChunk = [&turns](const QString &) { turns.acquire(); };
    int shownTurns = 0;
    QTimer timer;
    timer.setInterval(0);
    connect(&timer, &QTimer::timeout, this, [&] {
        if (graph->loadProgress() && graph->loadProgress()->isVisible())
            ++shownTurns;
        turns.release();
    });
    timer.start();
    QVERIFY(r.readStored(graph, large));
    timer.stop();
    loader.afterChunk = {};
    QVERIFY(shownTurns >= 4);
    QCOMPARE(graph->storedLog().count(), 60000);
    QVERIFY(!graph->loadProgress());

    QSignalSpy read(graph, &frmGraph::storedLogRead);
    graph->readStoredLog(large);
    graph->readStoredLog(small);
    QVERIFY(read.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(loader.threadsRunning(), 0, 60000);
    QCoreApplication::processEvents();
    QCOMPARE(read.count(), 1);
    QCOMPARE(graph->storedLog().count(), 3);

    const QPointer<frmGraph> closed = graph;
    graph->readStoredLog(large);
    QVERIFY(r.w->unloadWindow(QStringLiteral("frmGraph")));
    QTRY_VERIFY_WITH_TIMEOUT(closed.isNull(), 60000);
    QCoreApplication::processEvents();
    QVERIFY(r.w->findChildren<frmSplashrw *>().isEmpty());

    graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    QSignalSpy again(graph, &frmGraph::storedLogRead);
    graph->readStoredLog(large);
    r.w->startLog();
    QTRY_COMPARE_WITH_TIMEOUT(graph->storedLogLoader().threadsRunning(), 0, 60000);
    QCoreApplication::processEvents();
    QCOMPARE(again.count(), 0);
    QVERIFY(!r.w->state().graph.readflg);
    QVERIFY(r.f.dialogs->messages().isEmpty());
}

// The Y column fits the labels of every range the two lists can make.
void tst_LoggingE2E::wholeYLabels()
{
    LogRig r;
    QVERIFY(r.start());
    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    QStringList cut;
    for (int top = 0; top < graph->Combo_max->count(); ++top) {
        for (int bottom = graph->Combo_min->count() - 1; bottom >= 0; --bottom) {
            graph->Combo_min->setCurrentIndex(graph->Combo_min->count() - 1);
            graph->Combo_max->setCurrentIndex(top);
            if (graph->Combo_min->itemText(bottom).toInt() >=
                graph->Combo_max->currentText().toInt())
                continue;
            graph->Combo_min->setCurrentIndex(bottom);
            QCoreApplication::processEvents();
            for (QLabel *l : {graph->l201, graph->l202, graph->l203}) {
                if (l->contentsRect().width() < l->fontMetrics().horizontalAdvance(l->text()))
                    cut << graph->Combo_max->currentText() + QLatin1Char(' ') +
                               graph->Combo_min->currentText() + QStringLiteral(": ") + l->text();
            }
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.mid(0, 10).join(QLatin1Char('\n'))));
    graph->Combo_min->setCurrentText(QStringLiteral("-55"));
    graph->Combo_max->setCurrentText(QStringLiteral("160"));
    QCOMPARE(graph->l201->text(), QStringLiteral("106.25[℃]"));
    const QString shots = qEnvironmentVariable("KRM_NOTES_SHOTS");
    if (!shots.isEmpty())
        graph->window()->grab().save(shots + QStringLiteral("/graph_160_-55.png"));
}

// A page turn clears the live page: the running step's target is drawn again.
void tst_LoggingE2E::targetLineAfterPageTurn()
{
    LogRig r;
    QVERIFY(r.start());
    Parameter &p = param();
    p.TargetLineText = QStringLiteral("+050.00");
    r.log().redrawLive();
    p.LogCount = p.GraphPagePoints - 1;
    r.log().tick();
    QCOMPARE(p.GraphPage, 1);
    const GraphCanvas &canvas = r.log().canvas();
    const int y = canvas.toPixel(0, p.GraphZeroY - 50 * p.GraphYScale).y();
    int target = 0;
    for (int x = 0; x < canvas.image().width(); ++x)
        target += canvas.image().pixelColor(x, y) == GraphCanvas::targetColour();
    QVERIFY2(target > canvas.image().width() / 4, qPrintable(QString::number(target)));
}

void tst_LoggingE2E::printsA4Landscape()
{
    LogRig r;
    QVERIFY(r.start());
    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    const QString pdf = r.f.appDir() + QStringLiteral("/graph.pdf");
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer: said so, and the page goes to a PDF file instead.
        r.f.dialogs->answerQuestion(true);
        r.f.dialogs->answerQuestion(true);
        r.f.dialogs->answerSaveFile(pdf);
        graph->Print_c->click();
        QCOMPARE(r.f.dialogs->questions().at(1).text,
                 QStringLiteral("プリンタが見つかりません。\nPDFファイルに保存しますか？"));
    } else {
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        graph->printTo(printer);
    }
    const QByteArray bytes = fileBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    const qsizetype box = bytes.indexOf("/MediaBox");
    // A4 landscape: 842 by 595 points.
    QVERIFY2(bytes.mid(box, 30).startsWith("/MediaBox [0 0 842.000000 595."),
             bytes.mid(box, 30).constData());
    QVERIFY(bytes.contains("/Subtype /Image"));
}

void tst_LoggingE2E::closingWhileLogging()
{
    LogRig r;
    QVERIFY(r.start());
    auto *graph = qobject_cast<frmGraph *>(r.w->openWindow(QStringLiteral("frmGraph")));
    QVERIFY(graph);
    graph->Combo_max->setCurrentText(QStringLiteral("100"));
    graph->Log_c->click();
    QVERIFY(r.w->logRecording());
    QVERIFY(!r.w->state().graph.readflg);

    r.f.dialogs->answerQuestion(false);
    QVERIFY(!r.w->unloadWindow(QStringLiteral("frmGraph")));
    QVERIFY(r.w->isLoaded(QStringLiteral("frmGraph")));
    QVERIFY(r.w->logRecording());
    QCOMPARE(r.f.dialogs->questions().constLast().text, frmGraph::closeQuestion());

    r.f.dialogs->answerQuestion(true);  // close
    r.f.dialogs->answerQuestion(false); // no memo
    QVERIFY(r.w->unloadWindow(QStringLiteral("frmGraph")));
    QVERIFY(!r.w->logRecording());
    QVERIFY(!r.w->session().pollTimer().isActive());
    QCOMPARE(ini().IniRead(QStringLiteral("Y"), QStringLiteral("para")), QStringLiteral("100 -60"));
}

QTEST_MAIN(tst_LoggingE2E)
#include "tst_logging_e2e.moc"
