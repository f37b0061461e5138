// What a blind operator hears: the program itself runs on the simulated
// instrument, its keys are pressed as real key events through the X server
// (xdotool), and what the screen reader Orca would say is read back from its
// debug file. Every step waits on what Orca says. screen-reader-session.sh
// starts the desktop (X server, accessibility bus, openbox, Orca); without
// it the test is skipped.

#include "ShellFixture.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

// A wait that never ends the test by itself: it only stops one that hangs.
constexpr int kPatience = 30000;
// What Orca says of a control as it takes the keyboard: its name and role
// (a value or a selection may follow in an utterance of its own).
const QString kControl = QStringLiteral(
    "(push button|radio button|check box|combo box| text\\.$|label\\.$|page tab|spin button)");

// The utterances in Orca's debug file, in order. An utterance is written as
// "… - SPEECH OUTPUT: 'text'{voice}", its further lines indented.
QStringList utterances(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QString log = QString::fromUtf8(f.readAll());
    static const QRegularExpression entry(QStringLiteral("SPEECH OUTPUT: '(.*?)' ?\\{"),
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression indent(QStringLiteral("\n\\s+"));
    QStringList said;
    for (auto it = entry.globalMatch(log); it.hasNext();)
        said << it.next().captured(1).replace(indent, QStringLiteral("\n"));
    return said;
}

class Listener {
public:
    // From what Orca says next on.
    explicit Listener(QString path) : m_path(std::move(path)), m_heard(utterances(m_path).size()) {}

    // Waits until Orca says something matching `pattern` after what was
    // heard before; what it said up to there counts as heard.
    bool hear(const QString &pattern, QString *heard = nullptr)
    {
        const QRegularExpression re(pattern);
        return QTest::qWaitFor(
            [&] {
                const QStringList said = utterances(m_path);
                for (qsizetype i = m_heard; i < said.size(); ++i) {
                    if (re.match(said.at(i)).hasMatch()) {
                        m_heard = i + 1;
                        if (heard)
                            *heard = said.at(i);
                        return true;
                    }
                }
                return false;
            },
            kPatience);
    }
    QString recent() const
    {
        return utterances(m_path)
            .mid(std::max<qsizetype>(0, m_heard - 8))
            .join(QStringLiteral(" | "));
    }

private:
    QString m_path;
    qsizetype m_heard;
};

// Real key events, as xdotool names the keys ("ctrl+l", "Tab"), or the keys
// of a text with `how` "type".
bool press(const QString &keys, const QString &how = QStringLiteral("key"))
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), {how, QStringLiteral("--clearmodifiers"), keys});
    // The simulated instrument answers while the key is on its way.
    return QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, kPatience) &&
           xdotool.exitCode() == 0;
}

// The title of the window the X server hands the keys to.
QString activeWindowName()
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")});
    if (!QTest::qWaitFor([&] { return xdotool.state() == QProcess::NotRunning; }, kPatience))
        return {};
    return QString::fromUtf8(xdotool.readAllStandardOutput()).trimmed();
}

} // namespace

class tst_ScreenReader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void heard_data();
    void heard();
};

void tst_ScreenReader::initTestCase()
{
    const QString log = qEnvironmentVariable("KRM_ORCA_LOG");
    if (log.isEmpty())
        QSKIP("runs in screen-reader-session.sh");
    QVERIFY2(QTest::qWaitFor(
                 [&] { return utterances(log).contains(QStringLiteral("Screen reader on.")); },
                 kPatience),
             "Orca did not start");
}

// Each row is what the operator does and hears, one step a line:
//   key KEYS      keys pressed (xdotool's names), nothing awaited
//   type TEXT     TEXT typed, nothing awaited
//   hear RE       Orca says something matching RE
//   tab RE        Tab until Orca says something matching RE (at most 150)
//   next RE       Tab: the control Orca tells of matches RE
//   back RE       Shift+Tab: the control Orca tells of matches RE
//   moves         Tab: Orca says something, so the keys went somewhere
//   alarm CODE    the instrument raises an alarm
//   silent        the instrument stops answering
void tst_ScreenReader::heard_data()
{
    QTest::addColumn<QStringList>("steps");
    // The toolbar's ends while nothing runs: ACLR and STOP are disabled.
    const QString first = QStringLiteral("FILE読込 push button");
    const QString last = QStringLiteral("LOG START push button");
    // Round a window: from its last control to the toolbar, from the bar's
    // end to the window's first control RE, and back the other way.
    auto round = [&](const QString &re) {
        return QStringList{QStringLiteral("tab ") + first, QStringLiteral("tab ") + last,
                           QStringLiteral("next ") + re, QStringLiteral("back ") + last};
    };

    QTest::newRow("memo question, 現在値 keeps no keys") << QStringList{
        "key ctrl+l", "moves", "key ctrl+l", "hear 上記のファイルにメモを含めますか？",
        "key Escape", "moves"};
    QTest::newRow("link loss") << QStringList{
        "key ctrl+l", "moves", "silent",
        "hear KRM-2200との通信が途絶えました。\nケーブルと電源を確認してください。"};
    QTest::newRow("alarm") << QStringList{
        "key ctrl+l", "moves", "alarm 006",
        "hear 006 : 機器の内部温度に問題があります\n0℃以下、もしくは80℃以上です。", "key Escape"};
    QTest::newRow("editor: dropped step, 登録確認, Tab round")
        << QStringList{"tab パターン動作 push button",
                       "key space",
                       "hear パターン動作",
                       "tab 設定温度1",
                       "type 40.03",
                       "next 保持時間1",
                       "back 設定温度1",
                       "hear 登録されません：設定温度不正",
                       "tab OK\\(O\\) push button",
                       "key space",
                       "hear ステップ1：登録されません（条件外：設定温度不正）",
                       "key Escape"} +
               round(QStringLiteral("radio button"));
    QTest::newRow("センサと機器動作: Tab round")
        << QStringList{"tab センサと機器動作 push button", "key space", "hear センサと機器動作"} +
               round(QStringLiteral("page tab"));
    QTest::newRow("メモ: Tab round")
        << QStringList{"key ctrl+l", "moves",    "key ctrl+l", "hear メモを含めますか？",
                       "key Return", "hear メモ"} +
               round(QStringLiteral("^メモ text"));
}

void tst_ScreenReader::heard()
{
    QFETCH(QStringList, steps);
    Listener orca(qEnvironmentVariable("KRM_ORCA_LOG"));

    ShellFixture fx;
    QVERIFY(fx.startSim());
    QVERIFY(ShellFixture::writeCompleteConfig(fx.iniPath()));
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    // The program on the session's display, on the accessibility bus from
    // its start; the test itself stays off both (QT_QPA_PLATFORM=offscreen).
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(KRM2200_BIN), {QStringLiteral("--home"), fx.appDir(),
                                                QStringLiteral("--port"), fx.sim->devicePath()});
    auto end = qScopeGuard([&] {
        program.kill();
        program.waitForFinished();
    });
    // Ready once a control of its first window has the keyboard, and the
    // window system hands the keys to the main window again (the start-up's
    // splash has gone).
    QVERIFY2(orca.hear(QStringLiteral("KRM-2200.* frame")) && orca.hear(kControl),
             qPrintable(orca.recent()));
    QVERIFY(QTest::qWaitFor(
        [] { return activeWindowName().startsWith(QStringLiteral("KRM-2200")); }, kPatience));

    for (const QString &step : std::as_const(steps)) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString arg = step.section(QLatin1Char(' '), 1);
        bool done = false;
        if (verb == QLatin1String("key")) {
            done = press(arg);
        } else if (verb == QLatin1String("type")) {
            done = press(arg, QStringLiteral("type"));
        } else if (verb == QLatin1String("hear")) {
            done = orca.hear(arg);
        } else if (verb == QLatin1String("moves")) {
            done = press(QStringLiteral("Tab")) && orca.hear(kControl);
        } else if (verb == QLatin1String("tab")) {
            // Each press waits until Orca has told of the control reached:
            // a key sent sooner would move on before it is heard.
            const QRegularExpression re(arg);
            QString said;
            for (int i = 0; i < 150 && !done; ++i) {
                if (!press(QStringLiteral("Tab")) || !orca.hear(kControl, &said))
                    break; // Tab moved nowhere
                done = re.match(said).hasMatch();
            }
        } else if (verb == QLatin1String("next") || verb == QLatin1String("back")) {
            QString said;
            done = press(verb == QLatin1String("next") ? QStringLiteral("Tab")
                                                       : QStringLiteral("shift+Tab")) &&
                   orca.hear(kControl, &said) && QRegularExpression(arg).match(said).hasMatch();
        } else if (verb == QLatin1String("alarm")) {
            fx.sim->withEngine([&arg](SimEngine &e) { e.raiseAlarm(arg); });
            done = true;
        } else if (verb == QLatin1String("silent")) {
            SimFaults faults;
            faults.silent = true;
            fx.sim->setFaults(faults);
            done = true;
        }
        QVERIFY2(done, qPrintable(step + QStringLiteral(" — last heard: ") + orca.recent()));
    }
}

QTEST_MAIN(tst_ScreenReader)
#include "tst_screen_reader.moc"
