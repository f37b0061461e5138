#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    // Never fall back to overwriting the target in place: a failure half way
    // would leave a truncated configuration behind.
    file.setDirectWriteFallback(false);
    // Unbuffered, so that a short write (disk full) shows in write()'s count:
    // through the buffer it would be lost and the cut file committed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
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

bool IniFile::save(const QString &path, const IniDocument &document)
{
    return !path.isEmpty() && replaceFile(path, document.serialize());
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
                    const QString &value)
{
    if (path.isEmpty())
        return false;
    QByteArray old;
    const ReadResult got = readBytes(path, old);
    // A file that exists but cannot be read must not be replaced by one that
    // holds only the new key.
    if (got == ReadResult::Failed)
        return false;
    IniDocument doc = IniDocument::parse(old);
    if (!doc.setValue(section, key, value))
        return false;
    const QByteArray bytes = doc.serialize();
    if (got == ReadResult::Ok && bytes == old)
        return true;
    return replaceFile(path, bytes);
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
