// Makes the pictures of the operator's guide (docs/guide.ja.md) with the
// program itself: the real windows against the simulated instrument on a
// pseudo-terminal, every question answered by script. Run it through
// scripts/screenshots.sh, which renders on a 1366 x 768 screen.
//
//   krm_guide_shots FOLDER     writes every picture into FOLDER
//
// Each picture is stored with at most 256 colours, and made smaller until
// its PNG is under 100 KB; the program fails when a scene does not come about
// or a picture cannot be kept that small.

#include "core/app/PortChoices.h"
#include "core/app/QtJapanese.h"
#include "core/link/SerialLink.h"
#include "core/logging/LogFile.h"
#include "core/logging/LogSummary.h"
#include "shell/ShellFixture.h"
#include "ui/logging/frmGraph.h"
#include "ui/shell/frmPort.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 MaxBytes = 100 * 1024;

QString g_out;
QStringList g_failures;

void fail(const QString &what)
{
    g_failures << what;
    std::fprintf(stderr, "guide shots: %s\n", qPrintable(what));
}

// Waits for `done` while events run; generous, the machine may be busy.
bool waitFor(const std::function<bool()> &done, int ms = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

QByteArray png(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(0); // the strongest compression
    writer.write(image);
    return bytes;
}

// At most 256 colours without dithering (flat window faces stay flat and
// compress well); scaled down step by step while the file is too large.
void save(const QImage &shot, const QString &name)
{
    if (shot.isNull()) {
        fail(name + QStringLiteral(": nothing to grab"));
        return;
    }
    QImage image = shot;
    for (int attempt = 0; attempt < 6; ++attempt) {
        const QByteArray bytes = png(
            image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither));
        if (bytes.size() < MaxBytes) {
            QFile f(g_out + QLatin1Char('/') + name);
            if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                f.write(bytes) != bytes.size())
                fail(name + QStringLiteral(": cannot write"));
            std::printf("%-24s %4d x %-4d %6lld bytes\n", qPrintable(name), image.width(),
                        image.height(), qlonglong(bytes.size()));
            return;
        }
        image = image.scaledToWidth(image.width() * 85 / 100, Qt::SmoothTransformation);
    }
    fail(name + QStringLiteral(": still 100 KB or more"));
}

// A child window with its title bar.
QImage subWindowShot(QWidget *content)
{
    if (!content)
        return {};
    QWidget *frame = qobject_cast<QMdiSubWindow *>(content->parentWidget());
    return (frame ? frame : content)->grab().toImage();
}

// `content` inside a title bar with `title`, as the desktop frames a window.
QImage framed(const QImage &content, const QString &title)
{
    QMdiArea area;
    area.resize(content.size() + QSize(200, 200));
    auto *inner = new QWidget;
    inner->setFixedSize(content.size());
    QMdiSubWindow *sub = area.addSubWindow(inner, Qt::SubWindow | Qt::WindowTitleHint);
    sub->setWindowTitle(title);
    area.show();
    sub->show();
    sub->adjustSize();
    QCoreApplication::processEvents();
    QImage image = sub->grab().toImage();
    QPainter g(&image);
    g.drawImage(inner->mapTo(sub, QPoint(0, 0)), content);
    return image;
}

// `base` with `over` drawn over it, centred (a window the desktop shows above
// the main window).
QImage withImageOver(QImage base, const QImage &over)
{
    QPainter g(&base);
    const QPoint at((base.width() - over.width()) / 2, (base.height() - over.height()) / 2);
    g.fillRect(QRect(at + QPoint(4, 4), over.size()), QColor(0, 0, 0, 60));
    g.drawImage(at, over);
    g.setPen(QColor(0x40, 0x40, 0x40));
    g.drawRect(QRect(at, over.size()).adjusted(-1, -1, 0, 0));
    return base;
}

// A top-level window (the alarm window) over `base`, with its title bar.
QImage withWindowOver(const QImage &base, QWidget *top)
{
    return withImageOver(base, framed(top->grab().toImage(), top->windowTitle()));
}

// A message box (or, with `question`, a question) as the program shows it,
// over `base`.
QImage withMessageOver(const QImage &base, QWidget *parent, const QString &text,
                       const QString &title, bool question = false)
{
    std::unique_ptr<QMessageBox> box(question
                                         ? QtDialogs::makeQuestionBox(parent, text, title, false)
                                         : QtDialogs::makeMessageBox(parent, text, title));
    box->setWindowFlags(Qt::Widget); // drawn, never shown on its own
    box->adjustSize();
    return withImageOver(base, framed(box->grab().toImage(), title));
}

template <typename T> T *child(QWidget *w, const char *name)
{
    return w ? w->findChild<T *>(QLatin1String(name)) : nullptr;
}

void type(QLineEdit *box, const QString &text)
{
    if (!box)
        return;
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

void choose(QComboBox *box, int index)
{
    if (!box)
        return;
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

// The program started against the simulated instrument, as an operator sees it.
struct Bench {
    ShellFixture f;
    KRM2200 *w = nullptr;

    // `prepare` runs on the instrument's model before the start-up read.
    bool start(const std::function<void(SimEngine &)> &prepare = {}, QSize size = {1000, 700})
    {
        if (!f.startSim())
            return false;
        f.dialogs->onUnexpected = [](const ScriptedDialogs::Record &r) {
            std::fprintf(stderr, "guide shots: unanswered dialog: %s\n", qPrintable(r.text));
        };
        f.sim->withEngine([&prepare](SimEngine &e) {
            // A pattern's hold times pass within a picture's wait.
            e.setTimeScale(30);
            e.setSensorRecord(2, QStringLiteral("0 +080.00 +000.00 +000.00"));
            e.setPatternRecord(0, QStringLiteral("1 0 0 2"));
            e.setStepRecord(0, QStringLiteral("0 0 0 +040.00 00:05:00"));
            e.setStepRecord(1, QStringLiteral("0 0 0 +060.00 00:10:00"));
            e.setStepRecord(2, QStringLiteral("0 0 0 +025.00 00:05:00"));
            if (prepare)
                prepare(e);
        });
        w = f.makeWindow();
        w->transfer().setFastRead(true);
        w->resize(size);
        return w->startUp() == KRM2200::StartResult::Ready;
    }

    QImage shot() const { return w->grab().toImage(); }
};

// ------------------------------------------------------------------ scenes

void startAndPort()
{
    Bench b;
    if (!b.start()) {
        fail(QStringLiteral("start-up did not reach ready"));
        return;
    }
    QTest::qWait(200);
    save(b.shot(), QStringLiteral("start.png"));

    // A USB serial adapter as the port window lists it: its stable name under
    // /dev/serial/by-id. Here the link points at the simulated instrument.
    QTemporaryDir devices;
    const QString byId = devices.filePath(QStringLiteral("serial/by-id"));
    const QString adapter = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K3ZQ5-if00-port0");
    QDir().mkpath(byId);
    QFile::link(b.f.sim->devicePath(), byId + QLatin1Char('/') + adapter);
    PortChoices::setByIdFolder(byId);
    b.w->menuItem(QStringLiteral("set_con"))->trigger();
    auto *port = qobject_cast<frmPort *>(b.w->loadedWindow(QStringLiteral("frmPort")));
    if (!port) {
        fail(QStringLiteral("port window"));
        return;
    }
    // Shown under the name and with the description a real adapter has; the
    // simulator's own pseudo-terminal is no device a bench has.
    for (QRadioButton *option : port->findChildren<QRadioButton *>()) {
        const QString index = option->objectName().section(QLatin1Char('_'), 2);
        QLabel *description = port->findChild<QLabel *>(QStringLiteral("L_com_") + index);
        if (option->text().startsWith(byId)) {
            option->setText(QStringLiteral("/dev/serial/by-id/") + adapter);
            option->setChecked(true);
            if (description)
                description->setText(QStringLiteral("FT232R USB UART"));
        } else if (option->text().startsWith(QLatin1String("/dev/pts/"))) {
            option->hide();
            if (description)
                description->hide();
        }
    }
    if (QLineEdit *d = child<QLineEdit>(port, "T_device"))
        d->setText(QStringLiteral("/dev/serial/by-id/") + adapter);
    // As it opens by itself after a start that reached no instrument.
    port->L_hint->show();
    port->adjustSize();
    QTest::qWait(100);
    save(subWindowShot(port), QStringLiteral("port.png"));
    PortChoices::setByIdFolder(QString());
    b.w->unloadWindow(QStringLiteral("frmPort"));

    // A device the user has no rights on.
    SerialLink::OpenFailure denied;
    denied.device = QStringLiteral("/dev/ttyUSB0");
    denied.error = QSerialPort::PermissionError;
    denied.reason = QStringLiteral("許可がありません");
    denied.accessDenied = true;
    save(withMessageOver(
             b.shot(), b.w,
             PortChoices::openFailText(QStringLiteral("通信ポートを確認してください。"), denied),
             QStringLiteral("error")),
         QStringLiteral("port_denied.png"));
}

void fixedRunAndMonitors()
{
    Bench b;
    // Slow enough for the warming to be seen over the first samples.
    if (!b.start([](SimEngine &e) { e.setTimeScale(4); }, {1366, 740})) {
        fail(QStringLiteral("start-up for the fixed-value run"));
        return;
    }
    b.w->menuItem(QStringLiteral("view_graph"))->trigger();
    b.w->menuItem(QStringLiteral("con_teiti"))->trigger();
    QWidget *fix = b.w->loadedWindow(QStringLiteral("frmFix_control"));
    if (!fix) {
        fail(QStringLiteral("fixed-value window"));
        return;
    }
    type(child<QLineEdit>(fix, "M_T"), QStringLiteral("60"));
    QTest::qWait(100);
    save(subWindowShot(fix), QStringLiteral("fix.png"));
    b.f.dialogs->answerQuestion(true);
    if (QPushButton *run = child<QPushButton>(fix, "RUN_C"))
        run->click();
    if (!waitFor([] { return param().LogCount >= 25; }, 90000)) {
        fail(QStringLiteral("samples of the fixed-value run"));
        return;
    }
    save(b.shot(), QStringLiteral("monitor.png"));
    save(subWindowShot(b.w->loadedWindow(QStringLiteral("frmCurrentValues"))),
         QStringLiteral("current.png"));

    // The link is lost: the instrument stops answering.
    SimFaults silent;
    silent.silent = true;
    b.f.sim->setFaults(silent);
    if (!waitFor([&b] { return !b.f.dialogs->openNotices().isEmpty(); })) {
        fail(QStringLiteral("link-loss notice"));
        return;
    }
    QTest::qWait(300);
    const ScriptedDialogs::Record notice = b.f.dialogs->notices().constLast();
    save(withMessageOver(b.shot(), b.w, notice.text, notice.title),
         QStringLiteral("link_lost.png"));
    b.f.sim->setFaults({});
    waitFor([&b] { return b.f.dialogs->openNotices().isEmpty(); });
    b.f.dialogs->answerQuestion(false); // no memo for this log
    b.w->Toolbar1_ButtonClick(QStringLiteral("STOP"));
    b.w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
}

void alarm()
{
    Bench b;
    if (!b.start({}, {1366, 740})) {
        fail(QStringLiteral("start-up for the alarm"));
        return;
    }
    b.w->menuItem(QStringLiteral("view_graph"))->trigger();
    b.w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
    if (!waitFor([] { return param().LogCount >= 5; })) {
        fail(QStringLiteral("samples before the alarm"));
        return;
    }
    b.f.dialogs->answerQuestion(false); // the memo question after the alarm
    b.f.sim->withEngine([](SimEngine &e) { e.alarmTest(); });
    QWidget *window = nullptr;
    if (!waitFor([&window] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->objectName() == QLatin1String("frmAlarm") && top->isVisible())
                    window = top;
            return window != nullptr;
        })) {
        fail(QStringLiteral("alarm window"));
        return;
    }
    QTest::qWait(500);
    save(withWindowOver(b.shot(), window), QStringLiteral("alarm.png"));
    if (auto *ok = child<QPushButton>(window, "ok_c"))
        ok->click();
    b.w->Toolbar1_ButtonClick(QStringLiteral("ACLR"));
}

void patternEditAndRun()
{
    Bench b;
    if (!b.start({}, {1180, 700})) {
        fail(QStringLiteral("start-up for the pattern"));
        return;
    }
    b.w->menuItem(QStringLiteral("set_dousa"))->trigger();
    QWidget *editor = b.w->loadedWindow(QStringLiteral("frmOperation_setting"));
    if (!editor) {
        fail(QStringLiteral("pattern editor"));
        return;
    }
    // Pattern 1: twice through steps 10 ... 12; step 13 typed wrongly.
    if (auto *o = child<QRadioButton>(editor, "O_go_1"))
        o->click();
    type(child<QLineEdit>(editor, "loop_t_1"), QStringLiteral("2"));
    choose(child<QComboBox>(editor, "Combo_k_1"), 0);
    const char *temps[] = {"30", "80", "25", "200"};
    const char *times[] = {"00:10:00", "30:00", "600", "00:05:00"};
    for (int r = 0; r < 4; ++r) {
        const QByteArray n = QByteArray::number(r);
        choose(child<QComboBox>(editor, ("Combo_s_" + n).constData()), 0);
        type(child<QLineEdit>(editor, ("mond_t_" + n).constData()), QLatin1String(temps[r]));
        type(child<QLineEdit>(editor, ("hoji_t_" + n).constData()), QLatin1String(times[r]));
    }
    QTest::qWait(100);
    save(subWindowShot(editor), QStringLiteral("editor.png"));

    // Registered without the wrong step; the instrument gets it later. Each
    // dialog is pictured over the windows as they stand while it is shown.
    QList<QImage> shown;
    b.f.dialogs->onQuestion = [&](const ScriptedDialogs::Record &r) {
        shown << withMessageOver(b.shot(), b.w, r.text, r.title, true);
    };
    b.f.dialogs->onMessage = [&](const ScriptedDialogs::Record &r) {
        shown << withMessageOver(b.shot(), b.w, r.text, r.title);
    };
    b.f.dialogs->answerQuestion(true);  // register without step 13
    b.f.dialogs->answerQuestion(false); // write to the instrument later
    if (auto *ok = child<QPushButton>(editor, "OK_c"))
        ok->click();
    b.f.dialogs->onQuestion = nullptr;
    b.f.dialogs->onMessage = nullptr;
    // The question about step 13, the summary, the offer to write.
    if (shown.size() < 3) {
        fail(QStringLiteral("registration dialogs"));
        return;
    }
    save(shown.at(0), QStringLiteral("register_check.png"));
    save(shown.at(1), QStringLiteral("register_done.png"));

    b.w->Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    b.w->menuItem(QStringLiteral("con_pattern"))->trigger();
    QWidget *run = b.w->loadedWindow(QStringLiteral("frmPattern_control"));
    auto *list = child<QComboBox>(run, "Com_pa");
    if (!list || list->findText(QStringLiteral("1")) < 0) {
        fail(QStringLiteral("pattern run window"));
        return;
    }
    list->setCurrentIndex(list->findText(QStringLiteral("1")));
    QTest::qWait(200);
    save(b.shot(), QStringLiteral("pattern_run.png"));

    // The run followed: the plan ahead of the newest sample on the graph,
    // the place, the loop and the earliest end in 現在値 and the status log.
    if (auto *go = child<QPushButton>(run, "C_jikkou"))
        go->click();
    b.w->openWindow(QStringLiteral("frmStatuslog"));
    if (!waitFor([&b] { return b.w->session().runProgress().step() == 11; }, 90000)) {
        fail(QStringLiteral("pattern run"));
        return;
    }
    QTest::qWait(3000);
    // 現在値 grew for the run's lines: wholly inside the work area again.
    if (QWidget *values = b.w->loadedWindow(QStringLiteral("frmCurrentValues"))) {
        QWidget *sub = values->parentWidget();
        if (sub && sub->parentWidget()) {
            sub->move(sub->x(), std::max(0, sub->parentWidget()->height() - sub->height()));
            sub->raise();
        }
    }
    QTest::qWait(200);
    save(b.shot(), QStringLiteral("pattern_progress.png"));
    b.f.dialogs->answerQuestion(false); // no memo for this log
    b.w->Toolbar1_ButtonClick(QStringLiteral("STOP"));
    b.w->Toolbar1_ButtonClick(QStringLiteral("LOG"));
}

void storedLogAndReadout()
{
    Bench b;
    if (!b.start({}, {1366, 740})) {
        fail(QStringLiteral("start-up for the stored log"));
        return;
    }
    // A stored log of an earlier day, three pages long: every 5 s, warming
    // from 22 to 60 degrees, with a memo after it.
    QString content;
    for (int i = 0; i <= 1000; ++i) {
        const double a = 60.0 - 38.0 * std::exp(-i / 90.0);
        content += QStringLiteral("\"%1\",\"%2\",\"%3\",\"*\",\"%4\",\"+031.50\"\r\n")
                       .arg(LogFile::FormatElapsed(5LL * i), QString::asprintf("%+07.2f", a),
                            QString::asprintf("%+07.2f", a - 1.5 + 0.3 * std::sin(i / 15.0)),
                            QString::asprintf("%+04d", int(22 + i / 40)));
    }
    content += QStringLiteral("\"\r\n\"\r\n\"-MEMO-\"\r\n\"試料A 昇温試験（60℃到達まで）\r\n"
                              "ファン：使用\"\r\n");
    const QString path =
        b.f.appDir() + QStringLiteral("/LOG/TXT_DATA/2008_01_15/2008_01_15_12_30_45.txt");
    ShellFixture::writeText(path, content);
    // That day's system log: the alarm that ended the log.
    const QString sysDay = b.f.appDir() + QStringLiteral("/LOG/XSYS_LOG/2008_01_15");
    QDir().mkpath(sysDay);
    ShellFixture::writeText(sysDay + QStringLiteral("/2008_01_15_12_20_00.txt"),
                            QStringLiteral("2008/01/15 13:53:58 ") +
                                LogSummary::alarmNote(QStringLiteral("001")) +
                                QStringLiteral("\r\n"));
    b.w->menuItem(QStringLiteral("view_graph"))->trigger();
    auto *graph = qobject_cast<frmGraph *>(b.w->loadedWindow(QStringLiteral("frmGraph")));
    if (!graph) {
        fail(QStringLiteral("graph window"));
        return;
    }
    b.f.dialogs->answerOpenFile(path);
    QSignalSpy read(graph, &frmGraph::storedLogRead);
    graph->C_read->click();
    if (!read.wait(60000)) {
        fail(QStringLiteral("stored log"));
        return;
    }
    if (QPushButton *fit = child<QPushButton>(graph, "Fit_c"))
        fit->click();
    if (auto *axis = child<QComboBox>(graph, "Com_axis"))
        axis->setCurrentIndex(1);
    QWidget *viewport = child<QWidget>(graph, "P1");
    if (!viewport) {
        fail(QStringLiteral("graph viewport"));
        return;
    }
    QTest::qWait(200);
    const QPointF at(viewport->width() * 0.45, 40);
    QMouseEvent move(QEvent::MouseMove, at, viewport->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    QTest::qWait(200);
    save(subWindowShot(graph), QStringLiteral("readout.png"));

    // The report of the same page, as the PDF a bench without a printer gets.
    if (!QPrinterInfo::availablePrinters().isEmpty()) {
        // It would go to the printer: report.png is left as it is.
        std::fprintf(stderr, "guide shots: a printer is installed, report.png not made\n");
        return;
    }
    QTemporaryDir work;
    const QString pdf = work.filePath(QStringLiteral("report.pdf"));
    // The page shown, then the whole log (its first page, the summary).
    const char *names[] = {"report.png", "report_summary.png"};
    for (int range = 0; range < 2; ++range) {
        b.f.dialogs->answerQuestion(true); // print?
        b.f.dialogs->answerChoice(range);  // the page shown, or the whole log
        b.f.dialogs->answerQuestion(true); // no printer: to a PDF file?
        b.f.dialogs->answerSaveFile(pdf);
        if (QPushButton *report = child<QPushButton>(graph, "Report_c"))
            report->click();
        const QString stem = work.filePath(QStringLiteral("report"));
        if (QProcess::execute(QStringLiteral("pdftocairo"),
                              {QStringLiteral("-png"), QStringLiteral("-singlefile"),
                               QStringLiteral("-scale-to"), QStringLiteral("1000"), pdf, stem}) !=
            0) {
            fail(QStringLiteral("report: pdftocairo (poppler-utils) could not render the PDF"));
            return;
        }
        save(QImage(stem + QStringLiteral(".png")), QLatin1String(names[range]));
    }
}

void settingsAndMemo()
{
    Bench b;
    if (!b.start({}, {1000, 700})) {
        fail(QStringLiteral("start-up for the settings"));
        return;
    }
    // The log folder an installed program starts with.
    ini().IniWrite(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"),
                   QStringLiteral("/home/user/.local/share/krm2200"));
    b.w->menuItem(QStringLiteral("set_shousai"))->trigger();
    QWidget *settings = b.w->loadedWindow(QStringLiteral("frmDetailed_setting"));
    auto *tabs = child<QTabWidget>(settings, "SSTab1");
    if (!tabs) {
        fail(QStringLiteral("settings window"));
        return;
    }
    const char *names[] = {"settings_sensor.png", "settings_unit.png", "settings_other.png"};
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        QTest::qWait(100);
        save(subWindowShot(settings), QLatin1String(names[i]));
    }
    b.w->unloadWindow(QStringLiteral("frmDetailed_setting"));

    b.w->menuItem(QStringLiteral("file_memo"))->trigger();
    QWidget *memo = b.w->loadedWindow(QStringLiteral("frmMemo"));
    auto *text = child<QPlainTextEdit>(memo, "memo_t");
    if (!text) {
        fail(QStringLiteral("memo window"));
        return;
    }
    text->setPlainText(QStringLiteral("試料：No.12　銅板 0.5 mm、グリス塗布\n"));
    text->moveCursor(QTextCursor::End);
    for (const char *name : {"Sensor_c", "Pattern_c"})
        if (auto *button = child<QPushButton>(memo, name))
            button->click();
    QTest::qWait(100);
    save(subWindowShot(memo), QStringLiteral("memo.png"));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Qt's own texts (the buttons "はい", "いいえ") as the program shows them.
    if (!QtJapanese::install(app))
        fail(QStringLiteral("Qt's Japanese texts (qt6-translations-l10n) not found"));
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : qEnvironmentVariable("KRM_GUIDE_SHOTS");
    if (g_out.isEmpty() || !QDir().mkpath(g_out)) {
        std::fprintf(stderr, "usage: krm_guide_shots FOLDER\n");
        return 2;
    }
    startAndPort();
    fixedRunAndMonitors();
    alarm();
    patternEditAndRun();
    storedLogAndReadout();
    settingsAndMemo();
    if (!g_failures.isEmpty())
        std::fprintf(stderr, "%lld scene(s) failed\n", qlonglong(g_failures.size()));
    return g_failures.isEmpty() ? 0 : 1;
}
