#pragma once

#include <QString>

#include <array>

class Ini_Operation;

// What the pattern editor needs from its window: the dialogs, the busy
// state while registering, and closing itself.
class PatternEditorView {
public:
    virtual ~PatternEditorView() = default;
    virtual void message(const QString &text, const QString &title) = 0;
    // True only for Yes; `defaultYes` chooses the default button.
    virtual bool question(const QString &text, const QString &title, bool defaultYes) = 0;
    // Frames and buttons disabled, hourglass pointer, while true.
    virtual void setBusy(bool busy) = 0;
    // A registration succeeded: the window closes.
    virtual void closeEditor() = 0;
    // The user asked to send what was registered to the instrument now (the
    // toolbar's whole-set write); called after closeEditor().
    virtual void writeToInstrument() = 0;
};

// The pattern and step editor without its window: ten pattern rows, the
// ten-row step grid showing the page that starts at `page_top`, and the
// window copies of every step edited or loaded. Every change to a grid row
// runs the row's handler at once, as the window's change events do, so the
// marks, colours and window copies are always current. The configuration
// file is the only persistent store; the model lives as long as its window.
class PatternEditor {
public:
    static constexpr int Rows = 10;
    static constexpr int Patterns = 10;
    static constexpr int Steps = 100;
    static constexpr int FreeSensor = 2; // blank entry of the sensor list
    static constexpr int BlankAction = 2;

    struct StepRow {
        int sensor = FreeSensor;
        int heater = 0;
        int fan = 0;
        QString temp;
        QString time;
        QString mark; // "○", "×" or empty
        bool sensorRed = false;
        bool tempRed = false;
        bool timeRed = false;
    };
    struct PatternRow {
        bool optionVisible = true; // false while the row is swallowed
        bool endless = false;
        bool loopLocked = false;
        QString loop;
        int action = BlankAction;
    };

    PatternEditor(Ini_Operation &ini, PatternEditorView *view);

    // Opening the window: fill the grid and the pattern rows from the file,
    // give registered multi-block patterns their extent back, select pattern 0.
    void open();

    // ---- state ----
    int page_top = 0;
    int sel_pattern = 0;
    int in_index = 0;
    std::array<QString, 4> sen_use;
    std::array<QString, Steps + 1> step_sen;
    std::array<QString, Steps + 1> step_temp;
    std::array<QString, Steps + 1> step_time;
    const StepRow &row(int r) const { return m_rows.at(size_t(r)); }
    const PatternRow &pattern(int k) const { return m_patterns.at(size_t(k)); }
    int stepNumber(int r) const { return page_top + r; }
    // The step a pattern starts at (hidden text box of the row).
    static int stepstart(int k) { return 10 * k; }

    // ---- the rows' handlers (user edits and edits from code alike) ----
    void setSensor(int r, int index);
    // Returns the text the box shows afterwards (full-width converted).
    QString setTemperature(int r, const QString &text);
    QString setHoldTime(int r, const QString &text);
    void setLoopText(int k, const QString &text);
    void setAction(int k, int index);
    void setEndless(int k, bool checked);

    // ---- commands ----
    void selectPattern(int k);
    void nextPage();     // tugi
    void previousPage(); // mae
    void addBlock();     // StepAdd_c
    void removeBlock();  // Stepdel_c
    void mnu1();         // insert a free step at grid row in_index
    void mnu2();         // delete the step at grid row in_index
    void deleteAll();    // Alldel_c
    enum class Registration {
        Registered,        // at least one pattern registered, the window closes
        NothingRegistered, // the failure message was shown
        Declined,          // the user kept the editor rather than lose input
    };
    // OK_c. Before anything is written, lists what would not be registered
    // and asks; No leaves every row as it was. After a registration, offers
    // the instrument write unless `offerWrite` is false (the write that
    // closes the editor follows anyway).
    Registration RegisterPatterns(bool offerWrite = true);
    // One line per typed item that a registration now would not register:
    // steps marked invalid or cut off, steps typed without a sensor, patterns
    // refused for their loop count or end action. Leaves the editor as it was.
    QStringList droppedItems();
    // Why a row marked "×" would not be registered ("センサ未使用",
    // "設定温度不正", "保持時間不正", joined by "、", else "入力不正"); empty
    // for any other row.
    static QString dropReason(const StepRow &row);

    // ---- fills ----
    void reLoads(int first);  // file first, then window copies
    void reLoads3(int first); // window copies first, then file
    void LoadPatternRows();

    // Summary line of a registered pattern, as the registration report shows it.
    static QString summaryLine(int m, const QString &loop, int action, int start, int end);
    static QString freeTemperature() { return QStringLiteral("+040.00"); }
    static QString freeTime() { return QStringLiteral("00:00:00"); }

private:
    enum class Part { Pass, Fail, Stop };
    Part sensorPart(int r);
    Part temperaturePart(int r);
    bool timePart(int r, QString *normalized);
    void setFreeRow(int r);
    void setRow(int r, int sensor, const QString &temp, const QString &time);
    void fill(int first, bool fileFirst);
    // Last step of the pattern owning the block, by the rows swallowed after it.
    int lastBlockOf(int k) const;
    // The pattern row owning block b: b itself or the nearest earlier row shown.
    int ownerOf(int block) const;
    struct Work {
        std::array<int, Steps> sen{};
        std::array<QString, Steps> temp;
        std::array<QString, Steps> time;
    };
    // Gathers the grid rows from the page at `first` to the end of the
    // pattern owning it, paging the grid on; returns the last step gathered.
    int collect(int first, Work &w);
    void writeBack(int first, int last, const Work &w);
    // Everything a registration pages through, to be put back as it was.
    struct Snapshot {
        int page_top = 0;
        int sel_pattern = 0;
        int in_index = 0;
        std::array<QString, 4> sen_use;
        std::array<QString, Steps + 1> step_sen;
        std::array<QString, Steps + 1> step_temp;
        std::array<QString, Steps + 1> step_time;
        std::array<StepRow, Rows> rows;
        std::array<PatternRow, Patterns> patterns;
    };
    Snapshot snapshot() const;
    void restore(const Snapshot &s);
    // Shows block b: the page on screen when `shown` was taken keeps its rows
    // exactly as typed (the window copies hold only valid hold times); any
    // other page is filled from the window copies.
    void showBlock(int b, const Snapshot &shown);
    void PackPatternSteps(int k, const Snapshot &shown);
    void restoreExtents();
    QString readValue(const QString &section, const QString &key) const;

    Ini_Operation &m_ini;
    PatternEditorView *m_view;
    std::array<StepRow, Rows> m_rows;
    std::array<PatternRow, Patterns> m_patterns;
};
