// The check that "開く" makes of a configuration set before it replaces the
// working file. The input builds a set key by key (a value near a valid one,
// arbitrary bytes or nothing) and a place to cut it. Whatever passes must be
// what the write can send, and the verdict on patterns and steps must agree
// with a plain reading of their ranges; a set cut inside one of its values
// must be refused at that very key.

#include "config/IniDocument.h"
#include "config/IniFile.h"
#include "config/Ini_Operation.h"
#include "shell/ConfigSet.h"

#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"

namespace {

bool digitsOnly(const QString &t)
{
    if (t.isEmpty())
        return false;
    for (const QChar c : t) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// The value of a digit string, held at a ceiling far above every range.
long long number(const QString &digits)
{
    long long v = 0;
    for (const QChar c : digits)
        v = std::min(v * 10 + (c.unicode() - u'0'), 1'000'000'000'000LL);
    return v;
}

// Temperature in hundredths of a degree from "[+-]d+[.d+]", or false.
bool hundredths(const QString &t, long long *out)
{
    QString s = t;
    bool negative = false;
    if (!s.isEmpty() && (s.front() == u'+' || s.front() == u'-')) {
        negative = s.front() == u'-';
        s.remove(0, 1);
    }
    const qsizetype dot = s.indexOf(u'.');
    const QString whole = dot < 0 ? s : s.left(dot);
    QString frac = dot < 0 ? QString() : s.mid(dot + 1);
    if (!digitsOnly(whole) || (dot >= 0 && !digitsOnly(frac)))
        return false;
    while (frac.size() > 2) {
        if (frac.back() != u'0')
            return false; // finer than a hundredth
        frac.chop(1);
    }
    const long long v = number(whole) * 100 + number(frac.leftJustified(2, u'0'));
    *out = negative ? -v : v;
    return true;
}

bool plainStep(const QString &v)
{
    if (v == QLatin1String("* * * * *"))
        return true;
    const QStringList f = v.split(u' ');
    if (f.size() != 5)
        return false;
    const QStringList sensors{"0", "1", "2", "3"};
    const QStringList flags{"0", "1"};
    long long h = 0;
    if (!sensors.contains(f[0]) || !flags.contains(f[1]) || !flags.contains(f[2]) ||
        !hundredths(f[3], &h) || h < -5000 || h > 15000 || h % 5 != 0)
        return false;
    const QStringList t = f[4].split(u':');
    if ((t.size() != 1 && t.size() != 3) || !std::all_of(t.cbegin(), t.cend(), digitsOnly))
        return false;
    const long long seconds =
        t.size() == 1 ? number(t[0]) : number(t[0]) * 3600 + number(t[1]) * 60 + number(t[2]);
    return seconds <= 36000;
}

bool plainPattern(const QString &v)
{
    if (v.isEmpty())
        return true;
    const QStringList f = v.split(u' ');
    if (f.size() != 4)
        return false;
    if (!std::all_of(f.cbegin(), f.cend(), digitsOnly))
        return false;
    const long long start = number(f[2]);
    const long long end = number(f[3]);
    return number(f[0]) <= 50 && start <= 99 && end <= 99 && start <= end;
}

bool printableLine(const QString &v)
{
    for (const QChar c : v) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QString temperature(FuzzedDataProvider &in)
{
    const int h = in.ConsumeIntegralInRange(-6000, 16000);
    QString t = QStringLiteral("%1%2.%3")
                    .arg(h < 0 ? u'-' : u'+')
                    .arg(std::abs(h) / 100, 3, 10, QLatin1Char('0'))
                    .arg(std::abs(h) % 100, 2, 10, QLatin1Char('0'));
    if (in.ConsumeBool())
        t += QString::number(in.ConsumeIntegralInRange(0, 9));
    return t;
}

QString nearValue(const QString &section, const QString &key, FuzzedDataProvider &in)
{
    auto n = [&in](int lo, int hi) { return QString::number(in.ConsumeIntegralInRange(lo, hi)); };
    if (section == QLatin1String("SEN"))
        return key.endsWith(u'0') || key.endsWith(u'1') ? n(0, 2) + " +150.00 -050.00 * 100.00"
                                                        : n(0, 2) + " +080 +000 +000";
    if (section == QLatin1String("UNI"))
        return n(1, 6) + QStringLiteral(".0 ") + n(3, 16);
    if (section == QLatin1String("PATTERN"))
        return QStringList{n(0, 60), n(0, 2), n(0, 110), n(0, 110)}.join(u' ');
    if (section == QLatin1String("STEP")) {
        const QString time =
            in.ConsumeBool() ? n(0, 40000) : QStringList{n(0, 11), n(0, 99), n(0, 99)}.join(u':');
        return QStringList{n(0, 4), n(0, 2), n(0, 2), temperature(in), time}.join(u' ');
    }
    return n(0, 2) + (section == QLatin1String("LOG") ? QStringLiteral(" 1") : QString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const auto &keys = Ini_Operation::parameterSetKeys();
    QByteArray bytes;
    QString section;
    QList<std::pair<qsizetype, qsizetype>> lines; // each key line, without its line end
    for (const auto &[s, k] : keys) {
        if (s != section) {
            bytes += '[' + s.toUtf8() + "]\r\n";
            section = s;
        }
        QString value;
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0: {
            const std::string raw = in.ConsumeRandomLengthString(300);
            value = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
            // One line per key, so the cut places stay known.
            value.replace(u'\r', u' ').replace(u'\n', u' ');
            break;
        }
        case 1:
            break;
        default:
            value = nearValue(s, k, in);
        }
        const qsizetype begin = bytes.size();
        bytes += k.toUtf8() + '=' + value.toUtf8();
        lines.append({begin, bytes.size()});
        bytes += "\r\n";
    }
    if (in.ConsumeBool())
        bytes += "[COM]\r\npara=1\r\n";

    const ConfigSet::Check c = ConfigSet::check(bytes);
    check(c.ok == c.key.isEmpty(), "a refusal names no key, or a pass names one");
    const IniDocument doc = IniDocument::parse(bytes);
    bool passedSoFar = true;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const auto &[s, k] = keys.at(i);
        const QString v = IniFile::truncated(doc.value(s, k).value_or(QString()));
        bool plain = true;
        if (s == QLatin1String("STEP"))
            plain = v.isEmpty() || plainStep(v);
        else if (s == QLatin1String("PATTERN"))
            plain = plainPattern(v);
        const bool failing = !c.ok && c.section == s && c.key == k;
        if (passedSoFar && (s == QLatin1String("STEP") || s == QLatin1String("PATTERN")))
            check(plain != failing, "range check differs from the plain reading");
        if (passedSoFar && !failing && s != QLatin1String("LOG"))
            check(!v.isEmpty() || s == QLatin1String("STEP") || s == QLatin1String("PATTERN"),
                  "an empty setting passed");
        if (passedSoFar && !failing && s != QLatin1String("LOG"))
            check(printableLine(v), "a value the write cannot send passed");
        passedSoFar = passedSoFar && !failing;
    }

    // Cut inside a key's line: refused at that key, whatever is left of it.
    if (c.ok) {
        const qsizetype i = in.ConsumeIntegralInRange<qsizetype>(0, lines.size() - 1);
        const auto [begin, end] = lines.at(i);
        const qsizetype at = in.ConsumeIntegralInRange<qsizetype>(begin, end);
        const ConfigSet::Check cut = ConfigSet::check(bytes.left(at));
        check(!cut.ok && cut.section == keys.at(i).first && cut.key == keys.at(i).second,
              "a cut set passed, or was refused at another key");
    }
    return 0;
}
