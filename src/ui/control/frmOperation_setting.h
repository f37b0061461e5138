#pragma once

#include "core/control/PatternEditor.h"

#include <QWidget>

#include <array>

class WindowHost;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class PatternPlanView;
struct OperationSettingState;

// "パターン動作": the pattern and step editor. The window shows its model's
// rows and passes every edit to the model's handlers; the model decides
// marks, colours and what is written.
class frmOperation_setting : public QWidget, public PatternEditorView {
    Q_OBJECT
public:
    static constexpr int WidthTwips = 11800;
    static constexpr int HeightTwips = 6165;
    static constexpr int Rows = PatternEditor::Rows;

    // `popup` is the main window's step menu ("挿入", "削除").
    frmOperation_setting(OperationSettingState &state, QMenu *popup, QWidget *parent = nullptr);
    ~frmOperation_setting() override;

    PatternEditor &editor() { return m_editor; }
    // Grid row last pressed on its step number.
    int &in_index() { return m_editor.in_index; }
    void mnu1();
    void mnu2();
    void reLoads(int first);
    void reLoads3(int first);

    // Pattern rows.
    std::array<QLabel *, Rows> pattern_not{};
    std::array<QRadioButton *, Rows> O_go{};
    std::array<QCheckBox *, Rows> ck_mugen{};
    std::array<QLineEdit *, Rows> loop_t{};
    std::array<QComboBox *, Rows> Combo_k{};
    // Step rows.
    std::array<QLabel *, Rows> stepno_l{};
    std::array<QLabel *, Rows> Jikkou_l{};
    std::array<QComboBox *, Rows> Combo_s{};
    std::array<QLineEdit *, Rows> mond_t{};
    std::array<QLineEdit *, Rows> hoji_t{};

    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    QPushButton *StepAdd_c = nullptr;
    QPushButton *Stepdel_c = nullptr;
    QPushButton *mae = nullptr;
    QPushButton *tugi = nullptr;
    QPushButton *Alldel_c = nullptr;
    QPushButton *OK_c = nullptr;
    QPushButton *Cancell_c = nullptr;
    // The selected pattern's plan as typed, and its summary line.
    PatternPlanView *Plan = nullptr;
    QLabel *Plan_l = nullptr;

    // PatternEditorView
    void message(const QString &text, const QString &title) override;
    bool question(const QString &text, const QString &title, bool defaultYes) override;
    void setBusy(bool busy) override;
    void closeEditor() override;
    void writeToInstrument() override;

Q_SIGNALS:
    // The window wants to be closed (Cancel, or a registration done).
    void closeRequested();
    // The user asked for the toolbar's write after registering.
    void writeRequested();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildPatternFrame();
    void buildStepFrame();
    void setTabChain();
    // Shows the model: every row, mark, colour and the selection.
    void sync();
    // Draws the selected pattern's plan from the rows as they stand.
    void showPlan();
    // Runs a model command and shows the result.
    template <typename F> void run(F &&command);

    OperationSettingState &m_state;
    QMenu *m_popup;
    PatternEditor m_editor;
    bool m_closing = false;
    bool m_busy = false;
    bool m_placed = false;
};

// Registers "frmOperation_setting" with the main window and routes the step
// menu's "挿入" and "削除" to the open editor.
void registerEditorWindows(WindowHost &w);
