#pragma once

#include "core/logging/CurrentValues.h"
#include "ui/shell/SubWindows.h"

#include <QWidget>

#include <array>

class QLabel;
class QStackedWidget;

// "現在値": the newest readings in digits large enough to read from across a
// bench, each beside its curve's colour, with the set point, the state, the
// step, the log's elapsed time and the link. It shows what it is handed:
// readings that are no longer current turn grey, and what stopped them
// (the link, or the end of the log) stands in their large type with its time
// in place of the status line. Wide, the four readings stand side by side;
// narrow, one above the other, for a column beside the graph.
class frmCurrentValues : public QWidget, public SubWindows::TwoForms {
    Q_OBJECT
public:
    explicit frmCurrentValues(QWidget *parent = nullptr);

    // How much larger the readings are than the window's normal text.
    static constexpr double DigitScale = 3.0;
    // The colour of readings that are no longer current.
    static QColor staleColour() { return QColor(0x80, 0x80, 0x80); }

    std::array<QLabel *, 4> swatch{};
    std::array<QLabel *, 4> temp{};
    QLabel *setPoint_l = nullptr;
    QLabel *state_l = nullptr;
    QLabel *step_l = nullptr;
    QLabel *elapsed_l = nullptr;
    QLabel *link_l = nullptr;
    // A pattern run's place, loop, step time left and end (earliest); shown
    // only while a pattern runs.
    QLabel *runPosition_l = nullptr;
    QLabel *runLoop_l = nullptr;
    QLabel *runStepLeft_l = nullptr;
    QLabel *runEnd_l = nullptr;
    // Shown instead of the status line while the readings are not live.
    QLabel *staleWhat_l = nullptr;
    QLabel *staleSince_l = nullptr;
    QLabel *staleTime_l = nullptr;

    void showValues(const CurrentValues &v);
    // Whether the status line gave way to what stopped the readings.
    bool showsStale() const;

    // SubWindows::TwoForms
    bool narrow() const override { return m_narrow; }
    void setNarrow(bool narrow) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void layOut();

    std::array<QWidget *, 4> m_heads{};
    std::array<QLabel *, 4> m_statusCaptions{};
    QWidget *m_runPage = nullptr;
    QLabel *m_stepLeftCaption = nullptr;
    QLabel *m_endCaption = nullptr;
    QWidget *m_statusPage = nullptr;
    QWidget *m_stalePage = nullptr;
    QStackedWidget *m_stack = nullptr;
    bool m_narrow = false;
    bool m_placed = false;
};
