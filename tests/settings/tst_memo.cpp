// The memo: its ready-made blocks byte for byte, the append of a registered
// memo to the log just closed, keeping the memo across closing, and printing.

#include "core/logging/StoredLog.h"
#include "core/settings/MemoBlocks.h"
#include "shell/ShellFixture.h"
#include "ui/settings/frmMemo.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTest>

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString DashLine = QStringLiteral(" -") + QString(17, ' ') + '-' + QString(15, ' ') + '-' +
                         QString(14, ' ') + '-' + CrLf;

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

frmMemo *memoWindow(KRM2200 &w)
{
    return qobject_cast<frmMemo *>(w.loadedWindow(QStringLiteral("frmMemo")));
}

} // namespace

class tst_Memo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void blocks_data();
    void blocks();
    void appendFailureIsTold_data();
    void appendFailureIsTold();
    void registeredWithTheLog();
    void memoOutlivesTheWindow();
    void printsToPdf();
};

void tst_Memo::blocks_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("expected");

    QTest::newRow("sensor 2, no resistance")
        << MemoBlocks::sensor(2, "SENSOR1", "0 +080.00 -020.00 +000.50 100.00")
        << "SENSOR1 使用否 上限リミット : +080.00 下限リミット : -020.00" + CrLf +
               QString(12, ' ') + "オフセット : +000.50 " + CrLf;
    QTest::newRow("sensor 0 with resistance")
        << MemoBlocks::sensor(0, "PT100A", "1 +150.00 -050.00 +000.00 100.00")
        << "PT100A 使用可 上限リミット : +150.00 下限リミット : -050.00" + CrLf + QString(12, ' ') +
               "オフセット : +000.00 抵抗値 : 100.00" + CrLf;
    QTest::newRow("sensor record empty") << MemoBlocks::sensor(1, "PT100B", "")
                                         << "PT100B 使用否 上限リミット :  下限リミット : " + CrLf +
                                                QString(12, ' ') + "オフセット :  抵抗値 : " + CrLf;
    QTest::newRow("pattern") << MemoBlocks::pattern("PATTERN0", "5 1 0 3")
                             << "PATTERN0 ループ回数 : 5 設定温度到達後 : 継続" + CrLf +
                                    QString(17, ' ') + "開始ステップ : 0 終了ステップ : 3" + CrLf;
    QTest::newRow("pattern ends") << MemoBlocks::pattern("PATTERN9", "1 0 4 4")
                                  << "PATTERN9 ループ回数 : 1 設定温度到達後 : 終了" + CrLf +
                                         QString(17, ' ') + "開始ステップ : 4 終了ステップ : 4" +
                                         CrLf;
    QTest::newRow("pattern not 4 fields")
        << MemoBlocks::pattern("PATTERN3", "1 2") << "PATTERN3 未登録" + CrLf;
    QTest::newRow("pattern marked unregistered")
        << MemoBlocks::pattern("PATTERN4", "* * * *") << "PATTERN4 未登録" + CrLf;

    std::array<QString, 101> steps;
    steps[0] = "0 0 0 +040.00 00:00:30";
    steps[1] = "1 1 0 -012.50 01:00:00";
    steps[2] = "* * * * *";
    steps[3] = "7 0 0 +1234567890123456.00 00:00:01";
    steps[95] = "0 0 0 +025.00 00:00:10";
    QString first = "No    使用センサ    設定温度    保持時間" + CrLf;
    first += "00        PT100A       +040.00      00:00:30" + CrLf;
    first += "01        PT100B       -012.50      01:00:00" + CrLf;
    first += DashLine;
    // Too long for its column: kept whole. A sensor other than 0 or 1: "-".
    first += "03             -+1234567890123456.00      00:00:01" + CrLf;
    for (int i = 4; i <= 9; ++i)
        first += DashLine;
    QTest::newRow("steps 0-9") << MemoBlocks::steps(0, steps) << first;
    QString last = "No    使用センサ    設定温度    保持時間" + CrLf;
    for (int i = 90; i <= 99; ++i)
        last += i == 95 ? "95        PT100A       +025.00      00:00:10" + CrLf : DashLine;
    QTest::newRow("steps 90-99") << MemoBlocks::steps(9, steps) << last;

    // The unit record holds the resistance first, then the current.
    QTest::newRow("unit") << MemoBlocks::unit("3.0 8") << "電流値 : 8[A] 抵抗値 : 3.0[Ω]" + CrLf;
    QTest::newRow("unit not 2 fields") << MemoBlocks::unit("3.0") << QString();
    QTest::newRow("fixed run") << MemoBlocks::fixedRun("1 1 0 25.5 1")
                               << "-定値制御パラメータ-" + CrLf +
                                      "使用センサ : PT100B  ヒータ : 使用  ファン : 未使用" + CrLf +
                                      "設定温度 : 25.5[℃]  設定温度到達後 : 継続" + CrLf;
    QTest::newRow("fixed run before any run")
        << MemoBlocks::fixedRun("0 0 0 0 0")
        << "-定値制御パラメータ-" + CrLf + "使用センサ : PT100A  ヒータ : 未使用  ファン : 未使用" +
               CrLf + "設定温度 : 0[℃]  設定温度到達後 : 終了" + CrLf;
    QTest::newRow("lists")
        << (MemoBlocks::stepChoices().mid(0, 2) + MemoBlocks::stepChoices().mid(9) +
            MemoBlocks::patternChoices().mid(9) + MemoBlocks::sensorChoices())
               .join('|')
        << "STEP0～9|STEP10～19|STEP90～99|PATTERN9|PT100A|PT100B|SENSOR1|SENSOR2";
}

void tst_Memo::blocks()
{
    QFETCH(QString, block);
    QFETCH(QString, expected);
    QCOMPARE(block, expected);
}

// A memo that cannot reach its log is told, and it stays in the window for
// that log; the log is never left with half a memo.
void tst_Memo::appendFailureIsTold_data()
{
    QTest::addColumn<QString>("logFile");
    QTest::newRow("no log closed yet") << QString();
    QTest::newRow("log removed") << QStringLiteral("gone.txt");
    QTest::newRow("write fails") << QStringLiteral("/dev/full");
}

void tst_Memo::appendFailureIsTold()
{
    QFETCH(QString, logFile);
    ShellFixture f;
    KRM2200 *w = f.readyWindow();
    if (logFile == QLatin1String("gone.txt"))
        logFile = f.home.filePath(logFile);
    if (logFile.startsWith(QLatin1String("/dev/")) && !QFileInfo::exists(logFile))
        QSKIP("no /dev/full here");
    w->state().memo.MemoWithLog = true;
    w->state().memo.logFile = logFile;
    w->openWindow(QStringLiteral("frmMemo"));
    frmMemo *memo = memoWindow(*w);
    QVERIFY(memo);
    memo->memo_t->setPlainText(QStringLiteral("試験メモ"));
    memo->memoReg_c->click();
    QCOMPARE(f.dialogs->messages().size(), 1);
    QVERIFY(
        f.dialogs->lastMessage().text.contains(QStringLiteral("ログフォルダを確認してください。")));
    QCOMPARE(f.dialogs->lastMessage().title, QStringLiteral("error"));
    QCOMPARE(memoWindow(*w), memo);
    QVERIFY(w->state().memo.MemoWithLog);
    QCOMPARE(w->state().memo.MemoText, QStringLiteral("試験メモ"));
    if (logFile.endsWith(QLatin1String("gone.txt")))
        QVERIFY(!QFileInfo::exists(logFile));
}

// A log stopped with the answer Yes: "登録" appends the three records, the
// stored-log reader still sees only the samples, a second "登録" adds nothing.
void tst_Memo::registeredWithTheLog()
{
    ShellFixture f;
    QVERIFY(f.startSim());
    KRM2200 *w = f.readyWindow();
    Parameter &p = param();
    p.LogInterval = 1;
    p.SenPara[0] = QStringLiteral("1 +150.00 -050.00 +000.00 100.00");
    p.GraphPagePoints = 600;
    p.GraphXScale = 50;
    w->SetLogdirname(f.appDir());
    w->startLog();
    QTRY_VERIFY_WITH_TIMEOUT(p.LogCount >= 2 && p.SenValues.size() > p.LogCount, 10000);
    f.dialogs->answerQuestion(true);
    w->stopLog();
    frmMemo *memo = memoWindow(*w);
    QVERIFY(memo);
    const QString log = w->state().memo.logFile;
    const QByteArray samples = fileBytes(log);
    const qsizetype lines = samples.count('\n');
    QVERIFY(lines >= 2);

    memo->Sensor_com->setCurrentIndex(0);
    memo->Sensor_c->click();
    memo->memo_t->insertPlainText(QStringLiteral("試験, A, 1, 2, 3, 4, 5\n"));
    const QString text = memo->memoText();
    QVERIFY(text.startsWith(QStringLiteral("PT100A 使用可")));
    QVERIFY(text.contains(QStringLiteral("\r\n")));
    memo->memoReg_c->click();
    QVERIFY(!w->isLoaded(QStringLiteral("frmMemo")));
    QVERIFY(!w->state().memo.MemoWithLog);
    QCOMPARE(fileBytes(log), samples + MemoBlocks::logRecords(text));
    QVERIFY(fileBytes(log).endsWith(("\"\r\n\"\r\n\"-MEMO-\"\r\n\"" + text + "\"\r\n").toUtf8()));

    StoredLog stored;
    QVERIFY(stored.readFile(log));
    QCOMPARE(stored.count(), lines);

    w->openWindow(QStringLiteral("frmMemo"));
    QCOMPARE(memoWindow(*w)->memoText(), text);
    memoWindow(*w)->memoReg_c->click();
    QCOMPARE(fileBytes(log), samples + MemoBlocks::logRecords(text));
}

void tst_Memo::memoOutlivesTheWindow()
{
    ShellFixture f;
    KRM2200 *w = f.readyWindow();
    param().UniPara = QStringLiteral("3.0 8");
    w->menuItem(QStringLiteral("file_memo"))->trigger();
    frmMemo *memo = memoWindow(*w);
    QVERIFY(memo);
    QCOMPARE(memo->Step_com->currentText(), QStringLiteral("STEP0～9"));
    QCOMPARE(memo->Pattern_com->count(), 10);

    // A block replaces the selection.
    memo->memo_t->setPlainText(QStringLiteral("前XX後"));
    QTextCursor c = memo->memo_t->textCursor();
    c.setPosition(1);
    c.setPosition(3, QTextCursor::KeepAnchor);
    memo->memo_t->setTextCursor(c);
    memo->Uni_c->click();
    QCOMPARE(memo->memoText(), QStringLiteral("前電流値 : 8[A] 抵抗値 : 3.0[Ω]\r\n後"));
    memo->memoReg_c->click();
    QCOMPARE(w->state().memo.MemoText, QStringLiteral("前電流値 : 8[A] 抵抗値 : 3.0[Ω]\r\n後"));

    // No fixed-value run yet: the block describes none.
    w->openWindow(QStringLiteral("frmMemo"));
    memo = memoWindow(*w);
    memo->memo_t->clear();
    memo->Fix_c->click();
    QCOMPARE(memo->memoText(), QStringLiteral("定値制御：未実行\r\n"));
    memo->memo_t->setPlainText(w->state().memo.MemoText);
    memo->memoReg_c->click();

    // Closed without "登録": the registered memo is what comes back.
    w->openWindow(QStringLiteral("frmMemo"));
    memoWindow(*w)->memo_t->setPlainText(QStringLiteral("捨てる"));
    QVERIFY(w->unloadWindow(QStringLiteral("frmMemo")));
    w->openWindow(QStringLiteral("frmMemo"));
    memo = memoWindow(*w);
    QCOMPARE(memo->memoText(), QStringLiteral("前電流値 : 8[A] 抵抗値 : 3.0[Ω]\r\n後"));
    const QString shots = qEnvironmentVariable("KRM_SHOTS");
    if (!shots.isEmpty()) {
        memo->Step_c->click();
        memo->Fix_c->click();
        memo->window()->grab().save(shots + QStringLiteral("/memo.png"), "PNG");
    }

    memo->memoDel_c->click();
    QVERIFY(memo->memo_t->toPlainText().isEmpty());
    QVERIFY(w->state().memo.MemoText.isEmpty());
}

void tst_Memo::printsToPdf()
{
    ShellFixture f;
    KRM2200 *w = f.readyWindow();
    w->openWindow(QStringLiteral("frmMemo"));
    frmMemo *memo = memoWindow(*w);
    QVERIFY(memo);
    memo->memo_t->setPlainText(MemoBlocks::fixedRun(QStringLiteral("0 1 1 -10.5 0")));
    QVERIFY(memo->memoPrint_c->isVisible());

    const QString pdf = f.home.filePath(QStringLiteral("memo.pdf"));
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        // No printer: the same pages go to a PDF file the user names.
        f.dialogs->answerQuestion(true);
        f.dialogs->answerSaveFile(pdf);
        memo->memoPrint_c->click();
        QCOMPARE(f.dialogs->questions().size(), 1);
    } else {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        memo->printTo(printer);
    }
    const QByteArray bytes = fileBytes(pdf);
    QVERIFY(bytes.startsWith("%PDF"));
    // The Japanese text is set in an embedded CJK face.
    QVERIFY(bytes.contains("CJK"));
    QVERIFY(f.dialogs->messages().isEmpty());
    const QString shots = qEnvironmentVariable("KRM_SHOTS");
    if (!shots.isEmpty()) {
        QFile::remove(shots + QStringLiteral("/memo.pdf"));
        QFile::copy(pdf, shots + QStringLiteral("/memo.pdf"));
    }
}

QTEST_MAIN(tst_Memo)
#include "tst_memo.moc"
