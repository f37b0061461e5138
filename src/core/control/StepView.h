#pragma once

#include <QString>

#include <array>

class Ini_Operation;

// One row of the step view as it is shown.
struct StepViewRow {
    int stepNo = 0;
    // List index of the sensor: 0 PT100A, 1 PT100B, 2 the blank entry.
    int sensorIndex = 2;
    QString mark; // "○", "×" or empty
    QString temp;
    QString time;
};

// The registered steps of one pattern, ten at a time, read from the
// configuration file: what the step view window shows and how it pages. It
// writes nothing.
class StepView {
public:
    static constexpr int RowCount = 10;
    static constexpr int BlankSensor = 2;

    explicit StepView(const Ini_Operation &ini) : m_ini(ini) {}

    // Shows steps first to first+9; the pattern record of pattern first / 10
    // sets the page range and the buttons when it has more than three fields.
    void reLoad(qint16 first);
    // The page buttons (Next_c, Ahead_c).
    void nextPage();
    void aheadPage();

    const std::array<StepViewRow, RowCount> &rows() const { return m_rows; }
    bool nextEnabled() const { return m_nextEnabled; }
    bool aheadEnabled() const { return m_aheadEnabled; }

    // What a row shows for the value of its STEP key, given the first
    // characters of keys SEN0 to SEN3.
    static StepViewRow rowFor(int stepNo, const QString &record,
                              const std::array<QString, 4> &senUse);

    qint16 view_first = 0;
    QString view_start; // first step of the pattern shown
    QString view_end;   // last step of the pattern shown

private:
    void setButtons();

    const Ini_Operation &m_ini;
    std::array<StepViewRow, RowCount> m_rows{};
    bool m_nextEnabled = false;
    bool m_aheadEnabled = false;
};

// Texts of the step view, shared with the windows that show steps.
const QString &stepMarkValid();   // "○"
const QString &stepMarkInvalid(); // "×"
