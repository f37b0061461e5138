#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct Parameter;

// One status reply accepted by the status-poll parser. `status` holds the five
// fields of the status line split as received (empty when the reply carried no
// valid status line); `temps` holds the four readings of the temperature line
// split as received.
struct StatusReport {
    QStringList status;
    QStringList temps;
    bool hasStatusLine() const { return status.size() == 5; }
    QString code() const { return hasStatusLine() ? status.at(0) : QString(); }
};

// One status reply accepted by the status-window parser: the status line's five
// fields, the temperature line's five pieces (the fifth is what follows the
// trailing space) and the text of the status code.
struct Status2Report {
    QStringList status;
    QStringList temps;
    QString text;
};

// The reply parsers: small state machines fed one received character at a
// time. Each counts carriage returns itself and picks its data from line 3 on.
// They are pure: they fill the reply buffers of the parameter set and `versi`,
// and hand accepted status replies to the callbacks; applying a status reply
// to windows, graph and log is the caller's business.
class Reception_Show {
public:
    explicit Reception_Show(Parameter &p);

    // Most characters any one reply buffer, `versi` or `StatusBuffer` keeps;
    // further characters are dropped (a real reply is far shorter).
    static constexpr int BufferLimit = 4096;

    // Parser state. Counters only grow until their owner resets them.
    int VerCrCount = 0;
    QString StatusBuffer;
    int StatusCrCount = 0;
    int StatusParsed = 0;
    int SenCrCount = 0;
    int SenSpaceCount = 0;
    int BeepCrCount = 0;
    int LitCrCount = 0;
    int LogCrCount = 0;
    int FanCrCount = 0;
    int UniCrCount = 0;
    int LpCrCount = 0;
    int LpSpaceCount = 0;
    int LsCrCount = 0;
    int LsSpaceCount = 0;

    // Every character handed to a parser since resetRaw, as received (CR
    // included, at most BufferLimit): the whole answer, which the
    // whole-set read checks against the instrument's exact shape before it
    // takes anything a parser made of it.
    QString RawReply;

    // Firmware version text collected by ParseVersion.
    QString versi;

    std::function<void(const StatusReport &)> onStatus;
    std::function<void(const Status2Report &)> onStatus2;

    void ParseVersion(QChar c);
    void ParseStatus(QChar c);
    void ParseStatus2(QChar c);
    void ParseSen(QChar c);
    void ParseBeep(QChar c);
    void ParseLit(QChar c);
    void ParseLog(QChar c);
    void ParseFan(QChar c);
    void ParseLp(QChar c);
    void ParseLs(QChar c);
    void ParseUni(QChar c);

    // Hands c to the parser of awaitedKey (exact, case-sensitive); a key that
    // names no parser hands it to nobody. Returns whether a parser took it.
    bool dispatch(const QString &awaitedKey, QChar c);

    // Resets: each clears what its owner resets before a new query.
    void resetVersion(); // VerCrCount and versi
    void resetStatus();  // StatusBuffer, StatusCrCount, StatusParsed
    void resetSen();     // SenCrCount, SenSpaceCount
    void resetLp();
    void resetLs();
    void resetRaw(); // RawReply
    void resetAll(); // every counter, the status state, versi and RawReply

    // Display text of a two-character status code; a null QString when the
    // code is not one of the six known codes.
    static QString statusText(const QString &code);

private:
    // Finds the status and temperature lines among the complete lines of
    // StatusBuffer; true and a filled report when the reply can be taken.
    bool examineStatusBuffer(StatusReport &report) const;
    void processStatus2();

    Parameter &m_p;
};
