#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPagedPaintDevice;
class QPushButton;
struct WindowState;

// Memo window ("メモ"): one free text about the configuration or the log just
// recorded. Buttons insert ready-made blocks at the caret; "登録" keeps the
// text and, when the window was opened at the end of a log, appends it to
// that log.
class frmMemo : public QWidget {
    Q_OBJECT
public:
    // `folder` is where a PDF of the memo is offered to be saved.
    frmMemo(WindowState &state, const QString &folder, QWidget *parent = nullptr);

    QPlainTextEdit *memo_t = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *Sensor_com = nullptr;
    QPushButton *Sensor_c = nullptr;
    QComboBox *Step_com = nullptr;
    QPushButton *Step_c = nullptr;
    QComboBox *Pattern_com = nullptr;
    QPushButton *Pattern_c = nullptr;
    QPushButton *Uni_c = nullptr;
    QPushButton *Fix_c = nullptr;
    QPushButton *memoReg_c = nullptr;
    QPushButton *memoDel_c = nullptr;
    QPushButton *memoPrint_c = nullptr;

    // The text of memo_t with CR LF line ends, as it is kept and logged.
    QString memoText() const;
    // Prints memo_t's text on `printer` (pages as needed).
    void printTo(QPagedPaintDevice &printer) const;

    static constexpr int WidthTwips = 9720;
    static constexpr int HeightTwips = 6750;

Q_SIGNALS:
    void closeRequested();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void insertBlock(const QString &block);
    void registerMemo();
    void deleteMemo();
    void printMemo();

    WindowState &m_state;
    QString m_folder;
    bool m_placed = false;
};
