#include "core/settings/DetailedSettings.h"

#include "core/app/WindowState.h"
#include "core/config/Ini_Operation.h"
#include "core/config/SettingRanges.h"
#include "core/control/StepCheck.h"
#include "core/net/ServeSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

const QString kErr = QStringLiteral("ERR");
const QChar kBlank = QLatin1Char(' ');

bool isPt(int n)
{
    return n < 2;
}

QString field(const QStringList &f, int i)
{
    return i < f.size() ? f.at(i) : QString();
}

// An option index stored as text; what is not one of the options selects the
// first, so that what is shown is what will be written.
int optionIndex(const QString &text, int count)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 0 && n < count ? n : 0;
}

// The value of a numeric text, compared as a number ("2", "2.0").
std::optional<qint64> numberOf(const QString &text)
{
    return DetailedSettings::hundredths(text);
}

QString clean(const QString &text)
{
    return DetailedSettings::toHalfWidth(text).trimmed();
}

} // namespace

// ---------------------------------------------------------------- rules

QString DetailedSettings::toHalfWidth(const QString &text)
{
    // The same conversion as the step editor's, so both windows accept the
    // same typed characters.
    return StepCheck::toHalfWidth(text);
}

std::optional<qint64> DetailedSettings::hundredths(const QString &text)
{
    return SettingRanges::hundredths(text.trimmed());
}

int DetailedSettings::checkSensor(int n, const Sensor &s)
{
    using Fault = SettingRanges::SensorFault;
    switch (SettingRanges::sensorFault(n, clean(s.upper), clean(s.lower), clean(s.offset),
                                       clean(s.resistance))) {
    case Fault::None:
        return SensorValid;
    case Fault::Limit:
        return SensorLimit;
    case Fault::Order:
        return SensorOrder;
    case Fault::Resistance:
        return SensorResistance;
    case Fault::Offset:
        return SensorOffset;
    }
    return SensorLimit;
}

bool DetailedSettings::validTeikou(const QString &text)
{
    return SettingRanges::within(clean(text), SettingRanges::UnitResistance);
}

std::optional<int> DetailedSettings::validInterval(const QString &text)
{
    if (!SettingRanges::within(clean(text), SettingRanges::Interval))
        return std::nullopt;
    // A zero interval would poll without pause; the box never keeps it.
    const int seconds = int(*hundredths(clean(text)) / 100);
    return seconds == 0 ? 1 : seconds;
}

QString DetailedSettings::intervalWhileTyping(const QString &text)
{
    const std::optional<qint64> v = hundredths(text);
    return v && *v == 0 ? QStringLiteral("1") : text;
}

// ---------------------------------------------------------------- load

DetailedSettings::Values
DetailedSettings::load(const std::function<QString(const QString &, const QString &)> &read,
                       const QString &appDir)
{
    Values v;
    auto para = [&read](const char *section) { return read(QLatin1String(section), QString()); };

    v.fan = optionIndex(para("FAN"), SettingRanges::FanModes);
    v.beep = optionIndex(para("BEEP"), SettingRanges::BeepModes);
    v.lit = optionIndex(para("LIT"), SettingRanges::LitModes);

    // Whole seconds 1 to 60; "0", "*" or anything unusable is 1.
    {
        const QString f0 = para("LOG").split(kBlank).value(0).trimmed();
        const std::optional<qint64> h = hundredths(f0);
        const qint64 seconds = h ? (*h + 50) / 100 : 0;
        v.interval = QString::number(seconds >= 1 && seconds <= 60 ? seconds : 1);
    }

    // A value with fewer fields than the sensor needs (a hand-edited file)
    // gets the defaults of an unset field.
    for (int n = 0; n < SensorCount; ++n) {
        const QStringList f =
            read(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n)).split(kBlank);
        Sensor &s = v.sensors[size_t(n)];
        s.inUse = field(f, 0) == QLatin1String("1");
        s.upper = field(f, 1).isEmpty() ? QStringLiteral("*") : field(f, 1);
        s.lower = field(f, 2).isEmpty() ? QStringLiteral("*") : field(f, 2);
        const QString offset = field(f, 3);
        if (offset.isEmpty() || offset == QLatin1String("*"))
            s.offset = isPt(n) ? QStringLiteral("+000.00") : QStringLiteral("+000");
        else
            s.offset = offset;
        if (isPt(n)) {
            const QString res = field(f, 4);
            s.resistance =
                res.isEmpty() || res == QLatin1String("*") ? QStringLiteral("100.00") : res;
        }
    }

    {
        const QStringList f = para("UNI").split(kBlank);
        const std::optional<qint64> res = numberOf(field(f, 0));
        const std::optional<qint64> cur = numberOf(field(f, 1));
        if (res && cur && *res == 200 && *cur == 600) {
            v.preset = PresetVdA;
            v.teikou = QStringLiteral("2.0");
            v.current = QStringLiteral("6");
        } else if (res && cur && *res == 200 && *cur == 700) {
            v.preset = PresetVdB;
            v.teikou = QStringLiteral("2.0");
            v.current = QStringLiteral("7");
        } else {
            v.preset = PresetFree;
            v.teikou = field(f, 0);
            // A current that is not in the list shows (and keeps) the first
            // entry rather than none.
            const bool listed =
                cur && *cur % 100 == 0 && *cur / 100 >= CurrentFirst && *cur / 100 <= CurrentLast;
            v.current = QString::number(listed ? *cur / 100 : CurrentFirst);
        }
    }

    const QString folder = read(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"));
    v.logFolder = folder.isEmpty() || folder == kErr ? appDir : folder;

    const QString csv = read(QStringLiteral("CSVPATH"), QStringLiteral("path"));
    if (!csv.isEmpty() && csv != kErr) {
        v.csvPath = csv.mid(2);
        v.csvIndex = optionIndex(csv.split(kBlank).value(0), 2);
    } else {
        v.csvIndex = 0;
    }
    v.verifyAfterWrite =
        read(QLatin1String(VerifySection), QLatin1String(VerifyKey)) == QLatin1String("1");
    const ServeSettings serve =
        ServeSettings::parse(read(QLatin1String(ServeSettings::Section), QStringLiteral("para")));
    v.serveOn = serve.on;
    v.servePort = QString::number(serve.port);
    v.serveRemote = serve.remote;
    return v;
}

// ---------------------------------------------------------------- apply

DetailedSettings::Result DetailedSettings::ApplySettings(const Values &values, Context &ctx)
{
    Ini_Operation &cfg = ctx.ini;
    Result result;
    auto fail = [&result](int page, const QString &message) {
        result.ok = false;
        result.page = page;
        result.message = message;
        return result;
    };
    // A write that cannot be made is a run-time error of the apply, reported
    // like a folder that cannot be made.
    auto write = [&cfg](const QString &section, const QString &key, const QString &value) {
        return cfg.IniWrite(section, key.isEmpty() ? QStringLiteral("para") : key, value);
    };
    const QString csvSection = QStringLiteral("CSVPATH");
    const QString pathKey = QStringLiteral("path");

    // 1. CSV output.
    if (!write(csvSection, pathKey, QString::number(values.csvIndex) + kBlank + values.csvPath))
        return fail(OtherPage, folderMessage());
    const QString stored = cfg.IniRead(csvSection, pathKey);
    const bool hasValue = !stored.isEmpty() && stored != kErr;
    const QString path = hasValue ? stored.mid(2) : QStringLiteral("C:\\");
    QString csvValue;
    if (hasValue && stored.split(kBlank).value(0) == QLatin1String("1")) {
        const QString program = ctx.spreadsheetProgram ? ctx.spreadsheetProgram() : QString();
        if (program.isEmpty()) {
            ctx.state.flg_csv = false;
            csvValue = QStringLiteral("0 ") + path;
            result.csvMissing = true;
        } else {
            ctx.state.flg_csv = true;
            csvValue = QStringLiteral("1 ") + program;
        }
    } else {
        ctx.state.flg_csv = false;
        csvValue = QStringLiteral("0 C:\\");
    }
    if (!write(csvSection, pathKey, csvValue))
        return fail(OtherPage, folderMessage());

    // 2. Log folder, every level of it and its LOG folder.
    const QString folder = QDir::fromNativeSeparators(values.logFolder.trimmed());
    if (ctx.setLogdirname)
        ctx.setLogdirname(folder);
    if (!write(QStringLiteral("LOGDIRPATH"), pathKey, folder) || folder.isEmpty())
        return fail(OtherPage, folderMessage());
    const QString logFolder = QDir(folder).filePath(QStringLiteral("LOG"));
    if (!QDir().mkpath(logFolder) || !QFileInfo(logFolder).isDir())
        return fail(OtherPage, folderMessage());

    // 3. Fan, backlight, beep.
    if (!write(QStringLiteral("FAN"), {}, QString::number(values.fan)) ||
        !write(QStringLiteral("LIT"), {}, QString::number(values.lit)) ||
        !write(QStringLiteral("BEEP"), {}, QString::number(values.beep)))
        return fail(OtherPage, folderMessage());

    // 4. Thermal unit.
    if (!validTeikou(values.teikou))
        return fail(FanPage, teikouMessage());
    // One decimal, the instrument's form: a read takes the unit back only
    // in that width.
    const QString teikou =
        QString::number(double(*hundredths(clean(values.teikou))) / 100.0, 'f', 1);
    if (!write(QStringLiteral("UNI"), {}, teikou + kBlank + values.current))
        return fail(OtherPage, folderMessage());

    // 5. Interval; the output-device field after the blank stays empty.
    const std::optional<int> interval = validInterval(values.interval);
    if (!interval)
        return fail(OtherPage, intervalMessage());
    if (!write(QStringLiteral("LOG"), {}, QString::number(*interval) + kBlank))
        return fail(OtherPage, folderMessage());
    ctx.logInterval = *interval;
    const QString verifySection = QLatin1String(VerifySection);
    if ((values.verifyAfterWrite || cfg.IniRead(verifySection, QLatin1String(VerifyKey)) != kErr) &&
        !write(verifySection, {},
               values.verifyAfterWrite ? QStringLiteral("1") : QStringLiteral("0")))
        return fail(OtherPage, folderMessage());
    // The status server: a port is asked for only when it serves; written
    // once chosen, as the check after a write.
    ServeSettings serve;
    serve.on = values.serveOn;
    serve.remote = values.serveRemote;
    if (const int port = ServeSettings::portFrom(values.servePort))
        serve.port = port;
    else if (values.serveOn)
        return fail(OtherPage, ServeSettings::portMessage());
    if ((values.serveOn ||
         cfg.IniRead(QLatin1String(ServeSettings::Section), QStringLiteral("para")) != kErr) &&
        !serve.save(cfg))
        return fail(OtherPage, folderMessage());

    // 6. Sensors, all checked before any is written.
    std::array<QString, SensorCount> records;
    for (int n = 0; n < SensorCount; ++n) {
        Sensor s = values.sensors[size_t(n)];
        s.upper = clean(s.upper);
        s.lower = clean(s.lower);
        s.offset = clean(s.offset);
        s.resistance = clean(s.resistance);
        if (s.upper.isEmpty())
            s.upper = QStringLiteral("*");
        if (s.lower.isEmpty())
            s.lower = QStringLiteral("*");
        if (s.offset.isEmpty())
            s.offset = QStringLiteral("0");
        ctx.state.flg_i = SensorChecking;
        ctx.state.flg_i = checkSensor(n, s);
        if (ctx.state.flg_i != SensorValid)
            return fail(SensorPage,
                        sensorName(n) + QLatin1Char('\n') + sensorMessage(ctx.state.flg_i));
        QStringList fields{s.inUse ? QStringLiteral("1") : QStringLiteral("0"), s.upper, s.lower,
                           s.offset};
        if (isPt(n))
            fields << s.resistance;
        records[size_t(n)] = fields.join(kBlank);
    }

    // 7. The sensor records.
    for (int n = 0; n < SensorCount; ++n) {
        if (!write(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(n), records[size_t(n)]))
            return fail(OtherPage, folderMessage());
        if (ctx.pause)
            ctx.pause(0.025);
    }
    result.ok = true;
    return result;
}

// ---------------------------------------------------------------- texts

QString DetailedSettings::sensorName(int n)
{
    static const QString names[SensorCount] = {QStringLiteral("PT100A"), QStringLiteral("PT100B"),
                                               QStringLiteral("SENSOR1"),
                                               QStringLiteral("SENSOR2")};
    return n >= 0 && n < SensorCount ? names[n] : QString();
}

QString DetailedSettings::sensorMessage(int flg_i)
{
    switch (flg_i) {
    case SensorLimit:
        return QStringLiteral("リミット温度に条件に合う数字を入力してください。");
    case SensorOrder:
        return QStringLiteral("下限リミット温度が上限リミット温度を超えています。");
    case SensorResistance:
        return QStringLiteral("抵抗値に条件に合う数字を入力してください。");
    case SensorOffset:
        return QStringLiteral("オフセット温度に条件に合う数字を入力してください。");
    default:
        return {};
    }
}

QString DetailedSettings::folderMessage()
{
    return QStringLiteral("ログ格納フォルダが存在するか確認してください。");
}

QString DetailedSettings::teikouMessage()
{
    return QStringLiteral("電流調整の抵抗値が不正です。");
}

QString DetailedSettings::intervalMessage()
{
    return QStringLiteral("グラフ更新間隔の値が不正です。");
}

QString DetailedSettings::csvMissingMessage()
{
    return QStringLiteral("EXCEL.EXEを見つけることができませんでした。\n"
                          "CSVファイルへの出力を停止します。");
}

QString DetailedSettings::writeQuestion(bool logRunning)
{
    const QString running =
        logRunning ? QStringLiteral("ログ出力中のため、グラフ更新間隔の変更は次のログ開始から"
                                    "有効になります。\n")
                   : QString();
    return running + QStringLiteral("設定を反映するためには本体書込みを実行して下さい。\n"
                                    "このまま本体書込みを実行しますか？");
}

QString DetailedSettings::closeQuestion()
{
    return QStringLiteral("変更が更新されていない可能性があります。\n"
                          "更新して書き込みますか？");
}

QString DetailedSettings::errorTitle()
{
    return QStringLiteral("error");
}

QString DetailedSettings::confirmTitle()
{
    return QStringLiteral("確認");
}

QString DetailedSettings::writeTitle()
{
    return QStringLiteral("書込み確認");
}

QString DetailedSettings::closeTitle()
{
    return QStringLiteral("詳細設定確認");
}

QString DetailedSettings::folderPickerTitle()
{
    return QStringLiteral("フォルダを選択してください");
}
