#pragma once

#include <QFileDialog>
#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

class QWidget;

// Every message box, question and file or folder dialog of the program goes
// through this one seam, so that tests can answer them without a modal window.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message with one OK button.
    virtual void message(QWidget *parent, const QString &text, const QString &title) = 0;
    // A question with Yes and No; returns true only for Yes. `defaultYes`
    // chooses the default button.
    virtual bool question(QWidget *parent, const QString &text, const QString &title,
                          bool defaultYes) = 0;
    // A choice among `options`, one button each, and a cancel button;
    // returns the index chosen, or -1 when cancelled. `defaultIndex` is the
    // default button.
    virtual int choose(QWidget *parent, const QString &text, const QString &title,
                       const QStringList &options, int defaultIndex) = 0;
    // File dialogs return the chosen path, or an empty text when cancelled.
    virtual QString openFile(QWidget *parent, const QString &filter,
                             const QString &directory = QString()) = 0;
    virtual QString saveFile(QWidget *parent, const QString &filter,
                             const QString &directory = QString()) = 0;
    // Folder picker: returns the chosen folder or an empty text.
    virtual QString pickFolder(QWidget *parent, const QString &title,
                               const QString &startFolder = QString()) = 0;
    // A notice that does not block: it stays on the screen while the program
    // goes on, until the user closes it or the program calls closeNotice with
    // its key. A notice whose key is shown already is left as it is.
    virtual void showNotice(QWidget *parent, const QString &key, const QString &text,
                            const QString &title) = 0;
    // Closes the notice of that key; nothing when it is not shown.
    virtual void closeNotice(const QString &key) = 0;

    // The instance in use; the Qt dialogs unless a test installed another.
    static Dialogs &instance();
    // Installs `dialogs` (not owned); nullptr restores the Qt dialogs.
    static void setInstance(Dialogs *dialogs);
};

// The real dialogs: QMessageBox and QFileDialog.
class QtDialogs : public Dialogs {
public:
    void message(QWidget *parent, const QString &text, const QString &title) override;
    bool question(QWidget *parent, const QString &text, const QString &title,
                  bool defaultYes) override;
    int choose(QWidget *parent, const QString &text, const QString &title,
               const QStringList &options, int defaultIndex) override;
    QString openFile(QWidget *parent, const QString &filter, const QString &directory) override;
    QString saveFile(QWidget *parent, const QString &filter, const QString &directory) override;
    QString pickFolder(QWidget *parent, const QString &title, const QString &startFolder) override;
    void showNotice(QWidget *parent, const QString &key, const QString &text,
                    const QString &title) override;
    void closeNotice(const QString &key) override;
    // The notice shown under `key`, or nullptr.
    QMessageBox *notice(const QString &key) const;

    // The message box `message` shows, built but not run; for screenshots.
    static QMessageBox *makeMessageBox(QWidget *parent, const QString &text, const QString &title);
    // The question box `question` shows, built but not run.
    static QMessageBox *makeQuestionBox(QWidget *parent, const QString &text, const QString &title,
                                        bool defaultYes);
    // The choice box `choose` shows, built but not run: the options' buttons
    // in their order, then "キャンセル".
    static QMessageBox *makeChoiceBox(QWidget *parent, const QString &text, const QString &title,
                                      const QStringList &options, int defaultIndex);

    // The file dialog `openFile` shows, built but not run.
    static QFileDialog *makeOpenDialog(QWidget *parent, const QString &filter,
                                       const QString &directory = QString());

    // The file dialog `saveFile` shows, built but not run.
    static QFileDialog *makeSaveDialog(QWidget *parent, const QString &filter,
                                       const QString &directory = QString());
    // The extension of a filter's first pattern: "ini" for "構成設定 (*.ini)";
    // empty when it names none.
    static QString suffixOf(const QString &filter);

    // Options of the open dialog: Qt's own dialog, the file must exist, the
    // current folder is left alone (QFileDialog never changes it), no
    // read-only box.
    static QFileDialog::Options openOptions();
    // Options of the save dialog: Qt's own dialog, which asks before
    // overwriting by default.
    static QFileDialog::Options saveOptions();

private:
    QHash<QString, QPointer<QMessageBox>> m_notices;
};

// For runs nobody watches (benchmarks, smoke tests, screenshots): messages go
// to the diagnostic output, questions take their default answer, file dialogs
// are cancelled. Nothing blocks.
class UnattendedDialogs : public Dialogs {
public:
    void message(QWidget *parent, const QString &text, const QString &title) override;
    bool question(QWidget *parent, const QString &text, const QString &title,
                  bool defaultYes) override;
    int choose(QWidget *parent, const QString &text, const QString &title,
               const QStringList &options, int defaultIndex) override;
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString pickFolder(QWidget *, const QString &, const QString &) override { return {}; }
    void showNotice(QWidget *parent, const QString &key, const QString &text,
                    const QString &title) override;
    void closeNotice(const QString &) override {}
};

// Filter of the configuration-set dialogs.
QString configSetFilter();
