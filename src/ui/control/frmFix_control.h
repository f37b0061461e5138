#pragma once

#include <QList>
#include <QWidget>

class WindowHost;
class QLineEdit;
class QLabel;
class QPushButton;
class QRadioButton;

// Fixed-value control window: control sensor, thermal unit and fan use, the
// set temperature and what happens once it is reached. "実行" checks the
// temperature, makes sure a log runs, sends "STOP" and the "RUN" line and
// closes; the choices of that run stay in the main window's state.
class frmFix_control : public QWidget {
    Q_OBJECT
public:
    explicit frmFix_control(WindowHost &w, QWidget *parent = nullptr);

    QList<QRadioButton *> O_S; // PT100A, PT100B
    QList<QRadioButton *> O_H; // thermal unit: not used, used
    QList<QRadioButton *> O_F; // fan: not used, used
    QList<QRadioButton *> O_K; // on reaching: end, keep the temperature
    QLineEdit *M_T = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *RUN_C = nullptr;
    QPushButton *Cancel_c = nullptr;

    // The choices shown (index of the selected option of each group).
    int SensorChoice = 0;
    int HeaterChoice = 0;
    int FanChoice = 0;
    int ReachChoice = 1;

    void RUN_C_Click();
    void Cancel_c_Click();

    static constexpr int WidthTwips = 6650;
    static constexpr int HeightTwips = 3270;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    WindowHost &m_w;
    bool m_placed = false;
};
