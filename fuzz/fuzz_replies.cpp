// The whole-set read's answers as the instrument sends them, with a few
// characters changed, dropped or added by the input, as noise on the line
// does. Whatever the answer check takes must be the instrument's value, but
// for what no check of one answer can see: a digit in place of a digit, a
// sign in place of a sign, a digit more or less in a number of no fixed
// width.

#include "core/link/AnswerShape.h"

#include <QStringList>

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

namespace {

struct Reply {
    const char *command;
    const char *line;
    const char *stored;
};

const Reply kReplies[] = {
    {"SEN 0", "0 1 +150.00 -050.00 +000.00:100.00", "1 +150.00 -050.00 +000.00 100.00"},
    {"SEN 1", "1 0 * -010.00 +001.50:099.50", "0 * -010.00 +001.50 099.50"},
    {"SEN 2", "2 1 +080 * -010", "1 +080 * -010"},
    {"SEN 3", "3 1 +080 +000 +000", "1 +080 +000 +000"},
    {"UNI", "3.0 8", "3.0 8"},
    {"BEEP", "1", "1"},
    {"LIT", "0", "0"},
    {"FAN", "2", "2"},
    {"LOG", "1 1", "1 1"},
    {"LP 3 0", "P3 4 1 10 12", "4 1 10 12"},
    {"LP 0 0", "P0 50 0 0 99", "50 0 0 99"},
    {"LP 9 0", "P9 * * * *", ""},
    {"LS 10 1", "S10 1 0 0 +055.50 01:02:03", "1 0 0 +055.50 01:02:03"},
    {"LS 0 1", "S0 0 1 1 -050.00 10:00:00", "0 1 1 -050.00 10:00:00"},
    {"LS 99 1", "S99 * * * * *", "* * * * *"},
};

bool digits(const QString &t)
{
    return !t.isEmpty() && std::all_of(t.cbegin(), t.cend(), [](QChar c) { return c.isDigit(); });
}

bool sign(QChar c)
{
    return c == QLatin1Char('+') || c == QLatin1Char('-');
}

// Field by field: the same text, the same number, digits for digits, or
// the same width with digits and signs changed only for their own kind.
bool unseenChange(const QString &a, const QString &b)
{
    const QStringList fa = a.split(QLatin1Char(' '));
    const QStringList fb = b.split(QLatin1Char(' '));
    if (fa.size() != fb.size())
        return false;
    for (qsizetype i = 0; i < fa.size(); ++i) {
        const QString &x = fa[i];
        const QString &y = fb[i];
        bool xNumber = false, yNumber = false;
        const double xv = x.toDouble(&xNumber), yv = y.toDouble(&yNumber);
        bool same = x == y || (digits(x) && digits(y)) || (xNumber && yNumber && xv == yv);
        if (!same && x.size() == y.size()) {
            same = true;
            for (qsizetype j = 0; j < x.size(); ++j)
                same = same && (x[j] == y[j] || (x[j].isDigit() && y[j].isDigit()) ||
                                (sign(x[j]) && sign(y[j])));
        }
        if (!same)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const Reply &r = kReplies[data[0] % std::size(kReplies)];
    const QString command = QString::fromLatin1(r.command);
    QString answer = command + QStringLiteral("\rOK\r") + QString::fromLatin1(r.line) + u'\r';
    // Up to three changes of three bytes each: what, where, which character.
    for (size_t i = 1; i + 2 < size && i < 10; i += 3) {
        const qsizetype at = data[i + 1] % (answer.size() + 1);
        const QChar c = QChar::fromLatin1(char(data[i + 2]));
        switch (data[i] % 3) {
        case 0:
            if (at < answer.size())
                answer[at] = c;
            break;
        case 1:
            answer.remove(at, 1);
            break;
        default:
            answer.insert(at, c);
            break;
        }
    }
    QString value;
    if (!AnswerShape::answerValue(command, answer, &value))
        return 0;
    const QString stored = QString::fromLatin1(r.stored);
    check(value == stored || unseenChange(stored, value),
          "an answer changed on the line was taken with another value");
    return 0;
}
