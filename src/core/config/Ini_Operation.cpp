#include "core/config/Ini_Operation.h"

#include "core/config/IniFile.h"

#include <QList>
#include <QSet>

#include <utility>

namespace {

QString keyOrPara(const QString &key)
{
    return key.isEmpty() ? QStringLiteral("para") : key;
}

} // namespace

const QList<std::pair<QString, QString>> &Ini_Operation::parameterSetKeys()
{
    static const QList<std::pair<QString, QString>> keys = [] {
        QList<std::pair<QString, QString>> k;
        for (int i = 0; i < 4; ++i)
            k.append({QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(i)});
        for (const char *section : {"UNI", "BEEP", "LIT", "LOG", "FAN"})
            k.append({QString::fromLatin1(section), QStringLiteral("para")});
        for (int i = 0; i < 10; ++i)
            k.append({QStringLiteral("PATTERN"), QStringLiteral("PATTERN%1").arg(i)});
        for (int i = 0; i < 100; ++i)
            k.append({QStringLiteral("STEP"), QStringLiteral("STEP%1").arg(i)});
        return k;
    }();
    return keys;
}

namespace {

// Folded "section" and "section\nkey" names of every key the program keeps.
const QSet<QString> &programNames()
{
    static const QSet<QString> names = [] {
        QList<std::pair<QString, QString>> keys = Ini_Operation::parameterSetKeys();
        keys << std::pair{QStringLiteral("COM"), QStringLiteral("para")}
             // A device path that no port number names.
             << std::pair{QStringLiteral("COM"), QStringLiteral("device")}
             << std::pair{QStringLiteral("LOGDIRPATH"), QStringLiteral("path")}
             << std::pair{QStringLiteral("CSVPATH"), QStringLiteral("path")}
             << std::pair{QStringLiteral("Y"), QStringLiteral("para")}
             << std::pair{QStringLiteral("FASTREAD"), QStringLiteral("para")}
             // "書込み後に照合する" of the detailed settings.
             << std::pair{QStringLiteral("WRITEVERIFY"), QStringLiteral("para")}
             // The status server: "状態をネットワークに公開する", its port and
             // permission, and the bench's name.
             << std::pair{QStringLiteral("STATUSSERVER"), QStringLiteral("para")}
             << std::pair{QStringLiteral("STATUSSERVER"), QStringLiteral("bench")};
        QSet<QString> n;
        for (const auto &[section, key] : keys) {
            n.insert(IniDocument::foldName(section));
            n.insert(IniDocument::foldName(section) + QLatin1Char('\n') +
                     IniDocument::foldName(key));
        }
        return n;
    }();
    return names;
}

} // namespace

bool Ini_Operation::isProgramKey(const QString &section, const QString &key)
{
    return programNames().contains(IniDocument::foldName(section) + QLatin1Char('\n') +
                                   IniDocument::foldName(key));
}

bool Ini_Operation::isProgramSection(const QString &section)
{
    return !section.contains(QLatin1Char('\n')) &&
           programNames().contains(IniDocument::foldName(section));
}

void Ini_Operation::setWorkingFile(const QString &path)
{
    m_workingFile = path;
    Filename = path;
}

QString Ini_Operation::IniRead(const QString &section, const QString &key) const
{
    return IniFile::read(Filename, section, keyOrPara(key));
}

// An empty key is written as `para` here too: writing a key with no name would
// make a line that no read can find.
bool Ini_Operation::IniWrite(const QString &section, const QString &key, const QString &value)
{
    QString reason;
    if (IniFile::write(m_workingFile, section, keyOrPara(key), value, &reason))
        return true;
    // Most callers go on after a write (as the design has them); the user
    // still learns that the setting did not reach the file.
    if (writeFailed && !m_workingFile.isEmpty())
        writeFailed(m_workingFile, reason);
    return false;
}

bool Ini_Operation::IniWritePara(const QString &section, const QString &key, const QString &value)
{
    return IniWrite(section, key, value);
}

bool Ini_Operation::IniCheck() const
{
    // One parse for all 119 keys; a missing file fails at the first key.
    const std::optional<IniDocument> doc = IniFile::load(Filename);
    if (!doc)
        return false;
    for (const auto &[section, key] : parameterSetKeys()) {
        if (!doc->value(section, key))
            return false;
    }
    return true;
}

Ini_Operation &ini()
{
    static Ini_Operation instance;
    return instance;
}
