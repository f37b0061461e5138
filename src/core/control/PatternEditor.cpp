#include "core/control/PatternEditor.h"

#include "core/config/Ini_Operation.h"
#include "core/control/StepCheck.h"
#include "core/control/StepView.h"

#include <QStringList>

namespace {

// The marks the step view shows too.
const QString &kGood = stepMarkValid();
const QString &kBad = stepMarkInvalid();
const QString kPatternSection = QStringLiteral("PATTERN");
const QString kStepSection = QStringLiteral("STEP");
const QString kDeleteQuestion = QStringLiteral("削除しますか？");
const QString kConfirmTitle = QStringLiteral("確認");
const QString kNl = QStringLiteral("\n");

QString stepDroppedLine(int n, const QString &reason)
{
    return QStringLiteral("ステップ%1：登録されません（条件外：%2）").arg(n).arg(reason);
}

QString blankSensorLine(int n)
{
    return QStringLiteral("ステップ%1：センサ番号が未選択のため登録されません").arg(n);
}

QString loopDroppedLine(int k)
{
    return QStringLiteral("パターン%1：ループ回数が正しくないため登録されません").arg(k);
}

QString actionDroppedLine(int k)
{
    return QStringLiteral("パターン%1：最終ステップ後の動作が正しくないため登録されません").arg(k);
}

// Only a whole count from 0 to 50 goes to the instrument.
bool usableLoop(const QString &typed)
{
    const QString loop = StepCheck::toHalfWidth(typed);
    double v = -1;
    return StepCheck::isWholeNumber(loop) && StepCheck::isPlainNumber(loop, &v) && v >= 0 &&
           v <= 50;
}

bool usableAction(int action)
{
    return action == 0 || action == 1;
}

QString patternKey(int k)
{
    return QStringLiteral("PATTERN%1").arg(k);
}

QString stepKey(int n)
{
    return QStringLiteral("STEP%1").arg(n);
}

} // namespace

PatternEditor::PatternEditor(Ini_Operation &ini, PatternEditorView *view) : m_ini(ini), m_view(view)
{}

void PatternEditor::open()
{
    page_top = 0;
    reLoads3(0);
    LoadPatternRows();
    restoreExtents();
    selectPattern(0);
}

QString PatternEditor::readValue(const QString &section, const QString &key) const
{
    const QString v = m_ini.IniRead(section, key);
    return v == QLatin1String("ERR") ? QString() : v;
}

// ---------------------------------------------------------------- checks

PatternEditor::Part PatternEditor::sensorPart(int r)
{
    StepRow &row = m_rows.at(size_t(r));
    if (row.sensor == FreeSensor || row.sensor < 0 || row.sensor > 1) {
        row.mark.clear();
        return Part::Stop;
    }
    const QString &use = sen_use.at(size_t(row.sensor));
    if (use == QLatin1String("0")) {
        row.sensorRed = true;
        row.mark = kBad;
        return Part::Stop;
    }
    if (use != QLatin1String("1")) {
        // Whether the sensor is in use is unknown: no judgement.
        row.mark.clear();
        return Part::Stop;
    }
    row.sensorRed = false;
    return Part::Pass;
}

PatternEditor::Part PatternEditor::temperaturePart(int r)
{
    StepRow &row = m_rows.at(size_t(r));
    row.temp = StepCheck::toHalfWidth(row.temp);
    switch (StepCheck::checkTemperature(row.temp)) {
    case StepCheck::TempResult::Valid:
        row.tempRed = false;
        return Part::Pass;
    case StepCheck::TempResult::OffGrid:
        // Within range but off the 0.05 grid: the rest is still judged, so a
        // free row ends up without a mark.
        row.tempRed = true;
        row.mark = kBad;
        return Part::Fail;
    case StepCheck::TempResult::NotUsable:
        break;
    }
    row.tempRed = true;
    row.mark = kBad;
    return Part::Stop;
}

bool PatternEditor::timePart(int r, QString *normalized)
{
    StepRow &row = m_rows.at(size_t(r));
    const QString t = StepCheck::NormalizeTime(row.time);
    // One rule whatever was edited last: a valid time never turns "×"
    // because the temperature or sensor was corrected after it.
    const bool ok = StepCheck::timeValid(t);
    row.timeRed = !ok;
    if (!ok)
        row.mark = kBad;
    if (normalized)
        *normalized = t;
    return ok;
}

// ---------------------------------------------------------------- handlers

void PatternEditor::setSensor(int r, int index)
{
    StepRow &row = m_rows.at(size_t(r));
    const int n = stepNumber(r);
    row.sensor = index;
    step_sen.at(size_t(n)) = QString::number(index);
    if (sensorPart(r) != Part::Pass)
        return;
    const Part temp = temperaturePart(r);
    if (temp == Part::Stop)
        return;
    const bool time = timePart(r, nullptr);
    if (temp == Part::Pass && time)
        row.mark = kGood;
}

QString PatternEditor::setTemperature(int r, const QString &text)
{
    StepRow &row = m_rows.at(size_t(r));
    const int n = stepNumber(r);
    row.temp = StepCheck::toHalfWidth(text);
    step_temp.at(size_t(n)) = row.temp;
    const Part temp = temperaturePart(r);
    if (temp == Part::Stop)
        return row.temp;
    if (sensorPart(r) != Part::Pass)
        return row.temp;
    const bool time = timePart(r, nullptr);
    if (temp == Part::Pass && time)
        row.mark = kGood;
    return row.temp;
}

QString PatternEditor::setHoldTime(int r, const QString &text)
{
    StepRow &row = m_rows.at(size_t(r));
    const size_t n = size_t(stepNumber(r));
    // Full-width digits would pass for numbers on the instrument's side of
    // a record but not in it: take them as their half-width forms.
    row.time = StepCheck::toHalfWidth(text);
    QString t;
    const bool time = timePart(r, &t);
    if (time)
        step_time.at(n) = t;
    const Part temp = temperaturePart(r);
    if (temp == Part::Stop)
        return row.time;
    if (temp == Part::Pass)
        step_temp.at(n) = row.temp;
    if (sensorPart(r) != Part::Pass)
        return row.time;
    step_sen.at(n) = QString::number(row.sensor);
    if (temp == Part::Pass && time)
        row.mark = kGood;
    return row.time;
}

void PatternEditor::setLoopText(int k, const QString &text)
{
    m_patterns.at(size_t(k)).loop = text;
}

void PatternEditor::setAction(int k, int index)
{
    m_patterns.at(size_t(k)).action = index;
}

void PatternEditor::setEndless(int k, bool checked)
{
    PatternRow &p = m_patterns.at(size_t(k));
    p.endless = checked;
    p.loopLocked = checked;
    p.loop = checked ? QStringLiteral("0") : QStringLiteral("1");
    p.action = checked ? 0 : 1;
}

void PatternEditor::setRow(int r, int sensor, const QString &temp, const QString &time)
{
    StepRow &row = m_rows.at(size_t(r));
    row.heater = 0;
    row.fan = 0;
    setSensor(r, sensor);
    setTemperature(r, temp);
    setHoldTime(r, time);
}

void PatternEditor::setFreeRow(int r)
{
    setRow(r, FreeSensor, freeTemperature(), freeTime());
}

// ---------------------------------------------------------------- fills

void PatternEditor::reLoads(int first)
{
    fill(first, true);
}

void PatternEditor::reLoads3(int first)
{
    fill(first, false);
}

void PatternEditor::fill(int first, bool fileFirst)
{
    first = qBound(0, first, Steps - Rows);
    for (int s = 0; s < 4; ++s)
        sen_use.at(size_t(s)) =
            m_ini.IniRead(QStringLiteral("SEN"), QStringLiteral("SEN%1").arg(s)).left(1);
    // The handlers address the step shown in a row by page_top.
    page_top = first;
    for (int r = 0; r < Rows; ++r) {
        const size_t n = size_t(first) + size_t(r);
        StepCheck::StepRecord rec;
        const bool inFile =
            StepCheck::parseStepRecord(readValue(kStepSection, stepKey(int(n))), &rec);
        const bool held =
            !step_sen.at(n).isEmpty() && !step_temp.at(n).isEmpty() && !step_time.at(n).isEmpty();
        if (inFile && (fileFirst || !held)) {
            step_sen.at(n) = QString::number(rec.sensor);
            step_temp.at(n) = rec.temperature;
            step_time.at(n) = rec.time;
            setRow(r, rec.sensor, rec.temperature, rec.time);
        } else if (held) {
            bool ok = false;
            int sensor = step_sen.at(n).toInt(&ok);
            if (!ok || sensor < 0 || sensor > FreeSensor)
                sensor = FreeSensor;
            setRow(r, sensor, step_temp.at(n), step_time.at(n));
        } else {
            step_temp.at(n) = freeTemperature();
            step_time.at(n) = freeTime();
            setFreeRow(r);
        }
    }
    for (StepRow &row : m_rows) {
        if (row.sensor == FreeSensor)
            row.mark.clear();
        row.heater = 0;
        row.fan = 0;
    }
}

void PatternEditor::LoadPatternRows()
{
    for (int k = 0; k < Patterns; ++k) {
        const QString value = readValue(kPatternSection, patternKey(k));
        if (value.isEmpty())
            continue;
        StepCheck::PatternRecord rec;
        PatternRow &p = m_patterns.at(size_t(k));
        if (!StepCheck::parsePatternRecord(value, &rec)) {
            // Not a registered pattern (the instrument reports those with
            // "*"): an empty row.
            p.endless = false;
            p.loopLocked = false;
            p.loop.clear();
            p.action = BlankAction;
            continue;
        }
        p.loop = QString::number(rec.loop);
        if (rec.loop == 0)
            setEndless(k, true);
        p.action = rec.action;
    }
}

void PatternEditor::restoreExtents()
{
    // A pattern registered over several blocks swallows the rows of the
    // blocks it reaches into; without this, registering again after a
    // reopening would cut it back to its first block.
    for (int k = 0; k < Patterns; ++k) {
        if (!m_patterns.at(size_t(k)).optionVisible)
            continue;
        StepCheck::PatternRecord rec;
        if (!StepCheck::parsePatternRecord(readValue(kPatternSection, patternKey(k)), &rec) ||
            rec.start != stepstart(k) || rec.end < rec.start)
            continue;
        const int lastBlock = qMin(Patterns - 1, rec.end / 10);
        for (int j = k + 1; j <= lastBlock; ++j) {
            StepCheck::PatternRecord other;
            // A row holding a pattern of its own is never swallowed.
            if (StepCheck::parsePatternRecord(readValue(kPatternSection, patternKey(j)), &other))
                break;
            m_patterns.at(size_t(j)).optionVisible = false;
        }
    }
}

// ---------------------------------------------------------------- navigation

int PatternEditor::lastBlockOf(int k) const
{
    int b = k;
    while (b + 1 < Patterns && !m_patterns.at(size_t(b) + 1).optionVisible)
        ++b;
    return b;
}

int PatternEditor::ownerOf(int block) const
{
    int b = block;
    while (b > 0 && !m_patterns.at(size_t(b)).optionVisible)
        --b;
    return b;
}

void PatternEditor::selectPattern(int k)
{
    sel_pattern = k;
    page_top = 10 * k;
    reLoads3(page_top);
}

void PatternEditor::nextPage()
{
    page_top = qMin(page_top + 10, Steps - Rows);
    if (m_patterns.at(size_t(page_top / 10)).optionVisible)
        selectPattern(page_top / 10);
    reLoads3(page_top);
}

void PatternEditor::previousPage()
{
    const int remembered = qMax(page_top - 10, 0);
    selectPattern(ownerOf(remembered / 10));
    reLoads3(remembered);
}

void PatternEditor::addBlock()
{
    for (int j = sel_pattern + 1; j < Patterns; ++j) {
        PatternRow &p = m_patterns.at(size_t(j));
        if (p.optionVisible) {
            p.optionVisible = false;
            p.loop.clear();
            p.action = BlankAction;
            m_ini.IniWrite(kPatternSection, patternKey(j), QString());
            break;
        }
    }
    LoadPatternRows();
}

void PatternEditor::removeBlock()
{
    int i = 1;
    while (sel_pattern + i < Patterns &&
           !m_patterns.at(size_t(sel_pattern) + size_t(i)).optionVisible)
        ++i;
    if (i > 1)
        m_patterns.at(size_t(sel_pattern + i - 1)).optionVisible = true;
    LoadPatternRows();
}

// ---------------------------------------------------------------- insert, delete

int PatternEditor::collect(int first, Work &w)
{
    int p = first;
    for (;;) {
        for (int r = 0; r < Rows; ++r) {
            const size_t n = size_t(p) + size_t(r);
            const StepRow &row = m_rows.at(size_t(r));
            w.sen.at(n) = row.sensor;
            w.temp.at(n) = row.temp;
            w.time.at(n) = row.time;
            step_sen.at(n) = QString::number(row.sensor);
            step_temp.at(n) = row.temp;
            step_time.at(n) = row.time;
        }
        const int next = p / 10 + 1;
        if (next >= Patterns || m_patterns.at(size_t(next)).optionVisible)
            return p + Rows - 1;
        p = next * 10;
        reLoads3(p);
    }
}

void PatternEditor::writeBack(int first, int last, const Work &w)
{
    for (int n = first; n <= last && n < Steps; ++n) {
        step_sen.at(size_t(n)) = QString::number(w.sen.at(size_t(n)));
        step_temp.at(size_t(n)) = w.temp.at(size_t(n));
        step_time.at(size_t(n)) = w.time.at(size_t(n));
    }
    reLoads3(first);
}

void PatternEditor::mnu1()
{
    const int first = page_top;
    Work w;
    const int last = collect(first, w);
    if (w.sen.at(size_t(last)) != FreeSensor) {
        if (m_view)
            m_view->message(QStringLiteral("使用可能なステップ数を超えています。"),
                            QStringLiteral("error"));
        // Back to the page the user pressed on.
        reLoads3(first);
        return;
    }
    const int i = first + in_index;
    for (int n = last; n > i; --n) {
        w.sen.at(size_t(n)) = w.sen.at(size_t(n - 1));
        w.temp.at(size_t(n)) = w.temp.at(size_t(n - 1));
        w.time.at(size_t(n)) = w.time.at(size_t(n - 1));
    }
    w.sen.at(size_t(i)) = FreeSensor;
    w.temp.at(size_t(i)) = freeTemperature();
    w.time.at(size_t(i)) = freeTime();
    writeBack(first, last, w);
}

void PatternEditor::mnu2()
{
    if (!m_view || !m_view->question(kDeleteQuestion, kConfirmTitle, true))
        return;
    const int first = page_top;
    // The pattern that owns the page shown; the same as the selected one
    // whenever the page was reached by selecting or paging.
    const int start = 10 * ownerOf(first / 10);
    if (page_top != start)
        reLoads3(start);
    Work w;
    const int last = collect(start, w);
    for (int n = first + in_index; n < last; ++n) {
        w.sen.at(size_t(n)) = w.sen.at(size_t(n) + 1);
        w.temp.at(size_t(n)) = w.temp.at(size_t(n) + 1);
        w.time.at(size_t(n)) = w.time.at(size_t(n) + 1);
    }
    w.sen.at(size_t(last)) = FreeSensor;
    w.temp.at(size_t(last)) = freeTemperature();
    w.time.at(size_t(last)) = freeTime();
    writeBack(first, last, w);
}

void PatternEditor::deleteAll()
{
    if (!m_view || !m_view->question(kDeleteQuestion, kConfirmTitle, true))
        return;
    m_view->setBusy(true);
    for (int k = 0; k < Patterns; ++k) {
        m_ini.IniWrite(kPatternSection, patternKey(k), QString());
        setEndless(k, false);
        PatternRow &p = m_patterns.at(size_t(k));
        p.action = BlankAction;
        p.loop.clear();
        p.loopLocked = false;
        p.optionVisible = true;
    }
    for (int b = 0; b < Patterns; ++b) {
        reLoads3(10 * b);
        for (int r = 0; r < Rows; ++r) {
            m_ini.IniWrite(kStepSection, stepKey(10 * b + r), QString());
            setFreeRow(r);
        }
    }
    reLoads3(0);
    m_view->setBusy(false);
}

// ---------------------------------------------------------------- registration

PatternEditor::Snapshot PatternEditor::snapshot() const
{
    return Snapshot{page_top,  sel_pattern, in_index, sen_use,   step_sen,
                    step_temp, step_time,   m_rows,   m_patterns};
}

void PatternEditor::restore(const Snapshot &s)
{
    page_top = s.page_top;
    sel_pattern = s.sel_pattern;
    in_index = s.in_index;
    sen_use = s.sen_use;
    step_sen = s.step_sen;
    step_temp = s.step_temp;
    step_time = s.step_time;
    m_rows = s.rows;
    m_patterns = s.patterns;
}

void PatternEditor::showBlock(int b, const Snapshot &shown)
{
    if (10 * b == shown.page_top) {
        page_top = shown.page_top;
        m_rows = shown.rows;
    } else if (page_top != 10 * b) {
        reLoads3(10 * b);
    }
}

QString PatternEditor::dropReason(const StepRow &row)
{
    if (row.mark != kBad)
        return {};
    QStringList reasons;
    if (row.sensorRed)
        reasons << QStringLiteral("センサ未使用");
    if (row.tempRed)
        reasons << QStringLiteral("設定温度不正");
    if (row.timeRed)
        reasons << QStringLiteral("保持時間不正");
    if (reasons.isEmpty())
        reasons << QStringLiteral("入力不正");
    return reasons.join(QStringLiteral("、"));
}

QStringList PatternEditor::droppedItems()
{
    const Snapshot shown = snapshot();
    QStringList lines;
    for (int k = 0; k < Patterns; ++k) {
        const PatternRow &p = m_patterns.at(size_t(k));
        if (!p.optionVisible)
            continue;
        bool typed = false;
        // Registration counts a pattern's steps up to the first that is not
        // valid; the rest stay in the file but are never run.
        bool cut = false;
        for (int b = k; b <= lastBlockOf(k); ++b) {
            showBlock(b, shown);
            for (int r = 0; r < Rows; ++r) {
                const StepRow &row = m_rows.at(size_t(r));
                const int n = 10 * b + r;
                if (row.mark == kBad) {
                    typed = typed || row.sensor != FreeSensor;
                    lines << stepDroppedLine(n, dropReason(row));
                    continue;
                }
                if (row.sensor == FreeSensor) {
                    // A temperature or hold time typed without a sensor is
                    // input too, though the row reads as a free step.
                    if (row.temp != freeTemperature() || row.time != freeTime()) {
                        typed = true;
                        lines << blankSensorLine(n);
                    }
                    continue;
                }
                typed = true;
                // A step the registration stops before, or one on a sensor
                // whose use is not known.
                const bool after = cut;
                cut = cut || row.mark != kGood;
                if (cut)
                    lines << stepDroppedLine(n, after ? QStringLiteral("前のステップが無効")
                                                      : QStringLiteral("センサ使用不明"));
            }
        }
        if (!typed)
            continue;
        if (!usableLoop(p.loop))
            lines << loopDroppedLine(k);
        if (!usableAction(p.action))
            lines << actionDroppedLine(k);
    }
    restore(shown);
    return lines;
}

void PatternEditor::PackPatternSteps(int k, const Snapshot &shown)
{
    const int start = stepstart(k);
    const int lastBlock = lastBlockOf(k);
    const int end = 10 * lastBlock + Rows - 1;
    struct Kept {
        QString record, sensor, temp, time;
    };
    QList<Kept> kept;
    for (int b = k; b <= lastBlock; ++b) {
        showBlock(b, shown);
        for (int r = 0; r < Rows; ++r) {
            StepRow &row = m_rows.at(size_t(r));
            if (row.mark == kBad || row.sensor == FreeSensor)
                continue;
            row.temp = StepCheck::toHalfWidth(row.temp);
            double v = 0;
            const bool tempOk = StepCheck::isPlainNumber(row.temp, &v) && v >= -50 && v <= 150;
            const bool timeOk = !StepCheck::isPlainNumber(row.time, &v) || v <= 36000;
            if (!tempOk || !timeOk)
                continue;
            // Written in the instrument's widths, as a read stores it: a set
            // saved from here opens again, and the check that "開く" makes
            // of a set can demand fixed widths.
            const QString temp = StepCheck::instrumentTemperature(row.temp);
            const QString time = StepCheck::clockTime(StepCheck::NormalizeTime(row.time));
            if (temp.isEmpty() || time.isEmpty())
                continue;
            const QString sensor = QString::number(row.sensor);
            kept.append({QStringList{sensor, QString::number(row.heater), QString::number(row.fan),
                                     temp, time}
                             .join(QLatin1Char(' ')),
                         sensor, row.temp, row.time});
        }
    }
    // The valid steps move to the front of the range in their order; the
    // window copies follow, so the grid never shows a step the file lost.
    for (int n = start; n <= end; ++n) {
        const qsizetype i = n - start;
        const size_t sn = size_t(n);
        if (i < kept.size()) {
            m_ini.IniWrite(kStepSection, stepKey(n), kept.at(i).record);
            step_sen.at(sn) = kept.at(i).sensor;
            step_temp.at(sn) = kept.at(i).temp;
            step_time.at(sn) = kept.at(i).time;
        } else {
            m_ini.IniWrite(kStepSection, stepKey(n), QString());
            step_sen.at(sn).clear();
            step_temp.at(sn).clear();
            step_time.at(sn).clear();
        }
    }
    reLoads(start);
}

QString PatternEditor::summaryLine(int m, const QString &loop, int action, int start, int end)
{
    auto twoDigits = [](int n) {
        return (n < 10 ? QStringLiteral("0") : QString()) + QString::number(n);
    };
    return QString(8, QLatin1Char(' ')) + QString::number(m) + QString(15, QLatin1Char(' ')) +
           loop + QString(14, QLatin1Char(' ')) +
           (action == 1 ? QStringLiteral("継続") : QStringLiteral("終了")) +
           QString(13, QLatin1Char(' ')) + twoDigits(start) + QString(19, QLatin1Char(' ')) +
           twoDigits(end) + QStringLiteral("\r\n");
}

PatternEditor::Registration PatternEditor::RegisterPatterns(bool offerWrite)
{
    // Nothing the user typed is dropped without being asked.
    const QStringList dropped = droppedItems();
    if (!dropped.isEmpty() &&
        !(m_view &&
          m_view->question(dropped.join(kNl) + kNl + QStringLiteral("このまま登録しますか？"),
                           QStringLiteral("登録確認"), false)))
        return Registration::Declined;

    const Snapshot shown = snapshot();
    if (m_view)
        m_view->setBusy(true);
    for (int k = 0; k < Patterns; ++k) {
        if (m_patterns.at(size_t(k)).optionVisible)
            PackPatternSteps(k, shown);
    }
    QString summary;
    for (int m = 0; m < Patterns; ++m) {
        PatternRow &p = m_patterns.at(size_t(m));
        if (!p.optionVisible) {
            m_ini.IniWrite(kPatternSection, patternKey(m), QString());
            continue;
        }
        reLoads(10 * m);
        p.loop = StepCheck::toHalfWidth(p.loop);
        if (!usableLoop(p.loop) || !usableAction(p.action)) {
            m_ini.IniWrite(kPatternSection, patternKey(m), QString());
            continue;
        }
        const int blocks = lastBlockOf(m) - m + 1;
        int count = 0;
        while (count < 10 * blocks) {
            if (count > 0 && count % 10 == 0)
                reLoads(10 * m + count);
            if (m_rows.at(size_t(count % 10)).mark != kGood)
                break;
            ++count;
        }
        if (count == 0) {
            m_ini.IniWrite(kPatternSection, patternKey(m), QString());
            continue;
        }
        const int start = stepstart(m);
        const int end = start + count - 1;
        m_ini.IniWrite(kPatternSection, patternKey(m),
                       QStringList{QString::number(p.loop.toDouble()), QString::number(p.action),
                                   QString::number(start), QString::number(end)}
                           .join(QLatin1Char(' ')));
        summary += summaryLine(m, p.loop, p.action, start, end);
    }
    // The grid shows what was registered before the summary stands over it.
    reLoads(10 * sel_pattern);
    LoadPatternRows();
    if (m_view)
        m_view->setBusy(false);
    if (summary.isEmpty()) {
        if (m_view)
            m_view->message(QStringLiteral("登録可能なパターンがありませんでした。\r\n"
                                           "パターン及びステップの登録内容を確認してください。"),
                            QStringLiteral("失敗"));
        return Registration::NothingRegistered;
    }
    if (!m_view)
        return Registration::Registered;
    m_view->message(QStringLiteral("パターンNo　ループ回数　到達後　開始ステップ　終了ステップ") +
                        QStringLiteral("\r\n") + summary +
                        QStringLiteral("       パターンを登録しました。"),
                    kConfirmTitle);
    // Registered patterns live in the file only until the instrument gets
    // them: a run started now would name a pattern the instrument lacks.
    const bool write =
        offerWrite &&
        m_view->question(QStringLiteral("登録したパターンは本体書込で本体に送られます。\n"
                                        "今すぐ本体へ書き込みますか？"),
                         QStringLiteral("書込み確認"), false);
    m_view->closeEditor();
    if (write)
        m_view->writeToInstrument();
    return Registration::Registered;
}
