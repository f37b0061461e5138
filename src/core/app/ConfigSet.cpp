#include "core/app/ConfigSet.h"

#include "core/app/FileCopy.h"
#include "core/config/IniDocument.h"
#include "core/config/IniFile.h"
#include "core/config/Ini_Operation.h"
#include "core/config/SettingRanges.h"
#include "core/link/AnswerShape.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool isOneOf(const QString &section, const char *name)
{
    return section.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// A pattern whose action is "*" is removed from the instrument by the write
// whatever its other fields hold; they are still numbers of the editor's
// widths or "*".
bool unregisteredPattern(const QString &value)
{
    static const QRegularExpression re(QRegularExpression::anchoredPattern(
        QStringLiteral(R"((\d{1,2}|\*) \* (\d{1,2}|\*) (\d{1,2}|\*))")));
    return re.match(value).hasMatch();
}

// A value that has the fields of its key, each made of number characters
// only, and still fails: a setting out of the range the program takes, not
// a damaged file. Its key is named with that reason.
bool looksLikeSetting(const QString &section, const QString &key, const QString &value)
{
    int fields = 1;
    if (isOneOf(section, "SEN"))
        fields = key.endsWith(QLatin1Char('0')) || key.endsWith(QLatin1Char('1')) ? 5 : 4;
    else if (isOneOf(section, "UNI"))
        fields = 2;
    else if (isOneOf(section, "PATTERN"))
        fields = 4;
    else if (isOneOf(section, "STEP"))
        fields = 5;
    static const QRegularExpression numberish(
        QRegularExpression::anchoredPattern(QStringLiteral(R"([0-9+\-.:*]+)")));
    const QStringList f = IniFile::truncated(value).split(QLatin1Char(' '));
    return f.size() == fields && std::all_of(f.cbegin(), f.cend(), [](const QString &field) {
               return numberish.match(field).hasMatch();
           });
}

// A value of the parameter set as the write will read it. A free pattern or
// step slot is written empty by the editor and removed from the instrument
// by the write; LOG is never sent (the write sends its own fixed text) and
// any text passes.
bool soundValue(const QString &section, const QString &key, const QString &value)
{
    const bool slot = isOneOf(section, "PATTERN") || isOneOf(section, "STEP");
    if (value.isEmpty() && slot)
        return true;
    const QString v = IniFile::truncated(value);
    if (isOneOf(section, "PATTERN"))
        return AnswerShape::pattern(v) || unregisteredPattern(v);
    if (isOneOf(section, "STEP"))
        return AnswerShape::step(v);
    return SettingRanges::storedValue(section, key, v);
}

// A value on the file's last line without its line end may have been cut
// anywhere, even where what is left still passes. It is taken only in a
// form that no cut leaves behind with another value: the instrument's fixed
// widths for sensors and steps. A switch in range is one digit and a thermal
// unit in range is whole (a cut leaves one field or a current below 3); LOG
// is never sent. A pattern's numbers have no fixed width: a pattern there is
// refused.
bool wholeAtEnd(const QString &section, const QString &key, const QString &value)
{
    if (value.isEmpty())
        return false;
    if (isOneOf(section, "SEN"))
        return AnswerShape::storedValue(section, key, value);
    if (isOneOf(section, "STEP")) {
        static const QRegularExpression fixedStep(QRegularExpression::anchoredPattern(
            QStringLiteral(R"(\* \* \* \* \*|[01] [01] [01] [+-]\d{3}\.\d{2} \d{2}:\d{2}:\d{2})")));
        return fixedStep.match(value).hasMatch();
    }
    return !isOneOf(section, "PATTERN");
}

// The first line that is not the set's own: a section or key the program
// does not keep, one that comes a second time (reads never see it), or a
// line that is neither a key nor a section.
ConfigSet::Check strayLine(const IniDocument &doc)
{
    for (const IniDocument::Entry &e : doc.entries()) {
        using Type = IniDocument::Entry::Type;
        const bool own = e.type == Type::Section ? Ini_Operation::isProgramSection(e.section)
                         : e.type == Type::Key   ? Ini_Operation::isProgramKey(e.section, e.key)
                                                 : false;
        if (!own || !e.first)
            return ConfigSet::Check{false, e.section, e.key, e.line};
    }
    return ConfigSet::Check{true, {}, {}, 0};
}

const QString kFailed = QStringLiteral("ファイルの読み込みに失敗しました。\n");

QString refusedMessage(const ConfigSet::Check &c)
{
    QString text = kFailed + (c.outOfRange ? QStringLiteral("設定値が範囲外です。")
                                           : QStringLiteral("ファイルが破損しているか存在しない"
                                                            "可能性があります。"));
    if (!c.key.isEmpty())
        text += QStringLiteral("\n問題のある項目：[%1] %2").arg(c.section, c.key);
    else if (!c.section.isEmpty())
        text += QStringLiteral("\n問題のある項目：[%1]").arg(c.section);
    else if (c.line > 0)
        text += QStringLiteral("\n問題のある項目：%1行目").arg(c.line);
    return text;
}

enum class ReadResult { Read, Missing, NotAFile, NoPermission, TooLarge };

// The bytes of the regular file `path`, at most MaxBytes. The type is
// checked before the file is opened, and again on what was opened, so a
// pipe put in its place in between cannot hold the program either.
ReadResult readSet(const QString &path, QByteArray *bytes)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return ReadResult::NotAFile;
    QFile in;
#ifdef Q_OS_UNIX
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return errno == EACCES || errno == EPERM ? ReadResult::NoPermission : ReadResult::Missing;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ReadResult::NotAFile;
    }
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return ReadResult::Missing;
    }
#else
    in.setFileName(path);
    if (!in.open(QIODevice::ReadOnly)) {
        return in.error() == QFileDevice::PermissionsError ? ReadResult::NoPermission
                                                           : ReadResult::Missing;
    }
#endif
    if (in.size() > ConfigSet::MaxBytes)
        return ReadResult::TooLarge;
    // A file that grows may still hold more than it said.
    *bytes = in.read(ConfigSet::MaxBytes + 1);
    if (in.error() != QFileDevice::NoError)
        return ReadResult::Missing;
    return bytes->size() <= ConfigSet::MaxBytes ? ReadResult::Read : ReadResult::TooLarge;
}

} // namespace

QString ConfigSet::notAFileMessage()
{
    return QStringLiteral("通常のファイルではないため読み込めません。");
}

QString ConfigSet::noPermissionMessage()
{
    return QStringLiteral("このファイルを読む権限がありません。");
}

ConfigSet::Check ConfigSet::check(const QByteArray &bytes)
{
    const IniDocument doc = IniDocument::parse(bytes);
    for (const auto &[section, key] : Ini_Operation::parameterSetKeys()) {
        const std::optional<QString> value = doc.value(section, key);
        if (!value || (doc.endsUnterminatedAt(section, key) && !wholeAtEnd(section, key, *value)))
            return Check{false, section, key, 0};
        if (!soundValue(section, key, *value))
            return Check{false, section, key, 0, looksLikeSetting(section, key, *value)};
    }
    return strayLine(doc);
}

ConfigSet::Result ConfigSet::open(const QString &path, const QString &workingFile)
{
    QByteArray bytes;
    switch (readSet(path, &bytes)) {
    case ReadResult::NotAFile:
        return Result{false, kFailed + notAFileMessage()};
    case ReadResult::NoPermission:
        return Result{false, kFailed + noPermissionMessage()};
    case ReadResult::Missing:
    case ReadResult::TooLarge:
        return Result{false, refusedMessage(Check{})};
    case ReadResult::Read:
        break;
    }
    const Check c = check(bytes);
    if (!c.ok)
        return Result{false, refusedMessage(c)};
    QString reason;
    if (!writeFileAtomically(workingFile, bytes, &reason)) {
        return Result{false,
                      kFailed + QStringLiteral("構成設定を作業ファイルへコピーできませんでした。"
                                               "（%1）")
                                    .arg(reason),
                      true};
    }
    return Result{true, {}};
}
