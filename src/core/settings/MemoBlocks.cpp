#include "core/settings/MemoBlocks.h"

#include "core/config/DiskFile.h"
#include "core/config/Parameter.h"

namespace {

const QLatin1StringView CrLf("\r\n");
const QLatin1Char Space(' ');

QStringList fields(const QString &record)
{
    return record.split(Space);
}

QString spaces(int n)
{
    return QString(n, Space);
}

// Right-aligned in `width` characters; a longer field is kept whole.
QString right(const QString &text, int width)
{
    return text.rightJustified(width, Space, false);
}

// "*" in the second field marks a pattern or step that is not registered.
bool registered(const QStringList &f)
{
    return f.size() > 1 && f.at(1) != QLatin1String("*");
}

} // namespace

namespace MemoBlocks {

QStringList sensorChoices()
{
    QStringList out;
    for (int n = 0; n < 4; ++n)
        out << sensorName(n);
    return out;
}

QStringList stepChoices()
{
    QStringList out;
    for (int k = 0; k < 10; ++k)
        out << QStringLiteral("STEP%1～%2").arg(10 * k).arg(10 * k + 9);
    return out;
}

QStringList patternChoices()
{
    QStringList out;
    for (int k = 0; k < 10; ++k)
        out << QStringLiteral("PATTERN%1").arg(k);
    return out;
}

QString sensor(int n, const QString &name, const QString &record)
{
    // A record short of fields shows them empty rather than failing.
    const QStringList f = fields(record);
    QString s =
        name + Space +
        (f.value(0) == QLatin1String("1") ? QStringLiteral("使用可") : QStringLiteral("使用否")) +
        Space + QStringLiteral("上限リミット : ") + f.value(1) + Space +
        QStringLiteral("下限リミット : ") + f.value(2) + CrLf;
    s += spaces(12) + QStringLiteral("オフセット : ") + f.value(3) + Space;
    // Only the two platinum inputs have a resistance.
    if (n == 0 || n == 1)
        s += QStringLiteral("抵抗値 : ") + f.value(4);
    return s + CrLf;
}

QString pattern(const QString &name, const QString &record)
{
    const QStringList f = fields(record);
    if (f.size() != 4 || !registered(f))
        return name + Space + QStringLiteral("未登録") + CrLf;
    return name + Space + QStringLiteral("ループ回数 : ") + f.at(0) + Space +
           QStringLiteral("設定温度到達後 : ") +
           (f.at(1) == QLatin1String("1") ? QStringLiteral("継続") : QStringLiteral("終了")) +
           CrLf + spaces(17) + QStringLiteral("開始ステップ : ") + f.at(2) + Space +
           QStringLiteral("終了ステップ : ") + f.at(3) + CrLf;
}

QString steps(int k, const std::array<QString, 101> &records)
{
    QString s = QStringLiteral("No    使用センサ    設定温度    保持時間") + CrLf;
    for (int i = 10 * k; i <= 10 * k + 9; ++i) {
        const QStringList f =
            i >= 0 && i < int(records.size()) ? fields(records[size_t(i)]) : QStringList();
        if (f.size() != 5 || !registered(f)) {
            s += QStringLiteral(" -") + spaces(17) + QLatin1Char('-') + spaces(15) +
                 QLatin1Char('-') + spaces(14) + QLatin1Char('-') + CrLf;
            continue;
        }
        // A sensor other than the two control sensors is shown as "-".
        QString name = QStringLiteral("-");
        if (f.at(0) == QLatin1String("0"))
            name = sensorName(0);
        else if (f.at(0) == QLatin1String("1"))
            name = sensorName(1);
        s += QString::number(i).rightJustified(2, QLatin1Char('0')) + spaces(4) + right(name, 10) +
             right(f.at(3), 14) + right(f.at(4), 14) + CrLf;
    }
    return s;
}

QString unit(const QString &record)
{
    const QStringList f = fields(record);
    if (f.size() != 2)
        return {};
    // The record holds the resistance first, then the current.
    return QStringLiteral("電流値 : ") + f.at(1) + QStringLiteral("[A] ") +
           QStringLiteral("抵抗値 : ") + f.at(0) + QStringLiteral("[Ω]") + CrLf;
}

QString fixedRun(const QString &fixpara, bool ran)
{
    if (!ran)
        return QStringLiteral("定値制御：未実行") + CrLf;
    const QStringList f = fields(fixpara);
    if (f.size() != 5)
        return {};
    auto used = [](const QString &v) {
        return v == QLatin1String("0") ? QStringLiteral("未使用") : QStringLiteral("使用");
    };
    return QStringLiteral("-定値制御パラメータ-") + CrLf + QStringLiteral("使用センサ : ") +
           (f.at(0) == QLatin1String("0") ? sensorName(0) : sensorName(1)) +
           QStringLiteral("  ヒータ : ") + used(f.at(1)) + QStringLiteral("  ファン : ") +
           used(f.at(2)) + CrLf + QStringLiteral("設定温度 : ") + f.at(3) +
           QStringLiteral("[℃]  設定温度到達後 : ") +
           (f.at(4) == QLatin1String("0") ? QStringLiteral("終了") : QStringLiteral("継続")) + CrLf;
}

QByteArray logRecords(const QString &memoText)
{
    const QString text = QLatin1Char('"') + CrLf + QLatin1Char('"') + CrLf +
                         QStringLiteral("\"-MEMO-\"") + CrLf + QLatin1Char('"') + memoText +
                         QLatin1Char('"') + CrLf;
    return text.toUtf8();
}

bool appendToLog(const QString &path, const QString &memoText, QString *error)
{
    if (path.isEmpty()) {
        if (error)
            *error = QStringLiteral("ログファイルがありません。");
        return false;
    }
    // Only an existing log takes a memo: a vanished log is not recreated
    // holding nothing but the memo. A memo the disk cannot take whole is
    // taken back, so the log never ends in half a memo.
    return DiskFile::append(path, logRecords(memoText), error);
}

} // namespace MemoBlocks
