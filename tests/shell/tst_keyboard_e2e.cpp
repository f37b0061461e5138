// A day at the instrument without a mouse: a pattern edited, registered and
// written, a log with a fixed-value run that an alarm ends, the alarm
// cleared, another run stopped from the graph, and the log ended with its
// memo. Every step is a key, sent where
// the keyboard's focus is (an open menu, the focused control, the active
// window), and dialogs are answered by script. No mouse event reaches any
// window meanwhile.

#include "ShellFixture.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QWindow>

namespace {

// Counts mouse presses anywhere in the program.
class MouseWatch : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type t = event->type();
        if (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick)
            ++presses;
        return QObject::eventFilter(watched, event);
    }
};

QWidget *visibleTopLevel(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name && top->isVisible())
            return top;
    }
    return nullptr;
}

QPointer<QWidget> g_main;

// Where a key goes: an open menu, the focused control, the active window.
QWidget *keyTarget()
{
    // The offscreen platform makes a menu the active window and leaves it so
    // once the menu has closed; a window system never makes a menu active, so
    // the keys stay with the window the menu belongs to.
    QWidget *active = QApplication::activeWindow();
    if (!QApplication::activePopupWidget() && g_main && g_main->isVisible() &&
        (qobject_cast<QMenu *>(active) || (active && !active->isVisible()))) {
        // (The menu's window belongs to the main one, so the main window
        // counts as active already and activateWindow() would do nothing.)
        QWindow *own = g_main->windowHandle();
        own->requestActivate();
        // Keys sent before the window system hands the focus over would be
        // lost: no target, and the press fails saying where keys would go.
        if (!QTest::qWaitFor([own] { return QGuiApplication::focusWindow() == own; }))
            return nullptr;
    }
    if (QWidget *popup = QApplication::activePopupWidget())
        return popup;
    if (QWidget *focus = QApplication::focusWidget())
        return focus;
    return QApplication::activeWindow();
}

QString nameOf(const QObject *o)
{
    return o ? QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(':') +
                   o->objectName()
             : QStringLiteral("none");
}

QStringList g_focusHistory;

// For a failure: where keys would go, and why.
QString whereKeysGo()
{
    return QStringLiteral("active %1, focus %2, popup %3, focus window %4; focus windows: %5")
        .arg(nameOf(QApplication::activeWindow()), nameOf(QApplication::focusWidget()),
             nameOf(QApplication::activePopupWidget()), nameOf(QGuiApplication::focusWindow()),
             g_focusHistory.mid(std::max<qsizetype>(0, g_focusHistory.size() - 12))
                 .join(QStringLiteral(" > ")));
}

bool press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    // A window that has just closed hands the keys on through the event loop.
    if (!QTest::qWaitFor([] { return keyTarget() != nullptr; }, 10000))
        return false;
    QWidget *target = keyTarget();
    if (!target)
        return false;
    QTest::keyClick(target, Qt::Key(key), modifiers);
    return true;
}

bool type(const QString &text)
{
    QWidget *target = keyTarget();
    if (!target)
        return false;
    QTest::keyClicks(target, text);
    return true;
}

// Presses `key` until `target` has the focus; false when it never does.
bool moveFocusTo(const QWidget *target, int key = Qt::Key_Tab, int limit = 300)
{
    for (int i = 0; i < limit; ++i) {
        if (QApplication::focusWidget() == target)
            return true;
        if (!press(key))
            return false;
    }
    return QApplication::focusWidget() == target;
}

// A menu entry by the keys its captions underline.
bool menu(int top, int entry)
{
    return press(top, Qt::AltModifier) && QApplication::activePopupWidget() && press(entry);
}

QWidget *toolButton(KRM2200 *w, const char *key)
{
    return w->Toolbar1->widgetForAction(w->toolButton(QLatin1String(key)));
}

// Field 4 of a step record: "sensor heater fan temp time".
double setTemperature(const QString &step)
{
    return step.section(QLatin1Char(' '), 3, 3).toDouble();
}

template <typename T> T *child(KRM2200 *w, const char *window, const char *name)
{
    QWidget *top = w->loadedWindow(QLatin1String(window));
    return top ? top->findChild<T *>(QLatin1String(name)) : nullptr;
}

} // namespace

class tst_KeyboardE2E : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void toolbarKeys();
    void editorTabs_data();
    void editorTabs();
    void editorKeys_data();
    void editorKeys();
    void wholeDay();

private:
    // A fixed-value run at `temp` from the control menu.
    static bool runFixed(KRM2200 *w, const QString &temp);
};

bool tst_KeyboardE2E::runFixed(KRM2200 *w, const QString &temp)
{
    if (!menu(Qt::Key_C, Qt::Key_T))
        return false;
    auto *box = child<QLineEdit>(w, "frmFix_control", "M_T");
    auto *run = child<QPushButton>(w, "frmFix_control", "RUN_C");
    // The box selects its text when it takes the focus, so typing replaces it.
    return box && run && moveFocusTo(box) &&
           QTest::qWaitFor([box] { return box->hasSelectedText(); }) && type(temp) &&
           box->text() == temp && moveFocusTo(run) && press(Qt::Key_Space);
}

// Every command has its own key, named in its tip; Tab reaches the toolbar,
// and its arrows pass over what is disabled.
void tst_KeyboardE2E::toolbarKeys()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    QSet<QKeySequence> keys;
    for (const char *key : {"LOAD", "SAVE", "READ", "WRITE", "LOG", "ACLR", "STOP"}) {
        const QKeySequence k = w->toolButton(QLatin1String(key))->shortcut();
        QVERIFY2(!k.isEmpty() && !keys.contains(k), key);
        // Alt is the menus'.
        QVERIFY2(!(k[0].keyboardModifiers() & Qt::AltModifier), key);
        keys.insert(k);
        QVERIFY(w->toolButton(QLatin1String(key))
                    ->toolTip()
                    .contains(k.toString(QKeySequence::NativeText)));
    }

    QVERIFY(moveFocusTo(toolButton(w, "LOAD")));
    // The focused button is framed in the highlight colour.
    const QImage shot = toolButton(w, "LOAD")->grab().toImage();
    QCOMPARE(shot.pixelColor(shot.width() / 2, 1),
             w->palette().color(QPalette::Active, QPalette::Highlight));
    QVERIFY(moveFocusTo(toolButton(w, "LOG"), Qt::Key_Right, 10));
    // ACLR and STOP are disabled: the bar goes round to its start.
    QVERIFY(press(Qt::Key_Right));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOAD"));
    QVERIFY(press(Qt::Key_Left));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOG"));
    QVERIFY(press(Qt::Key_Home));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOAD"));
    QVERIFY(press(Qt::Key_End));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOG"));

    // Tab goes from a window of the work area on to the bar, not round the
    // window, and from either end of the bar back into the window.
    QWidget *page = w->openWindow(QStringLiteral("frmToppage"));
    QVERIFY(page);
    auto inPage = [page] { return page->isAncestorOf(QApplication::focusWidget()); };
    QVERIFY(press(Qt::Key_Tab));
    QVERIFY(inPage());
    QVERIFY(moveFocusTo(toolButton(w, "LOAD"), Qt::Key_Tab, 20));
    QVERIFY(press(Qt::Key_Backtab, Qt::ShiftModifier));
    QVERIFY(inPage());
    QVERIFY(moveFocusTo(toolButton(w, "LOG"), Qt::Key_Backtab, 20));
    QVERIFY(press(Qt::Key_Tab));
    QVERIFY(inPage());
    // Round the window: the bar's end leads to its first control, whichever
    // control the window was left from, and Shift+Tab from the bar's start
    // to its last.
    QWidget *first = QApplication::focusWidget();
    QVERIFY(moveFocusTo(toolButton(w, "LOAD"), Qt::Key_Tab, 20));
    QVERIFY(press(Qt::Key_Backtab, Qt::ShiftModifier));
    QWidget *last = QApplication::focusWidget();
    QVERIFY(first != last && inPage());
    QVERIFY(press(Qt::Key_Tab));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOAD"));
    QVERIFY(press(Qt::Key_End));
    QVERIFY(press(Qt::Key_Tab));
    QCOMPARE(QApplication::focusWidget(), first);
    QVERIFY(press(Qt::Key_Backtab, Qt::ShiftModifier));
    QCOMPARE(QApplication::focusWidget(), toolButton(w, "LOG"));
    QVERIFY(press(Qt::Key_Home));
    QVERIFY(press(Qt::Key_Backtab, Qt::ShiftModifier));
    QCOMPARE(QApplication::focusWidget(), last);

    // Ctrl+Tab in a window of pages turns its page, round at the ends.
    QWidget *settings = w->openWindow(QStringLiteral("frmDetailed_setting"));
    auto *pages = settings ? settings->findChild<QTabWidget *>() : nullptr;
    QVERIFY(pages && pages->count() > 1);
    for (int i = 0; i < 60 && !pages->isAncestorOf(QApplication::focusWidget()); ++i)
        QVERIFY(press(Qt::Key_Tab));
    QVERIFY(pages->isAncestorOf(QApplication::focusWidget()));
    QVERIFY(press(Qt::Key_Tab, Qt::ControlModifier));
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(w->findChild<QMdiArea *>()->activeSubWindow()->widget(), settings);
    QVERIFY(press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier));
    QCOMPARE(pages->currentIndex(), pages->count() - 1);
}

// The editor's Tab path: the chosen pattern, its steps row by row, then the
// buttons. The step numbers are no stops: a row's boxes open its menu.
void tst_KeyboardE2E::editorTabs_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<bool>("stepMenu"); // the menu key there opens the step menu
    QTest::newRow("first temperature") << "mond_t_0" << 5 << true;
    QTest::newRow("second row's sensor") << "Combo_s_1" << 7 << true;
    QTest::newRow("OK") << "OK_c" << 39 << false;
}

void tst_KeyboardE2E::editorTabs()
{
    QFETCH(QString, target);
    QFETCH(int, tabs);
    QFETCH(bool, stepMenu);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    g_main = w;
    QVERIFY(QTest::qWaitForWindowActive(w));
    QVERIFY(menu(Qt::Key_S, Qt::Key_D));
    QWidget *editor = w->loadedWindow(QStringLiteral("frmOperation_setting"));
    QVERIFY(editor);
    QTRY_VERIFY(editor->isAncestorOf(QApplication::focusWidget()));
    QCOMPARE(nameOf(QApplication::focusWidget()), QStringLiteral("QRadioButton:O_go_0"));
    auto *goal = editor->findChild<QWidget *>(target);
    int n = 0;
    for (; n < 150 && QApplication::focusWidget() != goal; ++n)
        QVERIFY(press(Qt::Key_Tab));
    QCOMPARE(n, tabs);
    // The boxes passed over keep no selection, however fast the keys came.
    QCoreApplication::processEvents();
    for (auto *box : editor->findChildren<QLineEdit *>())
        QVERIFY2(box == goal || !box->hasSelectedText(), qPrintable(box->objectName()));
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), goal->mapToGlobal(QPoint()));
    QApplication::sendEvent(goal, &menuKey);
    QCOMPARE(QApplication::activePopupWidget() == w->mnuPopmnu(), stepMenu);
}

// OK is the default and has a key; Enter in a text box keeps the window, as
// the value there may be half typed.
void tst_KeyboardE2E::editorKeys_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("registered");
    QTest::addColumn<bool>("open");
    const int alt = Qt::AltModifier;
    QTest::newRow("Alt+O in a text box") << "mond_t_1" << int(Qt::Key_O) << alt << true << false;
    QTest::newRow("Enter in a text box") << "mond_t_1" << int(Qt::Key_Return) << 0 << false << true;
    QTest::newRow("Enter on a sensor") << "Combo_s_2" << int(Qt::Key_Return) << 0 << true << false;
    QTest::newRow("Enter on 次ページ") << "tugi" << int(Qt::Key_Return) << 0 << false << true;
    QTest::newRow("Alt+X") << "mond_t_1" << int(Qt::Key_X) << alt << false << false;
}

void tst_KeyboardE2E::editorKeys()
{
    QFETCH(QString, from);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, registered);
    QFETCH(bool, open);
    ShellFixture fx;
    QVERIFY(fx.startSim());
    KRM2200 *w = fx.readyWindow();
    g_main = w;
    QVERIFY(QTest::qWaitForWindowActive(w));
    fx.dialogs->answerQuestion(false); // not written to the instrument now
    QVERIFY(menu(Qt::Key_S, Qt::Key_D));
    auto *ok = child<QPushButton>(w, "frmOperation_setting", "OK_c");
    QVERIFY(ok && ok->isDefault());
    QVERIFY(moveFocusTo(child<QWidget>(w, "frmOperation_setting", "mond_t_1")));
    QVERIFY(press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(type(QStringLiteral("35")));
    QVERIFY(moveFocusTo(child<QWidget>(w, "frmOperation_setting", qPrintable(from))));
    QVERIFY(press(key, Qt::KeyboardModifiers(modifiers)));
    QTRY_COMPARE(w->isLoaded(QStringLiteral("frmOperation_setting")), open);
    const QString step1 = ini().IniRead(QStringLiteral("STEP"), QStringLiteral("STEP1"));
    QCOMPARE(setTemperature(step1) == 35.0, registered);
}

void tst_KeyboardE2E::wholeDay()
{
    ShellFixture fx;
    QVERIFY(fx.startSim());
    MouseWatch mouse;
    qApp->installEventFilter(&mouse);
    g_focusHistory.clear();
    connect(qApp, &QGuiApplication::focusWindowChanged, this,
            [](QWindow *w) { g_focusHistory.append(nameOf(w)); });

    // Start-up, as the program begins.
    KRM2200 *w = fx.makeWindow();
    g_main = w;
    QCOMPARE(w->startUp(), KRM2200::StartResult::Ready);
    QVERIFY(QTest::qWaitForWindowActive(w));
    fx.dialogs->clear();
    fx.dialogs->answerQuestion(false); // the registered pattern: written later
    fx.dialogs->answerQuestion(false); // the log an alarm ends: no memo
    fx.dialogs->answerQuestion(true);  // the last log: with its memo

    // A pattern edited and registered: step 1 of pattern 0 now holds 35 °C.
    QVERIFY(menu(Qt::Key_S, Qt::Key_D));
    auto *temp = child<QLineEdit>(w, "frmOperation_setting", "mond_t_1");
    auto *ok = child<QPushButton>(w, "frmOperation_setting", "OK_c");
    QVERIFY(temp && ok);
    QVERIFY(moveFocusTo(temp));
    QVERIFY(press(Qt::Key_A, Qt::ControlModifier));
    QVERIFY(type(QStringLiteral("35")));
    QVERIFY(moveFocusTo(ok));
    QVERIFY(press(Qt::Key_Space));
    QTRY_VERIFY_WITH_TIMEOUT(!w->isLoaded(QStringLiteral("frmOperation_setting")), 20000);
    const QString step1 = ini().IniRead(QStringLiteral("STEP"), QStringLiteral("STEP1"));
    QVERIFY2(setTemperature(step1) == 35.0, qPrintable(step1));

    // 本体書込 by its key.
    QVERIFY(press(Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier));
    QTRY_COMPARE_WITH_TIMEOUT(fx.dialogs->lastMessage().text,
                              QStringLiteral("書き込み完了しました。"), 60000);
    const QString written = fx.sim->withEngine([](SimEngine &e) { return e.stepRecord(1); });
    QVERIFY2(setTemperature(written) == 35.0, qPrintable(written));

    // LOG START: Tab reaches the toolbar, the arrows move along it.
    QVERIFY(moveFocusTo(toolButton(w, "LOAD")));
    QVERIFY(moveFocusTo(toolButton(w, "LOG"), Qt::Key_Right, 10));
    QVERIFY(press(Qt::Key_Space));
    QTRY_VERIFY_WITH_TIMEOUT(w->logRecording() && param().LogCount >= 1, 20000);

    // A fixed-value run.
    QVERIFY(runFixed(w, QStringLiteral("40")));
    QTRY_VERIFY_WITH_TIMEOUT(fx.sim->withEngine([](SimEngine &e) { return e.isControlling(); }),
                             20000);

    // An alarm: its window is acknowledged with Escape.
    fx.sim->withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
    QPointer<QWidget> alarm;
    QTRY_VERIFY_WITH_TIMEOUT((alarm = visibleTopLevel(QStringLiteral("frmAlarm"))) != nullptr,
                             30000);
    QVERIFY(QTest::qWaitForWindowActive(alarm));
    // The window system hands the key to the window that has the keyboard,
    // as it would a real one: the program's own idea of the focused control
    // may still lie in the (disabled) main window while its status handling
    // goes on.
    QTRY_VERIFY2_WITH_TIMEOUT(alarm && QGuiApplication::focusWindow() == alarm->windowHandle(),
                              qPrintable(whereKeysGo()), 10000);
    QTest::keyClick(alarm->windowHandle(), Qt::Key_Escape);
    QTRY_VERIFY_WITH_TIMEOUT(!alarm || !alarm->isVisible(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(w->isEnabled() && !w->logRecording(), 10000);
    QVERIFY(QTest::qWaitForWindowActive(w));

    // ACLR by its key.
    QTRY_VERIFY_WITH_TIMEOUT(w->toolButton(QStringLiteral("ACLR"))->isEnabled(), 10000);
    QVERIFY(press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier));
    QVERIFY(fx.commands().contains(QStringLiteral("ACLR")));
    QVERIFY(!w->state().alarm.standing);
    QTRY_VERIFY_WITH_TIMEOUT(fx.sim->withEngine([](SimEngine &e) { return e.statusCode(); }) !=
                                 QLatin1String("04"),
                             10000);

    // Another run, watched on the graph, ended with the graph's "制御停止".
    QVERIFY(menu(Qt::Key_V, Qt::Key_G));
    QVERIFY(runFixed(w, QStringLiteral("30")));
    auto *stop = child<QPushButton>(w, "frmGraph", "Stop_c");
    QVERIFY(stop);
    QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), 20000);
    QVERIFY(moveFocusTo(stop));
    QVERIFY(press(Qt::Key_Space));
    QTRY_VERIFY_WITH_TIMEOUT(!fx.sim->withEngine([](SimEngine &e) { return e.isControlling(); }),
                             20000);
    QVERIFY(w->logRecording());

    // LOG STOP with the memo.
    QVERIFY(press(Qt::Key_L, Qt::ControlModifier));
    QTRY_VERIFY_WITH_TIMEOUT(w->isLoaded(QStringLiteral("frmMemo")), 20000);
    QVERIFY(!w->logRecording());
    auto *memo = child<QPlainTextEdit>(w, "frmMemo", "memo_t");
    auto *reg = child<QPushButton>(w, "frmMemo", "memoReg_c");
    QVERIFY(memo && reg);
    QVERIFY(moveFocusTo(memo));
    QVERIFY(type(QStringLiteral("Keyboard day: 40 then 30")));
    QVERIFY(moveFocusTo(reg));
    QVERIFY(press(Qt::Key_Space));
    QTRY_VERIFY_WITH_TIMEOUT(!w->isLoaded(QStringLiteral("frmMemo")), 10000);
    QVERIFY(ShellFixture::text(w->state().memo.logFile)
                .contains(QStringLiteral("Keyboard day: 40 then 30")));

    // Every question was the one expected, and asked.
    const QList<ScriptedDialogs::Record> questions = fx.dialogs->questions();
    QCOMPARE(questions.size(), 3);
    QCOMPARE(questions.at(0).title, QStringLiteral("書込み確認"));
    QVERIFY(questions.at(1).text.contains(QStringLiteral("メモを含めますか")));
    QVERIFY(questions.at(2).text.contains(QStringLiteral("メモを含めますか")));
    QCOMPARE(mouse.presses, 0);
}

QTEST_MAIN(tst_KeyboardE2E)
#include "tst_keyboard_e2e.moc"
