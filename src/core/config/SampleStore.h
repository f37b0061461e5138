#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

// The readings of the four sensors, one row per sample number, kept compact:
// a reading is stored as a number with the shape of its text (sign, integer
// digits, decimals), eight bytes, and given back as exactly the text that was
// received. A week of logging keeps hundreds of thousands of samples, so no
// reading costs an allocation of its own; the rare text that is not a plain
// decimal ("*" aside) is kept as text beside the rows.
class SampleStore {
public:
    static constexpr int Sensors = 4;

    // Rows 0 ... size() - 1; a row never set reads as empty texts.
    qint64 size() const { return qint64(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    // Grows (empty rows) or shrinks to `rows`.
    void resize(qint64 rows);
    // Row `sample` takes readings[k] for sensor k (missing ones empty); the
    // store grows to hold it.
    void set(qint64 sample, const QStringList &readings);
    // Appends a row.
    void append(const QStringList &readings) { set(size(), readings); }
    // Sensor k's reading of row `sample` as received; empty outside the rows.
    QString text(int k, qint64 sample) const;
    // Forgets every row and gives the memory back.
    void clear();
    // Bytes held (rows reserved and texts kept aside), for the figures.
    std::size_t bytes() const;

private:
    struct Cell {
        qint32 hundredths = 0; // the magnitude, in hundredths
        quint8 intDigits = 0;  // digits before the point, leading zeros included
        quint8 decimals = 0;   // 0 (no point), 1 or 2
        quint8 sign = 0;       // 0 none, 1 '+', 2 '-'
        quint8 kind = 0;       // Kind
    };
    enum Kind : quint8 { Empty, Star, Number, Other };
    using Row = std::array<Cell, Sensors>;

    static bool encode(QStringView text, Cell *cell);
    static QString decode(const Cell &cell);

    std::vector<Row> m_rows;
    QHash<qint64, QString> m_other; // key: row * Sensors + k
};
