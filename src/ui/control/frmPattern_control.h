#pragma once

#include <QWidget>

class WindowHost;
class PatternPlanView;
class QComboBox;
class QLabel;
class QPushButton;

// "パターン制御": choose a registered pattern, look at its steps in the step
// view, and start it on the instrument with "GO ".
class frmPattern_control : public QWidget {
    Q_OBJECT
public:
    explicit frmPattern_control(WindowHost &w, QWidget *parent = nullptr);

    QComboBox *Com_pa = nullptr;
    QPushButton *C_jikkou = nullptr;
    // The chosen pattern's plan and its summary line.
    PatternPlanView *Plan = nullptr;
    QLabel *Plan_l = nullptr;

    // "パターン実行": nothing happens while no pattern is chosen.
    void C_jikkou_Click();

    // Wider than designed by the plan beside the list.
    static constexpr int WidthTwips = 6600;
    static constexpr int HeightTwips = 3180;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void patternChosen(int index);

    WindowHost &m_w;
    bool m_placed = false;
};

// Registers the pattern-run and step-view windows with the main window.
void registerPatternRunWindows(WindowHost &w);
