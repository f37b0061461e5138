#include "shell/ConfigSet.h"

#include "config/IniDocument.h"
#include "config/IniFile.h"
#include "config/Ini_Operation.h"
#include "link/AnswerShape.h"
#include "shell/FileCopy.h"

#include <QFile>

namespace {

bool isOneOf(const QString &section, const char *name)
{
    return section.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// A free pattern or step slot is written empty by the editor and removed
// from the instrument by the write.
bool soundValue(const QString &section, const QString &key, const QString &value)
{
    if (value.isEmpty() && (isOneOf(section, "PATTERN") || isOneOf(section, "STEP")))
        return true;
    // Checked as the write will read it; LOG is not among the values
    // checked (the write sends its own fixed text).
    return AnswerShape::storedValue(section, key, IniFile::truncated(value));
}

QString refusedMessage(const ConfigSet::Check &c)
{
    QString text = QStringLiteral("ファイルの読み込みに失敗しました。\n"
                                  "ファイルが破損しているか存在しない可能性があります。");
    if (!c.key.isEmpty())
        text += QStringLiteral("\n問題のある項目：[%1] %2").arg(c.section, c.key);
    return text;
}

} // namespace

ConfigSet::Check ConfigSet::check(const QByteArray &bytes)
{
    const IniDocument doc = IniDocument::parse(bytes);
    for (const auto &[section, key] : Ini_Operation::parameterSetKeys()) {
        const std::optional<QString> value = doc.value(section, key);
        // A value on the file's last line without its line end may have
        // been cut anywhere, even where what is left looks whole.
        if (!value || !soundValue(section, key, *value) || doc.endsUnterminatedAt(section, key))
            return Check{false, section, key};
    }
    return Check{true, {}, {}};
}

ConfigSet::Result ConfigSet::open(const QString &path, const QString &workingFile)
{
    QFile in(path);
    QByteArray bytes;
    bool readable = in.open(QIODevice::ReadOnly) && in.size() <= MaxBytes;
    if (readable) {
        // A device or a file that grows may still hold more than it said.
        bytes = in.read(MaxBytes + 1);
        readable = bytes.size() <= MaxBytes && in.error() == QFileDevice::NoError;
    }
    const Check c = readable ? check(bytes) : Check{};
    if (!c.ok)
        return Result{false, refusedMessage(c)};
    QString reason;
    if (!writeFileAtomically(workingFile, bytes, &reason)) {
        return Result{false, QStringLiteral("ファイルの読み込みに失敗しました。\n"
                                            "構成設定を作業ファイルへコピーできませんでした。"
                                            "（%1）")
                                 .arg(reason)};
    }
    return Result{true, {}};
}
