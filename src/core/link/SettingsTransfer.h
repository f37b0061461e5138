#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

struct Parameter;
class SerialLink;
class Reception_Show;
class Ini_Operation;

// What a whole-set transfer shows while it runs. The windows implement it;
// tests may record it.
class TransferView {
public:
    virtual ~TransferView() = default;
    // Read progress (0-149) goes to both the start splash and the
    // read/write progress window.
    virtual void setReadProgress(int value) { (void)value; }
    // Write progress (0-149) goes to the read/write progress window.
    virtual void setWriteProgress(int value) { (void)value; }
    // Status-bar panel n+1 for sensor n.
    virtual void setSensorPanel(int n, const QString &text) { (void)n, (void)text; }
    // The write unloads the progress window itself when it ends.
    virtual void closeProgressWindow() {}
};

// Moves the instrument's whole parameter set between the instrument and the
// configuration file, one command at a time with fixed settle delays.
class SettingsTransfer {
public:
    SettingsTransfer(SerialLink &link, Reception_Show &parsers, Parameter &p, Ini_Operation &ini);

    void setView(TransferView *view) { m_view = view; }

    // The fast whole-set read: each query's settle wait ends as soon as its
    // answer line is in (never later than the usual delay). On when set here
    // (the command line) or when the configuration file holds "1" under
    // FastReadSection/FastReadKey. It also skips the pause before the first
    // query, making it (and asking once more) only when the first query gets
    // no answer. Commands, timeouts and stored values are unchanged, and a
    // fast read that fails is followed at once by the normal read, whose
    // result is the read's result.
    void setFastRead(bool on) { m_fastRead = on; }
    bool fastReadOn() const;
    static constexpr const char *FastReadSection = "FASTREAD";
    static constexpr const char *FastReadKey = "para";

    // Queries every setting and stores the answers in the configuration file
    // and the record arrays. Clears all_flg when a query gets no reply. The
    // answers are gathered first and stored together once every one is in:
    // a read that fails or is cut off leaves the file and the arrays as they
    // were, never a mix of the instrument's values and the file's.
    void ReadAllSettings(bool &all_flg);
    // Whether the last read failed only because the configuration file
    // could not be written (a full disk): the instrument answered. The
    // caller tells it, once, with storeFailedText().
    bool storeFailed() const { return m_storeFailed; }
    // What the read could not store: the file, the system's reason and what
    // to do, in one message.
    QString storeFailedText() const;

    // A query whose answer is not of the instrument's exact shape is asked
    // again, at most this many more times (queries only: a setting or
    // "SAVE" is never sent twice).
    static constexpr int MaxQueryRetries = 2;
    // Queries asked again since construction because an answer failed its
    // check, and asked again to confirm an answer carrying digits after one
    // did (for benches and tests).
    int retries() const { return m_retries; }
    int confirmations() const { return m_confirmations; }

    // Sends every setting, pattern and step of the configuration file and
    // ends with "SAVE". Returns true only when every command was sent and
    // acknowledged "OK", "SAVE" included. A command refused ("NG", or no
    // "OK" by the end of the link's first-reply limit, however late after the
    // settle delay it comes within it) is noted and the write goes on; a
    // command with no answer, or a fault part-way, stops the write and
    // returns false without sending anything more.
    bool WriteAllSettings();
    // Commands the last write sent that the instrument refused ("NG"), in
    // order, and those it did not acknowledge within the first-reply limit.
    const QStringList &refusedCommands() const { return m_refused; }
    const QStringList &unansweredCommands() const { return m_unanswered; }
    // What a failure message of the last write adds after its first
    // sentence: that the instrument holds part of the set, unsaved, when the
    // write did not reach the acknowledgement of "SAVE"; the refused
    // commands (the first MaxRefusedNamed of them named) and, apart from
    // them, the unanswered ones ("応答がありませんでした："); and `retryHint`
    // when the write stopped without an answer or nothing was refused.
    QString writeFailureDetail(const QString &retryHint) const;
    static constexpr qsizetype MaxRefusedNamed = 10;

    // A write that began and did not reach the acknowledgement of "SAVE"
    // (no answer, the link lost, the program killed) leaves the instrument
    // with part of a new set, unsaved. A file beside the configuration file
    // records it from the first command until "SAVE" is acknowledged, so
    // that the next start can offer to write the set again.
    static constexpr const char *UnfinishedWriteName = "unfinished_write.txt";
    QString unfinishedWritePath() const;
    bool unfinishedWrite() const;
    // Forgets the record; a read that stores the instrument's set does so.
    void clearUnfinishedWrite();

    // Text of status-bar panel n+1 for a sensor record (use flag, upper,
    // lower, ...): name + "使用不可", or name + "上限：" + upper + "下限：" + lower.
    // Returns a null QString when the record has too few fields.
    static QString sensorPanelText(int n, const QString &record);

    // Text of the sensor write for slot n from its stored record, or a null
    // QString when the record has too few fields.
    static QString sensorCommand(int n, const QString &record);

private:
    // What one read gathered, stored only when the read is whole.
    struct ReadAnswers {
        QList<std::array<QString, 3>> keys; // section, key, value, in the order read
        std::array<QString, 4> sensors;
        QString unit;
        std::array<QString, 10> patterns;
        std::array<QString, 100> steps;
    };

    void failRead(bool &all_flg);
    bool readOnce(bool fast, ReadAnswers &answers);
    bool storeRead(const ReadAnswers &answers);
    bool markUnfinishedWrite();

    SerialLink &m_link;
    Reception_Show &m_parsers;
    Parameter &m_p;
    Ini_Operation &m_ini;
    TransferView *m_view = nullptr;
    bool m_fastRead = false;
    QStringList m_refused;
    QStringList m_unanswered;
    bool m_writeStopped = false;
    bool m_saved = true;
    int m_retries = 0;
    int m_confirmations = 0;
    bool m_storeFailed = false;
    QString m_storeFailedPath;
    QString m_storeFailedReason;
};
