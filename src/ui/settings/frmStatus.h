#pragma once

#include "core/settings/StatusLabels.h"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

// Status window: a snapshot of the status line and the four temperatures,
// refreshed on demand ("更新"). The main window's status query and the
// refresh both fill it through the status-window parser.
class frmStatus : public QWidget {
    Q_OBJECT
public:
    explicit frmStatus(StatusWindowState &state, QWidget *parent = nullptr);

    // nj_l, no_l, sd_l, sa_l, js_l, pta_l, ptb1_l, s1_l, s2_l.
    std::array<QLabel *, StatusLabels::Count> values{};
    QPushButton *Update_c = nullptr;
    QPushButton *Cancel_c = nullptr;

    // Shows what the state holds.
    void showState();

    static constexpr int WidthTwips = 5415;
    static constexpr int HeightTwips = 2820;
    static constexpr int LeftTwips = 6400;
    static constexpr int TopTwips = 0;

Q_SIGNALS:
    void updateRequested();
    void closeRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    StatusWindowState &m_state;
    bool m_placed = false;
};
