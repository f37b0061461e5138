#include "ui/shell/ScriptedDialogs.h"

#include <QtGlobal>

namespace {

Dialogs *g_current = nullptr;

const char *kindName(ScriptedDialogs::Kind k)
{
    switch (k) {
    case ScriptedDialogs::Kind::Message:
        return "message";
    case ScriptedDialogs::Kind::Question:
        return "question";
    case ScriptedDialogs::Kind::Choice:
        return "choice";
    case ScriptedDialogs::Kind::OpenFile:
        return "open-file dialog";
    case ScriptedDialogs::Kind::SaveFile:
        return "save-file dialog";
    case ScriptedDialogs::Kind::PickFolder:
        return "folder picker";
    case ScriptedDialogs::Kind::Notice:
        return "notice";
    }
    return "dialog";
}

} // namespace

ScriptedDialogs::ScriptedDialogs()
{
    m_previous = g_current;
    g_current = this;
    Dialogs::setInstance(this);
    onUnexpected = [](const Record &r) {
        qFatal("ScriptedDialogs: unexpected %s without a scripted answer: [%s] %s",
               kindName(r.kind), qPrintable(r.title), qPrintable(r.text));
    };
}

ScriptedDialogs::~ScriptedDialogs()
{
    g_current = m_previous;
    Dialogs::setInstance(m_previous);
}

QList<ScriptedDialogs::Record> ScriptedDialogs::messages() const
{
    QList<Record> out;
    for (const Record &r : m_records)
        if (r.kind == Kind::Message)
            out.append(r);
    return out;
}

QList<ScriptedDialogs::Record> ScriptedDialogs::questions() const
{
    QList<Record> out;
    for (const Record &r : m_records)
        if (r.kind == Kind::Question)
            out.append(r);
    return out;
}

QList<ScriptedDialogs::Record> ScriptedDialogs::choices() const
{
    QList<Record> out;
    for (const Record &r : m_records)
        if (r.kind == Kind::Choice)
            out.append(r);
    return out;
}

QList<ScriptedDialogs::Record> ScriptedDialogs::notices() const
{
    QList<Record> out;
    for (const Record &r : m_records)
        if (r.kind == Kind::Notice)
            out.append(r);
    return out;
}

ScriptedDialogs::Record ScriptedDialogs::lastMessage() const
{
    for (auto it = m_records.crbegin(); it != m_records.crend(); ++it)
        if (it->kind == Kind::Message)
            return *it;
    return Record{Kind::Message, {}, {}, false, {}};
}

int ScriptedDialogs::pendingAnswers() const
{
    return int(m_questions.size() + m_choices.size() + m_openFiles.size() + m_saveFiles.size() +
               m_folders.size());
}

void ScriptedDialogs::clear()
{
    m_records.clear();
    m_questions.clear();
    m_choices.clear();
    m_openFiles.clear();
    m_saveFiles.clear();
    m_folders.clear();
    m_openNotices.clear();
}

void ScriptedDialogs::message(QWidget *, const QString &text, const QString &title)
{
    Record r{Kind::Message, title, text, false, QStringLiteral("ok")};
    m_records.append(r);
    if (onMessage)
        onMessage(r);
}

bool ScriptedDialogs::question(QWidget *, const QString &text, const QString &title,
                               bool defaultYes)
{
    Record r{Kind::Question, title, text, defaultYes, {}};
    if (onQuestion)
        onQuestion(r);
    if (m_questions.isEmpty()) {
        r.answer = QStringLiteral("<unexpected>");
        m_records.append(r);
        if (onUnexpected)
            onUnexpected(r);
        return false;
    }
    const bool yes = m_questions.dequeue();
    r.answer = yes ? QStringLiteral("yes") : QStringLiteral("no");
    m_records.append(r);
    return yes;
}

int ScriptedDialogs::choose(QWidget *, const QString &text, const QString &title,
                            const QStringList &options, int defaultIndex)
{
    Record r{Kind::Choice, title, text, false, {}, options};
    if (onQuestion)
        onQuestion(r);
    if (m_choices.isEmpty()) {
        r.answer = QStringLiteral("<unexpected>");
        m_records.append(r);
        if (onUnexpected)
            onUnexpected(r);
        return -1;
    }
    const int index = m_choices.dequeue();
    const bool valid = index >= 0 && index < options.size();
    r.answer = valid ? options.at(index) : QStringLiteral("cancel");
    m_records.append(r);
    return valid ? index : -1;
}

QString ScriptedDialogs::takePath(QQueue<QString> &queue, Record rec)
{
    if (queue.isEmpty()) {
        rec.answer = QStringLiteral("<unexpected>");
        m_records.append(rec);
        if (onUnexpected)
            onUnexpected(rec);
        return {};
    }
    rec.answer = queue.dequeue();
    m_records.append(rec);
    return rec.answer;
}

QString ScriptedDialogs::openFile(QWidget *, const QString &filter, const QString &)
{
    return takePath(m_openFiles, Record{Kind::OpenFile, {}, filter, false, {}});
}

QString ScriptedDialogs::saveFile(QWidget *, const QString &filter, const QString &)
{
    return takePath(m_saveFiles, Record{Kind::SaveFile, {}, filter, false, {}});
}

QString ScriptedDialogs::pickFolder(QWidget *, const QString &title, const QString &)
{
    return takePath(m_folders, Record{Kind::PickFolder, title, {}, false, {}});
}

void ScriptedDialogs::showNotice(QWidget *, const QString &key, const QString &text,
                                 const QString &title)
{
    if (m_openNotices.contains(key))
        return;
    m_openNotices.append(key);
    m_records.append(Record{Kind::Notice, title, text, false, key});
}

void ScriptedDialogs::closeNotice(const QString &key)
{
    m_openNotices.removeAll(key);
}
