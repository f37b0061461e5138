#include "core/logging/StoredLog.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace {

// Stamps are kept per block of lines as seconds past the block's first
// stamp: 1024 lines at 60 s apart still fit 16 bits.
constexpr int BlockBits = 10;
constexpr qint64 BlockLines = qint64(1) << BlockBits;
constexpr quint32 StampAside = 0xFFFFFFFFu;
constexpr quint16 OffsetAside = 0xFFFF;
constexpr quint16 TextAside = 0xFFFF;

// The seconds of a stamp written as the log writes it ("hh:mm:ss", hours
// of two digits or more without a leading zero beyond those two); false for
// any other text, which is then kept as it is.
bool stampSeconds(QByteArrayView t, quint32 *seconds)
{
    const qsizetype colon = t.indexOf(':');
    if (colon < 2 || colon > 7 || t.size() != colon + 6 || t.at(colon + 3) != ':')
        return false;
    if (colon > 2 && t.at(0) == '0')
        return false;
    auto digit = [&t](qsizetype i) { return t.at(i) >= '0' && t.at(i) <= '9'; };
    qint64 hours = 0;
    for (qsizetype i = 0; i < colon; ++i) {
        if (!digit(i))
            return false;
        hours = hours * 10 + (t.at(i) - '0');
    }
    for (qsizetype i : {colon + 1, colon + 2, colon + 4, colon + 5})
        if (!digit(i))
            return false;
    const int minutes = (t.at(colon + 1) - '0') * 10 + (t.at(colon + 2) - '0');
    const int secs = (t.at(colon + 4) - '0') * 10 + (t.at(colon + 5) - '0');
    if (minutes > 59 || secs > 59)
        return false;
    const qint64 total = hours * 3600 + minutes * 60 + secs;
    if (total >= qint64(StampAside))
        return false;
    *seconds = quint32(total);
    return true;
}

// The memo's record after the "-MEMO-" line, of which `head` has been read:
// the text between its double quotes, which may hold line ends and quotes
// of its own. UTF-8, or Shift_JIS as older systems wrote it.
QString memoText(QByteArray head, QIODevice &device)
{
    while (head.size() < StoredLog::MaxMemoBytes && !device.atEnd()) {
        const QByteArray chunk = device.read(StoredLog::MaxMemoBytes - head.size());
        if (chunk.isEmpty())
            break;
        head += chunk;
    }
    QByteArray b = head.trimmed();
    if (b.startsWith('"'))
        b.remove(0, 1);
    if (b.endsWith('"'))
        b.chop(1);
    b.replace("\r\n", "\n");
    QStringDecoder utf8(QStringConverter::Utf8);
    QString text = utf8.decode(b);
    if (utf8.hasError()) {
        QStringDecoder sjis("Shift_JIS");
        if (sjis.isValid())
            text = sjis.decode(b);
    }
    return text;
}

} // namespace

struct StoredLog::Block {
    quint32 base = StampAside; // seconds of the block's first stamp, once met
    quint16 offset[BlockLines];
    quint16 value[BlockLines][4];
};

// The code of every reading met so far. Readings are short ("+025.00"): up
// to seven bytes they are their own key in an open table, which spares a
// hash of a byte array for each of the forty million readings of a long log.
// The code of every reading met so far. Readings are short ("+025.00"): up
// to seven bytes they are their own key in an open table, which spares a
// hash of a byte array for each of the forty million readings of a long log.
struct StoredLog::Codes {
    struct Slot {
        quint64 key = 0; // 0: free
        quint16 code = 0;
    };
    // Never more than half full; grows with the readings met.
    std::vector<Slot> table = std::vector<Slot>(1024);
    int bits = 10;
    int used = 0;
    QHash<QByteArray, quint16> longer;

    static quint64 shortKey(QByteArrayView text)
    {
        quint64 key = quint64(text.size() + 1) << 56;
        for (qsizetype i = 0; i < text.size(); ++i)
            key |= quint64(quint8(text[i])) << (8 * i);
        return key;
    }
    Slot &slot(quint64 key)
    {
        size_t at = size_t((key * 0x9E3779B97F4A7C15ull) >> (64 - bits));
        while (table[at].key != 0 && table[at].key != key)
            at = (at + 1) & (table.size() - 1);
        return table[at];
    }
    // The code of `text`, or TextAside when it has none yet.
    quint16 find(QByteArrayView text)
    {
        if (text.size() < 8) {
            const Slot &s = slot(shortKey(text));
            return s.key != 0 ? s.code : TextAside;
        }
        return longer.value(QByteArray::fromRawData(text.data(), text.size()), TextAside);
    }
    void add(QByteArrayView text, quint16 code)
    {
        if (text.size() >= 8) {
            longer.insert(text.toByteArray(), code);
            return;
        }
        if (2 * (used + 1) > int(table.size())) {
            std::vector<Slot> old(size_t(2) * table.size());
            old.swap(table);
            ++bits;
            for (const Slot &s : old)
                if (s.key != 0)
                    slot(s.key) = s;
        }
        const quint64 key = shortKey(text);
        Slot &s = slot(key);
        s.key = key;
        s.code = code;
        ++used;
    }
};

StoredLog::StoredLog() = default;
StoredLog::~StoredLog() = default;
StoredLog::StoredLog(StoredLog &&other) noexcept = default;
StoredLog &StoredLog::operator=(StoredLog &&other) noexcept = default;

void StoredLog::clear()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_count = 0;
    m_step = 0;
    m_texts.clear();
    m_texts.shrink_to_fit();
    m_aside.clear();
    m_aside.shrink_to_fit();
    m_codes.reset();
    m_scratch.clear();
    m_memo.clear();
}

QString StoredLog::unreadableText(const QString &path)
{
    return QStringLiteral("ログファイルを読み込めませんでした。\n") + path;
}

bool StoredLog::readFile(const QString &path, const Progress &progress)
{
    // Only a regular file: a pipe or a device could keep the reading waiting
    // for ever.
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return read(f, progress);
}

bool StoredLog::read(QIODevice &device, const Progress &progress)
{
    clear();
    if (!device.isReadable())
        return false;
    m_codes = std::make_unique<Codes>();
    constexpr qint64 ChunkSize = 1 << 20;
    const qint64 total = device.isSequential() ? 0 : device.size();
    qint64 done = 0;
    QByteArray pending;
    bool memo = false;
    bool notLog = false;
    bool stopped = false;
    // Takes the whole lines of `pending`; what follows the last line end waits
    // for the next chunk.
    auto takeLines = [&] {
        qsizetype from = 0;
        while (!memo && !notLog) {
            const qsizetype nl = pending.indexOf('\n', from);
            if (nl < 0) {
                // No log line is anywhere near this long: refuse the file
                // rather than gather it whole in search of a line end.
                notLog = pending.size() - from > MaxLineBytes;
                break;
            }
            QByteArrayView line(pending.constData() + from, nl - from);
            // A NUL byte or so long a line is never in a text log: this is
            // some other file.
            if (line.size() > MaxLineBytes || line.contains('\0')) {
                notLog = true;
                break;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            // A memo appended to the log ends its samples: the memo text may
            // hold commas and must never be drawn.
            qsizetype lead = 0;
            while (lead < line.size() && (line.at(lead) == '"' || line.at(lead) == ' '))
                ++lead;
            if (line.sliced(lead).startsWith(memoMark()))
                memo = true;
            else
                addLine(line);
            from = nl + 1;
        }
        pending.remove(0, std::min(from, pending.size()));
    };
    while (!memo && !notLog && !device.atEnd()) {
        const QByteArray chunk = device.read(ChunkSize);
        if (chunk.isEmpty())
            break;
        done += chunk.size();
        pending += chunk;
        takeLines();
        if (progress && !progress(done, total)) {
            stopped = true;
            break;
        }
    }
    if (memo && !stopped)
        m_memo = memoText(pending, device);
    // What is left after the last line end is a line cut off as it was
    // written (a full disk, a power cut, often NUL bytes after one): no
    // sample, but no reason to refuse the lines before it either.
    m_codes.reset();
    m_scratch = QByteArray();
    if (notLog || stopped) {
        clear();
        return false;
    }
    m_texts.shrink_to_fit();
    m_aside.shrink_to_fit();
    return true;
}

void StoredLog::addLine(QByteArrayView line)
{
    // A log line has six fields: five commas at least, or it was damaged.
    qsizetype cuts[5];
    int found = 0;
    for (qsizetype i = 0; i < line.size() && found < 5; ++i)
        if (line.at(i) == ',')
            cuts[found++] = i;
    if (found < 5)
        return;
    const qint64 n = m_count;
    if ((n & (BlockLines - 1)) == 0)
        m_blocks.push_back(std::make_unique_for_overwrite<Block>());
    Block &block = *m_blocks.back();
    const qint64 row = n & (BlockLines - 1);
    qsizetype start = 0;
    for (int f = 0; f < 5; ++f) {
        const qsizetype end = cuts[f];
        QByteArrayView text = line.sliced(start, end - start);
        start = end + 1;
        // The text between the double quotes; copied only when a quote
        // stands inside it.
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"')
            text = text.sliced(1, text.size() - 2);
        if (text.contains('"')) {
            m_scratch.clear();
            for (char c : text)
                if (c != '"')
                    m_scratch.append(c);
            text = m_scratch;
        }
        if (f == 0) {
            quint32 seconds = 0;
            const bool isTime = stampSeconds(text, &seconds);
            if (isTime) {
                m_step = std::gcd(m_step, qint64(seconds));
                if (block.base == StampAside)
                    block.base = seconds;
            }
            if (isTime && seconds >= block.base && seconds - block.base < OffsetAside) {
                block.offset[row] = quint16(seconds - block.base);
            } else {
                block.offset[row] = OffsetAside;
                m_aside.emplace_back(n * 5, QString::fromUtf8(text));
            }
            continue;
        }
        quint16 code = m_codes->find(text);
        if (code == TextAside && m_texts.size() < TextAside) {
            code = quint16(m_texts.size());
            m_texts.push_back(QString::fromUtf8(text));
            m_codes->add(text, code);
        }
        if (code == TextAside)
            m_aside.emplace_back(n * 5 + f, QString::fromUtf8(text));
        block.value[row][f - 1] = code;
    }
    ++m_count;
}

QString StoredLog::aside(qint64 key) const
{
    const auto it =
        std::lower_bound(m_aside.begin(), m_aside.end(), key,
                         [](const std::pair<qint64, QString> &a, qint64 k) { return a.first < k; });
    return it != m_aside.end() && it->first == key ? it->second : QString();
}

QString StoredLog::time(qint64 i) const
{
    if (i < 0 || i >= count())
        return QString();
    const Block &block = *m_blocks[size_t(i >> BlockBits)];
    const quint16 offset = block.offset[i & (BlockLines - 1)];
    if (offset == OffsetAside)
        return aside(i * 5);
    const quint32 s = block.base + offset;
    char buf[32];
    const int n = std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600, s % 3600 / 60, s % 60);
    return QString::fromLatin1(buf, std::clamp(n, 0, int(sizeof buf) - 1));
}

QString StoredLog::value(int sensor, qint64 i) const
{
    if (i < 0 || i >= count() || sensor < 0 || sensor > 3)
        return QString();
    const quint16 code = m_blocks[size_t(i >> BlockBits)]->value[i & (BlockLines - 1)][sensor];
    return code == TextAside ? aside(i * 5 + sensor + 1) : m_texts[code];
}

bool StoredLog::interval(int *seconds) const
{
    if (count() < 2)
        return false;
    bool ok0 = false;
    bool ok1 = false;
    const int s0 = time(0).section(QLatin1Char(':'), 2, 2).toInt(&ok0);
    const int s1 = time(1).section(QLatin1Char(':'), 2, 2).toInt(&ok1);
    // A seconds part outside 0-59 is not a time stamp this program wrote
    // (a damaged or hand-made file): no interval rather than a wrong one.
    if (!ok0 || !ok1 || s0 < 0 || s0 > 59 || s1 < 0 || s1 > 59)
        return false;
    *seconds = s0 == 0 && s1 == 0 ? 60 : qint16(s1 - s0);
    return true;
}

std::size_t StoredLog::bytes() const
{
    std::size_t n = m_blocks.size() * sizeof(Block);
    for (const QString &t : m_texts)
        n += sizeof(QString) + size_t(t.size()) * 2;
    for (const auto &a : m_aside)
        n += sizeof(a) + size_t(a.second.size()) * 2;
    return n;
}
