// The real dialogs of the seam (QtDialogs: Qt's own file dialog and message
// boxes, not the script the other tests answer with), worked as a user works
// them: found among the windows, a name typed, accepted or a button pressed.
// A dialog that does not show is a fault: whatever is open is closed, so the
// test fails instead of blocking.

#include "ui/logging/GraphActions.h"
#include "ui/shell/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// One dialog the user works: true when the window is the one expected and
// the step has done its part.
using Step = std::function<bool(QWidget *)>;

// Works the modal dialogs as they show, one step each, in order.
class User : public QObject {
public:
    explicit User(QList<Step> steps) : m_steps(std::move(steps))
    {
        m_deadline.setRemainingTime(60000);
        connect(&m_timer, &QTimer::timeout, this, &User::look);
        m_timer.start(20);
    }

    // Empty when every step was done, else what went wrong.
    QString fault() const
    {
        if (!m_fault.isEmpty() || m_steps.isEmpty())
            return m_fault;
        return QStringLiteral("%1 dialog(s) expected did not show").arg(m_steps.size());
    }

private:
    void look()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && !m_steps.isEmpty() && m_steps.constFirst()(modal)) {
            m_steps.removeFirst();
            return;
        }
        if (modal) {
            m_fault = QStringLiteral("unexpected dialog %1 \"%2\"")
                          .arg(QString::fromLatin1(modal->metaObject()->className()),
                               modal->windowTitle());
            closeAll();
        } else if (!m_steps.isEmpty() && m_deadline.hasExpired()) {
            m_fault = QStringLiteral("no dialog showed within 60 s");
            closeAll();
        }
    }

    void closeAll()
    {
        m_timer.stop();
        const QWidgetList windows = QApplication::topLevelWidgets();
        for (QWidget *w : windows) {
            if (auto *dialog = qobject_cast<QDialog *>(w); dialog && dialog->isVisible())
                dialog->reject();
        }
    }

    QList<Step> m_steps;
    QString m_fault;
    QTimer m_timer;
    QDeadlineTimer m_deadline;
};

// Types `name` into a file dialog's name box and accepts, as Enter does.
Step typeName(const QString &name)
{
    return [name](QWidget *w) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        auto *edit =
            dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!edit)
            return false;
        edit->clear();
        QTest::keyClicks(edit, name);
        static_cast<QDialog *>(dialog)->accept(); // what the default button does
        return true;
    };
}

// Presses `button` of the message box whose text begins with `text`.
Step press(QMessageBox::StandardButton button, const QString &text)
{
    return [button, text](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->text().startsWith(text) || !box->button(button))
            return false;
        box->button(button)->click();
        return true;
    };
}

// Presses the button named `name` of the message box whose text begins with
// `text`.
Step pressNamed(const QString &name, const QString &text)
{
    return [name, text](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->text().startsWith(text))
            return false;
        for (QAbstractButton *b : box->buttons())
            if (b->text() == name) {
                b->click();
                return true;
            }
        return false;
    };
}

GraphPage twoSamples()
{
    GraphPage page;
    page.values = [](int, qint64) { return QStringLiteral("+025.00"); };
    page.elapsed = [](qint64 i) { return i; };
    page.interval = 1;
    page.last = 1;
    return page;
}

} // namespace

class tst_Dialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void realDialogs_data();
    void realDialogs();
};

void tst_Dialogs::realDialogs_data()
{
    QTest::addColumn<QString>("kind");
    // The file made or chosen, in the test's folder; or the answer.
    QTest::addColumn<QString>("expected");
    QTest::newRow("open set") << "open"
                              << "set.ini";
    QTest::newRow("save set") << "save"
                              << "new set.ini";
    QTest::newRow("folder") << "folder"
                            << "sub";
    QTest::newRow("message") << "message"
                             << "";
    QTest::newRow("question") << "question"
                              << "yes";
    QTest::newRow("choice") << "choice"
                            << "1";
    QTest::newRow("choice cancelled") << "cancel"
                                      << "-1";
    QTest::newRow("CSV export") << "csv"
                                << "page.csv";
    QTest::newRow("PNG export") << "png"
                                << "page.png";
    QTest::newRow("PDF report") << "pdf"
                                << "report.pdf";
}

void tst_Dialogs::realDialogs()
{
    QFETCH(QString, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString folder = dir.path();
    QVERIFY(QDir(folder).mkdir(QStringLiteral("sub")));
    QFile set(dir.filePath(QStringLiteral("set.ini")));
    QVERIFY(set.open(QIODevice::WriteOnly) && set.write("[BEEP]\npara=1\n") > 0);
    set.close();
    if (kind == QLatin1String("pdf") && !QPrinterInfo::availablePrinters().isEmpty())
        QSKIP("a printer is installed: the report would be printed on it");

    Dialogs &d = Dialogs::instance();
    QVERIFY(dynamic_cast<QtDialogs *>(&d));
    QString result;
    QString fault;
    auto run = [&fault](QList<Step> steps, const std::function<void()> &call) {
        User user(std::move(steps));
        call();
        fault = user.fault();
    };
    auto inFolder = [&folder](const QString &path) {
        return path.isEmpty() ? QString() : QDir(folder).relativeFilePath(path);
    };
    if (kind == QLatin1String("open")) {
        run({typeName(QStringLiteral("set.ini"))},
            [&] { result = inFolder(d.openFile(nullptr, configSetFilter(), folder)); });
    } else if (kind == QLatin1String("save")) {
        run({typeName(QStringLiteral("new set"))},
            [&] { result = inFolder(d.saveFile(nullptr, configSetFilter(), folder)); });
    } else if (kind == QLatin1String("folder")) {
        run({typeName(QStringLiteral("sub"))}, [&] {
            result = inFolder(d.pickFolder(nullptr, QStringLiteral("フォルダの選択"), folder));
        });
    } else if (kind == QLatin1String("message")) {
        run({press(QMessageBox::Ok, QStringLiteral("保存しました。\n"))}, [&] {
            d.message(nullptr, QStringLiteral("保存しました。\r\nset.ini"), QStringLiteral("確認"));
        });
    } else if (kind == QLatin1String("question")) {
        run({press(QMessageBox::Yes, QStringLiteral("印刷しますか？"))}, [&] {
            result =
                d.question(nullptr, QStringLiteral("印刷しますか？"), QStringLiteral("確認"), false)
                    ? QStringLiteral("yes")
                    : QStringLiteral("no");
        });
    } else if (kind == QLatin1String("choice") || kind == QLatin1String("cancel")) {
        const QString text = GraphActions::csvRangeQuestion();
        const QStringList options = GraphActions::csvRangeChoices();
        const QString button =
            kind == QLatin1String("cancel") ? QStringLiteral("キャンセル") : options.at(1);
        run({pressNamed(button, text)}, [&] {
            result = QString::number(d.choose(nullptr, text, QStringLiteral("確認"), options, 0));
        });
    } else if (kind == QLatin1String("csv")) {
        run({typeName(QStringLiteral("page"))},
            [&] { result = inFolder(GraphActions::saveCsv(nullptr, twoSamples(), folder)); });
    } else if (kind == QLatin1String("png")) {
        run({pressNamed(GraphActions::sizeChoices().at(0), GraphActions::sizeQuestion()),
             typeName(QStringLiteral("page"))},
            [&] {
                result = inFolder(GraphActions::savePicture(nullptr, twoSamples(), {}, folder));
            });
    } else if (kind == QLatin1String("pdf")) {
        run({press(QMessageBox::Yes, QStringLiteral("印刷しますか？")),
             press(QMessageBox::Yes, QStringLiteral("プリンタが見つかりません。")),
             typeName(QStringLiteral("report")),
             press(QMessageBox::Ok, QStringLiteral("PDFファイルを保存しました。\n") +
                                        QDir::toNativeSeparators(dir.filePath(expected)))},
            [&] { GraphActions::printReport(nullptr, twoSamples(), {}, folder); });
        result = expected;
    }
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(result, expected);
    // A file made has the extension of its kind and nothing else was made.
    const QStringList made = QDir(folder).entryList(QDir::Files, QDir::Name);
    if (kind == QLatin1String("csv") || kind == QLatin1String("png") ||
        kind == QLatin1String("pdf"))
        QCOMPARE(made, (QStringList{expected, QStringLiteral("set.ini")}));
    else
        QCOMPARE(made, QStringList{QStringLiteral("set.ini")});
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
