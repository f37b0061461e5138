#pragma once

#include "ui/shell/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

#include <functional>

// A test double for the dialog seam: records every message and question and
// answers from queues. A question or a file dialog that nobody scripted an
// answer for is a test fault: it is reported through `onUnexpected` (by
// default a fatal error naming the dialog), never by blocking on a window.
// Installs itself on construction and restores the previous instance on
// destruction.
class ScriptedDialogs : public Dialogs {
public:
    enum class Kind { Message, Question, Choice, OpenFile, SaveFile, PickFolder, Notice };

    struct Record {
        Kind kind;
        QString title;
        QString text;            // the message text; the filter or title for file dialogs
        bool defaultYes = false; // questions only
        QString answer;          // what was answered ("yes"/"no", a path, an option)
        QStringList options{};   // choices only
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers, used in order.
    void answerQuestion(bool yes) { m_questions.enqueue(yes); }
    void answerChoice(int index) { m_choices.enqueue(index); }              // -1 = cancel
    void answerOpenFile(const QString &path) { m_openFiles.enqueue(path); } // "" = cancel
    void answerSaveFile(const QString &path) { m_saveFiles.enqueue(path); } // "" = cancel
    void answerPickFolder(const QString &path) { m_folders.enqueue(path); } // "" = cancel

    const QList<Record> &records() const { return m_records; }
    QList<Record> messages() const;
    QList<Record> questions() const;
    QList<Record> choices() const;
    QList<Record> notices() const;
    // Keys of the notices shown and not closed yet.
    QStringList openNotices() const { return m_openNotices; }
    // The user closes a notice.
    void closeNoticeByUser(const QString &key) { m_openNotices.removeAll(key); }
    // The last message shown, or an empty record.
    Record lastMessage() const;
    int pendingAnswers() const;
    void clear();

    // Runs while a message "is shown", with the record (e.g. to look at the
    // program's state at that moment).
    std::function<void(const Record &)> onMessage;
    // Runs while a question "is shown", before it is answered.
    std::function<void(const Record &)> onQuestion;
    // Called for a dialog without a scripted answer.
    std::function<void(const Record &)> onUnexpected;

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

private:
    QString takePath(QQueue<QString> &queue, Record rec);

    QList<Record> m_records;
    QQueue<bool> m_questions;
    QQueue<int> m_choices;
    QQueue<QString> m_openFiles;
    QQueue<QString> m_saveFiles;
    QQueue<QString> m_folders;
    QStringList m_openNotices;
    Dialogs *m_previous = nullptr;
};
