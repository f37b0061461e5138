#include "core/link/SettingsTransfer.h"

#include "core/config/DiskFile.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/AnswerShape.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

#include <algorithm>
#include <functional>

Q_LOGGING_CATEGORY(lcTransfer, "krm.link.transfer")

namespace {

const QString kEmpty;

bool isNumericZero(const QString &field)
{
    bool ok = false;
    const double v = field.toDouble(&ok);
    return ok && v == 0.0;
}

QString panelText(int n, const QString &use, const QString &upper, const QString &lower)
{
    if (isNumericZero(use))
        return sensorName(n) + QStringLiteral("使用不可");
    return sensorName(n) + QStringLiteral("上限：") + upper + QStringLiteral("下限：") + lower;
}

} // namespace

SettingsTransfer::SettingsTransfer(SerialLink &link, Reception_Show &parsers, Parameter &p,
                                   Ini_Operation &ini)
    : m_link(link), m_parsers(parsers), m_p(p), m_ini(ini)
{}

QString SettingsTransfer::sensorPanelText(int n, const QString &record)
{
    const QStringList f = record.split(QLatin1Char(' '));
    if (record.isEmpty() || f.size() < 3)
        return {};
    return panelText(n, f[0], f[1], f[2]);
}

QString SettingsTransfer::sensorCommand(int n, const QString &record)
{
    const QStringList f = record.split(QLatin1Char(' '));
    if (record.isEmpty() || f.size() < 4)
        return {};
    const QString head = QStringLiteral("SEN %1 ").arg(n);
    // The instrument wants numbers: an offset or resistance that is not set
    // ("*") goes out as 0 and 100, while the stored record keeps its "*".
    if (n >= 2) {
        const QString off = f[3] == QLatin1String("*") ? QStringLiteral("0") : f[3];
        return head + QStringList{f[0], f[1], f[2], off}.join(QLatin1Char(' '));
    }
    if (f[3] == QLatin1String("*")) {
        if (f.size() < 5)
            return {};
        const QString res = f[4] == QLatin1String("*") ? QStringLiteral("100") : f[4];
        return head +
               QStringList{f[0], f[1], f[2], QStringLiteral("0"), res}.join(QLatin1Char(' '));
    }
    return head + record;
}

void SettingsTransfer::failRead(bool &all_flg)
{
    SerialLink::WaitSeconds(1.0);
    all_flg = false;
}

bool SettingsTransfer::fastReadOn() const
{
    return m_fastRead || m_ini.IniRead(QLatin1String(FastReadSection),
                                       QLatin1String(FastReadKey)) == QLatin1String("1");
}

void SettingsTransfer::ReadAllSettings(bool &all_flg)
{
    m_storeFailed = false;
    if (fastReadOn()) {
        ReadAnswers answers;
        if (readOnce(true, answers)) {
            if (!storeRead(answers))
                failRead(all_flg);
            return;
        }
        // Whatever made the fast read fail, the normal read runs at once and
        // only its failure counts: the fast read may end no worse. It starts
        // as a first read would, on the open port with the link healthy.
        m_link.markHealthy();
    }
    ReadAnswers answers;
    if (!readOnce(false, answers) || !storeRead(answers))
        failRead(all_flg);
}

bool SettingsTransfer::storeRead(const ReadAnswers &answers)
{
    // One replacement of the file for the whole set, on top of whatever the
    // file holds now (events ran during the read).
    const QString path = m_ini.workingFile();
    std::optional<IniDocument> doc = IniFile::load(path);
    if (!doc) {
        if (path.isEmpty() || QFileInfo::exists(path)) {
            qCWarning(lcTransfer) << "cannot read" << path << "to store the instrument's settings";
            return false;
        }
        doc = IniDocument::parse(QByteArray());
    }
    for (const auto &[section, key, value] : answers.keys) {
        if (!doc->setValue(section, key, value))
            return false;
    }
    QString reason;
    if (!IniFile::save(path, *doc, &reason)) {
        qCWarning(lcTransfer) << "cannot store the instrument's settings in" << path << reason;
        // Told once by the caller, with the reason, rather than as a notice
        // here and a failed read there.
        m_storeFailed = true;
        m_storeFailedPath = path;
        m_storeFailedReason = reason;
        return false;
    }
    std::copy(answers.sensors.begin(), answers.sensors.end(), m_p.SenPara.begin());
    m_p.UniPara = answers.unit;
    std::copy(answers.patterns.begin(), answers.patterns.end(), m_p.PatternPara.begin());
    std::copy(answers.steps.begin(), answers.steps.end(), m_p.StepPara.begin());
    // The file now holds what the instrument holds: there is no set of the
    // user's left to write again.
    clearUnfinishedWrite();
    return true;
}

bool SettingsTransfer::readOnce(bool fast, ReadAnswers &answers)
{
    auto keep = [&answers](const QString &section, const QString &key, const QString &value) {
        answers.keys.append({section, key, value});
    };
    // In the fast read a query's wait ends once its parser has seen the end
    // of line 3, the line that holds the answer.
    auto lineThreeIn = [fast](const int &crCount) -> std::function<bool()> {
        if (!fast)
            return {};
        return [&crCount] { return crCount >= 3; };
    };
    // The waits stay as they are; an answer still coming in when one ends (a
    // busy machine, a slow instrument) is waited for up to the first-reply
    // limit, so the read is not failed for a whole answer that was merely
    // late.
    auto lateLineThree = [this](const int &crCount) {
        if (m_link.CommOk() && crCount < 3)
            m_link.awaitAnswer([&crCount] { return crCount >= 3; });
    };
    auto progress = [this](int v) {
        if (m_view)
            m_view->setReadProgress(v);
    };
    // One query, its whole answer checked against the instrument's exact
    // shape before anything of it is taken: `take` gets the value line and
    // says whether it is a value of that query. A line garbled by noise is
    // not a lost instrument: the query is asked again, up to MaxQueryRetries
    // more times, each noted in the system log; the read fails when the
    // last try fails, or at once when no answer came at all. `ask` sends the
    // query with the parser's state reset and returns the counter of lines.
    // Every value line taken, with its query, for the confirmation below.
    QList<std::pair<QString, QString>> taken;
    bool noisy = false;
    auto checked = [this, &taken, &noisy](const QString &cmd, const std::function<void()> &ask,
                                          const std::function<bool(const QString &)> &take) {
        for (int attempt = 0;; ++attempt) {
            if (attempt > 0)
                m_link.noteSystemLog(QStringLiteral("再問合せ：") + cmd);
            m_parsers.resetRaw();
            ask();
            QString line;
            if (AnswerShape::wholeAnswer(cmd, m_parsers.RawReply, &line) && take(line)) {
                taken.append({cmd, line});
                return true;
            }
            if (!m_link.CommOk() || attempt >= MaxQueryRetries)
                return false;
            noisy = true;
            ++m_retries;
        }
    };
    // A query asked again on its own, for the confirmation.
    auto askAgain = [&](const QString &cmd) {
        const QString head = cmd.section(QLatin1Char(' '), 0, 0);
        const bool slot = cmd.contains(QLatin1Char(' '));
        int &crCount = head == QLatin1String("SEN")    ? m_parsers.SenCrCount
                       : head == QLatin1String("LP")   ? m_parsers.LpCrCount
                       : head == QLatin1String("LS")   ? m_parsers.LsCrCount
                       : head == QLatin1String("UNI")  ? m_parsers.UniCrCount
                       : head == QLatin1String("BEEP") ? m_parsers.BeepCrCount
                       : head == QLatin1String("LIT")  ? m_parsers.LitCrCount
                                                       : m_parsers.FanCrCount;
        m_parsers.resetSen();
        m_parsers.resetLp();
        m_parsers.resetLs();
        crCount = 0;
        m_parsers.resetRaw();
        m_link.SendCommand(cmd, slot ? head : cmd, head == QLatin1String("BEEP") ? 0.05 : 0.06,
                           lineThreeIn(crCount));
        lateLineThree(crCount);
        QString line;
        return AnswerShape::wholeAnswer(cmd, m_parsers.RawReply, &line) ? line : QString();
    };
    // On a line that garbled an answer in this read, a digit may as well
    // have been turned into another digit, which no check of one answer can
    // see. Every answer that carries digits is then asked once more and kept
    // only when a later answer is the very same line; the read fails when
    // none is within the tries.
    auto confirmed = [&] {
        if (!noisy)
            return true;
        for (const auto &[cmd, line] : std::as_const(taken)) {
            // A pattern's or step's slot number ("P3", "S31") is no value.
            const QString value =
                cmd.startsWith(QLatin1String("LP ")) || cmd.startsWith(QLatin1String("LS "))
                    ? line.section(QLatin1Char(' '), 1)
                    : line;
            if (!std::any_of(value.cbegin(), value.cend(), [](QChar c) { return c.isDigit(); }))
                continue;
            bool same = false;
            for (int attempt = 0; attempt <= MaxQueryRetries && !same; ++attempt) {
                m_link.noteSystemLog(QStringLiteral("再問合せ：") + cmd);
                ++m_confirmations;
                same = askAgain(cmd) == line;
                if (!m_link.CommOk())
                    return false;
            }
            if (!same)
                return false;
        }
        return true;
    };
    // One single-line query: the parser's counter and buffer are reset first,
    // so an answer left over from an earlier read can never pass for this one.
    auto single = [this, &lineThreeIn, &lateLineThree,
                   &checked](const QString &cmd, int &crCount, QString &reply, double delay,
                             const std::function<bool(const QString &)> &take) {
        return checked(
            cmd,
            [&] {
                crCount = 0;
                reply.clear();
                m_link.SendCommand(cmd, cmd, delay, lineThreeIn(crCount));
                lateLineThree(crCount);
            },
            take);
    };

    // The pause before the first query is one more fixed wait the fast read
    // does without: the first query still has its whole first-byte timeout,
    // and anything the instrument sent before its echo is not parsed.
    if (!fast)
        SerialLink::WaitSeconds(0.5);

    for (int n = 0; n < 4; ++n) {
        const QString cmd = QStringLiteral("SEN %1").arg(n);
        auto query = [&] {
            m_parsers.resetSen();
            m_p.SenReply.clear();
            m_link.SendCommand(cmd, QStringLiteral("SEN"), 0.06, lineThreeIn(m_parsers.SenCrCount));
            lateLineThree(m_parsers.SenCrCount);
            if (fast && n == 0 && m_link.lastPollTimedOut() && m_link.isOpen()) {
                // An instrument may need a moment after the port opens, which
                // the pause skipped above gave it: make that pause now and
                // ask once more, on the same open port.
                SerialLink::WaitSeconds(0.5);
                m_link.markHealthy();
                m_parsers.resetRaw();
                m_parsers.resetSen();
                m_p.SenReply.clear();
                m_link.SendCommand(cmd, QStringLiteral("SEN"), 0.06,
                                   lineThreeIn(m_parsers.SenCrCount));
                lateLineThree(m_parsers.SenCrCount);
            }
        };
        // An answer without the shape of a sensor record (noise on the line,
        // a cut reply) is as good as no answer: storing it would corrupt the
        // record that the next write sends.
        QString record;
        if (!checked(cmd, query, [&](const QString &line) {
                return AnswerShape::sensorLine(n, line, &record);
            }))
            return false;
        const QStringList f = record.split(QLatin1Char(' '));
        if (m_view)
            m_view->setSensorPanel(n, panelText(n, f[0], f[1], f[2]));
        keep(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n), record);
        answers.sensors[size_t(n)] = record;
        m_parsers.resetSen();
        m_p.SenReply.clear();
    }
    progress(1);

    const QString para = QStringLiteral("para");
    QString uni;
    if (!single(QStringLiteral("UNI"), m_parsers.UniCrCount, m_p.UniReply, 0.06,
                [&uni](const QString &line) {
                    uni = line;
                    return AnswerShape::unitLine(line);
                }))
        return false;
    keep(QStringLiteral("UNI"), para, uni);
    answers.unit = uni;

    auto switchAnswer = [](const char *section, QString *value) {
        return [section, value](const QString &line) {
            *value = line;
            return AnswerShape::switchLine(QString::fromLatin1(section), line);
        };
    };
    QString beep;
    if (!single(QStringLiteral("BEEP"), m_parsers.BeepCrCount, m_p.BeepReply, 0.05,
                switchAnswer("BEEP", &beep)))
        return false;
    keep(QStringLiteral("BEEP"), para, beep);
    progress(2);

    QString lit;
    if (!single(QStringLiteral("LIT"), m_parsers.LitCrCount, m_p.LitReply, 0.06,
                switchAnswer("LIT", &lit)))
        return false;
    keep(QStringLiteral("LIT"), para, lit);
    progress(3);

    if (!single(QStringLiteral("LOG"), m_parsers.LogCrCount, m_p.LogReply, 0.06,
                &AnswerShape::logLine))
        return false;
    // The program always has the instrument log this way; the answer itself
    // is not kept. The fast read ends the wait on its acknowledgement, as
    // the queries end theirs on the answer; either read takes a late one in
    // before the next command discards the input.
    const std::function<bool()> acknowledged = [this] {
        return m_link.lastAck() != SerialLink::Ack::None;
    };
    m_link.SendCommand(QStringLiteral("LOG 0 1"), kEmpty, 0.06,
                       fast ? acknowledged : std::function<bool()>());
    m_link.awaitAck();
    keep(QStringLiteral("LOG"), para, QStringLiteral("1 1"));

    QString fan;
    if (!single(QStringLiteral("FAN"), m_parsers.FanCrCount, m_p.FanReply, 0.06,
                switchAnswer("FAN", &fan)))
        return false;
    m_p.FanReply = fan;
    if (fan == QLatin1String("0")) {
        // The fan must run: switch it on and keep "1".
        m_p.FanReply = QStringLiteral("1");
        m_link.SendCommand(QStringLiteral("FAN 1"), kEmpty, 0);
        // Only the first character of its answer has arrived: let the rest
        // come in, a late acknowledgement included, before discarding it, or
        // it would be counted as lines of the first pattern query and corrupt
        // that record.
        SerialLink::WaitSeconds(0.025);
        m_link.awaitAck();
        m_link.discardInput();
    }
    keep(QStringLiteral("FAN"), para, m_p.FanReply);
    // The log's answer is not kept, and a fan switched on is kept as "1",
    // not as it answered: neither is confirmed.
    const bool switched = fan == QLatin1String("0");
    taken.erase(std::remove_if(taken.begin(), taken.end(),
                               [switched](const auto &t) {
                                   return t.first == QLatin1String("LOG") ||
                                          (switched && t.first == QLatin1String("FAN"));
                               }),
                taken.end());
    progress(4);

    // Patterns and steps: one query per slot; the value line, exactly of the
    // instrument's shape, gives the record.
    using Line = bool (*)(int, const QString &, QString *);
    auto records = [&](const char *query, const char *key, const char *section, int count,
                       void (Reception_Show::*reset)(), int &crCount, QString &reply,
                       QString *stored, Line shaped, auto progressOf) {
        for (int n = 0; n < count; ++n) {
            const QString cmd = QString::fromLatin1(query).arg(n);
            QString record;
            if (!checked(
                    cmd,
                    [&] {
                        (m_parsers.*reset)();
                        reply.clear();
                        m_link.SendCommand(cmd, QString::fromLatin1(key), 0.06,
                                           lineThreeIn(crCount));
                        lateLineThree(crCount);
                    },
                    [&](const QString &line) { return shaped(n, line, &record); }))
                return false;
            keep(QString::fromLatin1(section), QString::fromLatin1(section) + QString::number(n),
                 record);
            stored[n] = record;
            (m_parsers.*reset)();
            reply.clear();
            progress(progressOf(n));
        }
        return true;
    };
    if (!records("LP %1 0", "LP", "PATTERN", 10, &Reception_Show::resetLp, m_parsers.LpCrCount,
                 m_p.LpReply, answers.patterns.data(), &AnswerShape::patternLine,
                 [](int n) { return 5 + 5 * n; }) ||
        !records("LS %1 1", "LS", "STEP", 100, &Reception_Show::resetLs, m_parsers.LsCrCount,
                 m_p.LsReply, answers.steps.data(), &AnswerShape::stepLine,
                 [](int n) { return 50 + n; }))
        return false;

    if (!confirmed())
        return false;

    // The last answer's wait ended at its line 3: let anything after it come
    // in now, so it cannot reach the next command's parser.
    if (fast)
        m_link.waitQuiet(SerialLink::QuietGapMs, 0.06);
    m_link.str.clear();
    return true;
}

QString SettingsTransfer::writeFailureDetail(const QString &retryHint) const
{
    QString text;
    if (!m_saved)
        text = QStringLiteral("\n本体には一部の設定だけが書き込まれ、保存されていません。");
    // Shown as sent, but one line of printable text whatever the file held.
    auto list = [&text](const QString &heading, const QStringList &commands) {
        if (commands.isEmpty())
            return;
        text += QLatin1Char('\n') + heading;
        for (qsizetype i = 0; i < std::min<qsizetype>(commands.size(), MaxRefusedNamed); ++i) {
            QString shown = commands.at(i).left(60);
            for (QChar &c : shown) {
                if (!c.isPrint())
                    c = QLatin1Char('?');
            }
            text += QLatin1Char('\n') + shown;
        }
        if (commands.size() > MaxRefusedNamed)
            text += QStringLiteral("\nほか%1件").arg(commands.size() - MaxRefusedNamed);
    };
    list(QStringLiteral("本体が受け付けなかったコマンド："), m_refused);
    list(QStringLiteral("応答がありませんでした："), m_unanswered);
    if (m_refused.isEmpty() || m_writeStopped)
        text += QStringLiteral("\n") + retryHint;
    return text;
}

QString SettingsTransfer::unfinishedWritePath() const
{
    const QString working = m_ini.workingFile();
    if (working.isEmpty())
        return {};
    return QFileInfo(working).dir().filePath(QLatin1String(UnfinishedWriteName));
}

bool SettingsTransfer::unfinishedWrite() const
{
    const QString path = unfinishedWritePath();
    return !path.isEmpty() && QFileInfo::exists(path);
}

void SettingsTransfer::clearUnfinishedWrite()
{
    const QString path = unfinishedWritePath();
    if (!path.isEmpty() && QFileInfo::exists(path) && !QFile::remove(path))
        qCWarning(lcTransfer) << "cannot remove" << path;
}

bool SettingsTransfer::markUnfinishedWrite()
{
    const QString path = unfinishedWritePath();
    if (path.isEmpty())
        return false;
    const QByteArray text =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss ")).toUtf8() +
        QStringLiteral("本体書込開始").toUtf8() + "\r\n";
    QString reason;
    if (!DiskFile::replace(path, text, &reason)) {
        qCWarning(lcTransfer) << "cannot record the write in" << path << reason;
        return false;
    }
    return true;
}

bool SettingsTransfer::WriteAllSettings()
{
    m_refused.clear();
    m_unanswered.clear();
    m_writeStopped = true;
    m_saved = false;
    // Kept until "SAVE" is acknowledged; the write goes on without it when
    // it cannot be made, as it did before there was a record.
    markUnfinishedWrite();
    auto progress = [this](int v) {
        if (m_view)
            m_view->setWriteProgress(v);
    };
    auto finish = [this](bool completed) {
        if (m_view)
            m_view->closeProgressWindow();
        return completed && m_refused.isEmpty() && m_unanswered.isEmpty();
    };
    // Every answer is read: a command the instrument refuses ("NG") or does
    // not acknowledge within the first-reply limit does not stop the write,
    // but the write has then failed and the command is named, as refused or
    // as unanswered: an "OK" that came too late is no refusal. A command with
    // no answer at all stops it.
    auto send = [&](const QString &text, double delay) {
        m_link.SendCommand(text, kEmpty, delay);
        if (!m_link.CommOk())
            return SerialLink::Ack::None;
        const SerialLink::Ack ack = m_link.awaitAck();
        if (m_link.CommOk() && ack == SerialLink::Ack::Ng)
            m_refused.append(text);
        else if (m_link.CommOk() && ack == SerialLink::Ack::None)
            m_unanswered.append(text);
        return ack;
    };
    auto para = [this](const char *section) {
        return m_ini.IniRead(QString::fromLatin1(section), kEmpty);
    };

    send(QStringLiteral("BEEP ") + para("BEEP"), 0.025);
    progress(5);
    if (!m_link.CommOk())
        return finish(false);
    send(QStringLiteral("LIT ") + para("LIT"), 0.025);
    progress(10);
    if (!m_link.CommOk())
        return finish(false);
    send(QStringLiteral("LOG 0 1"), 0.025);
    progress(15);
    if (!m_link.CommOk())
        return finish(false);
    send(QStringLiteral("FAN ") + para("FAN"), 0.025);
    progress(20);
    if (!m_link.CommOk())
        return finish(false);
    const QString uni = para("UNI");
    send(QStringLiteral("UNI ") + uni, 0.025);
    m_p.UniPara = uni;
    progress(25);
    if (!m_link.CommOk())
        return finish(false);

    for (int n = 0; n < 4; ++n) {
        const QString record = m_ini.IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n));
        m_p.SenPara[size_t(n)] = record;
        // A sensor record that cannot be sent (empty, or too few fields) is a
        // fault: stop here rather than leave the instrument half-written and
        // unsaved while the caller believes the write went through.
        const QString cmd = sensorCommand(n, record);
        const QString panel = sensorPanelText(n, record);
        if (cmd.isNull() || panel.isNull())
            return finish(false);
        send(cmd, 0.05);
        if (m_view)
            m_view->setSensorPanel(n, panel);
        progress(25 + 3 * n);
        if (!m_link.CommOk())
            return finish(false);
    }

    // Patterns and steps: a registered record is made, an unregistered ("*"
    // in field 2) or empty one removed.
    auto records = [&](const char *section, const char *key, const char *make, const char *remove,
                       int count, QString *stored, int progressBase) {
        for (int n = 0; n < count; ++n) {
            const QString record = m_ini.IniRead(QString::fromLatin1(section),
                                                 QString::fromLatin1(key) + QString::number(n));
            QString cmd;
            if (record.isEmpty()) {
                cmd = QString::fromLatin1(remove) + QString::number(n);
            } else {
                stored[n] = record;
                const QStringList f = record.split(QLatin1Char(' '));
                if (f.size() < 2)
                    return false;
                if (f[1] != QLatin1String("*"))
                    cmd =
                        QString::fromLatin1(make) + QString::number(n) + QLatin1Char(' ') + record;
                else
                    cmd = QString::fromLatin1(remove) + QString::number(n);
            }
            send(cmd, 0.05);
            progress(progressBase + n);
            if (!m_link.CommOk())
                return false;
        }
        return true;
    };

    if (!records("PATTERN", "PATTERN", "MKP ", "RP ", 10, m_p.PatternPara.data(), 34))
        return finish(false);
    SerialLink::WaitSeconds(0.05);
    if (!records("STEP", "STEP", "MKS ", "RS ", 100, m_p.StepPara.data(), 43))
        return finish(false);

    const bool acknowledged = send(QStringLiteral("SAVE"), 6.0) == SerialLink::Ack::Ok;
    const bool answered = m_link.CommOk();
    m_writeStopped = !answered;
    if (answered && acknowledged) {
        m_saved = true;
        clearUnfinishedWrite();
    }
    if (answered)
        progress(149);
    return finish(answered);
}

QString SettingsTransfer::storeFailedText() const
{
    QString text = QStringLiteral("本体の設定を設定ファイルに保存できませんでした。\n") +
                   m_storeFailedPath + QLatin1Char('\n');
    if (!m_storeFailedReason.isEmpty())
        text += m_storeFailedReason + QLatin1Char('\n');
    return text + QStringLiteral("ディスクの空きを確認し、再度実行してください。");
}
