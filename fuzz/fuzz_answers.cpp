// The answer checks of the whole-set read on arbitrary text. The first byte
// picks the check (and the slot), the rest is the value as UTF-8. Whatever is
// accepted must be a value the readers of the record can take apart: one
// line, single spaces, the record's field count.

#include "core/link/AnswerShape.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>

#include "FuzzCheck.h"

namespace {

bool oneCleanLine(const QString &v)
{
    return !v.contains(QLatin1Char('\r')) && !v.contains(QLatin1Char('\n')) &&
           !v.contains(QStringLiteral("  ")) && v.trimmed() == v;
}

qsizetype fieldCount(const QString &v)
{
    return v.isEmpty() ? 0 : v.split(QLatin1Char(' ')).size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int pick = data[0] % 8;
    const int n = (data[0] / 8) % 4;
    const QString v =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    switch (pick) {
    case 0: {
        const bool ok = AnswerShape::sensorRecord(n, v);
        check(ok == AnswerShape::storedValue(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n),
                                             v),
              "sensor check differs by key");
        if (ok) {
            check(oneCleanLine(v), "sensor record not one clean line");
            check(fieldCount(v) == (n < 2 ? 5 : 4), "sensor record field count");
        }
        break;
    }
    case 1: {
        const bool ok = AnswerShape::sensorReply(n, v);
        check(ok == (v.size() > 2 && v.startsWith(QString::number(n) + QLatin1Char(' ')) &&
                     AnswerShape::sensorRecord(n, v.mid(2))),
              "sensor reply is not slot plus record");
        break;
    }
    case 2:
        if (AnswerShape::unit(v))
            check(oneCleanLine(v) && fieldCount(v) == 2, "unit value");
        break;
    case 3: {
        const char *sections[] = {"BEEP", "LIT", "FAN", "FAN"};
        if (AnswerShape::switchValue(QLatin1String(sections[n]), v)) {
            check(oneCleanLine(v) && fieldCount(v) == 1, "switch value");
            check(v.toInt() <= (n < 2 ? 1 : 2), "switch value out of its options");
        }
        break;
    }
    case 4:
        if (AnswerShape::pattern(v))
            check(oneCleanLine(v) && (fieldCount(v) == 0 || fieldCount(v) == 4), "pattern record");
        break;
    case 5:
        if (AnswerShape::step(v)) {
            check(oneCleanLine(v) && fieldCount(v) == 5, "step record");
            check(!v.contains(QLatin1Char('/')), "step record with a separator");
        }
        break;
    default: {
        // Any section and key: never a crash.
        const qsizetype cut = v.indexOf(QLatin1Char('='));
        const QString head = cut < 0 ? v : v.left(cut);
        const QString value = cut < 0 ? QString() : v.mid(cut + 1);
        const QString section = head.section(QLatin1Char('/'), 0, 0);
        const QString key = head.section(QLatin1Char('/'), 1);
        (void)AnswerShape::storedValue(section, key, value);
        break;
    }
    }
    return 0;
}
