// Every window the program shows, laid out with the fonts of this system:
// no control is squeezed below its minimum size, sticks out of its parent or
// lies on top of a sibling, and no window, title bar and frame counted, runs
// past its screen's work area. Windows are found through the main window's
// registry, so a window registered later is checked without a new test.
// Also run under a real window manager (see CMakeLists.txt).

#include "ShellFixture.h"
#include "ui/shell/frmSplashStart.h"
#include "ui/shell/frmSplashrw.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

QString describe(const QWidget *w)
{
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    return name;
}

// The least size a layout promises a widget: a set minimum size wins, a
// widget that ignores its hint promises nothing, otherwise the hint.
int promised(int set, int hint, QSizePolicy::Policy policy)
{
    if (set > 0)
        return set;
    if (policy == QSizePolicy::Ignored)
        return 0;
    return qMax(hint, 0);
}

// Composite standard controls lay out their own parts; their inside is Qt's.
bool ownsItsParts(const QWidget *w)
{
    return qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w);
}

// Children of a scrolling viewport (sub-windows of the MDI area, the content
// of a scroll area) may lie beyond it and over one another.
bool scrolls(const QWidget *parent)
{
    const auto *area = parent->parentWidget()
                           ? qobject_cast<const QAbstractScrollArea *>(parent->parentWidget())
                           : nullptr;
    return area && area->viewport() == parent;
}

void collect(const QWidget *parent, const QString &path, QStringList &problems)
{
    QList<const QWidget *> kids;
    for (const QObject *o : parent->children()) {
        const auto *w = qobject_cast<const QWidget *>(o);
        if (w && !w->isWindow() && w->isVisible())
            kids.append(w);
    }
    const bool free = scrolls(parent);
    for (const QWidget *w : std::as_const(kids)) {
        const QString where = path + QLatin1Char('/') + describe(w);
        const bool qtPart = w->objectName().startsWith(QLatin1String("qt_"));
        const QSizePolicy pol = w->sizePolicy();
        const QSize hint = w->minimumSizeHint();
        const QSize least(promised(w->minimumWidth(), hint.width(), pol.horizontalPolicy()),
                          promised(w->minimumHeight(), hint.height(), pol.verticalPolicy()));
        if (!qtPart && (w->width() < least.width() || w->height() < least.height()))
            problems << QStringLiteral("%1 is %2x%3, needs %4x%5")
                            .arg(where)
                            .arg(w->width())
                            .arg(w->height())
                            .arg(least.width())
                            .arg(least.height());
        if (!qtPart && !free && !parent->rect().contains(w->geometry()))
            problems << QStringLiteral("%1 at (%2,%3 %4x%5) leaves its parent (%6x%7)")
                            .arg(where)
                            .arg(w->x())
                            .arg(w->y())
                            .arg(w->width())
                            .arg(w->height())
                            .arg(parent->width())
                            .arg(parent->height());
        if (!ownsItsParts(w))
            collect(w, where, problems);
    }
    if (free)
        return;
    for (qsizetype i = 0; i < kids.size(); ++i) {
        for (qsizetype j = i + 1; j < kids.size(); ++j) {
            if (kids[i]->geometry().intersects(kids[j]->geometry()))
                problems << QStringLiteral("%1/%2 overlaps %3")
                                .arg(path, describe(kids[i]), describe(kids[j]));
        }
    }
}

// What is wrong with the layout of `top` and everything inside it.
QStringList fitProblems(const QWidget *top)
{
    QStringList problems;
    const QSize hint = top->minimumSizeHint();
    if (hint.isValid() && (top->width() < hint.width() || top->height() < hint.height()))
        problems << QStringLiteral("%1 is %2x%3, its layout needs %4x%5")
                        .arg(describe(top))
                        .arg(top->width())
                        .arg(top->height())
                        .arg(hint.width())
                        .arg(hint.height());
    collect(top, describe(top), problems);
    return problems;
}

// Under a window manager a window gets its frame, and its place, after it
// was mapped: true once the frame is known. A window without decoration has
// none to wait for.
bool waitForFrame(QWidget *top)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    const Qt::WindowFlags flags = top->windowFlags();
    if ((flags & Qt::FramelessWindowHint) || top->windowType() == Qt::SplashScreen)
        return true;
    return QTest::qWaitFor([top] { return !top->windowHandle()->frameMargins().isNull(); }, 10000);
}

// Where a top-level window, frame included, leaves its screen's work area.
QString offScreen(const QWidget *top)
{
    const QRect frame = top->frameGeometry();
    const QRect work = top->screen()->availableGeometry();
    if (work.contains(frame))
        return QString();
    return QStringLiteral("%1 at (%2,%3 %4x%5) leaves the work area (%6,%7 %8x%9)")
        .arg(describe(top))
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height())
        .arg(work.x())
        .arg(work.y())
        .arg(work.width())
        .arg(work.height());
}

enum class Kind { Main, Registered, Splash, Progress, Message, Question };

} // namespace

class tst_WindowFit : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void monitoringWindowsApart();
    void dialogsKeepTheirSize_data();
    void dialogsKeepTheirSize();
    void windows_data();
    void windows();

private:
    std::unique_ptr<ShellFixture> m_fx;
    KRM2200 *m_w = nullptr;
};

void tst_WindowFit::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_fx = std::make_unique<ShellFixture>();
    // A window may ask something when it closes; any answer will do here.
    m_fx->dialogs->onUnexpected = [](const ScriptedDialogs::Record &) {};
    QVERIFY(m_fx->startSim());
    m_w = m_fx->readyWindow();
    QVERIFY(QTest::qWaitForWindowExposed(m_w));
    QVERIFY(waitForFrame(m_w));
}

void tst_WindowFit::cleanupTestCase()
{
    m_fx.reset();
}

// At the main window's designed size, as a log starts: the sensor log, the
// status log, the graph and the live read-out all in the work area, none over
// another; on a screen of a common laptop's size or more, without scrolling
// and with the main window, frame and all, within the screen's work area
// (also run on a 1366 x 768 screen, see CMakeLists.txt). The editor and the
// fixed-value window then open at the area's top left corner.
void tst_WindowFit::monitoringWindowsApart()
{
    m_fx->presetLiveLog(m_w);
    m_w->startLog();
    m_w->openWindow(QStringLiteral("frmSenlog"));
    m_w->openWindow(QStringLiteral("frmGraph"));
    QTRY_VERIFY(m_w->loadedWindow(QStringLiteral("frmStatuslog")));
    QTRY_VERIFY(param().LogCount >= 2);
    QList<QMdiSubWindow *> subs;
    for (const char *name : {"frmSenlog", "frmStatuslog", "frmGraph", "frmCurrentValues"})
        if (QWidget *window = m_w->loadedWindow(QLatin1String(name)))
            subs << qobject_cast<QMdiSubWindow *>(window->parentWidget());
    QCOMPARE(subs.size(), 4);
    // The window manager takes the grown main window's size and place.
    QTRY_VERIFY2_WITH_TIMEOUT(offScreen(m_w).isEmpty(), qPrintable(offScreen(m_w)), 10000);
    const QString shots = qEnvironmentVariable("KRM_NOTES_SHOTS");
    if (!shots.isEmpty())
        m_w->grab().save(shots + QStringLiteral("/monitors_at_log_start.png"));
    m_fx->dialogs->answerQuestion(false);
    m_w->stopLog();
    QStringList problems;
    const QMdiArea *area = subs[0]->mdiArea();
    const QRect seen = area->viewport()->rect();
    // The least screen the arrangement is made for: a 1366 x 768 laptop's
    // less a panel, or a 1280 x 1024 one.
    const QSize work = m_w->screen()->availableGeometry().size();
    const bool roomy = work.width() >= 1280 && work.height() >= 742;
    for (QScrollBar *bar : {area->horizontalScrollBar(), area->verticalScrollBar()})
        if (roomy && bar->isVisible())
            problems << QStringLiteral("the work area scrolls on a %1 x %2 screen")
                            .arg(work.width())
                            .arg(work.height());
    for (qsizetype i = 0; i < subs.size(); ++i) {
        const QRect a = subs[i]->geometry();
        if (a.left() < 0 || a.top() < 0 ||
            (a.right() > seen.right() && !area->horizontalScrollBar()->isVisible()) ||
            (a.bottom() > seen.bottom() && !area->verticalScrollBar()->isVisible()))
            problems << describe(subs[i]->widget()) + QStringLiteral(" leaves the work area");
        for (qsizetype j = i + 1; j < subs.size(); ++j)
            if (a.intersects(subs[j]->geometry()))
                problems << describe(subs[i]->widget()) + QStringLiteral(" overlaps ") +
                                describe(subs[j]->widget());
    }
    // Closed and opened again, the read-out takes the room it left.
    const QRect readout = subs[3]->geometry();
    const QSize main = m_w->size();
    m_w->unloadWindow(QStringLiteral("frmCurrentValues"));
    const QRect again =
        m_w->openWindow(QStringLiteral("frmCurrentValues"))->parentWidget()->geometry();
    const QSize mainAgain = m_w->size();
    // Among the grown monitoring windows, these two still open where they
    // are meant to.
    for (const char *name : {"frmOperation_setting", "frmFix_control"}) {
        const QPoint at = m_w->openWindow(QLatin1String(name))->parentWidget()->pos();
        m_w->unloadWindow(QLatin1String(name));
        if (!at.isNull())
            problems << QStringLiteral("%1 opens at (%2,%3)").arg(name).arg(at.x()).arg(at.y());
    }
    for (const char *name : {"frmGraph", "frmSenlog", "frmStatuslog", "frmCurrentValues"})
        m_w->unloadWindow(QLatin1String(name));
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QCOMPARE(again, readout);
    QCOMPARE(mainAgain, main);
}

// A maximised graph does not make the small windows opened after it fill
// the work area, nor move those with a place of their own from it.
void tst_WindowFit::dialogsKeepTheirSize_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("placed");
    for (const char *name : {"frmFix_control", "frmPattern_control", "frmStepview"})
        QTest::newRow(name) << QString::fromLatin1(name) << true;
    QTest::newRow("frmPort") << QStringLiteral("frmPort") << false;
}

void tst_WindowFit::dialogsKeepTheirSize()
{
    QFETCH(QString, name);
    QFETCH(bool, placed);
    QWidget *alone = m_w->openWindow(name);
    QVERIFY(alone);
    const QRect own = alone->parentWidget()->geometry();
    m_w->unloadWindow(name);

    m_w->openWindow(QStringLiteral("frmGraph"))->parentWidget()->showMaximized();
    QWidget *widget = m_w->openWindow(name);
    QVERIFY(widget);
    auto *sub = qobject_cast<QMdiSubWindow *>(widget->parentWidget());
    const bool maximised = sub->isMaximized();
    const QRect geometry = sub->geometry();
    m_w->unloadWindow(name);
    m_w->unloadWindow(QStringLiteral("frmGraph"));
    QVERIFY(!maximised);
    QCOMPARE(geometry.size(), own.size());
    if (placed)
        QCOMPARE(geometry.topLeft(), own.topLeft());
}

void tst_WindowFit::windows_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("main window") << int(Kind::Main) << QString() << QString();
    for (const QString &name : m_w->registeredWindowNames())
        QTest::newRow(qPrintable(name)) << int(Kind::Registered) << name << QString();
    QTest::newRow("splash") << int(Kind::Splash) << QString() << QString();
    QTest::newRow("read progress")
        << int(Kind::Progress) << QString() << QStringLiteral("読込中...");
    QTest::newRow("write progress")
        << int(Kind::Progress) << QString() << QStringLiteral("書込中...");
    QTest::newRow("message") << int(Kind::Message) << QStringLiteral("error")
                             << QStringLiteral(
                                    "ファイルの読み込みに失敗しました。\n"
                                    "ファイルが破損しているか存在しない可能性があります。");
    QTest::newRow("short message")
        << int(Kind::Message) << QStringLiteral("確認") << QStringLiteral("読み込み完了");
    QTest::newRow("question") << int(Kind::Question) << QStringLiteral("終了確認")
                              << QStringLiteral("終了すると制御が中断されます。\n終了しますか？");
}

void tst_WindowFit::windows()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QString, text);

    std::unique_ptr<QWidget> owned;
    QWidget *top = nullptr;
    switch (Kind(kind)) {
    case Kind::Main:
        m_w->openWindow(QStringLiteral("frmToppage"));
        top = m_w;
        break;
    case Kind::Registered: {
        QWidget *widget = m_w->openWindow(name);
        QVERIFY2(widget, qPrintable(name));
        top = qobject_cast<QMdiSubWindow *>(widget->parentWidget()) ? widget->parentWidget()
                                                                    : widget->window();
        break;
    }
    case Kind::Splash:
        owned = std::make_unique<frmSplashStart>();
        break;
    case Kind::Progress: {
        auto *rw = new frmSplashrw(m_w);
        rw->Label1->setText(text);
        owned.reset(rw);
        break;
    }
    case Kind::Message:
        owned.reset(QtDialogs::makeMessageBox(m_w, text, name));
        break;
    case Kind::Question:
        owned.reset(QtDialogs::makeQuestionBox(m_w, text, name, false));
        break;
    }
    if (owned) {
        owned->show();
        top = owned.get();
    }
    QVERIFY(QTest::qWaitForWindowExposed(top->window()));
    QVERIFY(waitForFrame(top->window()));
    // Let layouts that are settled from the event loop settle.
    QCoreApplication::processEvents();

    const QString shots = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (!shots.isEmpty())
        top->grab().save(shots + QLatin1Char('/') +
                         QString::fromLatin1(QTest::currentDataTag())
                             .replace(QLatin1Char(' '), QLatin1Char('_')) +
                         QStringLiteral(".png"));

    QStringList problems = fitProblems(top);
    // Placed by the window manager once mapped: wait for the place it takes.
    if (!QTest::qWaitFor([top] { return offScreen(top->window()).isEmpty(); }, 5000))
        problems << offScreen(top->window());
    if (Kind(kind) == Kind::Registered)
        m_w->unloadWindow(name);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QTEST_MAIN(tst_WindowFit)
#include "tst_window_fit.moc"
