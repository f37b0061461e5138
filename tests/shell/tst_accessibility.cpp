// What a screen reader is told about every window the program shows, idle,
// while a log runs and after an alarm: a control's name is the text it shows
// (kept current, so never a copy taken when it was made), a control the user
// can reach without text of its own has a name, and every shown window says
// it is one and that it is visible. Windows are found through the main
// window's registry, so a window registered later is checked without a new
// test.
//
// The atspi* functions read the same over the accessibility bus, as a screen
// reader on Linux does; tst_accessibility_atspi runs them in a session of
// their own (atspi-session.sh), and elsewhere they are skipped.

#include "ShellFixture.h"
#include "core/app/LinkWatch.h"
#include "ui/control/PatternPlanView.h"
#include "ui/shell/LinkWatchWindows.h"
#include "ui/shell/frmSplashStart.h"
#include "ui/shell/frmSplashrw.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include <functional>
#include <map>
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

bool saysSomething(const QString &text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.isLetterOrNumber(); });
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
        if (qobject_cast<const QAbstractButton *>(w) && !text.isEmpty() && !saysSomething(text)) {
            // Dots or signs alone tell a listener nothing: such a button is
            // named for what it does.
            if (name == text || name.isEmpty())
                problems << QStringLiteral("%1 shows only \"%2\" and has no name of its own")
                                .arg(where, text);
        } else if (!text.isEmpty()) {
            // A value is heard after its caption.
            if (name != text && !(label && name.endsWith(text) && label->text() != name))
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

// ---- over the accessibility bus

struct AtspiNode {
    QString path;
    QString parent;
    QString role;
    QString name;
    QString description;
    QString text;
};

QString atspiPath(QObject *o)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(o);
    return iface ? QStringLiteral("/org/a11y/atspi/accessible/%1").arg(QAccessible::uniqueId(iface))
                 : QString();
}

// Whether this run reads the bus: in the session atspi-session.sh starts it
// must, elsewhere the reading is skipped.
bool atspiSession()
{
    return qEnvironmentVariableIsSet("KRM_ATSPI_SESSION");
}

// What the accessibility bus reports for this program, parents before their
// children, read by another process as a screen reader reads it. Empty, with
// `error` set, when it cannot be read.
QList<AtspiNode> readAtspi(int maxDepth, QString &error)
{
#ifdef KRM_ATSPI_TREE
    QProcess reader;
    reader.start(QStringLiteral(KRM_ATSPI_TREE),
                 {QString::number(QCoreApplication::applicationPid()), QString::number(maxDepth)});
    // The reader asks this program, which answers while it waits.
    if (!QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, 300000)) {
        reader.kill();
        reader.waitForFinished();
        error = QStringLiteral("the reader did not finish");
        return {};
    }
    if (reader.exitStatus() != QProcess::NormalExit || reader.exitCode() != 0) {
        error = QStringLiteral("the reader failed: ") +
                QString::fromLocal8Bit(reader.readAllStandardError());
        return {};
    }
    const QByteArray complaints = reader.readAllStandardError();
    if (!complaints.isEmpty())
        qInfo().noquote() << "the reader:" << QString::fromLocal8Bit(complaints);
    QList<AtspiNode> nodes;
    const QList<QByteArray> lines = reader.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue;
        nodes.append(
            {o.value(QLatin1String("path")).toString(), o.value(QLatin1String("parent")).toString(),
             o.value(QLatin1String("role")).toString(), o.value(QLatin1String("name")).toString(),
             o.value(QLatin1String("description")).toString(),
             o.value(QLatin1String("text")).toString()});
    }
    if (nodes.isEmpty())
        error = QStringLiteral("the reader found nothing");
    return nodes;
#else
    Q_UNUSED(maxDepth);
    error = QStringLiteral("built without Qt D-Bus");
    return {};
#endif
}

// The nodes below (and with) `root`; parents come first, so one pass does.
QList<AtspiNode> subtree(const QList<AtspiNode> &nodes, const QString &root)
{
    QList<AtspiNode> out;
    QSet<QString> inside{root};
    for (const AtspiNode &n : nodes) {
        if (n.path == root || inside.contains(n.parent)) {
            inside.insert(n.path);
            out.append(n);
        }
    }
    return out;
}

// What names a combo box to a sighted user: the name given to it, the label
// bound to it, or the titled group it sits in.
QString captionOf(const QComboBox *box)
{
    if (!box->accessibleName().isEmpty())
        return box->accessibleName();
    const QWidget *parent = box->parentWidget();
    for (const QLabel *label : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly)) {
        if (label->buddy() == box)
            return withoutMnemonic(label->text());
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(parent))
        return withoutMnemonic(group->title());
    return {};
}

QWidget *findTopLevel(const QString &name)
{
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->objectName() == name && top->isVisible())
            return top;
    }
    return nullptr;
}

bool isWindowRole(const QString &role)
{
    static const QStringList roles{QStringLiteral("frame"), QStringLiteral("dialog"),
                                   QStringLiteral("window"), QStringLiteral("alert"),
                                   QStringLiteral("alert message")};
    return roles.contains(role);
}

// What is heard wrong in the window `top`, read from `nodes`.
QStringList atspiProblems(QWidget *top, const QList<AtspiNode> &nodes)
{
    QStringList problems;
    const QList<AtspiNode> tree = subtree(nodes, atspiPath(top));
    if (tree.isEmpty())
        return {describe(top) + QStringLiteral(" is not on the accessibility bus")};
    QHash<QString, AtspiNode> byPath;
    for (const AtspiNode &n : tree)
        byPath.insert(n.path, n);
    QHash<QString, QWidget *> widgets;
    for (QWidget *w : top->findChildren<QWidget *>())
        widgets.insert(atspiPath(w), w);

    if (top->isWindow() && !isWindowRole(tree.first().role))
        problems << QStringLiteral("%1 is heard as a %2, not as a window")
                        .arg(describe(top), tree.first().role);
    if (top->isWindow() && tree.first().name.isEmpty())
        problems << describe(top) + QStringLiteral(" is a window without a name");

    // Every combo box by its caption, its choice as its text.
    for (QComboBox *box : top->findChildren<QComboBox *>()) {
        if (!box->isVisible())
            continue;
        const QString where = describe(box);
        const auto it = byPath.constFind(atspiPath(box));
        if (it == byPath.constEnd()) {
            problems << where + QStringLiteral(" is not on the accessibility bus");
            continue;
        }
        const QString caption = captionOf(box);
        const QString value = box->isEditable() ? box->lineEdit()->text() : box->currentText();
        if (it->role != QLatin1String("combo box"))
            problems << QStringLiteral("%1 is heard as a %2").arg(where, it->role);
        if (caption.isEmpty())
            problems << where + QStringLiteral(" has no caption");
        else if (it->name != caption)
            problems
                << QStringLiteral("%1 (\"%2\") is heard as \"%3\"").arg(where, caption, it->name);
        if (it->text != value)
            problems << QStringLiteral("%1 offers \"%2\" as its text, shows \"%3\"")
                            .arg(where, it->text, value);
    }

    // A drawn plan by its name, and the plan's summary as its description.
    for (PatternPlanView *plan : top->findChildren<PatternPlanView *>()) {
        const auto it = byPath.constFind(atspiPath(plan));
        if (it == byPath.constEnd())
            problems << describe(plan) + QStringLiteral(" is not on the accessibility bus");
        else if (it->name != QStringLiteral("パターンの計画") || it->description != plan->summary())
            problems << QStringLiteral("%1 is heard as \"%2\", \"%3\"; it shows \"%4\"")
                            .arg(describe(plan), it->name, it->description, plan->summary());
    }

    // By role, name and description: what a screen reader says of a control.
    std::map<QStringList, QStringList> heardAlike;
    for (const AtspiNode &n : tree) {
        const AtspiNode parent = byPath.value(n.parent);
        QWidget *w = widgets.value(n.path);
        const QString where = w ? describe(w) : n.path;
        if (n.role == QLatin1String("progress bar") && n.name.isEmpty())
            problems << where + QStringLiteral(" is a progress bar without a name");
        if (n.role == QLatin1String("push button") && !saysSomething(n.name))
            problems << QStringLiteral("%1 is heard as \"%2\"").arg(where, n.name);
        if (n.role == QLatin1String("panel") && !n.name.isEmpty()) {
            for (AtspiNode up = parent; !up.path.isEmpty(); up = byPath.value(up.parent)) {
                if (up.role == QLatin1String("panel") && up.name == n.name) {
                    problems << QStringLiteral("%1 is heard by the title of the group around it, "
                                               "\"%2\"")
                                    .arg(where, n.name);
                    break;
                }
            }
        }
        if (n.role == QLatin1String("radio button") &&
            (parent.role != QLatin1String("panel") || parent.name.isEmpty()))
            problems << QStringLiteral("option %1 has no named group around it").arg(where);
        if (const auto *label = qobject_cast<const QLabel *>(w)) {
            if (shownText(label).isEmpty() && label->pixmap().isNull() && !n.name.isEmpty())
                problems
                    << QStringLiteral("%1 shows nothing but is heard as \"%2\"").arg(where, n.name);
        }
        static const QStringList controls{QStringLiteral("combo box"), QStringLiteral("text"),
                                          QStringLiteral("push button"),
                                          QStringLiteral("check box")};
        if (controls.contains(n.role) && w && w->isVisible() && !n.name.isEmpty())
            heardAlike[{n.role, n.name, n.description}] << where;
    }
    // Controls heard alike cannot be told apart (rows of a table, say).
    for (auto it = heardAlike.cbegin(); it != heardAlike.cend(); ++it) {
        if (it->second.size() > 1)
            problems << QStringLiteral("%1 are all heard as \"%2\"")
                            .arg(it->second.join(QStringLiteral(", ")), it->first.at(1));
    }
    if (qEnvironmentVariableIsSet("KRM_ATSPI_DUMP")) {
        for (const AtspiNode &n : tree)
            qInfo().noquote() << n.path.section(QLatin1Char('/'), -1) << n.role << n.name << n.text;
    }
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
    void atspiWindows_data();
    void atspiWindows();
    void atspiPassingWindows();

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

void tst_Accessibility::atspiWindows_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::newRow("main window") << QStringList();
    for (const QString &name : m_w->registeredWindowNames())
        QTest::newRow(qPrintable(name)) << QStringList{name};
    // The step list as a pattern run shows it, every row filled.
    QTest::newRow("pattern run") << QStringList{QStringLiteral("frmPattern_control"),
                                                QStringLiteral("frmStepview")};
}

void tst_Accessibility::atspiWindows()
{
    QFETCH(QStringList, names);
    if (!atspiSession())
        QSKIP("read over the accessibility bus by tst_accessibility_atspi");
    QList<QWidget *> tops;
    if (names.isEmpty()) {
        m_w->openWindow(QStringLiteral("frmToppage"));
        tops << m_w;
    }
    for (const QString &name : std::as_const(names)) {
        QWidget *widget = m_w->openWindow(name);
        QVERIFY2(widget, qPrintable(name));
        auto *sub = qobject_cast<QMdiSubWindow *>(widget->parentWidget());
        tops << (sub ? static_cast<QWidget *>(sub) : widget->window());
    }
    if (names.contains(QStringLiteral("frmPattern_control"))) {
        auto *pattern = m_w->loadedWindow(names.first())->findChild<QComboBox *>();
        QVERIFY(pattern && pattern->count() > 0);
        pattern->setCurrentIndex(0);
    }
    for (QWidget *top : std::as_const(tops)) {
        QVERIFY(QTest::qWaitForWindowExposed(top->window()));
        // Both windows that draw a plan have one to tell here.
        for (const PatternPlanView *plan : top->findChildren<PatternPlanView *>())
            QVERIFY2(!plan->summary().isEmpty(), qPrintable(describe(top)));
    }
    QString error;
    const QList<AtspiNode> nodes = readAtspi(100, error);
    QVERIFY2(!nodes.isEmpty(), qPrintable(error));
    QStringList problems;
    for (QWidget *top : std::as_const(tops))
        problems << atspiProblems(top, nodes);
    for (const QString &name : std::as_const(names))
        m_w->unloadWindow(name);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

// Reads the bus once `window()` shows while `run` runs (it is started from
// the event loop and may run event loops of its own, as transfers do).
QStringList readWhileShown(const QString &what, const std::function<void()> &run,
                           const std::function<QWidget *()> &window)
{
    QStringList problems;
    bool seen = false;
    bool ran = false;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *w = window();
        if (seen || !w || !w->isVisible())
            return;
        seen = true;
        poll.stop();
        QString error;
        const QList<AtspiNode> nodes = readAtspi(2, error);
        problems << (nodes.isEmpty() ? QStringList{error} : atspiProblems(w, nodes));
    });
    poll.start();
    QTimer::singleShot(0, [&] {
        run();
        ran = true;
    });
    if (!QTest::qWaitFor([&] { return ran; }, 300000))
        problems << what + QStringLiteral(" did not start");
    else if (!seen)
        problems << what + QStringLiteral(" was never shown");
    return problems;
}

void tst_Accessibility::atspiPassingWindows()
{
    if (!atspiSession())
        QSKIP("read over the accessibility bus by tst_accessibility_atspi");
    QStringList problems;
    problems << readWhileShown(
        QStringLiteral("the progress window"),
        [this] { m_w->Toolbar1_ButtonClick(QStringLiteral("READ")); },
        [this]() -> QWidget * { return m_w->splashrw(); });
    problems << readWhileShown(
        QStringLiteral("the splash"), [this] { m_w->startUp(); },
        [this]() -> QWidget * { return m_w->splashStart(); });
    QCOMPARE(m_w->lastStartResult(), KRM2200::StartResult::Ready);

    // The notice of a lost link, as the real dialogs show it.
    QtDialogs real;
    real.showNotice(m_w, LinkWatchWindows::noticeKey(), LinkWatch::noticeText(),
                    LinkWatch::noticeTitle());
    QWidget *notice = real.notice(LinkWatchWindows::noticeKey());
    QVERIFY(notice && QTest::qWaitForWindowExposed(notice));
    QString error;
    QList<AtspiNode> nodes = readAtspi(100, error);
    QVERIFY2(!nodes.isEmpty(), qPrintable(error));
    problems << atspiProblems(notice, nodes);
    real.closeNotice(LinkWatchWindows::noticeKey());

    QVERIFY(enter(State::Logging));
    QVERIFY(enter(State::Alarm));
    QWidget *alarm = nullptr;
    QTRY_VERIFY_WITH_TIMEOUT((alarm = findTopLevel(QStringLiteral("frmAlarm"))) != nullptr, 30000);
    QVERIFY(QTest::qWaitForWindowExposed(alarm));
    nodes = readAtspi(100, error);
    QVERIFY2(!nodes.isEmpty(), qPrintable(error));
    problems << atspiProblems(alarm, nodes);
    alarm->close();
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
