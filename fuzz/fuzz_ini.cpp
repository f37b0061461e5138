// Configuration files travel between machines and get edited by hand, so the
// reader must take any bytes, and a write must never disturb what it did not
// set. For arbitrary file content this target reads arbitrary keys, writes
// one, and checks what comes back, both in memory (IniDocument) and through
// the file (IniFile).
//
// Input (FuzzedDataProvider): the file content, whether the file exists, up
// to four (section, key) queries, then the section, key and value written.

#include "core/config/IniDocument.h"
#include "core/config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <fuzzer/FuzzedDataProvider.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FuzzCheck.h"

namespace {

constexpr int MaxValue = 255;

QString scratchPath()
{
    // A RAM-backed folder when there is one: every run writes the file twice.
    const QString dir =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    return dir + QStringLiteral("/krm-fuzz-ini-%1.ini").arg(::getpid());
}

const QString &path()
{
    static const QString p = [] {
        QString s = scratchPath();
        std::atexit([] { QFile::remove(scratchPath()); });
        return s;
    }();
    return p;
}

QByteArray fileBytes()
{
    QFile f(path());
    if (!f.open(QIODevice::ReadOnly))
        fail("the written file cannot be read");
    return f.readAll();
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimBlanks(const QString &s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

// What a reader gets back for a value: cut at 255 UTF-16 units, one less when
// the cut would split a surrogate pair.
QString cut(const QString &v)
{
    if (v.size() <= MaxValue)
        return v;
    qsizetype n = MaxValue;
    if (v[n - 1].isHighSurrogate())
        --n;
    return v.first(n);
}

// The value a reader sees after value was written: one line, blanks around it
// and one pair of enclosing double quotes dropped.
QString storedValue(const QString &value)
{
    QString v = value;
    v.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    v.replace(u'\r', u' ');
    v.replace(u'\n', u' ');
    v = trimBlanks(v);
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"')
        v = v.mid(1, v.size() - 2);
    return v;
}

// Whether a section and a key name can be stored at all.
bool storable(const QString &section, const QString &key)
{
    const QString s = trimBlanks(section);
    const QString k = trimBlanks(key);
    return !s.isEmpty() && !k.isEmpty() && !hasLineBreak(s) && !hasLineBreak(k) &&
           !k.contains(u'=') && !k.startsWith(u'[') && !k.startsWith(u';');
}

bool sameName(const QString &a, const QString &b)
{
    return IniDocument::foldName(trimBlanks(a)) == IniDocument::foldName(trimBlanks(b));
}

bool isValidUtf8(QByteArrayView bytes)
{
    QStringDecoder d(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // decode() is lazy: the text must be taken for the check to run.
    const QString decoded = d.decode(bytes);
    return !d.hasError();
}

QString text(FuzzedDataProvider &in, size_t maxBytes)
{
    const std::string s = in.ConsumeRandomLengthString(maxBytes);
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

struct Query {
    QString section;
    QString key;
    std::optional<QString> before;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const std::string raw = in.ConsumeRandomLengthString(8192);
    const QByteArray content(raw.data(), qsizetype(raw.size()));
    const bool fileExists = in.ConsumeBool();

    if (fileExists) {
        QFile f(path());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            f.write(content) != content.size())
            fail("cannot set up the scratch file");
    } else {
        QFile::remove(path());
    }
    const QByteArray original = fileExists ? content : QByteArray();

    // Reading: whatever the bytes, the text comes back as given wherever it
    // was valid UTF-8, and parsing the output again changes nothing.
    const IniDocument doc = IniDocument::parse(original);
    const QByteArray once = doc.serialize();
    const QByteArrayView body = original.startsWith("\xEF\xBB\xBF")
                                    ? QByteArrayView(original).sliced(3)
                                    : QByteArrayView(original);
    if (isValidUtf8(body))
        check(once == original, "valid UTF-8 not given back unchanged");
    const IniDocument again = IniDocument::parse(once);
    check(again.serialize() == once, "serialising is not idempotent");

    std::vector<Query> queries;
    const int queryCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < queryCount; ++i) {
        Query q{text(in, 40), text(in, 40), std::nullopt};
        q.before = doc.value(q.section, q.key);
        check(again.value(q.section, q.key) == q.before, "re-parsed text reads differently");
        if (q.before)
            check(!hasLineBreak(*q.before), "a value holds a line break");
        const QString viaFile = IniFile::read(path(), q.section, q.key);
        check(viaFile == (q.before ? cut(*q.before) : QStringLiteral("ERR")),
              "file read disagrees with the document");
        queries.push_back(std::move(q));
    }

    const QString section = text(in, 40);
    const QString key = text(in, 40);
    const QString value = text(in, 600);

    IniDocument written = doc;
    const bool set = written.setValue(section, key, value);
    check(set == storable(section, key), "setValue accepts or refuses the wrong names");
    const bool wroteFile = IniFile::write(path(), section, key, value);
    check(wroteFile == set, "file write and document write disagree");
    if (!set) {
        check(written.serialize() == once, "a refused write changed the document");
        if (fileExists)
            check(fileBytes() == original, "a refused write changed the file");
        else
            check(!QFile::exists(path()), "a refused write created the file");
        return 0;
    }

    const QByteArray out = written.serialize();
    check(fileBytes() == out, "file and document differ after the write");
    const IniDocument reread = IniDocument::parse(out);
    check(reread.serialize() == out, "written text is not idempotent");

    const QString expected = storedValue(value);
    check(reread.value(section, key) == expected, "value read back differs from the written one");
    if (!hasLineBreak(value) && value == trimBlanks(value) && !value.startsWith(u'"'))
        check(reread.value(section, key) == value, "plain value changed on the way");
    check(IniFile::read(path(), section, key) == cut(expected),
          "file read back differs from the written value");

    // A write touches its own key only.
    for (const Query &q : queries) {
        if (sameName(q.section, section) && sameName(q.key, key))
            continue;
        check(reread.value(q.section, q.key) == q.before, "a write changed another key");
    }
    return 0;
}
