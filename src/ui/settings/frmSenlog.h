#pragma once

#include "core/settings/SensorLog.h"

#include <QWidget>

#include <array>

class QListView;
class SensorLogLines;

// Sensor-log window ("温度ログ"): one scrolling box per sensor listing the
// samples of the running log. The boxes' text lives in the state; the window
// shows it and follows its changes, always scrolled to the newest line.
//
// A box shows its text one line per row of a list: a full log holds 21 600
// lines per box, which a rich text box takes far too long to lay out (and
// keeps far too much memory for); a list lays out only the rows in view.
class frmSenlog : public QWidget {
    Q_OBJECT
public:
    // `state` must be loaded; the window keeps it until it closes.
    explicit frmSenlog(SensorLogState &state, QWidget *parent = nullptr);
    ~frmSenlog() override;

    // SEN0_t to SEN3_t, sensors 0 to 3.
    std::array<QListView *, SensorLogState::Boxes> boxes{};

    // The lines box k shows, without their line ends.
    QStringList lines(int k) const;
    // Follows the state after it changed (lines appended, boxes emptied).
    void showState();

    static constexpr int WidthTwips = 7695;
    static constexpr int HeightTwips = 2600;
    static constexpr int LeftTwips = 0;
    static constexpr int TopTwips = 0;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    SensorLogState &m_state;
    std::array<SensorLogLines *, SensorLogState::Boxes> m_lines{};
    bool m_placed = false;
};
