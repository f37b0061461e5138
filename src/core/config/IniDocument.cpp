#include "core/config/IniDocument.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr char Utf8Bom[] = "\xEF\xBB\xBF";

bool isBlankChar(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlankChar(s[begin]))
        ++begin;
    while (end > begin && isBlankChar(s[end - 1]))
        --end;
    return s.sliced(begin, end - begin);
}

bool hasLineBreak(const QString &s)
{
    return s.contains(u'\r') || s.contains(u'\n');
}

} // namespace

QString IniDocument::foldName(QStringView name)
{
    QString folded = name.toString();
    for (QChar &c : folded) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return folded;
}

IniDocument IniDocument::parse(const QByteArray &bytes)
{
    IniDocument doc;
    QByteArrayView body = bytes;
    // Keep a second byte order mark as a character rather than dropping it.
    const auto flags =
        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
    if (bytes.startsWith(Utf8Bom)) {
        // The mark states the encoding; invalid sequences after it become U+FFFD.
        body = body.sliced(3);
        doc.m_encoding = Encoding::Utf8WithBom;
        QStringDecoder utf8(QStringConverter::Utf8, flags);
        doc.setText(utf8.decode(body));
        return doc;
    }
    QStringDecoder utf8(QStringConverter::Utf8, flags);
    QString text = utf8.decode(body);
    if (!utf8.hasError()) {
        doc.m_encoding = Encoding::Utf8;
        doc.setText(text);
        return doc;
    }
    // Files saved by older Japanese systems are in Shift_JIS.
    QStringDecoder sjis("Shift_JIS", flags);
    if (sjis.isValid()) {
        doc.m_encoding = Encoding::ShiftJis;
        doc.setText(sjis.decode(body));
        return doc;
    }
    // Without a Shift_JIS codec keep the UTF-8 reading with its U+FFFD marks.
    doc.m_encoding = Encoding::Utf8;
    doc.setText(text);
    return doc;
}

void IniDocument::setText(const QString &text)
{
    m_lines.clear();
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype i = start;
        while (i < n && text[i] != u'\r' && text[i] != u'\n')
            ++i;
        Line line;
        line.text = text.sliced(start, i - start);
        if (i >= n) {
            line.eol = Eol::None;
            start = n;
        } else if (text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
            line.eol = Eol::CrLf;
            start = i + 2;
        } else {
            line.eol = text[i] == u'\r' ? Eol::Cr : Eol::Lf;
            start = i + 1;
        }
        classify(line);
        m_lines.append(std::move(line));
    }
    rebuildIndex();
}

void IniDocument::classify(Line &line)
{
    line.eqPos = -1;
    const QStringView t = trimmed(line.text);
    if (t.isEmpty()) {
        line.kind = Kind::Blank;
    } else if (t.front() == u';') {
        line.kind = Kind::Comment;
    } else if (t.front() == u'[') {
        line.kind = Kind::Section;
    } else {
        const qsizetype eq = line.text.indexOf(u'=');
        if (eq < 0 || trimmed(QStringView(line.text).first(eq)).isEmpty()) {
            line.kind = Kind::Other;
        } else {
            line.kind = Kind::Key;
            line.eqPos = eq;
        }
    }
}

void IniDocument::rebuildIndex()
{
    m_sections.clear();
    m_firstSection.clear();
    m_firstKey.clear();
    int current = -1;
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        if (line.kind == Kind::Section) {
            QStringView t = trimmed(line.text).sliced(1);
            const qsizetype close = t.lastIndexOf(u']');
            if (close >= 0)
                t = t.first(close);
            m_sections.append(SectionSpan{i, -1});
            current = int(m_sections.size()) - 1;
            const QString name = foldName(trimmed(t));
            if (!name.isEmpty() && !m_firstSection.contains(name))
                m_firstSection.insert(name, current);
        } else if (line.kind == Kind::Key && current >= 0) {
            m_sections[current].lastKey = i;
            auto key = std::make_pair(current,
                                      foldName(trimmed(QStringView(line.text).first(line.eqPos))));
            if (!m_firstKey.contains(key))
                m_firstKey.insert(key, i);
        }
    }
}

int IniDocument::findSection(const QString &foldedSection) const
{
    return m_firstSection.value(foldedSection, -1);
}

QString IniDocument::valueOf(const Line &line) const
{
    QStringView v = trimmed(QStringView(line.text).sliced(line.eqPos + 1));
    if (v.size() >= 2 && v.front() == u'"' && v.back() == u'"')
        v = v.sliced(1, v.size() - 2);
    // An empty value must stay distinguishable from an absent one.
    QString result = v.toString();
    if (result.isNull())
        result = QStringLiteral("");
    return result;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const int s = findSection(foldName(trimmed(section)));
    if (s < 0)
        return std::nullopt;
    const int line = m_firstKey.value(std::make_pair(s, foldName(trimmed(key))), -1);
    if (line < 0)
        return std::nullopt;
    return valueOf(m_lines[line]);
}

bool IniDocument::endsUnterminatedAt(const QString &section, const QString &key) const
{
    const int s = findSection(foldName(trimmed(section)));
    if (s < 0 || m_lines.isEmpty())
        return false;
    const int line = m_firstKey.value(std::make_pair(s, foldName(trimmed(key))), -1);
    return line == m_lines.size() - 1 && m_lines.last().eol == Eol::None;
}

QList<IniDocument::Entry> IniDocument::entries() const
{
    QList<Entry> out;
    int section = -1;
    QString sectionName;
    for (int i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        Entry e;
        e.line = i + 1;
        if (line.kind == Kind::Section) {
            ++section;
            QStringView t = trimmed(line.text).sliced(1);
            const qsizetype close = t.lastIndexOf(u']');
            if (close >= 0)
                t = t.first(close);
            sectionName = trimmed(t).toString();
            e.type = Entry::Type::Section;
            e.section = sectionName;
            e.first = m_firstSection.value(foldName(sectionName), -1) == section;
        } else if (line.kind == Kind::Key && section >= 0) {
            e.type = Entry::Type::Key;
            e.section = sectionName;
            e.key = trimmed(QStringView(line.text).first(line.eqPos)).toString();
            e.first = m_firstKey.value(std::make_pair(section, foldName(e.key)), -1) == i;
        } else if (line.kind == Kind::Blank || line.kind == Kind::Comment) {
            continue;
        }
        out.append(std::move(e));
    }
    return out;
}

bool IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = trimmed(section).toString();
    const QString keyName = trimmed(key).toString();
    if (sectionName.isEmpty() || keyName.isEmpty() || hasLineBreak(sectionName) ||
        hasLineBreak(keyName) || keyName.contains(u'=') || keyName.front() == u'[' ||
        keyName.front() == u';')
        return false;

    // A raw line break would split the value and leave its tail as a stray
    // line in the file; keep the value on its one line instead.
    QString oneLine = value;
    oneLine.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    oneLine.replace(u'\r', u' ');
    oneLine.replace(u'\n', u' ');

    const int s = findSection(foldName(sectionName));
    if (s >= 0) {
        const int existing = m_firstKey.value(std::make_pair(s, foldName(keyName)), -1);
        if (existing >= 0) {
            Line &line = m_lines[existing];
            line.text = line.text.first(line.eqPos + 1) + oneLine;
            return true;
        }
        const SectionSpan &span = m_sections[s];
        const int after = span.lastKey >= 0 ? span.lastKey : span.header;
        if (m_lines[after].eol == Eol::None)
            m_lines[after].eol = Eol::CrLf;
        Line line{keyName + u'=' + oneLine, Eol::CrLf};
        classify(line);
        m_lines.insert(after + 1, std::move(line));
        rebuildIndex();
        return true;
    }

    if (!m_lines.isEmpty()) {
        if (m_lines.last().eol == Eol::None)
            m_lines.last().eol = Eol::CrLf;
        if (m_lines.last().kind != Kind::Blank)
            m_lines.append(Line{QString(), Eol::CrLf, Kind::Blank});
    }
    Line header{u'[' + sectionName + u']', Eol::CrLf};
    classify(header);
    m_lines.append(std::move(header));
    Line line{keyName + u'=' + oneLine, Eol::CrLf};
    classify(line);
    m_lines.append(std::move(line));
    rebuildIndex();
    return true;
}

QByteArray IniDocument::serialize() const
{
    QString text;
    qsizetype size = 0;
    for (const Line &line : m_lines)
        size += line.text.size() + 2;
    text.reserve(size);
    for (const Line &line : m_lines) {
        text += line.text;
        switch (line.eol) {
        case Eol::None:
            break;
        case Eol::CrLf:
            text += u"\r\n";
            break;
        case Eol::Lf:
            text += u'\n';
            break;
        case Eol::Cr:
            text += u'\r';
            break;
        }
    }
    QByteArray bytes;
    if (m_encoding == Encoding::Utf8WithBom)
        bytes = Utf8Bom;
    bytes += text.toUtf8();
    return bytes;
}
