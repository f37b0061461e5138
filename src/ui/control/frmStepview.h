#pragma once

#include "core/control/StepView.h"

#include <QList>
#include <QWidget>

class WindowHost;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "登録ステップ一覧": the steps of the pattern chosen in the pattern-run window,
// ten at a time in two columns, with paging inside the pattern. The rows only
// display; nothing typed in them is kept.
class frmStepview : public QWidget {
    Q_OBJECT
public:
    explicit frmStepview(WindowHost &w, QWidget *parent = nullptr);

    // Shows steps first to first+9 of the pattern whose first step is first.
    void reLoad(qint16 first);
    const StepView &view() const { return m_view; }

    // Row i of each control array; rows 0-4 form the left column, 5-9 the right.
    QList<QLabel *> stepno_l;
    QList<QLabel *> Jikkou_l;
    QList<QComboBox *> Combo_s;
    QList<QLineEdit *> mond_t;
    QList<QLineEdit *> hoji_t;
    QPushButton *Ahead_c = nullptr;
    QPushButton *Next_c = nullptr;

    static constexpr int WidthTwips = 9240;
    static constexpr int HeightTwips = 2925;
    static constexpr int TopTwips = 3180;

    // Moves the sub-window holding `widget` to the left edge at `top` pixels.
    static void placeSubWindow(QWidget *widget, int top);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showRows();
    void nameRow(int i, const QString &row);

    WindowHost &m_w;
    StepView m_view;
    bool m_placed = false;
};
