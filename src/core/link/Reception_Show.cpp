#include "core/link/Reception_Show.h"

#include "core/link/AnswerShape.h"

#include "core/config/Parameter.h"

#include <limits>

namespace {

const QChar CR = QLatin1Char('\r');
const QChar Space = QLatin1Char(' ');
const QString CrLf = QStringLiteral("\r\n");

// The instrument numbers lines by carriage returns; the wanted values are on
// line 3, i.e. after the second CR.
constexpr int ValueLine = 2;

// Counters only grow until their owner resets them. They saturate instead of
// wrapping, so a line that never stops can never bring a parser back to line 3.
void bump(int &counter)
{
    if (counter < std::numeric_limits<int>::max())
        ++counter;
}

// Appends text unless the buffer would exceed the limit. A real reply is well
// under a hundred characters; the limit only keeps a babbling line from growing
// memory (and the status scan) without end.
void appendBounded(QString &buffer, const QString &text)
{
    if (buffer.size() + text.size() <= Reception_Show::BufferLimit)
        buffer += text;
}

void appendBounded(QString &buffer, QChar c)
{
    if (buffer.size() < Reception_Show::BufferLimit)
        buffer += c;
}

// A CR goes into the multi-line buffers as CR LF, so that the text reads as
// lines and can be split at CR LF again.
void appendLineChar(QString &buffer, QChar c)
{
    if (c == CR)
        appendBounded(buffer, CrLf);
    else
        appendBounded(buffer, c);
}

// Trims spaces only: a tab or a stray line feed is part of the line as received.
QString trimSpaces(const QString &s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && s.at(from) == Space)
        ++from;
    while (to > from && s.at(to - 1) == Space)
        --to;
    return s.mid(from, to - from);
}

// Fields are separated by single spaces; two spaces make an empty field.
QStringList splitFields(const QString &s)
{
    return s.split(Space, Qt::KeepEmptyParts);
}

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// The single-line parsers share one rule: count CRs, keep line 3 unchanged.
void collectValueLine(int &crCount, QString &reply, QChar c)
{
    if (c == CR)
        bump(crCount);
    else if (crCount == ValueLine)
        appendBounded(reply, c);
}

} // namespace

Reception_Show::Reception_Show(Parameter &p) : m_p(p) {}

void Reception_Show::ParseBeep(QChar c)
{
    collectValueLine(BeepCrCount, m_p.BeepReply, c);
}

void Reception_Show::ParseLit(QChar c)
{
    collectValueLine(LitCrCount, m_p.LitReply, c);
}

void Reception_Show::ParseLog(QChar c)
{
    collectValueLine(LogCrCount, m_p.LogReply, c);
}

void Reception_Show::ParseFan(QChar c)
{
    collectValueLine(FanCrCount, m_p.FanReply, c);
}

void Reception_Show::ParseUni(QChar c)
{
    collectValueLine(UniCrCount, m_p.UniReply, c);
}

// Sensor reply, line 3 up to its fifth space. The instrument separates offset
// and resistance by ":"; the record wants a space there.
void Reception_Show::ParseSen(QChar c)
{
    if (c == CR) {
        bump(SenCrCount);
        return;
    }
    if (SenCrCount != ValueLine)
        return;
    if (c == Space)
        bump(SenSpaceCount);
    if (SenSpaceCount < 5)
        appendBounded(m_p.SenReply, c == QLatin1Char(':') ? Space : c);
}

// Pattern reply: the digits and spaces of line 3 from its first space on; the
// echoed "LP" and any other sign are dropped.
void Reception_Show::ParseLp(QChar c)
{
    if (c == CR) {
        bump(LpCrCount);
        return;
    }
    if (LpCrCount != ValueLine || !(c == Space || isAsciiDigit(c)))
        return;
    if (c == Space)
        bump(LpSpaceCount);
    if (LpSpaceCount >= 1)
        appendBounded(m_p.LpReply, c);
}

// Step reply: line 3 from its first space on, without the "/" separators.
void Reception_Show::ParseLs(QChar c)
{
    if (c == CR) {
        bump(LsCrCount);
        return;
    }
    if (LsCrCount != ValueLine || c == QLatin1Char('/'))
        return;
    if (c == Space)
        bump(LsSpaceCount);
    if (LsSpaceCount >= 1)
        appendBounded(m_p.LsReply, c);
}

// Version: lines 3 and 4, each preceded by CR LF, ready to be shown as they are.
void Reception_Show::ParseVersion(QChar c)
{
    if (c == CR)
        bump(VerCrCount);
    if (VerCrCount == 2 || VerCrCount == 3)
        appendLineChar(versi, c);
}

void Reception_Show::ParseStatus(QChar c)
{
    if (c == CR)
        bump(StatusCrCount);
    appendLineChar(StatusBuffer, c);

    // Only complete lines are examined, so a new attempt is only worth making
    // when a line has just ended; an unfinished line is never taken, which
    // keeps a field from being read cut short.
    if (c != CR || StatusCrCount < 4 || StatusParsed != 0)
        return;

    StatusReport report;
    if (!examineStatusBuffer(report))
        return;

    ++StatusParsed;
    // The receiver may reset this parser (a stopped log does); nothing here
    // touches the state after handing the report over.
    if (auto receiver = onStatus)
        receiver(report);
}

bool Reception_Show::examineStatusBuffer(StatusReport &report) const
{
    QStringList lines = StatusBuffer.split(CrLf, Qt::KeepEmptyParts);
    // The last piece is whatever follows the last CR: not a line yet.
    lines.removeLast();

    QStringList status;
    QStringList temps;
    for (const QString &line : std::as_const(lines)) {
        const QString trimmed = trimSpaces(line);
        const qsizetype count = splitFields(trimmed).size();
        if (count == 5) {
            // A later line of this count replaces an earlier one, even when it
            // turns out to be unusable. Exactly as the instrument writes it, a
            // trailing space aside: a line that only trims into shape was bent
            // on the way.
            QString exact = line;
            while (exact.endsWith(Space))
                exact.chop(1);
            status = AnswerShape::statusLine(exact) ? splitFields(line) : QStringList();
        } else if (count == 4) {
            const QChar first = trimmed.at(0);
            if (first == QLatin1Char('+') || first == QLatin1Char('-') || first == QLatin1Char('*'))
                temps = AnswerShape::temperatureLine(trimmed) ? splitFields(line) : QStringList();
        }
    }

    // A temperature line not whole, or changed on the way, is not taken.
    if (temps.size() < 4)
        return false;
    // Without a status line the reply has no code, no step and nothing for the
    // status labels; a half-applied sample would be worse than none.
    if (status.size() < 5)
        return false;

    // Splitting the untrimmed line keeps an empty field after a trailing space;
    // the report carries the fields that have a meaning.
    report.status = status.mid(0, 5);
    report.temps = temps.mid(0, 4);
    return true;
}

void Reception_Show::ParseStatus2(QChar c)
{
    if (c == CR)
        bump(StatusCrCount);
    if (StatusCrCount == 0)
        return;
    if (StatusCrCount == 4) {
        if (StatusParsed == 0) {
            StatusParsed = 1;
            processStatus2();
        }
        return;
    }
    appendLineChar(StatusBuffer, c);
}

void Reception_Show::processStatus2()
{
    // Line 1 was dropped, so the pieces are: empty, line 2, line 3, line 4.
    const QStringList pieces = StatusBuffer.split(CrLf, Qt::KeepEmptyParts);
    if (pieces.size() < 4)
        return;

    Status2Report report;
    report.status = splitFields(pieces.at(2));
    report.temps = splitFields(pieces.at(3));
    // The status window takes a reply only when the temperature line ends in a
    // space (five pieces) and the status line is exactly five fields.
    if (report.status.size() != 5 || report.temps.size() != 5)
        return;
    report.text = statusText(report.status.at(0));
    if (report.text.isNull())
        return;

    if (auto receiver = onStatus2)
        receiver(report);
}

bool Reception_Show::dispatch(const QString &awaitedKey, QChar c)
{
    using Parser = void (Reception_Show::*)(QChar);
    struct Route {
        QLatin1StringView key;
        Parser parser;
    };
    static const Route routes[] = {
        {QLatin1StringView("VERSION"), &Reception_Show::ParseVersion},
        {QLatin1StringView("STATUS"), &Reception_Show::ParseStatus},
        {QLatin1StringView("STATUS2"), &Reception_Show::ParseStatus2},
        {QLatin1StringView("SEN"), &Reception_Show::ParseSen},
        {QLatin1StringView("BEEP"), &Reception_Show::ParseBeep},
        {QLatin1StringView("LIT"), &Reception_Show::ParseLit},
        {QLatin1StringView("LOG"), &Reception_Show::ParseLog},
        {QLatin1StringView("FAN"), &Reception_Show::ParseFan},
        {QLatin1StringView("LP"), &Reception_Show::ParseLp},
        {QLatin1StringView("LS"), &Reception_Show::ParseLs},
        {QLatin1StringView("UNI"), &Reception_Show::ParseUni},
    };
    for (const Route &route : routes) {
        if (awaitedKey == route.key) {
            appendBounded(RawReply, c);
            (this->*route.parser)(c);
            return true;
        }
    }
    return false;
}

void Reception_Show::resetVersion()
{
    VerCrCount = 0;
    versi.clear();
}

void Reception_Show::resetStatus()
{
    StatusBuffer.clear();
    StatusCrCount = 0;
    StatusParsed = 0;
}

void Reception_Show::resetSen()
{
    SenCrCount = 0;
    SenSpaceCount = 0;
}

void Reception_Show::resetLp()
{
    LpCrCount = 0;
    LpSpaceCount = 0;
}

void Reception_Show::resetLs()
{
    LsCrCount = 0;
    LsSpaceCount = 0;
}

void Reception_Show::resetRaw()
{
    RawReply.clear();
}

void Reception_Show::resetAll()
{
    resetRaw();
    resetVersion();
    resetStatus();
    resetSen();
    resetLp();
    resetLs();
    BeepCrCount = 0;
    LitCrCount = 0;
    LogCrCount = 0;
    FanCrCount = 0;
    UniCrCount = 0;
}

QString Reception_Show::statusText(const QString &code)
{
    if (code == QLatin1String("00"))
        return QStringLiteral("平常状態");
    if (code == QLatin1String("01"))
        return QStringLiteral("ロック状態");
    if (code == QLatin1String("02"))
        return QStringLiteral("動作状態");
    if (code == QLatin1String("04"))
        return QStringLiteral("アラーム状態");
    if (code == QLatin1String("40"))
        return QStringLiteral("アクセス状態");
    if (code == QLatin1String("80"))
        return QStringLiteral("起動中");
    return QString();
}
