#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The text of a sectioned `key=value` file held in memory, with no file I/O, so
// that the parsing rules can be exercised on arbitrary bytes.
//
// Reading rules:
//  - a line whose first non-blank character is '[' starts a section; the name
//    runs to the last ']' on the line (or to its end) and is trimmed;
//  - a line whose first non-blank character is ';' is a comment;
//  - any other line with '=' is a key: the name before the first '=' and the
//    value after it are trimmed of spaces and tabs, and a value that both
//    starts and ends with a double quote loses those two quotes;
//  - other lines are ignored, and so are keys before the first section;
//  - names match with ASCII case folding; only the first section of a name is
//    consulted and within it the first key of a name wins.
//
// Every line keeps its own text and line ending, so serialize() returns the
// bytes it was given (in UTF-8) except where setValue() changed something.
class IniDocument {
public:
    enum class Encoding { Utf8, Utf8WithBom, ShiftJis };

    // Decodes bytes as UTF-8 when they are valid UTF-8 (with or without a byte
    // order mark), otherwise as Shift_JIS. Never fails: undecodable bytes
    // become U+FFFD.
    static IniDocument parse(const QByteArray &bytes);

    // The value under section/key, whole (no length limit); nullopt when the
    // section or the key is absent. An empty value is an empty, non-null text.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // Whether the line value() reads for section/key is the last of the text
    // and has no line end: what a file cut off inside that line looks like.
    bool endsUnterminatedAt(const QString &section, const QString &key) const;

    // Every line that is not blank or a comment, in file order, for checks
    // that must see the whole text rather than look keys up: a section header
    // (its trimmed name), a key (the trimmed names of its section and of the
    // key; `first` when value() reads this line), or a line that the reading
    // rules ignore (no '=' or a key before the first section). `line` counts
    // from 1.
    struct Entry {
        enum class Type { Section, Key, Ignored };
        Type type = Type::Ignored;
        int line = 0;
        QString section;
        QString key;
        bool first = false;
    };
    QList<Entry> entries() const;

    // Replaces the first occurrence of section/key in place, or appends the key
    // at the end of its section, or appends the section at the end of the text.
    // Line breaks inside value are written as single spaces, since a value is
    // one line. Returns false, changing nothing, for a name that cannot be
    // stored: an empty section or key, a line break in either, '=' in a key or
    // a key starting with '[' or ';'.
    bool setValue(const QString &section, const QString &key, const QString &value);

    // The text as UTF-8, with a byte order mark when the input had one.
    QByteArray serialize() const;

    Encoding sourceEncoding() const { return m_encoding; }
    bool isEmpty() const { return m_lines.isEmpty(); }

    // ASCII-only case folding used for every name comparison.
    static QString foldName(QStringView name);

private:
    enum class Eol : quint8 { None, CrLf, Lf, Cr };
    enum class Kind : quint8 { Other, Blank, Comment, Section, Key };

    struct Line {
        QString text;
        Eol eol = Eol::None;
        Kind kind = Kind::Other;
        qsizetype eqPos = -1; // for keys: index of the first '=' in text
    };

    void setText(const QString &text);
    static void classify(Line &line);
    void rebuildIndex();
    int findSection(const QString &foldedSection) const;
    QString valueOf(const Line &line) const;

    QList<Line> m_lines;
    Encoding m_encoding = Encoding::Utf8;

    // Index of the parsed lines, rebuilt after every structural change.
    struct SectionSpan {
        int header = -1;
        int lastKey = -1; // last key line of the section, -1 when none
    };
    QList<SectionSpan> m_sections;
    QHash<QString, int> m_firstSection;             // folded name -> m_sections index
    QHash<std::pair<int, QString>, int> m_firstKey; // (section, folded key) -> line
};
