#include "core/config/IniFile.h"

#include "core/config/DiskFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

enum class ReadResult { Ok, Absent, Failed };

ReadResult readBytes(const QString &path, QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFile::exists(path) ? ReadResult::Failed : ReadResult::Absent;
    bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? ReadResult::Ok : ReadResult::Failed;
}

} // namespace

QString IniFile::truncated(const QString &value)
{
    if (value.size() <= MaxValueLength)
        return value;
    qsizetype n = MaxValueLength;
    if (value[n - 1].isHighSurrogate())
        --n;
    return value.first(n);
}

std::optional<IniDocument> IniFile::load(const QString &path)
{
    QByteArray bytes;
    if (path.isEmpty() || readBytes(path, bytes) != ReadResult::Ok)
        return std::nullopt;
    return IniDocument::parse(bytes);
}

bool IniFile::save(const QString &path, const IniDocument &document, QString *reason)
{
    return !path.isEmpty() && DiskFile::replace(path, document.serialize(), reason);
}

QString IniFile::read(const QString &path, const QString &section, const QString &key)
{
    const std::optional<IniDocument> doc = load(path);
    if (!doc)
        return QStringLiteral("ERR");
    const std::optional<QString> value = doc->value(section, key);
    return value ? truncated(*value) : QStringLiteral("ERR");
}

bool IniFile::write(const QString &path, const QString &section, const QString &key,
                    const QString &value, QString *reason)
{
    if (path.isEmpty())
        return false;
    QByteArray old;
    const ReadResult got = readBytes(path, old);
    // A file that exists but cannot be read must not be replaced by one that
    // holds only the new key.
    if (got == ReadResult::Failed) {
        if (reason)
            *reason = QStringLiteral("設定ファイルを読み込めませんでした。");
        return false;
    }
    IniDocument doc = IniDocument::parse(old);
    if (!doc.setValue(section, key, value))
        return false;
    const QByteArray bytes = doc.serialize();
    if (got == ReadResult::Ok && bytes == old)
        return true;
    return DiskFile::replace(path, bytes, reason);
}

int IniFile::removeLeftovers(const QString &path)
{
    const QFileInfo target(path);
    const QString prefix = target.fileName() + QLatin1Char('.');
    QDir dir = target.absoluteDir();
    int removed = 0;
    const QStringList names =
        dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        // The temporary names are six random letters and digits. A plain
        // lower-case word ("backup", "before") is far more likely a copy
        // somebody made, and is not ours to remove.
        const QString suffix = name.mid(prefix.size());
        const bool alnum = std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
            return c.unicode() < 128 && c.isLetterOrNumber();
        });
        const bool ours = alnum && std::any_of(suffix.begin(), suffix.end(),
                                               [](QChar c) { return c.isDigit() || c.isUpper(); });
        if (ours && dir.remove(name))
            ++removed;
    }
    return removed;
}
