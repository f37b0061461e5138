#pragma once

#include "core/config/SampleStore.h"

#include <QString>
#include <QStringList>

#include <vector>

struct Parameter;

// The four boxes of the sensor-log window ("温度ログ"), one per sensor. They
// outlive the widget: the status poll echoes every logged sample here whether
// the window is open or not, and the window shows what is here when it opens.
//
// The boxes share their rows: row r of every box is one sample number and
// that sample's four readings, kept compact and made into text ("number,
// one space, reading", CR LF) only when a row is shown. A full log lists
// 21 600 rows per box; held as text they would cost several megabytes.
//
// "Loaded" follows the window's life: a window that is opened, or written to
// while closed, starts from the samples already taken (a refill from
// SenValues); closing it discards the rows, so the next opening refills all
// samples again, including those emptied every 600 samples.
class SensorLogState {
public:
    static constexpr int Boxes = 4;

    // One line of a box: sample number, one space, the reading without any
    // CR, CR LF.
    static QString line(qint64 sampleNo, const QString &reading);

    bool isLoaded() const { return m_loaded; }
    // Rows of each box, and row `row` of box k without its line end.
    qint64 rows() const { return qint64(m_numbers.size()); }
    QString rowText(int k, qint64 row) const;
    // The whole text of box k, CR LF after every line.
    QString box(int k) const;
    // Changes whenever the boxes start again (emptied or refilled) rather
    // than grow, so a view knows to read them anew.
    quint64 generation() const { return m_generation; }

    // Loads the boxes from `p`'s samples 1 ... LogCount unless already loaded
    // (sample 0, the reply to the query a log starts with, is not listed).
    void load(const Parameter &p);
    // ClearSensorLog: every box empty (the window counts as loaded).
    void clear();
    // Appends sample `sampleNo`'s readings, box k taking temps[k]; loads
    // first when needed.
    void append(const Parameter &p, qint64 sampleNo, const QStringList &temps);
    // The window closed: forget the rows.
    void unload();

private:
    void refill(const Parameter &p, qint64 upTo);

    bool m_loaded = false;
    quint64 m_generation = 0;
    std::vector<qint64> m_numbers;
    SampleStore m_readings;
};
