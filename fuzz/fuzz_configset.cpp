// The check that "開く" makes of a configuration set before it replaces the
// working file. The input builds a set key by key (a value near a valid one
// or near a border of its range, arbitrary bytes or nothing), may add a
// line of another section and key, and picks a place to cut it. Whatever
// passes must be what the write can send; the verdict on every value must
// agree with a plain reading of its range, and on the added line with the
// list of the program's own keys; a set cut inside one of its values must
// not pass with another value than it held.

#include "core/app/ConfigSet.h"
#include "core/config/IniDocument.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/config/SettingRanges.h"

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

// A decimal in hundredths from "[+-]d*[.d*]" with at least one digit, or
// false (also for a value finer than a hundredth).
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
    if (whole.isEmpty() && frac.isEmpty())
        return false;
    if ((!whole.isEmpty() && !digitsOnly(whole)) || (!frac.isEmpty() && !digitsOnly(frac)))
        return false;
    while (frac.size() > 2) {
        if (frac.back() != u'0')
            return false; // finer than a hundredth
        frac.chop(1);
    }
    const long long v = number(whole.isEmpty() ? QStringLiteral("0") : whole) * 100 +
                        number(frac.leftJustified(2, u'0'));
    *out = negative ? -v : v;
    return true;
}

bool inRange(const QString &t, long long lo, long long hi, long long step)
{
    long long v = 0;
    return hundredths(t, &v) && v >= lo && v <= hi && v % step == 0;
}

// The detailed settings window's ranges, read plainly.
bool plainSensor(int n, const QString &v)
{
    const bool pt = n < 2;
    const QStringList f = v.split(u' ');
    if (f.size() != (pt ? 5 : 4) || (f[0] != QLatin1String("0") && f[0] != QLatin1String("1")))
        return false;
    const long long lo = pt ? -5000 : 0, hi = pt ? 15000 : 10000, step = pt ? 5 : 100;
    for (int i = 1; i <= 2; ++i) {
        if (f[i] != QLatin1String("*") && !inRange(f[i], lo, hi, step))
            return false;
    }
    long long upper = 0, lower = 0;
    if (hundredths(f[1], &upper) && hundredths(f[2], &lower) && lower >= upper)
        return false;
    if (f[3] != QLatin1String("*") && !inRange(f[3], -1000, 1000, step))
        return false;
    return !pt || f[4] == QLatin1String("*") || inRange(f[4], 9500, 10500, 5);
}

bool plainSetting(const QString &section, const QString &v)
{
    if (section == QLatin1String("UNI")) {
        const QStringList f = v.split(u' ');
        return f.size() == 2 && inRange(f[0], 100, 600, 10) && inRange(f[1], 300, 1600, 100);
    }
    const long long options = section == QLatin1String("FAN") ? 3 : 2;
    return v.size() == 1 && digitsOnly(v) && number(v) < options;
}

// Only the instrument's widths, as the editor and the read write a step:
// sensor 0 or 1, "+040.00", "hh:mm:ss" of at most ten hours.
bool plainStep(const QString &v)
{
    if (v == QLatin1String("* * * * *"))
        return true;
    const QStringList f = v.split(u' ');
    if (f.size() != 5)
        return false;
    const QStringList flags{"0", "1"};
    const QString &temp = f[3];
    if (!flags.contains(f[0]) || !flags.contains(f[1]) || !flags.contains(f[2]) ||
        temp.size() != 7 || (temp[0] != u'+' && temp[0] != u'-') || temp[4] != u'.' ||
        !digitsOnly(temp.mid(1, 3)) || !digitsOnly(temp.mid(5, 2)))
        return false;
    long long h = 0;
    if (!hundredths(temp, &h) || h < -5000 || h > 15000 || h % 5 != 0)
        return false;
    const QStringList t = f[4].split(u':');
    if (t.size() != 3 || !std::all_of(t.cbegin(), t.cend(), [](const QString &p) {
            return p.size() == 2 && digitsOnly(p);
        }))
        return false;
    const long long m = number(t[1]), s = number(t[2]);
    return m < 60 && s < 60 && number(t[0]) * 3600 + m * 60 + s <= 36000;
}

// Numbers of one or two digits; the action 0 or 1, or "*" for a pattern
// the write removes (its other fields then numbers or "*").
bool plainPattern(const QString &v)
{
    if (v.isEmpty())
        return true;
    const QStringList f = v.split(u' ');
    if (f.size() != 4)
        return false;
    auto small = [](const QString &t) { return t.size() <= 2 && digitsOnly(t); };
    if (f[1] == QLatin1String("*"))
        return std::all_of(f.cbegin(), f.cend(), [&small](const QString &t) {
            return t == QLatin1String("*") || small(t);
        });
    if (!std::all_of(f.cbegin(), f.cend(), small) ||
        (f[1] != QLatin1String("0") && f[1] != QLatin1String("1")))
        return false;
    const long long start = number(f[2]);
    const long long end = number(f[3]);
    return number(f[0]) <= 50 && start <= end;
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

// A number of hundredths in lo...hi, mostly on the grid of `step`, as the
// instrument writes it (sign, three digits, two decimals) or as typed
// ("12.5", "-3").
QString decimal(FuzzedDataProvider &in, int lo, int hi, int step)
{
    int h = lo + step * in.ConsumeIntegralInRange(0, (hi - lo) / step);
    if (in.ConsumeIntegralInRange(0, 7) == 0)
        h += in.ConsumeIntegralInRange(1, 99);
    if (in.ConsumeBool())
        return QString::asprintf("%+07.2f", h / 100.0);
    return QString::number(h / 100.0, 'f', in.ConsumeIntegralInRange(0, 3));
}

QString sensorField(FuzzedDataProvider &in, int lo, int hi, int step)
{
    return in.ConsumeIntegralInRange(0, 5) == 0 ? QStringLiteral("*") : decimal(in, lo, hi, step);
}

// A value that passes, as the instrument answers it (0) or as the windows
// write it (1).
QString validValue(const QString &section, const QString &key, int form)
{
    const bool typed = form == 1;
    if (section == QLatin1String("SEN")) {
        if (key.endsWith(u'0') || key.endsWith(u'1'))
            return typed ? QStringLiteral("0 * 20.05 0 95.00")
                         : QStringLiteral("1 +150.00 -050.00 +000.00 100.00");
        return typed ? QStringLiteral("1 * 0 -10") : QStringLiteral("1 +080 +000 +000");
    }
    if (section == QLatin1String("UNI"))
        return typed ? QStringLiteral("2.0 16") : QStringLiteral("3.0 8");
    if (section == QLatin1String("PATTERN"))
        return typed ? QString() : QStringLiteral("1 0 0 2");
    if (section == QLatin1String("STEP"))
        return typed ? QStringLiteral("1 0 0 +040.50 00:01:30") : QStringLiteral("* * * * *");
    if (section == QLatin1String("LOG"))
        return QStringLiteral("1 1");
    return typed ? QStringLiteral("0") : QStringLiteral("1");
}

QString nearValue(const QString &section, const QString &key, FuzzedDataProvider &in)
{
    auto n = [&in](int lo, int hi) { return QString::number(in.ConsumeIntegralInRange(lo, hi)); };
    if (section == QLatin1String("SEN")) {
        const bool pt = key.endsWith(u'0') || key.endsWith(u'1');
        const int step = pt ? 5 : 100;
        QStringList f{n(0, 2), sensorField(in, pt ? -5100 : -200, pt ? 15100 : 10200, step),
                      sensorField(in, pt ? -5100 : -200, pt ? 15100 : 10200, step),
                      sensorField(in, -1100, 1100, step)};
        if (pt)
            f << sensorField(in, 9400, 10600, 5);
        return f.join(u' ');
    }
    if (section == QLatin1String("UNI"))
        return decimal(in, 50, 650, 10) + u' ' + n(2, 17);
    if (section == QLatin1String("PATTERN"))
        return QStringList{n(0, 60),
                           in.ConsumeIntegralInRange(0, 3) == 0 ? QStringLiteral("*") : n(0, 2),
                           n(0, 110), n(0, 110)}
            .join(u' ');
    if (section == QLatin1String("STEP")) {
        auto two = [&in](int hi) {
            return QString::number(in.ConsumeIntegralInRange(0, hi)).rightJustified(2, u'0');
        };
        const QString time =
            in.ConsumeBool() ? n(0, 40000) : QStringList{two(11), two(99), two(99)}.join(u':');
        return QStringList{n(0, 4), n(0, 2), n(0, 2), temperature(in), time}.join(u' ');
    }
    return n(0, 3) + (section == QLatin1String("LOG") ? QStringLiteral(" 1") : QString());
}

// A line of another section and key: the program's own or not.
const char *const kSections[] = {"COM",  "FASTREAD", "Y",   "CSVPATH", "LOGDIRPATH",
                                 "JUNK", "STEP",     "sen", "com",     ""};
const char *const kKeys[] = {"para", "device", "path", "STEP100", "SEN0", "k", "Para", ""};

bool ownSection(const QString &section)
{
    const QString s = section.toUpper();
    return s == QLatin1String("COM") || s == QLatin1String("FASTREAD") || s == QLatin1String("Y") ||
           s == QLatin1String("CSVPATH") || s == QLatin1String("LOGDIRPATH");
}

// A section line alone is the program's own when its section is: a key
// removed from the program's file leaves its section behind.
bool ownKey(const QString &section, const QString &key)
{
    const QString s = section.toUpper();
    const QString k = key.toLower();
    if (k.isEmpty())
        return ownSection(s);
    return (s == QLatin1String("COM") &&
            (k == QLatin1String("para") || k == QLatin1String("device"))) ||
           ((s == QLatin1String("FASTREAD") || s == QLatin1String("Y")) &&
            k == QLatin1String("para")) ||
           ((s == QLatin1String("CSVPATH") || s == QLatin1String("LOGDIRPATH")) &&
            k == QLatin1String("path"));
}

// Two values of one key that the write sends alike: the same fields, each
// the same text or the same number.
bool sameMeaning(const QString &section, const QString &a, const QString &b)
{
    if (section == QLatin1String("LOG"))
        return true; // never sent
    const QStringList fa = a.split(u' ');
    const QStringList fb = b.split(u' ');
    if (fa.size() != fb.size())
        return false;
    for (qsizetype i = 0; i < fa.size(); ++i) {
        long long x = 0, y = 0;
        if (fa[i] != fb[i] && !(hundredths(fa[i], &x) && hundredths(fb[i], &y) && x == y))
            return false;
    }
    return true;
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
        // A provider that has run out gives 0: the rest of the set is whole.
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            value = validValue(s, k, in.ConsumeIntegralInRange(0, 1));
            break;
        case 1:
            value = nearValue(s, k, in);
            break;
        case 2: {
            const std::string raw = in.ConsumeRandomLengthString(300);
            value = QString::fromUtf8(raw.data(), qsizetype(raw.size()));
            // One line per key, so the cut places stay known.
            value.replace(u'\r', u' ').replace(u'\n', u' ');
            break;
        }
        default:
            break;
        }
        const qsizetype begin = bytes.size();
        bytes += k.toUtf8() + '=' + value.toUtf8();
        lines.append({begin, bytes.size()});
        bytes += "\r\n";
    }
    const bool com = in.ConsumeBool();
    if (com)
        bytes += "[COM]\r\npara=1\r\n";
    // One more line: a key of its own section, or a line that is no key.
    QString extraSection, extraKey;
    bool extraOwn = true;
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 1: {
        extraSection = QLatin1String(kSections[in.ConsumeIntegralInRange<size_t>(0, 9)]);
        extraKey = QLatin1String(kKeys[in.ConsumeIntegralInRange<size_t>(0, 7)]);
        const bool repeated =
            extraSection.compare(QLatin1String("STEP"), Qt::CaseInsensitive) == 0 ||
            extraSection.compare(QLatin1String("SEN"), Qt::CaseInsensitive) == 0 ||
            (com && extraSection.compare(QLatin1String("COM"), Qt::CaseInsensitive) == 0);
        extraOwn = !repeated && ownKey(extraSection, extraKey);
        bytes += '[' + extraSection.toUtf8() + "]\r\n";
        if (!extraKey.isEmpty())
            bytes += extraKey.toUtf8() + "=1\r\n";
        break;
    }
    case 2:
        bytes += "no key\r\n";
        extraOwn = false;
        break;
    default:
        break;
    }

    const ConfigSet::Check c = ConfigSet::check(bytes);
    check(c.ok != c.names(), "a refusal names nothing, or a pass names something");
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
        else if (s == QLatin1String("SEN"))
            plain = plainSensor(int(i), v);
        else if (s != QLatin1String("LOG"))
            plain = plainSetting(s, v);
        // Every value against its rule, whatever came before it.
        if (s != QLatin1String("STEP") && s != QLatin1String("PATTERN"))
            check(SettingRanges::storedValue(s, k, v) == plain,
                  "a range differs from the plain reading");
        const bool failing = !c.ok && c.section == s && c.key == k;
        if (passedSoFar)
            check(plain != failing, "range check differs from the plain reading");
        if (passedSoFar && !failing && s != QLatin1String("LOG"))
            check(!v.isEmpty() || s == QLatin1String("STEP") || s == QLatin1String("PATTERN"),
                  "an empty setting passed");
        if (passedSoFar && !failing && s != QLatin1String("LOG"))
            check(printableLine(v), "a value the write cannot send passed");
        passedSoFar = passedSoFar && !failing;
    }
    if (passedSoFar)
        check(c.ok == extraOwn,
              "a line that is not the set's own passed, or the program's own was refused");

    // Cut inside a key's line: refused at that key or a later one, unless
    // what is left of the value is the whole value.
    if (c.ok) {
        // Counted from the end: a provider that has run out cuts the last
        // key's line after its value.
        const qsizetype i =
            lines.size() - 1 - in.ConsumeIntegralInRange<qsizetype>(0, lines.size() - 1);
        const auto [begin, end] = lines.at(i);
        const qsizetype at = end - in.ConsumeIntegralInRange<qsizetype>(0, end - begin);
        const ConfigSet::Check cut = ConfigSet::check(bytes.left(at));
        const auto &[s, k] = keys.at(i);
        const QString whole = doc.value(s, k).value_or(QString());
        const QString left = IniDocument::parse(bytes.left(at)).value(s, k).value_or(QString());
        if (cut.ok) {
            check(i == keys.size() - 1, "a set cut before its last key passed");
            check(sameMeaning(s, whole, left), "a cut value passed with another meaning");
        } else {
            qsizetype named = 0;
            while (named < keys.size() &&
                   (keys.at(named).first != cut.section || keys.at(named).second != cut.key))
                ++named;
            check(named >= i && named < keys.size(), "a cut set was refused at an earlier key");
            // Refused later: the value at the cut passed as it stands.
            if (named > i)
                check(sameMeaning(s, whole, left), "a cut value passed with another meaning");
        }
    }
    return 0;
}
