#pragma once

#include <QString>
#include <QStringList>

#include <array>

struct Parameter;

// The four boxes of the sensor-log window ("温度ログ"), one per sensor, as
// text with CR LF line ends. They outlive the widget: the status poll echoes
// every logged sample here whether the window is open or not, and the window
// shows what is here when it opens.
//
// "Loaded" follows the window's life: a window that is opened, or written to
// while closed, starts from the samples already taken (a refill from
// SenValues); closing it discards the boxes, so the next opening refills all
// samples again, including those emptied every 600 samples.
class SensorLogState {
public:
    static constexpr int Boxes = 4;
    using Texts = std::array<QString, Boxes>;

    // One line of a box: sample number, one space, the reading without any
    // CR, CR LF.
    static QString line(qint64 sampleNo, const QString &reading);
    // Samples 1 to upTo of each sensor whose array holds them (sample 0, the
    // reply to the query a log starts with, is not listed).
    static Texts refill(const std::array<QStringList, 4> &values, qint64 upTo);

    bool isLoaded() const { return m_loaded; }
    const Texts &boxes() const { return m_boxes; }
    // Changes whenever the boxes start again (emptied or refilled) rather
    // than grow, so a view knows to read them anew.
    quint64 generation() const { return m_generation; }

    // Loads the boxes from `p`'s samples unless already loaded.
    void load(const Parameter &p);
    // ClearSensorLog: every box empty (the window counts as loaded).
    void clear();
    // Appends sample `sampleNo`'s readings, box k taking temps[k]; loads
    // first when needed. Returns the lines appended, one per box.
    Texts append(const Parameter &p, qint64 sampleNo, const QStringList &temps);
    // The window closed: forget the boxes.
    void unload();

private:
    bool m_loaded = false;
    quint64 m_generation = 0;
    Texts m_boxes;
};
