#pragma once

#include "core/control/PatternPlan.h"

#include <QWidget>

// A pattern's plan drawn as set temperature against time: one flat segment
// per hold, the change of set temperature at each step's start (the ramp
// itself takes a time only the instrument knows), loops repeated, PT100A
// solid and PT100B dashed, a step the registration drops left as a gap.
// Read out by a screen reader as its name and the plan's summary line.
class PatternPlanView : public QWidget {
    Q_OBJECT
public:
    explicit PatternPlanView(QWidget *parent = nullptr);

    void setPlan(const PatternPlan &plan);
    const PatternPlan &plan() const { return m_plan; }
    // The summary line, or empty without a plan.
    QString summary() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PatternPlan m_plan;
};
