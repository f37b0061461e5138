#pragma once

#include "logging/CurrentValues.h"

#include <QWidget>

#include <array>

class QLabel;

// "現在値": the newest readings in digits large enough to read from across a
// bench, each beside its curve's colour, with the set point, the state, the
// step, the log's elapsed time and the link. It shows what it is handed.
class frmCurrentValues : public QWidget {
    Q_OBJECT
public:
    explicit frmCurrentValues(QWidget *parent = nullptr);

    // How much larger the readings are than the window's normal text.
    static constexpr double DigitScale = 3.0;

    std::array<QLabel *, 4> swatch{};
    std::array<QLabel *, 4> temp{};
    QLabel *setPoint_l = nullptr;
    QLabel *state_l = nullptr;
    QLabel *step_l = nullptr;
    QLabel *elapsed_l = nullptr;
    QLabel *link_l = nullptr;

    void showValues(const CurrentValues &v);

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool m_placed = false;
};
