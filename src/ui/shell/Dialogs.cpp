#include "ui/shell/Dialogs.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <memory>

Q_LOGGING_CATEGORY(lcDialogs, "krm.dialogs")

namespace {

Dialogs *g_installed = nullptr;

// Messages are composed with "\n"; a CR LF from elsewhere shows as one break.
QString displayText(const QString &text)
{
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

// The box's text is its description, heard with its title before the
// buttons; the body label is text to be read, not a stop for the keyboard
// (selecting it with the mouse made it take the focus by click, and a
// reader then passed it over as a control).
QMessageBox *spokenWhole(QMessageBox *box)
{
    box->setAccessibleDescription(box->text());
    for (auto *label : box->findChildren<QLabel *>())
        label->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

Dialogs &Dialogs::instance()
{
    static QtDialogs real;
    return g_installed ? *g_installed : real;
}

void Dialogs::setInstance(Dialogs *dialogs)
{
    g_installed = dialogs;
}

QString configSetFilter()
{
    return QStringLiteral("構成設定 (*.ini)");
}

QMessageBox *QtDialogs::makeMessageBox(QWidget *parent, const QString &text, const QString &title)
{
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(title);
    box->setText(displayText(text));
    box->setTextFormat(Qt::PlainText);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    return spokenWhole(box);
}

QMessageBox *QtDialogs::makeQuestionBox(QWidget *parent, const QString &text, const QString &title,
                                        bool defaultYes)
{
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(title);
    box->setText(displayText(text));
    box->setTextFormat(Qt::PlainText);
    box->setIcon(QMessageBox::Question);
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return spokenWhole(box);
}

QMessageBox *QtDialogs::makeChoiceBox(QWidget *parent, const QString &text, const QString &title,
                                      const QStringList &options, int defaultIndex)
{
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(title);
    box->setText(displayText(text));
    box->setTextFormat(Qt::PlainText);
    box->setIcon(QMessageBox::Question);
    for (qsizetype i = 0; i < options.size(); ++i) {
        QPushButton *b = box->addButton(options.at(i), QMessageBox::AcceptRole);
        if (i == defaultIndex)
            box->setDefaultButton(b);
    }
    box->setEscapeButton(box->addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole));
    return spokenWhole(box);
}

void QtDialogs::message(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox *box = makeMessageBox(parent, text, title);
    box->exec();
    delete box;
}

bool QtDialogs::question(QWidget *parent, const QString &text, const QString &title,
                         bool defaultYes)
{
    QMessageBox *box = makeQuestionBox(parent, text, title, defaultYes);
    const bool yes = box->exec() == QMessageBox::Yes;
    delete box;
    return yes;
}

int QtDialogs::choose(QWidget *parent, const QString &text, const QString &title,
                      const QStringList &options, int defaultIndex)
{
    QMessageBox *box = makeChoiceBox(parent, text, title, options, defaultIndex);
    box->exec();
    const QList<QAbstractButton *> buttons = box->buttons();
    int chosen = -1;
    for (qsizetype i = 0; i < options.size() && i < buttons.size(); ++i)
        if (box->clickedButton() == buttons.at(i))
            chosen = int(i);
    delete box;
    return chosen;
}

// Qt's own file dialog, not the desktop's: the desktop's speaks the user's
// language, and this program speaks Japanese whatever the locale.
QFileDialog::Options QtDialogs::openOptions()
{
    return QFileDialog::DontUseNativeDialog;
}

QFileDialog::Options QtDialogs::saveOptions()
{
    return QFileDialog::DontUseNativeDialog;
}

QFileDialog *QtDialogs::makeOpenDialog(QWidget *parent, const QString &filter,
                                       const QString &directory)
{
    auto *dialog = new QFileDialog(parent, QString(), directory, filter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile); // must exist, path must exist
    dialog->setOptions(openOptions());
    return dialog;
}

QString QtDialogs::openFile(QWidget *parent, const QString &filter, const QString &directory)
{
    const std::unique_ptr<QFileDialog> dialog(makeOpenDialog(parent, filter, directory));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

QString QtDialogs::suffixOf(const QString &filter)
{
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    return pattern.match(filter).captured(1);
}

QFileDialog *QtDialogs::makeSaveDialog(QWidget *parent, const QString &filter,
                                       const QString &directory)
{
    auto *dialog = new QFileDialog(parent, QString(), directory, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setOptions(saveOptions());
    // A name typed without an extension gets the one of the file's kind.
    dialog->setDefaultSuffix(suffixOf(dialog->selectedNameFilter()));
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString &chosen) {
        dialog->setDefaultSuffix(suffixOf(chosen));
    });
    return dialog;
}

QString QtDialogs::saveFile(QWidget *parent, const QString &filter, const QString &directory)
{
    const std::unique_ptr<QFileDialog> dialog(makeSaveDialog(parent, filter, directory));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return {};
    return dialog->selectedFiles().constFirst();
}

QString QtDialogs::pickFolder(QWidget *parent, const QString &title, const QString &startFolder)
{
    return QFileDialog::getExistingDirectory(
        parent, title, startFolder, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void QtDialogs::showNotice(QWidget *parent, const QString &key, const QString &text,
                           const QString &title)
{
    if (m_notices.value(key))
        return;
    QMessageBox *box = makeMessageBox(parent, text, title);
    box->setIcon(QMessageBox::Warning);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_notices.insert(key, box);
    box->show();
}

void QtDialogs::closeNotice(const QString &key)
{
    if (QMessageBox *box = m_notices.take(key))
        box->close();
}

QMessageBox *QtDialogs::notice(const QString &key) const
{
    return m_notices.value(key);
}

void UnattendedDialogs::showNotice(QWidget *, const QString &, const QString &text,
                                   const QString &title)
{
    qCInfo(lcDialogs).noquote() << "[" + title + "]" << displayText(text);
}

void UnattendedDialogs::message(QWidget *, const QString &text, const QString &title)
{
    qCInfo(lcDialogs).noquote() << "[" + title + "]" << displayText(text);
}

bool UnattendedDialogs::question(QWidget *, const QString &text, const QString &title,
                                 bool defaultYes)
{
    qCInfo(lcDialogs).noquote() << "[" + title + "]" << displayText(text)
                                << (defaultYes ? "-> yes" : "-> no");
    return defaultYes;
}

int UnattendedDialogs::choose(QWidget *, const QString &text, const QString &title,
                              const QStringList &options, int defaultIndex)
{
    qCInfo(lcDialogs).noquote() << "[" + title + "]" << displayText(text) << "->"
                                << options.value(defaultIndex);
    return defaultIndex >= 0 && defaultIndex < options.size() ? defaultIndex : -1;
}
