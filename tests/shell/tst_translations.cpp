// Qt's own texts speak Japanese whatever the locale: the buttons of the
// seam's question box and Qt's file dialog, built as the seam builds them.

#include "core/app/QtJapanese.h"
#include "ui/shell/Dialogs.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

// A caption as it is read: without the shortcut marker and its "(&Y)".
QString shown(QString text)
{
    static const QRegularExpression mark(QStringLiteral("\\(&.\\)"));
    return text.remove(mark).remove(QLatin1Char('&'));
}

void shoot(QWidget *w, const QString &file)
{
    const QString folder = qEnvironmentVariable("KRM_SHELL_SHOTS");
    if (folder.isEmpty())
        return;
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    w->grab().save(folder + QLatin1Char('/') + file);
}

} // namespace

class tst_Translations : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void texts_data();
    void texts();
};

void tst_Translations::initTestCase()
{
    // An English desktop: the interface is Japanese all the same.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY2(QtJapanese::install(*qApp), qPrintable(QtJapanese::catalogueFolder()));
}

void tst_Translations::texts_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("part");
    QTest::addColumn<QString>("expected");
    QTest::newRow("question yes") << "question"
                                  << "yes" << QStringLiteral("はい");
    QTest::newRow("question no") << "question"
                                 << "no" << QStringLiteral("いいえ");
    QTest::newRow("open dialog accept") << "open"
                                        << "accept" << QStringLiteral("開く");
    QTest::newRow("open dialog cancel") << "open"
                                        << "cancel" << QStringLiteral("キャンセル");
    QTest::newRow("open dialog file name") << "open"
                                           << "fileNameLabel" << QStringLiteral("ファイル名:");
}

void tst_Translations::texts()
{
    QFETCH(QString, dialog);
    QFETCH(QString, part);
    QFETCH(QString, expected);

    QString text;
    if (dialog == QLatin1String("question")) {
        const std::unique_ptr<QMessageBox> box(QtDialogs::makeQuestionBox(
            nullptr, QStringLiteral("終了すると制御が中断されます。\n終了しますか？"),
            QStringLiteral("終了確認"), false));
        text =
            box->button(part == QLatin1String("yes") ? QMessageBox::Yes : QMessageBox::No)->text();
        if (part == QLatin1String("yes"))
            shoot(box.get(), QStringLiteral("question_ja.png"));
    } else {
        const std::unique_ptr<QFileDialog> box(
            QtDialogs::makeOpenDialog(nullptr, configSetFilter(), QDir::tempPath()));
        auto *buttons = box->findChild<QDialogButtonBox *>();
        QVERIFY2(buttons, "not Qt's own file dialog");
        if (part == QLatin1String("accept"))
            text = buttons->button(QDialogButtonBox::Open)->text();
        else if (part == QLatin1String("cancel"))
            text = buttons->button(QDialogButtonBox::Cancel)->text();
        else
            text = box->findChild<QLabel *>(part)->text();
        if (part == QLatin1String("accept")) {
            box->resize(640, 400);
            shoot(box.get(), QStringLiteral("file_dialog_ja.png"));
        }
    }
    QCOMPARE(shown(text), expected);
}

QTEST_MAIN(tst_Translations)
#include "tst_translations.moc"
