#pragma once

#include "core/settings/StatusLabels.h"

#include <QWidget>

#include <array>

class QDateTime;
class QLabel;
class QPushButton;
class RunProgress;
struct StatuslogState;

// Status-log window: the status line of the latest poll of a running log.
// The status poll writes the labels into the state, also while the window is
// closed; "詳細" appears with the first alarm and reopens the alarm window.
class frmStatuslog : public QWidget {
    Q_OBJECT
public:
    explicit frmStatuslog(const StatuslogState &state, QWidget *parent = nullptr);

    // nj_l, no_l, sd_l, sa_l, js_l.
    std::array<QLabel *, StatusLabels::StatuslogCount> values{};
    QPushButton *alarm_c = nullptr;
    // A pattern run's place, loop, step time left and end (earliest), as
    // 現在値 shows them; shown only while a pattern runs.
    QLabel *runPosition_l = nullptr;
    QLabel *runLoop_l = nullptr;
    QLabel *runStepLeft_l = nullptr;
    QLabel *runEnd_l = nullptr;

    // Shows what the state holds: texts, the colour of the status text
    // (red during an alarm) and whether "詳細" is offered.
    void showState();
    // The run's lines at `now`, or none when no pattern run is followed.
    void showRun(const RunProgress &run, const QDateTime &now);

    static constexpr int WidthTwips = 4100;
    static constexpr int HeightTwips = 2600;
    static constexpr int LeftTwips = 7696;
    static constexpr int TopTwips = 0;

Q_SIGNALS:
    void alarmRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    const StatuslogState &m_state;
    QWidget *m_run = nullptr;
    bool m_placed = false;
};
