#include "core/session/SetVerify.h"

#include "core/app/FileCopy.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/link/Reception_Show.h"
#include "core/link/SerialLink.h"
#include "core/link/SettingsTransfer.h"
#include "core/settings/DetailedSettings.h"

#include <QFile>
#include <QHash>

#include <cmath>

namespace {

QStringList fields(const QString &value)
{
    return value.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

bool number(const QString &text, double *v)
{
    bool ok = false;
    *v = text.toDouble(&ok);
    return ok;
}

// Two fields alike: both numbers of the same value (to the instrument's
// hundredths), or the same text.
bool sameField(const QString &a, const QString &b)
{
    double x = 0;
    double y = 0;
    if (number(a, &x) && number(b, &y))
        return std::abs(x - y) < 0.005;
    return a == b;
}

// A hold time in seconds: "h:m:s", "m:s" or whole seconds; -1 otherwise.
qint64 seconds(const QString &text)
{
    qint64 total = 0;
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 3)
        return -1;
    for (const QString &part : parts) {
        bool ok = false;
        const qint64 v = part.toLongLong(&ok);
        if (!ok || v < 0)
            return -1;
        total = total * 60 + v;
    }
    return total;
}

bool sameFields(const QStringList &a, const QStringList &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameField(a.at(i), b.at(i)))
            return false;
    }
    return true;
}

// A pattern or step record the write sends as a removal: empty, or "*" in
// its second field.
bool freeSlot(const QStringList &f)
{
    return f.size() < 2 || f.at(1) == QLatin1String("*");
}

// A sensor record as the instrument takes it: an offset that is not set is
// sent as 0, a resistance that is not set as 100.
QStringList sensorAsSent(const QString &name, QStringList f)
{
    const bool pt100 = name == QLatin1String("SEN0") || name == QLatin1String("SEN1");
    if (f.size() > 3 && f[3] == QLatin1String("*"))
        f[3] = QStringLiteral("0");
    if (pt100 && f.size() > 4 && f[4] == QLatin1String("*"))
        f[4] = QStringLiteral("100");
    return f;
}

} // namespace

namespace SetVerify {

Values snapshot(const Ini_Operation &ini)
{
    Values values;
    for (const auto &[section, key] : Ini_Operation::parameterSetKeys()) {
        // The read stores "1 1" under LOG whatever was written.
        if (section == QLatin1String("LOG"))
            continue;
        const QString name = key == QLatin1String("para") ? section : key;
        values.append({name, ini.IniRead(section, key)});
    }
    return values;
}

bool sameSetting(const QString &name, const QString &written, const QString &readBack)
{
    const QStringList w = fields(written);
    const QStringList r = fields(readBack);
    if (name.startsWith(QLatin1String("SEN"))) {
        // Nothing is sent for an empty sensor record.
        return w.isEmpty() || sameFields(sensorAsSent(name, w), sensorAsSent(name, r));
    }
    const bool pattern = name.startsWith(QLatin1String("PATTERN"));
    const bool step = name.startsWith(QLatin1String("STEP"));
    if (!pattern && !step)
        return sameFields(w, r);
    if (freeSlot(w) || freeSlot(r))
        return freeSlot(w) == freeSlot(r);
    if (pattern)
        return sameFields(w, r);
    if (w.size() != 5 || r.size() != 5)
        return w == r;
    const qint64 ws = seconds(w.at(4));
    return sameFields(w.mid(0, 4), r.mid(0, 4)) && ws >= 0 && ws == seconds(r.at(4));
}

QStringList differingKeys(const Values &written, const Values &readBack)
{
    QHash<QString, QString> read;
    for (const auto &[name, value] : readBack)
        read.insert(name, value);
    QStringList keys;
    for (const auto &[name, value] : written) {
        const auto it = read.constFind(name);
        if (it == read.constEnd() || !sameSetting(name, value, *it))
            keys.append(name);
    }
    return keys;
}

bool enabled(const Ini_Operation &ini)
{
    return ini.IniRead(QLatin1String(DetailedSettings::VerifySection),
                       QLatin1String(DetailedSettings::VerifyKey)) == QLatin1String("1");
}

ReadBack checkWritten(SerialLink &link, Reception_Show &parsers, Ini_Operation &ini)
{
    ReadBack check;
    const QString working = ini.workingFile();
    const Values written = snapshot(ini);
    const QString scratch = working + QStringLiteral(".verify");
    QFile::remove(scratch);
    if (!copyFileAtomically(working, scratch))
        return check;
    parsers.resetAll();
    param().ResetReplyBuffers();
    link.discardInput();
    ini.setWorkingFile(scratch);
    // A transfer of its own: the program's keeps its read mode and its view.
    SettingsTransfer transfer(link, parsers, param(), ini);
    transfer.setFastRead(true);
    bool all_flg = true;
    transfer.ReadAllSettings(all_flg);
    check.read = all_flg && link.CommOk();
    const Values readBack = snapshot(ini);
    ini.setWorkingFile(working);
    QFile::remove(scratch);
    if (check.read)
        check.differing = differingKeys(written, readBack);
    return check;
}

QString differsText(const QStringList &keys)
{
    return QStringLiteral("書き込んだ値と本体の値が異なります：") + keys.join(QStringLiteral("、"));
}

QString checkText(const ReadBack &check)
{
    if (!check.read)
        return QStringLiteral("照合のための読み込みに失敗しました。"
                              "本体との接続を確認し、再度実行してください。");
    if (!check.differing.isEmpty())
        return differsText(check.differing);
    return QStringLiteral("書き込んだ値は本体の値と一致しました。");
}

} // namespace SetVerify
