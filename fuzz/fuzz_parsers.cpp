// Feeds the reply parsers a byte stream as the receive handler does: one byte
// at a time, as a Latin-1 character, to the parser of the awaited key. Escape
// sequences in the input switch the awaited key and reset parser state between
// replies, the way a new query does, so every parser meets every other
// parser's leftovers.
//
// Input format: any byte except 0xFF is a received character. 0xFF starts a
// control sequence and the next byte is the command:
//   0..12   await one of the keys below (11 parser keys, "" and an unknown key)
//   13..18  resetAll, resetSen, resetLp, resetLs, resetStatus, resetVersion
//   19      empty the reply buffers, as the reader of a transfer does
//   20      toggle: the status callbacks reset the status parser
//   21      a received 0xFF
// A lone trailing 0xFF is ignored.

#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "FuzzCheck.h"

namespace {

const char *const Keys[] = {"VERSION", "STATUS", "STATUS2", "SEN", "BEEP", "LIT",    "LOG",
                            "FAN",     "LP",     "LS",      "UNI", "",     "STATUSX"};
constexpr int KeyCount = int(sizeof(Keys) / sizeof(Keys[0]));

void checkBuffer(const QString &buffer, const char *what)
{
    check(buffer.size() <= Reception_Show::BufferLimit, what);
}

bool isDigitOrSpace(QChar c)
{
    return c == QLatin1Char(' ') || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

void checkState(const Reception_Show &rs, const Parameter &p)
{
    checkBuffer(rs.versi, "versi over the limit");
    checkBuffer(rs.StatusBuffer, "StatusBuffer over the limit");
    checkBuffer(p.SenReply, "SenReply over the limit");
    checkBuffer(p.BeepReply, "BeepReply over the limit");
    checkBuffer(p.LitReply, "LitReply over the limit");
    checkBuffer(p.LogReply, "LogReply over the limit");
    checkBuffer(p.FanReply, "FanReply over the limit");
    checkBuffer(p.LpReply, "LpReply over the limit");
    checkBuffer(p.LsReply, "LsReply over the limit");
    checkBuffer(p.UniReply, "UniReply over the limit");

    const int counters[] = {rs.VerCrCount,  rs.StatusCrCount, rs.SenCrCount,   rs.SenSpaceCount,
                            rs.BeepCrCount, rs.LitCrCount,    rs.LogCrCount,   rs.FanCrCount,
                            rs.UniCrCount,  rs.LpCrCount,     rs.LpSpaceCount, rs.LsCrCount,
                            rs.LsSpaceCount};
    for (int c : counters)
        check(c >= 0, "negative counter");
    check(rs.StatusParsed == 0 || rs.StatusParsed == 1, "StatusParsed is not a flag");

    // The value-line parsers never keep a CR; the filtered ones drop their
    // separators.
    const QString *singleLine[] = {&p.SenReply, &p.BeepReply, &p.LitReply, &p.LogReply,
                                   &p.FanReply, &p.LpReply,   &p.LsReply,  &p.UniReply};
    for (const QString *s : singleLine)
        check(!s->contains(QLatin1Char('\r')), "CR in a reply buffer");
    check(!p.SenReply.contains(QLatin1Char(':')), "':' kept in SenReply");
    check(!p.LsReply.contains(QLatin1Char('/')), "'/' kept in LsReply");
    for (QChar c : p.LpReply)
        check(isDigitOrSpace(c), "LpReply holds more than digits and spaces");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Parameter p;
    Reception_Show rs(p);
    bool resetInCallback = false;
    int statusReports = 0;
    int status2Reports = 0;

    rs.onStatus = [&](const StatusReport &r) {
        ++statusReports;
        check(r.status.size() == 5, "status report without five status fields");
        check(r.hasStatusLine(), "status report says it has no status line");
        check(r.code().size() == 2, "status code is not two characters");
        check(r.temps.size() == 4, "status report without four readings");
        check(r.temps.at(3).size() == 4 || r.temps.at(3) == QLatin1String("*"),
              "fourth reading is cut");
        check(rs.StatusParsed == 1, "status report before the flag is set");
        if (resetInCallback)
            rs.resetStatus();
    };
    rs.onStatus2 = [&](const Status2Report &r) {
        ++status2Reports;
        check(r.status.size() == 5, "status window report without five status fields");
        check(r.temps.size() == 5, "status window report without five temperature pieces");
        check(!r.text.isNull(), "status window report with an unknown code");
        check(r.text == Reception_Show::statusText(r.status.at(0)), "status text mismatch");
        if (resetInCallback)
            rs.resetStatus();
    };

    QString key;
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        if (b == 0xFF) {
            if (++i >= size)
                break;
            const int cmd = data[i] % 22;
            if (cmd < KeyCount) {
                key = QLatin1String(Keys[cmd]);
                continue;
            }
            switch (cmd) {
            case 13:
                rs.resetAll();
                check(rs.versi.isEmpty() && rs.StatusBuffer.isEmpty() && rs.StatusCrCount == 0 &&
                          rs.StatusParsed == 0 && rs.VerCrCount == 0 && rs.SenCrCount == 0 &&
                          rs.LpCrCount == 0 && rs.LsCrCount == 0 && rs.BeepCrCount == 0 &&
                          rs.LitCrCount == 0 && rs.LogCrCount == 0 && rs.FanCrCount == 0 &&
                          rs.UniCrCount == 0,
                      "resetAll left state behind");
                continue;
            case 14:
                rs.resetSen();
                continue;
            case 15:
                rs.resetLp();
                continue;
            case 16:
                rs.resetLs();
                continue;
            case 17:
                rs.resetStatus();
                continue;
            case 18:
                rs.resetVersion();
                continue;
            case 19:
                checkState(rs, p);
                p.ResetReplyBuffers();
                continue;
            case 20:
                resetInCallback = !resetInCallback;
                continue;
            default:
                break; // 21: a literal 0xFF
            }
        }
        const int before = statusReports + status2Reports;
        const bool taken = rs.dispatch(key, QChar::fromLatin1(char(b)));
        const bool known = !key.isEmpty() && key != QLatin1String("STATUSX");
        check(taken == known, "dispatch disagrees with its key table");
        // One character completes at most one reply.
        check(statusReports + status2Reports - before <= 1, "two reports from one character");
        if (!taken)
            check(statusReports + status2Reports == before, "report from an ignored character");
    }
    checkState(rs, p);
    return 0;
}
