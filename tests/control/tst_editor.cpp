// The pattern and step editor: the step check, the time normaliser, paging,
// extending and shrinking patterns, inserting and deleting steps,
// registration into the configuration file, and the window against the
// simulated instrument up to the toolbar's write.
//
// With KRM_EDITOR_SHOTS=<folder> set, the window is saved there with marks.

#include "core/control/PatternEditor.h"
#include "core/control/PatternPlan.h"
#include "core/control/StepCheck.h"
#include "shell/ShellFixture.h"
#include "ui/control/PatternPlanView.h"
#include "ui/control/frmOperation_setting.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

const QString kFree = QStringLiteral(".");

struct RecordingView : PatternEditorView {
    QStringList messages;
    QStringList titles;
    QStringList questions;
    QStringList questionTitles;
    QList<bool> answers;
    // Answers by title, before the queue: registration goes on unless a test
    // says otherwise.
    QHash<QString, bool> byTitle{{QStringLiteral("登録確認"), true}};
    int closes = 0;
    int writes = 0;
    void message(const QString &text, const QString &title) override
    {
        messages << text;
        titles << title;
    }
    bool question(const QString &text, const QString &title, bool) override
    {
        questions << text;
        questionTitles << title;
        if (byTitle.contains(title))
            return byTitle.value(title);
        return answers.isEmpty() ? false : answers.takeFirst();
    }
    void setBusy(bool) override {}
    void closeEditor() override { ++closes; }
    void writeToInstrument() override { ++writes; }
};

bool registers(PatternEditor &e)
{
    return e.RegisterPatterns() == PatternEditor::Registration::Registered;
}

// Steps written as their temperatures: "10 11 . x" is a valid step at 10 °C,
// one at 11 °C, a free step, and a step marked invalid (off the 0.05 grid).
QString stepRecord(const QString &token)
{
    if (token == kFree)
        return QString();
    const QString temp = token == QLatin1String("x") ? QStringLiteral("40.03") : token;
    return QStringLiteral("0 0 0 ") + temp + QStringLiteral(" 00:00:10");
}

QString stepToken(const QString &record)
{
    if (record.isEmpty())
        return kFree;
    // Registration writes the instrument's width ("+010.00" for "10").
    const QString temp = record.section(QLatin1Char(' '), 3, 3);
    bool number = false;
    const double v = temp.toDouble(&number);
    return temp == QLatin1String("40.03") ? QStringLiteral("x")
           : number                       ? QString::number(v)
                                          : temp;
}

// A program folder with a configuration holding the given sensor-use
// flags, pattern records and steps.
struct EditorFile {
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("KRM.ini")); }

    explicit EditorFile(const QString &steps = QString(), const QStringList &patterns = {},
                        const QString &sen0 = QStringLiteral("1"))
    {
        QString s = QStringLiteral("[SEN]\n");
        if (sen0 != QLatin1String("missing"))
            s += QStringLiteral("SEN0=") + sen0 + QStringLiteral(" +150.00 -050.00 * *\n");
        s += QStringLiteral("SEN1=0 +150.00 -050.00 * *\n[PATTERN]\n");
        for (int k = 0; k < 10; ++k)
            s += QStringLiteral("PATTERN%1=%2\n").arg(k).arg(patterns.value(k));
        s += QStringLiteral("[STEP]\n");
        const QStringList tokens = steps.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int n = 0; n < 100; ++n)
            s += QStringLiteral("STEP%1=%2\n").arg(n).arg(stepRecord(tokens.value(n, kFree)));
        ShellFixture::writeText(path(), s);
        ini().setWorkingFile(path());
    }

    static QString value(const QString &section, const QString &key)
    {
        return ini().IniRead(section, key);
    }
    // Steps first..last of the file in the token form.
    static QString steps(int first, int last)
    {
        QStringList out;
        for (int n = first; n <= last; ++n)
            out << stepToken(value(QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(n)));
        return out.join(QLatin1Char(' '));
    }
};

// Steps first..last as the editor shows them.
QString shownSteps(PatternEditor &e, int first, int last)
{
    QStringList out;
    for (int n = first; n <= last; ++n) {
        if (n % 10 == 0 || n == first)
            e.reLoads3(n - n % 10);
        const PatternEditor::StepRow &row = e.row(n % 10);
        out << (row.sensor == PatternEditor::FreeSensor ? kFree : row.temp);
    }
    return out.join(QLatin1Char(' '));
}

QString visibility(const PatternEditor &e)
{
    QString s;
    for (int k = 0; k < 10; ++k)
        s += e.pattern(k).optionVisible ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

} // namespace

class tst_editor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void normalizeTime_data();
    void normalizeTime();
    void timeRules_data();
    void timeRules();
    void stepCheck_data();
    void stepCheck();
    void extendShrink_data();
    void extendShrink();
    void paging_data();
    void paging();
    void insertDelete_data();
    void insertDelete();
    void registration_data();
    void registration();
    void oneDigitHourKept();
    void summaryText();
    void reopenKeepsExtent();
    void unregisteredRecords_data();
    void unregisteredRecords();
    void typedPlan_data();
    void typedPlan();
    void deleteAll();
    void windowRegistersAndWrites();
    void popupAndCloseQuestion();
    void writeDeclinedKeepsTheEditor();
};

void tst_editor::normalizeTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("normalized");
    QTest::newRow("seconds carried") << "0:0:90"
                                     << "0:1:30";
    QTest::newRow("minutes carried") << "0:120:0"
                                     << "2:0:0";
    QTest::newRow("both carried") << "1:59:60"
                                  << "2:0:0";
    QTest::newRow("untouched parts keep text") << "00:00:30"
                                               << "00:00:30";
    QTest::newRow("minutes and seconds") << "1:90"
                                         << "00:2:30";
    QTest::newRow("empty seconds") << "00:00:"
                                   << "00:00:e";
    QTest::newRow("fraction in minutes") << "0:1.5:0"
                                         << "0:e:0";
    QTest::newRow("non-numeric hours") << "a:0:0"
                                       << "e:0:0";
    QTest::newRow("one part") << "12.5"
                              << "12.5";
    QTest::newRow("four parts") << "1:2:3:4"
                                << "1:2:3:4";
}

void tst_editor::normalizeTime()
{
    QFETCH(QString, text);
    QFETCH(QString, normalized);
    QCOMPARE(StepCheck::NormalizeTime(text), normalized);
}

void tst_editor::timeRules_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("36000") << "36000" << true;
    QTest::newRow("36001") << "36001" << false;
    QTest::newRow("12.5") << "12.5" << false;
    QTest::newRow("10:00:00") << "10:00:00" << true;
    QTest::newRow("10:00:01") << "10:00:01" << false;
    QTest::newRow("0:0:90") << "0:0:90" << true;
    // Judged by total seconds, not by comparing texts.
    QTest::newRow("9:00:00") << "9:00:00" << true;
    QTest::newRow("1:30:00") << "1:30:00" << true;
    QTest::newRow("1:2:3:4") << "1:2:3:4" << false;
    QTest::newRow("marked part") << "00:00:" << false;
    QTest::newRow("text between the limits") << "0abc" << false;
    QTest::newRow("empty") << "" << false;
}

void tst_editor::timeRules()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QCOMPARE(StepCheck::timeValid(StepCheck::NormalizeTime(text)), valid);
}

void tst_editor::stepCheck_data()
{
    QTest::addColumn<QString>("senUse"); // first character of SEN0, or "missing"
    QTest::addColumn<int>("sensor");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("last"); // the edit made last: sensor, temp or time
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("shownTemp");
    QTest::addColumn<QString>("copyTime"); // window copy of the hold time

    const QString ok = QStringLiteral("○");
    const QString bad = QStringLiteral("×");
    QTest::newRow("full-width digits") << "1" << 0 << "４０"
                                       << "30"
                                       << "temp" << ok << "40"
                                       << "30";
    QTest::newRow("40.03 off the grid") << "1" << 0 << "40.03"
                                        << "30"
                                        << "temp" << bad << "40.03"
                                        << "30";
    QTest::newRow("150.05 out of range") << "1" << 0 << "150.05"
                                         << "30"
                                         << "temp" << bad << "150.05"
                                         << "30";
    QTest::newRow("-50") << "1" << 0 << "-50"
                         << "30"
                         << "temp" << ok << "-50"
                         << "30";
    QTest::newRow("150") << "1" << 0 << "150"
                         << "30"
                         << "temp" << ok << "150"
                         << "30";
    QTest::newRow("0.05") << "1" << 0 << "0.05"
                          << "30"
                          << "temp" << ok << "0.05"
                          << "30";
    QTest::newRow("149.95") << "1" << 0 << "149.95"
                            << "30"
                            << "temp" << ok << "149.95"
                            << "30";
    QTest::newRow("exponent") << "1" << 0 << "1e1"
                              << "30"
                              << "temp" << bad << "1e1"
                              << "30";
    QTest::newRow("0:0:90") << "1" << 0 << "40"
                            << "0:0:90"
                            << "time" << ok << "40"
                            << "0:1:30";
    QTest::newRow("36001") << "1" << 0 << "40"
                           << "36001"
                           << "time" << bad << "40"
                           << "";
    QTest::newRow("10:00:01") << "1" << 0 << "40"
                              << "10:00:01"
                              << "time" << bad << "40"
                              << "";
    QTest::newRow("9:00:00 typed") << "1" << 0 << "40"
                                   << "9:00:00"
                                   << "time" << ok << "40"
                                   << "9:00:00";
    QTest::newRow("9:00:00 then temperature") << "1" << 0 << "40"
                                              << "9:00:00"
                                              << "temp" << ok << "40"
                                              << "9:00:00";
    QTest::newRow("9:00:00 then sensor") << "1" << 0 << "40"
                                         << "9:00:00"
                                         << "sensor" << ok << "40"
                                         << "9:00:00";
    QTest::newRow("sensor not in use") << "0" << 0 << "40"
                                       << "30"
                                       << "sensor" << bad << "40"
                                       << "30";
    QTest::newRow("sensor use unknown") << "missing" << 0 << "40"
                                        << "30"
                                        << "sensor"
                                        << ""
                                        << "40"
                                        << "30";
    QTest::newRow("free row off the grid") << "1" << 2 << "40.03"
                                           << "30"
                                           << "temp"
                                           << ""
                                           << "40.03"
                                           << "30";
    QTest::newRow("free row not a number") << "1" << 2 << "abc"
                                           << "30"
                                           << "temp" << bad << "abc"
                                           << "30";
}

void tst_editor::stepCheck()
{
    QFETCH(QString, senUse);
    QFETCH(int, sensor);
    QFETCH(QString, temp);
    QFETCH(QString, time);
    QFETCH(QString, last);
    QFETCH(QString, mark);
    QFETCH(QString, shownTemp);
    QFETCH(QString, copyTime);

    EditorFile file(QString(), {}, senUse);
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    e.setSensor(3, sensor);
    e.setTemperature(3, temp);
    e.setHoldTime(3, time);
    if (last == QLatin1String("sensor"))
        e.setSensor(3, sensor);
    else if (last == QLatin1String("temp"))
        e.setTemperature(3, e.row(3).temp);
    QCOMPARE(e.row(3).mark, mark);
    QCOMPARE(e.row(3).temp, shownTemp);
    QCOMPARE(e.row(3).sensorRed, senUse == QLatin1String("0"));
    // An invalid hold time never reaches the window copy.
    QCOMPARE(e.step_time.at(3), copyTime.isEmpty() ? QStringLiteral("00:00:00") : copyTime);
}

void tst_editor::extendShrink_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("added"); // blocks added to the selected pattern first
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("visible");
    QTest::newRow("add a block") << 0 << 0 << "add"
                                 << "1011111111";
    QTest::newRow("add after a swallowed row") << 3 << 1 << "add"
                                               << "1111001111";
    QTest::newRow("add with pattern 9") << 9 << 0 << "add"
                                        << "1111111111";
    QTest::newRow("add with every later row swallowed") << 0 << 9 << "add"
                                                        << "1000000000";
    QTest::newRow("remove the last block") << 0 << 2 << "del"
                                           << "1011111111";
    QTest::newRow("remove from a single block") << 4 << 0 << "del"
                                                << "1111111111";
    QTest::newRow("remove from pattern 8 of two") << 8 << 1 << "del"
                                                  << "1111111111";
}

void tst_editor::extendShrink()
{
    QFETCH(int, selected);
    QFETCH(int, added);
    QFETCH(QString, op);
    QFETCH(QString, visible);
    EditorFile file(QString(), {QStringLiteral("1 1 0 0"), QStringLiteral("2 1 10 10")});
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    e.selectPattern(selected);
    for (int i = 0; i < added; ++i)
        e.addBlock();
    if (op == QLatin1String("add"))
        e.addBlock();
    else
        e.removeBlock();
    QCOMPARE(visibility(e), visible);
    // A swallowed row's record is emptied at once; the steps are untouched.
    for (int k = 1; k < 10; ++k) {
        if (visible.at(k) == QLatin1Char('0'))
            QCOMPARE(
                EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(k)),
                QString());
    }
}

void tst_editor::paging_data()
{
    QTest::addColumn<int>("added"); // blocks added to pattern 0
    QTest::addColumn<QString>("ops");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("selected");
    QTest::newRow("next on the last page") << 0 << "s9 n" << 90 << 9;
    QTest::newRow("previous on the first page") << 0 << "p" << 0 << 0;
    QTest::newRow("next selects the page's pattern") << 0 << "n n" << 20 << 2;
    QTest::newRow("next into a swallowed block") << 2 << "n n" << 20 << 0;
    QTest::newRow("previous from a pattern into a swallowed block") << 2 << "s3 p" << 20 << 0;
    QTest::newRow("previous within a pattern") << 2 << "n n p" << 10 << 0;
}

void tst_editor::paging()
{
    QFETCH(int, added);
    QFETCH(QString, ops);
    QFETCH(int, page);
    QFETCH(int, selected);
    EditorFile file;
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    for (int i = 0; i < added; ++i)
        e.addBlock();
    for (const QString &op : ops.split(QLatin1Char(' '))) {
        if (op == QLatin1String("n"))
            e.nextPage();
        else if (op == QLatin1String("p"))
            e.previousPage();
        else
            e.selectPattern(op.mid(1).toInt());
    }
    QCOMPARE(e.page_top, page);
    QCOMPARE(e.sel_pattern, selected);
    QCOMPARE(e.stepNumber(9), page + 9);
}

void tst_editor::insertDelete_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("refused");

    const QString five = QStringLiteral("10 11 12 13 14 . . . . .");
    const QString full = QStringLiteral("10 11 12 13 14 15 16 17 18 19");
    QTest::newRow("insert in the middle") << five << 0 << 0 << 2 << "ins"
                                          << "10 11 . 12 13 14 . . . ." << false;
    QTest::newRow("insert at the first row") << five << 0 << 0 << 0 << "ins"
                                             << ". 10 11 12 13 14 . . . ." << false;
    QTest::newRow("insert at the last row")
        << "10 11 12 13 14 15 16 17 18 ." << 0 << 0 << 9 << "ins"
        << "10 11 12 13 14 15 16 17 18 ." << false;
    QTest::newRow("insert into a full pattern") << full << 0 << 0 << 0 << "ins" << full << true;
    QTest::newRow("insert on the second page")
        << full + QStringLiteral(" 20 21 . . . . . . . .") << 1 << 10 << 0 << "ins"
        << full + QStringLiteral(" . 20 21 . . . . . . .") << false;
    QTest::newRow("insert moves a step across blocks")
        << full + QStringLiteral(" 20 . . . . . . . . .") << 1 << 0 << 5 << "ins"
        << "10 11 12 13 14 . 15 16 17 18 19 20 . . . . . . . ." << false;
    QTest::newRow("delete the first step") << five << 0 << 0 << 0 << "del"
                                           << "11 12 13 14 . . . . . ." << false;
    QTest::newRow("delete the last step") << full << 0 << 0 << 9 << "del"
                                          << "10 11 12 13 14 15 16 17 18 ." << false;
    QTest::newRow("delete pulls the next block forward")
        << full + QStringLiteral(" 20 21 . . . . . . . .") << 1 << 0 << 5 << "del"
        << "10 11 12 13 14 16 17 18 19 20 21 . . . . . . . . ." << false;
}

void tst_editor::insertDelete()
{
    QFETCH(QString, steps);
    QFETCH(int, added);
    QFETCH(int, page);
    QFETCH(int, row);
    QFETCH(QString, op);
    QFETCH(QString, after);
    QFETCH(bool, refused);

    EditorFile file(steps);
    RecordingView view;
    view.answers = {true};
    PatternEditor e(ini(), &view);
    e.open();
    for (int i = 0; i < added; ++i)
        e.addBlock();
    if (page > 0)
        e.nextPage();
    e.in_index = row;
    if (op == QLatin1String("ins"))
        e.mnu1();
    else
        e.mnu2();
    QCOMPARE(view.messages,
             refused ? QStringList{QStringLiteral("使用可能なステップ数を超えています。")}
                     : QStringList());
    // The page pressed on stays shown, and nothing reaches the file.
    QCOMPARE(e.page_top, page);
    const int last = 10 * (added + 1) - 1;
    QCOMPARE(shownSteps(e, 0, last), after);
    QCOMPARE(EditorFile::steps(0, last), steps.section(QLatin1Char(' '), 0, last));
}

void tst_editor::registration_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("added");
    QTest::addColumn<QString>("loop");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("pattern0");
    QTest::addColumn<QString>("stored"); // steps 0-19 of the file afterwards

    QTest::addColumn<QString>("dropped"); // lines of the question asked first, "|" between

    const QString none = QStringLiteral(". . . . . . . . . . . . . . . . . . . .");
    const QString loop0 = QStringLiteral("パターン0：ループ回数が正しくないため登録されません");
    QTest::newRow("step 2 invalid") << "10 11 x 13" << 0 << "1" << 1 << "1 1 0 2"
                                    << "10 11 13 . . . . . . . . . . . . . . . . ."
                                    << "ステップ2：登録されません（条件外：設定温度不正）";
    QTest::newRow("two blocks of 13 steps")
        << "10 11 12 13 14 15 16 17 18 19 20 21 22" << 1 << "3" << 0 << "3 0 0 12"
        << "10 11 12 13 14 15 16 17 18 19 20 21 22 . . . . . . ."
        << "";
    QTest::newRow("free steps first") << ". . 12 13" << 0 << "1" << 1 << "1 1 0 1"
                                      << "12 13 . . . . . . . . . . . . . . . . . ."
                                      << "";
    QTest::newRow("no valid step") << ". x" << 0 << "1" << 1 << "" << none
                                   << "ステップ1：登録されません（条件外：設定温度不正）";
    QTest::newRow("loop 51") << "10" << 0 << "51" << 1 << ""
                             << "10 . . . . . . . . . . . . . . . . . . ." << loop0;
    QTest::newRow("loop -1") << "10" << 0 << "-1" << 1 << ""
                             << "10 . . . . . . . . . . . . . . . . . . ." << loop0;
    QTest::newRow("loop empty, step 11 invalid")
        << "10 . . . . . . . . . . x" << 0 << "" << 1 << ""
        << "10 . . . . . . . . . . . . . . . . . . ."
        << "パターン0：ループ回数が正しくないため登録されません|"
           "ステップ11：登録されません（条件外：設定温度不正）|"
           "パターン1：ループ回数が正しくないため登録されません|"
           "パターン1：最終ステップ後の動作が正しくないため登録されません";
    QTest::newRow("loop 2.5") << "10" << 0 << "2.5" << 1 << ""
                              << "10 . . . . . . . . . . . . . . . . . . ." << loop0;
    QTest::newRow("action blank")
        << "10" << 0 << "1" << 2 << ""
        << "10 . . . . . . . . . . . . . . . . . . ."
        << "パターン0：最終ステップ後の動作が正しくないため登録されません";
    QTest::newRow("endless") << "10" << 0 << "0" << 1 << "0 1 0 0"
                             << "10 . . . . . . . . . . . . . . . . . . ."
                             << "";
}

void tst_editor::registration()
{
    QFETCH(QString, steps);
    QFETCH(int, added);
    QFETCH(QString, loop);
    QFETCH(int, action);
    QFETCH(QString, pattern0);
    QFETCH(QString, stored);
    QFETCH(QString, dropped);

    EditorFile file(steps, {QStringLiteral("9 9 0 0")});
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    for (int i = 0; i < added; ++i)
        e.addBlock();
    e.setLoopText(0, loop);
    e.setAction(0, action);
    const bool registered = registers(e);

    QCOMPARE(registered, !pattern0.isEmpty());
    // Asked before anything is written, only when something typed is lost.
    const QString asked = view.questionTitles.value(0) == QStringLiteral("登録確認")
                              ? view.questions.value(0)
                              : QString();
    QCOMPARE(asked, dropped.isEmpty() ? QString()
                                      : dropped.split(QLatin1Char('|')).join(QLatin1Char('\n')) +
                                            QStringLiteral("\nこのまま登録しますか？"));
    // A registration offers the instrument write, default No; nothing else asks.
    QCOMPARE(view.questionTitles.contains(QStringLiteral("書込み確認")), registered);
    QCOMPARE(view.writes, 0);
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")), pattern0);
    QCOMPARE(EditorFile::steps(0, 19), stored);
    QCOMPARE(view.titles,
             QStringList{registered ? QStringLiteral("確認") : QStringLiteral("失敗")});
    QCOMPARE(view.closes, registered ? 1 : 0);
    if (!registered)
        QCOMPARE(view.messages.value(0),
                 QStringLiteral("登録可能なパターンがありませんでした。\r\n"
                                "パターン及びステップの登録内容を確認してください。"));
    // A count of 0 comes back as an endless loop.
    QCOMPARE(e.pattern(0).endless, pattern0.startsWith(QLatin1String("0 ")));
}

void tst_editor::oneDigitHourKept()
{
    // A valid time followed by a corrected temperature stays valid and is
    // registered in place.
    EditorFile file(QStringLiteral("10 . 20"));
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    e.setLoopText(0, QStringLiteral("1"));
    e.setAction(0, 1);
    e.setSensor(1, 0);
    e.setTemperature(1, QStringLiteral("31"));
    e.setHoldTime(1, QStringLiteral("1:30:00"));
    e.setTemperature(1, QStringLiteral("30"));
    QCOMPARE(e.row(1).mark, QStringLiteral("○"));
    QVERIFY(registers(e));
    QVERIFY(!view.questionTitles.contains(QStringLiteral("登録確認")));
    // In the instrument's widths, as "開く" takes a set back.
    QCOMPARE(EditorFile::value(QStringLiteral("STEP"), QStringLiteral("STEP1")),
             QStringLiteral("0 0 0 +030.00 01:30:00"));
    QCOMPARE(EditorFile::steps(0, 3), QStringLiteral("10 30 20 ."));
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")),
             QStringLiteral("1 1 0 2"));
}

void tst_editor::summaryText()
{
    QCOMPARE(PatternEditor::summaryLine(1, QStringLiteral("5"), 1, 10, 12),
             QStringLiteral("        1               5              継続             10      "
                            "             12\r\n"));

    EditorFile file(QStringLiteral("10 11 12 13 14"));
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    e.setLoopText(0, QStringLiteral("3"));
    e.setAction(0, 0);
    QVERIFY(registers(e));
    QCOMPARE(view.messages.value(0),
             QStringLiteral("パターンNo　ループ回数　到達後　開始ステップ　終了ステップ\r\n"
                            "        0               3              終了             00      "
                            "             04\r\n"
                            "       パターンを登録しました。"));
}

void tst_editor::reopenKeepsExtent()
{
    EditorFile file(
        QStringLiteral("10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30"));
    {
        RecordingView view;
        PatternEditor e(ini(), &view);
        e.open();
        e.addBlock();
        e.addBlock();
        e.setLoopText(0, QStringLiteral("2"));
        e.setAction(0, 1);
        QVERIFY(registers(e));
    }
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")),
             QStringLiteral("2 1 0 20"));
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    QCOMPARE(visibility(e), QStringLiteral("1001111111"));
    QVERIFY(registers(e));
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")),
             QStringLiteral("2 1 0 20"));
    QCOMPARE(EditorFile::steps(19, 21), QStringLiteral("29 30 ."));
}

void tst_editor::unregisteredRecords_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("stars from the instrument") << "* * * * *"
                                               << "* * * *";
    QTest::newRow("sensor index out of the list") << "7 0 0 +040.00 00:00:10"
                                                  << "abc 1 0 0";
    QTest::newRow("four fields") << "0 0 0 +040.00"
                                 << "1";
}

void tst_editor::unregisteredRecords()
{
    QFETCH(QString, step);
    QFETCH(QString, pattern);
    EditorFile file;
    ini().IniWrite(QStringLiteral("STEP"), QStringLiteral("STEP0"), step);
    ini().IniWrite(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0"), pattern);
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    QCOMPARE(e.row(0).sensor, PatternEditor::FreeSensor);
    QCOMPARE(e.row(0).temp, QStringLiteral("+040.00"));
    QCOMPARE(e.row(0).mark, QString());
    QCOMPARE(e.pattern(0).loop, QString());
    QCOMPARE(e.pattern(0).action, PatternEditor::BlankAction);
    QVERIFY(!registers(e));
    QCOMPARE(EditorFile::value(QStringLiteral("STEP"), QStringLiteral("STEP0")), QString());
}

// The plan of pattern 0 as the editor holds it, before any registration:
// the file's steps, rows typed on the page, a block beyond the page.
void tst_editor::typedPlan_data()
{
    QTest::addColumn<QString>("steps"); // the file's, as tokens
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("typed"); // "row temperature time" on the page shown
    QTest::addColumn<QString>("loop");  // typed, if not empty
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("runs"); // of one loop: 1 a step that runs, 0 a gap
    QTest::newRow("as registered, two loops") << "10 11"
                                              << "2 1 0 1"
                                              << ""
                                              << ""
                                              << "ステップ数 2　ループ 2 回　保持時間の合計 0:00:40"
                                              << "11";
    QTest::newRow("a step marked invalid is a gap")
        << "10 x 12"
        << "1 1 0 2"
        << ""
        << ""
        << "ステップ数 3　ループ 1 回　保持時間の合計 0:00:20"
        << "101";
    QTest::newRow("typed, nothing registered")
        << ""
        << ""
        << "0 20 0:1:0"
        << "3"
        << "ステップ数 1　ループ 3 回　保持時間の合計 0:03:00"
        << "1";
    QTest::newRow("a zero hold typed after") << "10"
                                             << "1 1 0 0"
                                             << "1 15 0"
                                             << ""
                                             << "ステップ数 2　ループ 1 回　保持時間の合計 0:00:10"
                                             << "11";
    QTest::newRow("a second block from the file")
        << "10 10 10 10 10 10 10 10 10 10 20"
        << "1 1 0 10"
        << ""
        << ""
        << "ステップ数 11　ループ 1 回　保持時間の合計 0:01:50"
        << "11111111111";
    QTest::newRow("without end") << "10"
                                 << "0 0 0 0"
                                 << ""
                                 << ""
                                 << "ステップ数 1　ループ 無限　保持時間の合計 0:00:10（1 ループ）"
                                 << "1";
    QTest::newRow("a loop count it does not take") << "10"
                                                   << "1 1 0 0"
                                                   << ""
                                                   << "x"
                                                   << ""
                                                   << "";
}

void tst_editor::typedPlan()
{
    QFETCH(QString, steps);
    QFETCH(QString, pattern);
    QFETCH(QString, typed);
    QFETCH(QString, loop);
    QFETCH(QString, summary);
    QFETCH(QString, runs);
    EditorFile file(steps, {pattern});
    RecordingView view;
    PatternEditor e(ini(), &view);
    e.open();
    if (!typed.isEmpty()) {
        const QStringList t = typed.split(QLatin1Char(' '));
        const int r = t.at(0).toInt();
        e.setSensor(r, 0);
        e.setTemperature(r, t.at(1));
        e.setHoldTime(r, t.at(2));
    }
    if (!loop.isEmpty())
        e.setLoopText(0, loop);
    const PatternPlan plan = PatternPlan::fromEditor(e, ini());
    QCOMPARE(plan.isValid() ? plan.summaryLine() : QString(), summary);
    QString shown;
    for (const PlannedStep &s : plan.steps())
        if (s.loop == 1)
            shown += s.registered() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(shown, runs);
}

void tst_editor::deleteAll()
{
    EditorFile file(QStringLiteral("10 11 12 13 14 15 16 17 18 19 20"),
                    {QStringLiteral("1 1 0 10")});
    RecordingView view;
    view.answers = {false, true};
    PatternEditor e(ini(), &view);
    e.open();
    e.addBlock();
    e.deleteAll(); // declined
    QCOMPARE(EditorFile::steps(0, 1), QStringLiteral("10 11"));
    e.deleteAll();
    QCOMPARE(view.questions, QStringList(2, QStringLiteral("削除しますか？")));
    QCOMPARE(EditorFile::steps(0, 11), QStringLiteral(". . . . . . . . . . . ."));
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")), QString());
    QCOMPARE(visibility(e), QStringLiteral("1111111111"));
    QCOMPARE(e.pattern(0).loop, QString());
    QCOMPARE(shownSteps(e, 0, 1), QStringLiteral(". ."));
}

// ---------------------------------------------------------------- window

namespace {

frmOperation_setting *openEditor(KRM2200 *w)
{
    w->menuItem(QStringLiteral("set_dousa"))->trigger();
    return qobject_cast<frmOperation_setting *>(
        w->loadedWindow(QStringLiteral("frmOperation_setting")));
}

// Types as a keyboard would, full-width characters included.
void typeText(QLineEdit *box, const QString &text)
{
    box->setFocus();
    box->selectAll();
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

void typeStep(frmOperation_setting *f, int r, int sensor, const QString &temp, const QString &time)
{
    f->Combo_s[r]->setFocus();
    f->Combo_s[r]->setCurrentIndex(sensor);
    Q_EMIT f->Combo_s[r]->activated(sensor);
    typeText(f->mond_t[r], temp);
    typeText(f->hoji_t[r], time);
}

void saveShot(QWidget *editor, const QString &name)
{
    const QString folder = qEnvironmentVariable("KRM_EDITOR_SHOTS");
    if (folder.isEmpty())
        return;
    QWidget *sub = editor->parentWidget();
    sub->resize(sub->size().expandedTo(sub->minimumSizeHint()));
    editor->window()->resize(editor->window()->size().expandedTo(sub->size() + QSize(40, 160)));
    editor->window()->grab().save(folder + QLatin1Char('/') + name);
}

} // namespace

void tst_editor::windowRegistersAndWrites()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    frmOperation_setting *f = openEditor(w);
    QVERIFY(f);
    QVERIFY(!w->state().operation.flg_d);
    // The stored configuration holds two steps of pattern 0.
    QCOMPARE(f->mond_t[1]->text(), QStringLiteral("+040.00"));
    QCOMPARE(f->Jikkou_l[1]->text(), QStringLiteral("○"));

    typeStep(f, 2, 0, QStringLiteral("４５．５"), QStringLiteral("0:0:90"));
    typeStep(f, 3, 1, QStringLiteral("50"), QStringLiteral("60")); // PT100B is not in use
    typeStep(f, 4, 0, QStringLiteral("40.03"), QStringLiteral("60"));
    typeStep(f, 5, 0, QStringLiteral("30"), QStringLiteral("10:00:01"));
    typeStep(f, 6, 0, QStringLiteral("25"), QStringLiteral("120"));
    QCOMPARE(f->mond_t[2]->text(), QStringLiteral("45.5"));
    const QStringList marks{
        QStringLiteral("○"), QStringLiteral("○"), QStringLiteral("○"), QStringLiteral("×"),
        QStringLiteral("×"), QStringLiteral("×"), QStringLiteral("○"), QString()};
    for (int r = 0; r < marks.size(); ++r)
        QCOMPARE(f->Jikkou_l[r]->text(), marks.at(r));
    QCOMPARE(f->mond_t[4]->palette().color(QPalette::Text), QColor(255, 0, 0));
    QCOMPARE(f->mond_t[5]->palette().color(QPalette::Text), QColor(0, 0, 0));
    QCOMPARE(f->Combo_s[3]->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    saveShot(f, QStringLiteral("editor-marks.png"));
    // A row marked "×" is heard as dropped, with why, on each of its controls.
    const QStringList heard{QString(), QStringLiteral("登録されません：センサ未使用"),
                            QStringLiteral("登録されません：設定温度不正"),
                            QStringLiteral("登録されません：保持時間不正"), QString()};
    for (int r = 2; r <= 6; ++r) {
        for (QWidget *part : std::initializer_list<QWidget *>{f->stepno_l[r], f->Combo_s[r],
                                                              f->mond_t[r], f->hoji_t[r]})
            QCOMPARE(part->accessibleDescription(), heard.at(r - 2));
    }

    // The plan follows the rows as typed, the rows marked "×" left as gaps.
    QCOMPARE(f->Plan_l->text(),
             QStringLiteral("ステップ数 7　ループ 1 回　保持時間の合計 0:04:30"));
    QCOMPARE(f->Plan->accessibleDescription(), f->Plan_l->text());

    QTest::mouseClick(f->ck_mugen[0], Qt::LeftButton);
    QCOMPARE(f->Plan_l->text(),
             QStringLiteral("ステップ数 7　ループ 無限　保持時間の合計 0:04:30（1 ループ）"));
    QCOMPARE(f->loop_t[0]->text(), QStringLiteral("0"));
    QVERIFY(f->loop_t[0]->isReadOnly());
    QVERIFY(!f->Combo_k[0]->isEnabled());

    // Three typed steps would be lost: asked first; No keeps every box.
    const QString before = EditorFile::value(QStringLiteral("STEP"), QStringLiteral("STEP3"));
    fx.dialogs->answerQuestion(false);
    QTest::mouseClick(f->OK_c, Qt::LeftButton);
    const ScriptedDialogs::Record asked = fx.dialogs->questions().last();
    QCOMPARE(asked.title, QStringLiteral("登録確認"));
    QVERIFY(!asked.defaultYes);
    QCOMPARE(asked.text, QStringLiteral("ステップ3：登録されません（条件外：センサ未使用）\n"
                                        "ステップ4：登録されません（条件外：設定温度不正）\n"
                                        "ステップ5：登録されません（条件外：保持時間不正）\n"
                                        "このまま登録しますか？"));
    QVERIFY(w->isLoaded(QStringLiteral("frmOperation_setting")));
    QCOMPARE(EditorFile::value(QStringLiteral("STEP"), QStringLiteral("STEP3")), before);
    QCOMPARE(f->hoji_t[5]->text(), QStringLiteral("10:00:01"));
    QCOMPARE(f->mond_t[4]->text(), QStringLiteral("40.03"));
    QCOMPARE(f->mond_t[6]->text(), QStringLiteral("25"));
    for (int r = 0; r < marks.size(); ++r)
        QCOMPARE(f->Jikkou_l[r]->text(), marks.at(r));
    QVERIFY(f->OK_c->isEnabled());

    // Yes registers; the summary stands over the grid as registered, then
    // the write is offered and Yes sends everything.
    QStringList shownAtSummary;
    fx.dialogs->onMessage = [&](const ScriptedDialogs::Record &r) {
        if (r.title == QStringLiteral("確認"))
            shownAtSummary = {f->mond_t[3]->text(), f->hoji_t[3]->text(), f->mond_t[4]->text()};
    };
    fx.dialogs->answerQuestion(true);
    fx.dialogs->answerQuestion(true);
    fx.sim->clearReceivedCommands();
    QTest::mouseClick(f->OK_c, Qt::LeftButton);
    fx.dialogs->onMessage = nullptr;
    QCOMPARE(shownAtSummary, (QStringList{QStringLiteral("+025.00"), QStringLiteral("00:02:00"),
                                          QStringLiteral("+040.00")}));
    const ScriptedDialogs::Record offer = fx.dialogs->questions().last();
    QCOMPARE(offer.title, QStringLiteral("書込み確認"));
    QCOMPARE(offer.text, QStringLiteral("登録したパターンは本体書込で本体に送られます。\n"
                                        "今すぐ本体へ書き込みますか？"));
    QVERIFY(!offer.defaultYes);
    QTRY_VERIFY(!w->isLoaded(QStringLiteral("frmOperation_setting")));
    if (!qEnvironmentVariableIsEmpty("KRM_EDITOR_SHOTS")) {
        std::unique_ptr<QMessageBox> box(
            QtDialogs::makeQuestionBox(w, asked.text, asked.title, false));
        box->show();
        box->grab().save(qEnvironmentVariable("KRM_EDITOR_SHOTS") +
                         QStringLiteral("/editor-drop-question.png"));
    }
    QCOMPARE(EditorFile::value(QStringLiteral("PATTERN"), QStringLiteral("PATTERN0")),
             QStringLiteral("0 0 0 3"));

    QTRY_COMPARE(fx.dialogs->lastMessage().text, QStringLiteral("書き込み完了しました。"));
    const QStringList sent = fx.commands();
    QVERIFY(sent.contains(QStringLiteral("MKP 0 0 0 0 3")));
    // Temperature and hold time go in the instrument's widths, as they are
    // registered.
    QVERIFY(sent.contains(QStringLiteral("MKS 2 0 0 0 +045.50 00:01:30")));
    QVERIFY(sent.contains(QStringLiteral("MKS 3 0 0 0 +025.00 00:02:00")));
    QVERIFY(sent.contains(QStringLiteral("RS 4")));
    QVERIFY(sent.contains(QStringLiteral("RP 1")));
    QCOMPARE(sent.last(), QStringLiteral("SAVE"));
}

void tst_editor::popupAndCloseQuestion()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    frmOperation_setting *f = openEditor(w);
    QVERIFY(f);

    // A press on a step number chooses the row; the main window's menu inserts.
    QTest::mouseClick(f->stepno_l[1], Qt::LeftButton);
    QCOMPARE(f->in_index(), 1);
    w->menuItem(QStringLiteral("mnuPopmnuSub1"))->trigger();
    QCOMPARE(f->Combo_s[1]->currentIndex(), PatternEditor::FreeSensor);
    QCOMPARE(f->mond_t[2]->text(), QStringLiteral("+040.00"));
    QCOMPARE(f->Jikkou_l[2]->text(), QStringLiteral("○"));
    fx.dialogs->answerQuestion(true);
    w->menuItem(QStringLiteral("mnuPopmnuSub2"))->trigger();
    QCOMPARE(f->Jikkou_l[1]->text(), QStringLiteral("○"));
    QCOMPARE(f->Jikkou_l[2]->text(), QString());

    QTest::mouseClick(f->StepAdd_c, Qt::LeftButton);
    QVERIFY(f->O_go[1]->isHidden());
    saveShot(f, QStringLiteral("editor-extended.png"));
    QTest::mouseClick(f->Stepdel_c, Qt::LeftButton);
    QVERIFY(!f->O_go[1]->isHidden());

    // The write asks; No stops the write and keeps the editor as typed.
    typeStep(f, 2, 0, QStringLiteral("60"), QStringLiteral("30"));
    fx.dialogs->answerQuestion(false);
    fx.sim->clearReceivedCommands();
    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    QCOMPARE(fx.dialogs->questions().last().title, QStringLiteral("動作設定確認"));
    QCOMPARE(w->loadedWindow(QStringLiteral("frmOperation_setting")), f);
    QCOMPARE(f->mond_t[2]->text(), QStringLiteral("60"));
    QVERIFY(fx.commands().isEmpty());

    // Yes registers what the window shows, then writes it.
    fx.dialogs->answerQuestion(true);
    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    QVERIFY(fx.commands().contains(QStringLiteral("MKP 0 1 0 0 2")));
    QVERIFY(fx.commands().contains(QStringLiteral("MKS 2 0 0 0 +060.00 00:00:30")));
    QCOMPARE(fx.dialogs->lastMessage().text, QStringLiteral("書き込み完了しました。"));
}

// The toolbar's write registers what the editor shows; "いいえ" to what
// would be dropped, a step typed without a sensor among it, leaves the
// editor open with every box as typed and writes nothing.
void tst_editor::writeDeclinedKeepsTheEditor()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    frmOperation_setting *f = openEditor(w);
    QVERIFY(f);
    typeStep(f, 2, 0, QStringLiteral("45"), QStringLiteral("30"));
    typeStep(f, 3, PatternEditor::FreeSensor, QStringLiteral("35"), QStringLiteral("20"));
    typeStep(f, 4, 0, QStringLiteral("40.03"), QStringLiteral("10"));
    const QString stored = EditorFile::steps(0, 9);

    fx.dialogs->answerQuestion(true);  // 動作設定確認: register and write
    fx.dialogs->answerQuestion(false); // 登録確認
    fx.sim->clearReceivedCommands();
    w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    const ScriptedDialogs::Record asked = fx.dialogs->questions().last();
    QCOMPARE(asked.title, QStringLiteral("登録確認"));
    QCOMPARE(asked.text, QStringLiteral("ステップ3：センサ番号が未選択のため登録されません\n"
                                        "ステップ4：登録されません（条件外：設定温度不正）\n"
                                        "このまま登録しますか？"));
    QCOMPARE(w->loadedWindow(QStringLiteral("frmOperation_setting")), f);
    const QStringList boxes{f->mond_t[2]->text(), f->hoji_t[2]->text(), f->mond_t[3]->text(),
                            f->hoji_t[3]->text(), f->mond_t[4]->text(), f->hoji_t[4]->text()};
    QCOMPARE(boxes, (QStringList{"45", "30", "35", "20", "40.03", "10"}));
    QCOMPARE(f->Combo_s[3]->currentIndex(), PatternEditor::FreeSensor);
    QCOMPARE(EditorFile::steps(0, 9), stored);
    QVERIFY(fx.commands().isEmpty());
    QVERIFY(w->toolButton(QStringLiteral("WRITE"))->isEnabled());

    // Closed now, it asks nothing more.
    const qsizetype questions = fx.dialogs->questions().size();
    QVERIFY(w->unloadWindow(QStringLiteral("frmOperation_setting")));
    QCOMPARE(fx.dialogs->questions().size(), questions);
}

QTEST_MAIN(tst_editor)
#include "tst_editor.moc"
