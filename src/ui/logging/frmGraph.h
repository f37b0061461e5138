#pragma once

#include "core/logging/StoredLog.h"
#include "ui/logging/GraphActions.h"

#include <QPointer>
#include <QWidget>

class WindowHost;
class LoggingWindows;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPagedPaintDevice;
class QPushButton;
class QRadioButton;
class QScrollBar;
class GraphViewport;
class AxisPanel;
class ReadoutOverlay;
class StoredLogLoader;
class frmSplashrw;

// The graph window: the live graph of a running log or a stored log read
// back, with the Y range, the X scale, scrolling, target lines, pages of long
// logs and printing. The drawing itself lives in the log module's canvas; the
// window shows it and turns the user's choices into redraws.
class frmGraph : public QWidget {
    Q_OBJECT
public:
    explicit frmGraph(WindowHost &w, QWidget *parent = nullptr);
    ~frmGraph() override;

    static constexpr int WidthTwips = 13800;
    static constexpr int HeightTwips = 8400;

    // Controls, named as the window was designed.
    GraphViewport *P1 = nullptr;
    QScrollBar *Scroll = nullptr;
    QCheckBox *Check = nullptr;
    QComboBox *Combo_max = nullptr;
    QComboBox *Combo_min = nullptr;
    QLabel *l201 = nullptr;
    QLabel *l202 = nullptr;
    QLabel *l203 = nullptr;
    QLabel *Ls[10] = {};
    QLabel *Label1 = nullptr;
    QLabel *lbl1[4] = {};
    QGroupBox *Frame1 = nullptr;
    QRadioButton *X_scale_op[2] = {};
    QLabel *Label2 = nullptr;
    QLineEdit *TargetLine_t = nullptr;
    QPushButton *TargetLine_c = nullptr;
    QPushButton *C_read = nullptr;
    QComboBox *Com_page = nullptr;
    QComboBox *Com_go = nullptr;
    QPushButton *C_go = nullptr;
    QPushButton *Log_c = nullptr;
    QPushButton *Stop_c = nullptr;
    QPushButton *Print_c = nullptr;
    QPushButton *Cancel_c = nullptr;
    // Beyond the designed controls: the X labels' kind, the stored log's
    // name and start, the range fit and the exports.
    QComboBox *Com_axis = nullptr;
    QLabel *File_l = nullptr;
    QPushButton *Fit_c = nullptr;
    QPushButton *SaveImage_c = nullptr;
    QPushButton *SaveCsv_c = nullptr;
    QPushButton *Report_c = nullptr;
    ReadoutOverlay *readout() const { return m_readout; }

    // What the viewport shows, as the exports and the read-out see it.
    GraphPage currentPage() const;
    GraphExport::PlotSetup plotSetup() const;
    // "画像保存"'s picture at its standard size.
    QImage pageImage() const;
    // The stored log shown, whole, for the exports; none in live mode or
    // for a log of one page.
    GraphActions::WholeLog wholeLog() const;
    // "範囲自動": the Y range lists set around the page's readings.
    void fitRange();

    // File mode: the stored log is shown page by page.
    bool p_flg = false;
    const StoredLog &storedLog() const { return m_stored; }

    // What "ログ読込" does after its dialog: reads a stored log off the
    // window's thread, the progress window up, and draws it once read
    // (storedLogRead). A log chosen meanwhile replaces it; closing the
    // window or starting a log drops it.
    void readStoredLog(const QString &path);
    StoredLogLoader &storedLogLoader() const { return *m_loader; }
    // The progress window of the reading, while it runs.
    frmSplashrw *loadProgress() const;
    // Text of the progress window.
    static QString loadingText();
    void choosePage(int index);
    // Draws the target lines of a text of temperatures separated by blanks.
    void drawTargetLines(const QString &text);
    // Prints the window's image on one A4 landscape page, 10 mm from the left.
    void printTo(QPagedPaintDevice &printer);

    // Text of the graph window's questions.
    static QString closeQuestion();

Q_SIGNALS:
    // A stored log was read and drawn (ok), or could not be read and the
    // user was told.
    void storedLogRead(bool ok);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildUi();
    void wire();
    void syncButtons();
    void applyYRange(bool maxChanged);
    void applyXScale(int option);
    void scrollChanged(int value);
    void renumberLabels();
    void placeTimeLabels();
    void liveTicked();
    void pageTurned();
    void logStarted();
    void resizeCanvas();
    void redrawFile();
    bool plotFileRange(qint64 from, qint64 last, qint64 start);
    void storedLogLoaded(const QString &path, bool ok);
    void stopLoading();
    void C_read_Click();
    void C_go_Click();
    void Stop_c_Click();
    void Log_c_Click();
    void Print_c_Click();
    void wireTools();
    QString exportFolder() const;
    int viewportWidthTwips() const;
    int xOption() const;

    WindowHost &m_w;
    LoggingWindows &m_logging;
    AxisPanel *m_yAxis = nullptr;
    QWidget *m_xAxis = nullptr;
    StoredLog m_stored;
    StoredLogLoader *m_loader = nullptr;
    QPointer<frmSplashrw> m_progress;
    QString m_storedName;
    QString m_storedPath;
    // Whether the Y range was chosen or fitted since the window opened or a
    // stored log was read; exports fit their own range until it is.
    bool m_rangeChosen = false;
    ReadoutOverlay *m_readout = nullptr;
    bool m_pageReady = false;
    bool m_placed = false;
    bool m_closing = false;
};
