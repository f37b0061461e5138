#include "core/config/SampleStore.h"

#include <algorithm>

void SampleStore::resize(qint64 rows)
{
    rows = std::max<qint64>(rows, 0);
    if (rows < size()) {
        for (auto it = m_other.begin(); it != m_other.end();)
            it = it.key() / Sensors >= rows ? m_other.erase(it) : std::next(it);
    }
    m_rows.resize(size_t(rows));
}

void SampleStore::set(qint64 sample, const QStringList &readings)
{
    if (sample < 0)
        return;
    if (sample >= size())
        m_rows.resize(size_t(sample) + 1);
    Row &row = m_rows[size_t(sample)];
    for (int k = 0; k < Sensors; ++k) {
        const QString text = readings.value(k);
        const qint64 key = sample * Sensors + k;
        Cell &cell = row[size_t(k)];
        if (encode(text, &cell)) {
            m_other.remove(key);
        } else {
            cell = Cell{};
            cell.kind = Other;
            m_other.insert(key, text);
        }
    }
}

QString SampleStore::text(int k, qint64 sample) const
{
    if (k < 0 || k >= Sensors || sample < 0 || sample >= size())
        return {};
    const Cell &cell = m_rows[size_t(sample)][size_t(k)];
    if (cell.kind == Other)
        return m_other.value(sample * Sensors + k);
    return decode(cell);
}

void SampleStore::clear()
{
    std::vector<Row>().swap(m_rows);
    m_other = {};
}

std::size_t SampleStore::bytes() const
{
    std::size_t other = 0;
    for (const QString &s : m_other)
        other += sizeof(QString) + sizeof(qint64) + size_t(s.size()) * 2;
    return m_rows.capacity() * sizeof(Row) + other;
}

// Takes "+025.00", "-050.00", "+025", "25.5", "*" and "" as cells; anything
// else (other characters, more digits than a cell holds) is left as text.
bool SampleStore::encode(QStringView text, Cell *cell)
{
    Cell c;
    if (text.isEmpty()) {
        *cell = c;
        return true;
    }
    if (text == u"*") {
        c.kind = Star;
        *cell = c;
        return true;
    }
    qsizetype i = 0;
    if (text.at(0) == u'+' || text.at(0) == u'-') {
        c.sign = text.at(0) == u'+' ? 1 : 2;
        ++i;
    }
    qint64 whole = 0;
    int digits = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i, ++digits)
        whole = whole * 10 + (text.at(i).unicode() - '0');
    if (digits == 0 || digits > 7)
        return false;
    int frac = 0;
    int decimals = 0;
    if (i < text.size() && text.at(i) == u'.') {
        ++i;
        for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128;
             ++i, ++decimals)
            frac = frac * 10 + (text.at(i).unicode() - '0');
        if (decimals == 0 || decimals > 2)
            return false;
    }
    if (i != text.size())
        return false;
    c.kind = Number;
    c.intDigits = quint8(digits);
    c.decimals = quint8(decimals);
    c.hundredths = qint32(whole * 100 + (decimals == 1 ? frac * 10 : frac));
    *cell = c;
    return true;
}

QString SampleStore::decode(const Cell &cell)
{
    switch (cell.kind) {
    case Empty:
        return {};
    case Star:
        return QStringLiteral("*");
    default:
        break;
    }
    char buf[16];
    int n = 0;
    if (cell.sign)
        buf[n++] = cell.sign == 1 ? '+' : '-';
    const qint32 whole = cell.hundredths / 100;
    char digits[8];
    int d = 0;
    for (qint32 w = whole; d < int(cell.intDigits); w /= 10)
        digits[d++] = char('0' + w % 10);
    while (d > 0)
        buf[n++] = digits[--d];
    if (cell.decimals > 0) {
        const int frac = cell.hundredths % 100;
        buf[n++] = '.';
        buf[n++] = char('0' + frac / 10);
        if (cell.decimals == 2)
            buf[n++] = char('0' + frac % 10);
    }
    return QString::fromLatin1(buf, n);
}
