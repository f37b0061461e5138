// The sensor and device settings window shows whatever the configuration file
// holds, and such files get edited by hand. For arbitrary stored values this
// target loads the window's values and checks that every control gets a
// value it can show; for arbitrary texts it checks that the decimal reading
// behind the checks gives back the value it read.
//
// Input (FuzzedDataProvider): one text for each stored value the window
// reads, then texts for the decimal reading.

#include "core/settings/DetailedSettings.h"

#include <QHash>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "FuzzCheck.h"

namespace {

QString text(FuzzedDataProvider &in)
{
    const std::string s = in.ConsumeRandomLengthString(80);
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

bool wholeIn(const QString &t, int min, int max)
{
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok && n >= min && n <= max && QString::number(n) == t;
}

QString format(qint64 h)
{
    const qint64 a = h < 0 ? -h : h;
    return QStringLiteral("%1%2.%3")
        .arg(h < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    QHash<QString, QString> stored;
    for (const char *key : {"FAN", "BEEP", "LIT", "LOG", "UNI", "SEN0", "SEN1", "SEN2", "SEN3",
                            "LOGDIRPATH", "CSVPATH"})
        if (in.ConsumeBool())
            stored.insert(QLatin1String(key), text(in));
    auto read = [&stored](const QString &section, const QString &key) {
        const QString name = section == QLatin1String("SEN") ? key : section;
        return stored.value(name, QStringLiteral("ERR"));
    };
    const DetailedSettings::Values v = DetailedSettings::load(read, QStringLiteral("/app"));

    check(v.fan >= 0 && v.fan <= 2 && v.beep >= 0 && v.beep <= 1 && v.lit >= 0 && v.lit <= 1,
          "an option index outside its group");
    check(v.csvIndex == 0 || v.csvIndex == 1, "a CSV option outside its group");
    check(v.preset >= 0 && v.preset <= 2, "a preset outside its group");
    check(wholeIn(v.interval, 1, 60), "an interval outside 1 to 60");
    check(wholeIn(v.current, DetailedSettings::CurrentFirst, DetailedSettings::CurrentLast),
          "a current that is not in the list");
    if (v.preset != DetailedSettings::PresetFree)
        check(v.teikou == QLatin1String("2.0"), "a preset with another resistance");
    for (int n = 0; n < DetailedSettings::SensorCount; ++n) {
        const DetailedSettings::Sensor &s = v.sensors[size_t(n)];
        check(!s.upper.isEmpty() && !s.lower.isEmpty() && !s.offset.isEmpty(),
              "a sensor box left empty");
        check(n >= 2 || !s.resistance.isEmpty(), "a resistance box left empty");
    }
    check(!v.logFolder.isEmpty(), "no log folder");

    while (in.remaining_bytes() > 0) {
        const QString t = text(in);
        const std::optional<qint64> h = DetailedSettings::hundredths(t);
        if (h)
            check(DetailedSettings::hundredths(format(*h)) == h, "a decimal read back differently");
        const QString half = DetailedSettings::toHalfWidth(t);
        check(half.size() == t.size(), "the half-width text changed its length");
    }
    return 0;
}
