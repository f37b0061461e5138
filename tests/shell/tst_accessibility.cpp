// What a screen reader is told about every window the program shows, idle,
// while a log runs and after an alarm: a control's name is the text it shows
// (kept current, so never a copy taken when it was made), a control the user
// can reach without text of its own has a name, and every shown window says
// it is one and that it is visible. Windows are found through the main
// window's registry, so a window registered later is checked without a new
// test.

#include "ShellFixture.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>

#include <memory>

namespace {

enum class State { Idle, Logging, Alarm };

QString describe(const QWidget *w)
{
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

// A caption as it is read: "&&" is a literal ampersand, a single one only
// marks the shortcut letter.
QString withoutMnemonic(const QString &text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('&'))
                out += text.at(++i);
            continue;
        }
        out += text.at(i);
    }
    return out;
}

// The text `w` shows as its own caption or value, or a null text when it
// shows none (edit boxes, lists and combo boxes show data, not a caption).
QString shownText(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w)) {
        QString text = label->text();
        if (label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
            QTextDocument doc;
            doc.setHtml(text);
            text = doc.toPlainText();
        }
        return withoutMnemonic(text);
    }
    if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        return withoutMnemonic(button->text());
    if (const auto *box = qobject_cast<const QGroupBox *>(w))
        return withoutMnemonic(box->title());
    return {};
}

// Standard composite controls present their own parts.
bool ownsItsParts(const QWidget *w)
{
    return qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w);
}

void checkWindow(const QWidget *top, QStringList &problems)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(const_cast<QWidget *>(top));
    if (!iface) {
        problems << describe(top) + QStringLiteral(": no accessible interface");
        return;
    }
    const QAccessible::State state = iface->state();
    // A screen reader takes a window that lies partly outside its area (an
    // MDI sub-window beyond the main window's) for one that is not showing.
    if (state.invisible || state.offscreen)
        problems << QStringLiteral("%1 is shown but reported %2 (at %3,%4 %5x%6)")
                        .arg(describe(top), state.invisible ? QStringLiteral("invisible")
                                                            : QStringLiteral("off screen"))
                        .arg(top->x())
                        .arg(top->y())
                        .arg(top->width())
                        .arg(top->height());
    if (iface->role() != QAccessible::Window && iface->role() != QAccessible::Dialog)
        problems << QStringLiteral("%1 is a window but has role %2")
                        .arg(describe(top))
                        .arg(int(iface->role()));
    if (iface->text(QAccessible::Name).isEmpty())
        problems << describe(top) + QStringLiteral(" is a window without a name");
}

void checkControls(const QWidget *parent, const QString &path, QStringList &problems)
{
    if (qobject_cast<const QMdiSubWindow *>(parent))
        checkWindow(parent, problems);
    for (QObject *o : parent->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow() || !w->isVisible())
            continue;
        const QString where = path + QLatin1Char('/') + describe(w);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name) : QString();
        const QString text = shownText(w);
        if (iface && iface->state().invisible)
            problems << where + QStringLiteral(" is shown but reported invisible");
        const auto *label = qobject_cast<const QLabel *>(w);
        if (!text.isEmpty()) {
            if (name != text)
                problems << QStringLiteral("%1 shows \"%2\" but is announced \"%3\"")
                                .arg(where, text, name);
        } else if (label && label->pixmap().isNull()) {
            // A value label showing nothing yet: a name set by hand (its
            // caption) would stay once it shows a value.
            if (!w->accessibleName().isEmpty())
                problems << QStringLiteral("%1 shows nothing but is named \"%2\" by hand")
                                .arg(where, w->accessibleName());
        } else if (w->focusPolicy() != Qt::NoFocus && !w->focusProxy() && name.isEmpty()) {
            // (A control that hands its focus on, as a tab widget to its tab
            // bar, is reached through the one it hands it to.)
            problems << where + QStringLiteral(" can take the focus but has no name");
        }
        if (!ownsItsParts(w))
            checkControls(w, where, problems);
    }
}

QStringList problemsOf(const QWidget *top)
{
    QStringList problems;
    if (!qobject_cast<const QMdiSubWindow *>(top))
        checkWindow(top, problems);
    checkControls(top, describe(top), problems);
    return problems;
}

} // namespace

class tst_Accessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void windows_data();
    void windows();

private:
    bool enter(State state);

    std::unique_ptr<ShellFixture> m_fx;
    KRM2200 *m_w = nullptr;
    State m_state = State::Idle;
};

void tst_Accessibility::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_fx = std::make_unique<ShellFixture>();
    // A window may ask something when it closes, a stopped log about its
    // memo; any answer will do here.
    m_fx->dialogs->onUnexpected = [](const ScriptedDialogs::Record &) {};
    QVERIFY(m_fx->startSim());
    m_w = m_fx->readyWindow();
    m_fx->presetLiveLog(m_w);
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
}

void tst_Accessibility::cleanupTestCase()
{
    m_fx.reset();
}

// Moves the program on to `state`; the states are visited in order.
bool tst_Accessibility::enter(State state)
{
    if (state == m_state)
        return true;
    if (state == State::Logging) {
        m_w->startLog();
        if (!QTest::qWaitFor([this] { return m_w->logRecording() && param().LogCount >= 1; },
                             10000))
            return false;
    } else if (state == State::Alarm) {
        m_fx->sim->withEngine([](SimEngine &e) { e.raiseAlarm(QStringLiteral("001")); });
        if (!QTest::qWaitFor(
                [this] { return !m_w->logRecording() && !m_w->state().alarm.code.isEmpty(); },
                10000))
            return false;
    }
    m_state = state;
    return true;
}

void tst_Accessibility::windows_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    const QString names[] = {QStringLiteral("idle"), QStringLiteral("logging"),
                             QStringLiteral("alarm")};
    for (int s = 0; s < 3; ++s) {
        const QString prefix = names[s] + QLatin1Char(' ');
        QTest::newRow(qPrintable(prefix + QStringLiteral("main window"))) << s << QString();
        for (const QString &name : m_w->registeredWindowNames())
            QTest::newRow(qPrintable(prefix + name)) << s << name;
        // Whatever else is on screen in this state (the alarm window).
        QTest::newRow(qPrintable(prefix + QStringLiteral("other windows")))
            << s << QStringLiteral("*");
    }
}

void tst_Accessibility::windows()
{
    QFETCH(int, state);
    QFETCH(QString, name);
    QVERIFY(enter(State(state)));

    QList<const QWidget *> tops;
    if (name.isEmpty()) {
        m_w->openWindow(QStringLiteral("frmToppage"));
        tops << m_w;
    } else if (name == QLatin1String("*")) {
        for (const QWidget *top : QApplication::topLevelWidgets())
            if (top != m_w && top->isVisible())
                tops << top;
        if (State(state) == State::Alarm)
            QVERIFY2(!tops.isEmpty(), "no alarm window");
    } else {
        QWidget *widget = m_w->openWindow(name);
        QVERIFY2(widget, qPrintable(name));
        auto *sub = qobject_cast<QMdiSubWindow *>(widget->parentWidget());
        tops << (sub ? static_cast<QWidget *>(sub) : widget->window());
    }
    QStringList problems;
    for (const QWidget *top : std::as_const(tops)) {
        QVERIFY(QTest::qWaitForWindowExposed(top->window()));
        QCoreApplication::processEvents();
        problems << problemsOf(top);
    }
    if (!name.isEmpty() && name != QLatin1String("*"))
        m_w->unloadWindow(name);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

int main(int argc, char *argv[])
{
    // A common laptop screen rather than the offscreen platform's 800 x 600:
    // on a screen smaller than the main window's design, a sub-window cannot
    // lie wholly inside the main window, and that says nothing of the program.
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KRM_DESKTOP_SCREEN);
    QApplication app(argc, argv);
    tst_Accessibility test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_accessibility.moc"
