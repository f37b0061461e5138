#include "ui/logging/frmGraph.h"

#include "core/app/Twips.h"
#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/PatternRun.h"
#include "core/logging/GraphScale.h"
#include "core/logging/LogSummary.h"
#include "core/logging/RangeFit.h"
#include "core/logging/StoredLogLoader.h"
#include "core/session/InstrumentSession.h"
#include "ui/logging/GraphActions.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/ReadoutOverlay.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/PrintTarget.h"
#include "ui/shell/RunGuard.h"
#include "ui/shell/SubWindows.h"
#include "ui/shell/WindowHost.h"
#include "ui/shell/frmSplashrw.h"

#include <QAbstractListModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kLogStart = QStringLiteral("ログ開始");
const QString kLogStop = QStringLiteral("ログ停止");
const QString kConfirm = QStringLiteral("確認");
const QString kDegree = QStringLiteral("[℃]");
// Characters the page list is wide enough for, at the least.
constexpr int kPageListLength = 11;

// The pages of the stored log, each told when the list asks for it: a long
// log has tens of thousands, which the list takes at once.
class PageList : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    void setHighest(qint64 highest)
    {
        beginResetModel();
        m_count = GraphScale::pageCount(highest);
        endResetModel();
    }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_count;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_count ||
            (role != Qt::DisplayRole && role != Qt::EditRole))
            return {};
        return GraphScale::pageEntry(index.row());
    }

private:
    int m_count = 0;
};

QString pointLabel(int seconds)
{
    return QStringLiteral("1Point = ") + QString::number(seconds) + QStringLiteral("[s]");
}

QPushButton *button(const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel *label(const char *name, const QString &caption)
{
    auto *l = new QLabel(caption);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

// The viewport: shows the canvas from a scroll position on.
class GraphViewport : public QWidget {
public:
    explicit GraphViewport(LOG_Handling &log) : m_log(log)
    {
        setObjectName(QStringLiteral("P1"));
        setAccessibleName(QStringLiteral("グラフ"));
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void setOffsetTwips(int twips)
    {
        m_offsetTwips = twips;
        m_offsetPx = int(std::lround(twips * m_log.canvas().pixelsPerTwip()));
        update();
    }
    int offsetTwips() const { return m_offsetTwips; }
    QSize minimumSizeHint() const override { return {200, 160}; }
    // The rest of a pattern run's plan, drawn ahead of the newest sample.
    std::function<QList<RunProgress::Ahead>()> ahead;
    QSize sizeHint() const override { return {600, 300}; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter g(this);
        g.fillRect(rect(), GraphCanvas::backColour());
        g.drawImage(QPoint(-m_offsetPx, 0), m_log.canvas().image());
        drawAhead(g);
    }

private:
    // Dashed in the target line's colour, from the newest sample on, within
    // the page: where the run will go at the earliest.
    void drawAhead(QPainter &g)
    {
        const QList<RunProgress::Ahead> rest = ahead ? ahead() : QList<RunProgress::Ahead>();
        if (rest.isEmpty())
            return;
        const Parameter &p = param();
        const double k = m_log.canvas().pixelsPerTwip();
        const double perSample = std::max(1, m_log.interval());
        const double newest = double(p.GraphXScale) * double(p.LogCount - p.GraphPageStart);
        const auto x = [&](qint64 s) {
            return (newest + double(p.GraphXScale) * double(s) / perSample) * k - m_offsetPx;
        };
        const auto y = [&](double c) { return (p.GraphZeroY - c * p.GraphYScale) * k; };
        g.save();
        g.setClipRect(QRectF(-m_offsetPx, 0, GraphCanvas::WidthTwips * k, height()));
        g.setPen(QPen(GraphCanvas::targetColour(), 1, Qt::DashLine));
        for (qsizetype i = 0; i < rest.size(); ++i) {
            const RunProgress::Ahead &a = rest.at(i);
            if (i > 0)
                g.drawLine(QPointF(x(a.fromS), y(rest.at(i - 1).setC)),
                           QPointF(x(a.fromS), y(a.setC)));
            g.drawLine(QPointF(x(a.fromS), y(a.setC)), QPointF(x(a.toS), y(a.setC)));
        }
        g.restore();
    }

public:
private:
    LOG_Handling &m_log;
    int m_offsetPx = 0;
    int m_offsetTwips = 0;
};

// The Y axis beside the viewport: the two range lists at its ends and the
// three inner labels at a quarter, half and three quarters of its height.
class AxisPanel : public QWidget {
public:
    AxisPanel(QComboBox *top, QLabel *a, QLabel *b, QLabel *c, QComboBox *bottom)
        : m_items{top, a, b, c, bottom}
    {
        for (QWidget *wdg : m_items)
            wdg->setParent(this);
    }
    QSize minimumSizeHint() const override
    {
        int w = 0;
        int h = 0;
        for (QWidget *wdg : m_items) {
            w = std::max(w, wdg->sizeHint().width());
            h += wdg->sizeHint().height() + 2;
        }
        return {w, h};
    }
    QSize sizeHint() const override { return minimumSizeHint(); }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        const int h = height();
        const int w = width();
        int floorY = 0;
        for (int i = 0; i < 5; ++i) {
            QWidget *wdg = m_items[size_t(i)];
            const int ih = wdg->sizeHint().height();
            int y = i == 0 ? 0 : i == 4 ? h - ih : h * i / 4 - ih / 2;
            // Never over the one above, never below the bottom list.
            y = std::max(y, floorY);
            if (i < 4)
                y = std::min(y, h - (4 - i) * (ih + 2) - ih);
            wdg->setGeometry(0, y, w, ih);
            floorY = y + ih + 2;
        }
    }

private:
    std::array<QWidget *, 5> m_items;
};

// The X labels under the viewport, one every 3000 twips; those that do not fit
// the width are hidden.
class TimeAxis : public QWidget {
public:
    explicit TimeAxis(QLabel *const (&labels)[10])
    {
        for (int i = 0; i < 10; ++i) {
            m_labels[i] = labels[i];
            labels[i]->setParent(this);
        }
    }
    QSize minimumSizeHint() const override { return {60, m_labels[0]->sizeHint().height()}; }
    QSize sizeHint() const override { return minimumSizeHint(); }
    void relayout()
    {
        const int step = Twips::toPixelsX(3000);
        for (int i = 0; i < 10; ++i) {
            QLabel *l = m_labels[i];
            const int w = l->sizeHint().width();
            const int x = i == 0 ? 0 : i * step - w / 2;
            const bool fits = x + w <= width();
            l->setGeometry(x, 0, w, height());
            l->setVisible(fits);
        }
    }

protected:
    void resizeEvent(QResizeEvent *) override { relayout(); }

private:
    QLabel *m_labels[10] = {};
};

frmGraph::frmGraph(WindowHost &w, QWidget *parent)
    : QWidget(parent), m_w(w), m_logging(LoggingWindows::of(w))
{
    setObjectName(QStringLiteral("frmGraph"));
    setWindowTitle(QStringLiteral("グラフ"));
    m_loader = new StoredLogLoader(this);
    buildUi();

    Parameter &p = param();
    // 2
    const bool ui = p.UiEnabled;
    for (QWidget *c : {static_cast<QWidget *>(Log_c), static_cast<QWidget *>(Stop_c),
                       static_cast<QWidget *>(C_go), static_cast<QWidget *>(Check),
                       static_cast<QWidget *>(Com_go)})
        c->setEnabled(ui);
    if (!ui)
        m_w.state().statuslog.nj_l = QStringLiteral("KRM-2200　未接続");
    // 4
    m_w.state().graph.readflg = false;
    Scroll->setRange(0, 1000);
    Scroll->setPageStep(5000);
    Scroll->setSingleStep(500);
    Scroll->hide();
    // 5, 6
    int max = 160;
    int min = -60;
    GraphScale::parseStoredRange(ini().IniRead(QStringLiteral("Y"), QStringLiteral("para")), &max,
                                 &min);
    Check->setChecked(true);
    // 8
    Combo_max->addItems(GraphScale::maxEntries());
    Combo_min->addItems(GraphScale::minEntries());
    Combo_max->setCurrentIndex(GraphScale::maxIndexFor(max));
    Combo_min->setCurrentIndex(GraphScale::minIndexFor(min));
    // 9
    Label1->setText(pointLabel(m_logging.log().interval()));
    // 10
    // The same patterns as the pattern-run window offers.
    Com_go->addItems(registeredPatternList(ini()));
    // 11
    X_scale_op[p.GraphXScale == 25 ? 1 : 0]->setChecked(true);
    // 13
    Log_c->setText(m_w.logRecording() ? kLogStop : kLogStart);
    wire();
    wireTools();
    applyYRange(true);
    applyXScale(xOption());
    syncButtons();
    // 15
    if (m_w.isRegistered(QStringLiteral("frmStatuslog")))
        QTimer::singleShot(0, m_w.hostWidget(), [main = &m_w] {
            if (main->isLoaded(QStringLiteral("frmGraph")))
                main->openWindow(QStringLiteral("frmStatuslog"));
        });
}

frmGraph::~frmGraph()
{
    delete m_progress.data();
}

frmSplashrw *frmGraph::loadProgress() const
{
    return m_progress;
}

QString frmGraph::loadingText()
{
    return QStringLiteral("ログ読込中...");
}

QString frmGraph::closeQuestion()
{
    return QStringLiteral("ログ出力が停止されます。\nグラフ表示を閉じますか？");
}

void frmGraph::buildUi()
{
    LOG_Handling &log = m_logging.log();
    P1 = new GraphViewport(log);
    P1->ahead = [this] {
        // Only over live data: a stored log shows no run.
        if (m_w.state().graph.readflg)
            return QList<RunProgress::Ahead>();
        return m_w.session().runProgress().ahead(QDateTime::currentDateTime());
    };
    Scroll = new QScrollBar(Qt::Horizontal);
    Scroll->setObjectName(QStringLiteral("Scroll"));
    Scroll->setAccessibleName(QStringLiteral("スクロール"));
    // Showing the bar must not squeeze the plot.
    QSizePolicy keep = Scroll->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Scroll->setSizePolicy(keep);

    Combo_max = new QComboBox;
    Combo_max->setObjectName(QStringLiteral("Combo_max"));
    Combo_max->setAccessibleName(QStringLiteral("上限[℃]"));
    Combo_min = new QComboBox;
    Combo_min->setObjectName(QStringLiteral("Combo_min"));
    Combo_min->setAccessibleName(QStringLiteral("下限[℃]"));
    l201 = label("l201", QStringLiteral("100[℃]"));
    l202 = label("l202", QStringLiteral("50[℃]"));
    l203 = label("l203", QStringLiteral("0[℃]"));
    for (QLabel *l : {l201, l202, l203})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_yAxis = new AxisPanel(Combo_max, l201, l202, l203, Combo_min);

    for (int i = 0; i < 10; ++i) {
        Ls[i] = label("Ls", QStringLiteral("0"));
        Ls[i]->setObjectName(QStringLiteral("Ls%1").arg(i));
    }
    auto *timeAxis = new TimeAxis(Ls);
    m_xAxis = timeAxis;

    Label1 = label("Label1", pointLabel(param().LogInterval));
    static const char *const legend[4] = {" PT100A ", " PT100B ", " SENSOR1 ", " SENSOR2 "};
    auto *legendBox = new QVBoxLayout;
    legendBox->setSpacing(1);
    for (int k = 0; k < 4; ++k) {
        lbl1[k] = label("lbl1", QLatin1String(legend[k]));
        lbl1[k]->setObjectName(QStringLiteral("lbl1_%1").arg(k));
        lbl1[k]->setAutoFillBackground(true);
        QPalette pal = lbl1[k]->palette();
        pal.setColor(QPalette::Window, GraphCanvas::sensorColour(k));
        pal.setColor(QPalette::WindowText, Qt::black);
        lbl1[k]->setPalette(pal);
        legendBox->addWidget(lbl1[k]);
    }
    legendBox->addStretch();

    Frame1 = new QGroupBox(QStringLiteral("X軸div"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    X_scale_op[0] = new QRadioButton(QStringLiteral("10Point"));
    X_scale_op[1] = new QRadioButton(QStringLiteral("20Point"));
    Label2 = label("Label2", QStringLiteral("1div"));
    auto *frameBox = new QHBoxLayout(Frame1);
    for (int i = 0; i < 2; ++i) {
        X_scale_op[i]->setObjectName(QStringLiteral("X_scale_op%1").arg(i));
        frameBox->addWidget(X_scale_op[i]);
    }
    frameBox->addWidget(Label2);

    Check = new QCheckBox(QStringLiteral("自動スクロール"));
    Check->setObjectName(QStringLiteral("Check"));
    TargetLine_t = new QLineEdit;
    TargetLine_t->setObjectName(QStringLiteral("TargetLine_t"));
    TargetLine_t->setAccessibleName(QStringLiteral("目標線[℃]"));
    TargetLine_c = button("TargetLine_c", QStringLiteral("描画"));
    C_read = button("C_read", QStringLiteral("ログ読込"));
    Com_page = new QComboBox;
    Com_page->setObjectName(QStringLiteral("Com_page"));
    Com_page->setAccessibleName(QStringLiteral("ページ"));
    // Sized to its widest page when a log is read: measuring every entry of
    // a long log's list would hold the window still.
    Com_page->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Com_page->setMinimumContentsLength(kPageListLength);
    Com_page->setIconSize(QSize(0, 0)); // pages have no icons to make room for
    Com_page->setModel(new PageList(Com_page));
    // Rows of one height: opening the list measures one row, not every one.
    if (auto *view = qobject_cast<QListView *>(Com_page->view()))
        view->setUniformItemSizes(true);
    Com_page->hide();
    Com_go = new QComboBox;
    Com_go->setObjectName(QStringLiteral("Com_go"));
    Com_go->setAccessibleName(QStringLiteral("パターン番号"));
    C_go = button("C_go", QStringLiteral("実行"));
    Log_c = button("Log_c", kLogStart);
    Stop_c = button("Stop_c", QStringLiteral("制御停止"));
    Print_c = button("Print_c", QStringLiteral("通常使うプリンタへ印刷"));
    Cancel_c = button("Cancel_c", QStringLiteral("閉じる"));
    Com_axis = new QComboBox;
    Com_axis->setObjectName(QStringLiteral("Com_axis"));
    Com_axis->setAccessibleName(QStringLiteral("X軸ラベル"));
    Com_axis->addItems(GraphReadout::axisModeNames());
    File_l = new QLabel;
    File_l->setObjectName(QStringLiteral("File_l"));
    // The plot keeps its height whether a file is named or not.
    QSizePolicy keepFile = File_l->sizePolicy();
    keepFile.setRetainSizeWhenHidden(true);
    File_l->setSizePolicy(keepFile);
    File_l->hide();
    Fit_c = new QPushButton(QStringLiteral("範囲自動"));
    Fit_c->setObjectName(QStringLiteral("Fit_c"));
    SaveImage_c = new QPushButton(QStringLiteral("画像保存"));
    SaveImage_c->setObjectName(QStringLiteral("SaveImage_c"));
    SaveCsv_c = new QPushButton(QStringLiteral("CSV保存"));
    SaveCsv_c->setObjectName(QStringLiteral("SaveCsv_c"));
    Report_c = new QPushButton(QStringLiteral("レポート印刷"));
    Report_c->setObjectName(QStringLiteral("Report_c"));

    auto *plot = new QGridLayout;
    plot->setSpacing(2);
    plot->addWidget(m_yAxis, 0, 0);
    plot->addWidget(P1, 0, 1);
    plot->addWidget(Scroll, 1, 1);
    plot->addWidget(m_xAxis, 2, 1);
    plot->setColumnStretch(1, 1);
    plot->setRowStretch(0, 1);

    auto *row1 = new QHBoxLayout;
    row1->addWidget(Label1);
    row1->addWidget(Frame1);
    row1->addWidget(Com_axis);
    row1->addWidget(Check);
    row1->addWidget(TargetLine_t, 1);
    row1->addWidget(TargetLine_c);
    auto *row2 = new QHBoxLayout;
    row2->addWidget(Log_c);
    row2->addWidget(Stop_c);
    row2->addWidget(Com_go);
    row2->addWidget(C_go);
    row2->addStretch();
    row2->addWidget(C_read);
    row2->addWidget(Com_page);
    auto *row3 = new QHBoxLayout;
    for (QPushButton *b : {Fit_c, SaveImage_c, SaveCsv_c, Report_c})
        row3->addWidget(b);
    row3->addStretch();
    row3->addWidget(Print_c);
    row3->addWidget(Cancel_c);
    auto *controls = new QVBoxLayout;
    controls->addLayout(row1);
    controls->addLayout(row2);
    controls->addLayout(row3);
    auto *lower = new QHBoxLayout;
    lower->addLayout(legendBox);
    lower->addLayout(controls, 1);

    auto *top = new QVBoxLayout(this);
    top->addWidget(File_l);
    top->addLayout(plot, 1);
    top->addLayout(lower);
}

void frmGraph::wire()
{
    LOG_Handling &log = m_logging.log();
    connect(&log, &LOG_Handling::canvasChanged, this, [this] {
        P1->update();
        syncButtons();
    });
    connect(&log, &LOG_Handling::ticked, this, &frmGraph::liveTicked);
    connect(&log, &LOG_Handling::pageTurned, this, &frmGraph::pageTurned);
    connect(&log, &LOG_Handling::logStarted, this, &frmGraph::logStarted);
    connect(&log, &LOG_Handling::logStopped, this, [this] { syncButtons(); });
    connect(&m_logging, &LoggingWindows::readPrintEnabledChanged, this, [this] { syncButtons(); });
    connect(&m_w.events(), &HostEvents::controlStateChanged, this, &frmGraph::syncButtons);
    connect(Combo_max, &QComboBox::currentIndexChanged, this, [this] {
        m_rangeChosen = true;
        applyYRange(true);
    });
    connect(Combo_min, &QComboBox::currentIndexChanged, this, [this] {
        m_rangeChosen = true;
        applyYRange(false);
    });
    for (int i = 0; i < 2; ++i)
        connect(X_scale_op[i], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on)
                applyXScale(i);
        });
    connect(Scroll, &QScrollBar::valueChanged, this, &frmGraph::scrollChanged);
    connect(TargetLine_c, &QPushButton::clicked, this,
            [this] { drawTargetLines(TargetLine_t->text()); });
    connect(C_read, &QPushButton::clicked, this, &frmGraph::C_read_Click);
    connect(m_loader, &StoredLogLoader::finished, this, &frmGraph::storedLogLoaded);
    connect(m_loader, &StoredLogLoader::progress, this, [this](int permille) {
        if (m_progress)
            m_progress->RWPro->setValue(m_progress->RWPro->maximum() * permille / 1000);
    });
    connect(Com_page, &QComboBox::currentIndexChanged, this, &frmGraph::choosePage);
    connect(C_go, &QPushButton::clicked, this, &frmGraph::C_go_Click);
    connect(Stop_c, &QPushButton::clicked, this, &frmGraph::Stop_c_Click);
    connect(Log_c, &QPushButton::clicked, this, &frmGraph::Log_c_Click);
    connect(Print_c, &QPushButton::clicked, this, &frmGraph::Print_c_Click);
    connect(Cancel_c, &QPushButton::clicked, this, [this] {
        m_w.state().graph.readflg = false;
        m_w.unloadWindow(QStringLiteral("frmGraph"));
    });
}

// Buttons that follow the instrument's state, the log and the link.
void frmGraph::syncButtons()
{
    const bool ui = param().UiEnabled;
    const GraphState &g = m_w.state().graph;
    Log_c->setText(m_w.logRecording() ? kLogStop : kLogStart);
    Stop_c->setEnabled(ui && g.stopEnabled);
    C_go->setEnabled(ui && g.goEnabled);
    const bool idle = !m_w.session().polling();
    C_read->setEnabled(idle && g.readEnabled);
    Print_c->setEnabled(idle && g.printEnabled);
}

int frmGraph::xOption() const
{
    return X_scale_op[1]->isChecked() ? 1 : 0;
}

int frmGraph::viewportWidthTwips() const
{
    return int(std::lround(Twips::fromPixelsX(P1->width())));
}

void frmGraph::applyYRange(bool maxChanged)
{
    bool okMax = false;
    bool okMin = false;
    int max = Combo_max->currentText().toInt(&okMax);
    int min = Combo_min->currentText().toInt(&okMin);
    if (!okMax || !okMin)
        return;
    const int wasMax = max;
    const int wasMin = min;
    GraphScale::correctRange(&max, &min, maxChanged);
    if (max != wasMax) {
        const QSignalBlocker block(Combo_max);
        Combo_max->setCurrentIndex(GraphScale::maxIndexFor(max));
    }
    if (min != wasMin) {
        const QSignalBlocker block(Combo_min);
        Combo_min->setCurrentIndex(GraphScale::minIndexFor(min));
    }
    LOG_Handling &log = m_logging.log();
    GraphScale::SetYRange(param(), max, min, log.canvas().heightTwips());
    const QStringList inner = GraphScale::innerLabels(max, min);
    l201->setText(inner.at(0));
    l202->setText(inner.at(1));
    l203->setText(inner.at(2));
    // The column takes the widest label of the new range.
    m_yAxis->updateGeometry();
    log.redrawLive();
    if (m_w.state().graph.readflg)
        redrawFile();
}

void frmGraph::applyXScale(int option)
{
    Parameter &p = param();
    GraphScale::setXScale(p, option);
    P1->setOffsetTwips(0);
    {
        const QSignalBlocker block(Scroll);
        Scroll->setRange(0, GraphScale::scrollMaximum(option, viewportWidthTwips()));
        Scroll->setValue(0);
    }
    renumberLabels();
    if (m_w.state().graph.readflg)
        redrawFile();
    else
        m_logging.log().redrawLive();
}

void frmGraph::scrollChanged(int value)
{
    const int snapped = GraphScale::snapScroll(value, param().GraphXScale);
    P1->setOffsetTwips(snapped);
    renumberLabels();
}

void frmGraph::renumberLabels()
{
    const Parameter &p = param();
    qint64 base = qint64(p.GraphPagePoints) * p.GraphPage;
    if (m_w.state().graph.readflg && Com_page->isVisibleTo(this) && Com_page->currentIndex() >= 0)
        base = GraphScale::pageStart(Com_page->currentIndex());
    const int value = Scroll->isVisibleTo(this) || m_w.state().graph.readflg
                          ? GraphScale::snapScroll(Scroll->value(), p.GraphXScale)
                          : 0;
    const QList<qint64> labels = GraphScale::xLabels(p, value, base);
    const GraphPage page = currentPage();
    const auto mode = GraphReadout::AxisMode(std::max(0, Com_axis->currentIndex()));
    File_l->setVisible(m_w.state().graph.readflg);
    // A stored page's labels tell the samples at those places in time.
    const qint64 first = page.sampleOf ? GraphReadout::placed(page).firstSample : 0;
    for (int i = 0; i < 10; ++i)
        Ls[i]->setText(page.sampleOf
                           ? GraphReadout::sampleLabel(page, mode, first + labels.at(i) - base)
                           : GraphReadout::axisLabel(page, mode, labels.at(i)));
    static_cast<TimeAxis *>(m_xAxis)->relayout();
}

void frmGraph::liveTicked()
{
    const int used = m_logging.log().liveWidthTwips();
    const int widthTwips = int(std::lround(Twips::fromPixelsX(width())));
    if (used > widthTwips - 1100 - 500) {
        Scroll->setMinimum(0);
        Scroll->setMaximum(std::clamp(used - viewportWidthTwips() + 500, 0, 32767));
        Scroll->show();
        if (Check->isChecked())
            Scroll->setValue(Scroll->maximum());
    }
    syncButtons();
}

void frmGraph::pageTurned()
{
    P1->setOffsetTwips(0);
    {
        const QSignalBlocker block(Scroll);
        Scroll->setValue(0);
    }
    Scroll->hide();
    renumberLabels();
}

void frmGraph::logStarted()
{
    // The live graph takes the window: a stored log still being read would
    // replace it.
    stopLoading();
    Label1->setText(pointLabel(m_logging.log().interval()));
    Com_page->hide();
    pageTurned();
    syncButtons();
}

void frmGraph::resizeCanvas()
{
    LOG_Handling &log = m_logging.log();
    const int h = std::max(1500, int(std::lround(Twips::fromPixelsY(P1->height()))));
    if (h == log.canvas().heightTwips())
        return;
    log.canvas().setHeightTwips(h);
    GraphScale::recompute(param(), h);
    if (m_w.state().graph.readflg) {
        GraphScale::setXScale(param(), xOption());
        {
            const QSignalBlocker block(Scroll);
            Scroll->setRange(0, GraphScale::scrollMaximum(xOption(), viewportWidthTwips()));
        }
        redrawFile();
    } else {
        {
            const QSignalBlocker block(Scroll);
            Scroll->setValue(0);
        }
        P1->setOffsetTwips(0);
        Scroll->hide();
        log.redrawLive();
    }
    renumberLabels();
}

void frmGraph::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (!isMinimized() && !m_w.hostWidget()->isMinimized())
        resizeCanvas();
}

void frmGraph::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Below the sensor-log and status-log windows, filling the work area.
    SubWindows::arrangeMonitors(this);
}

void frmGraph::redrawFile()
{
    const StoredLog &s = m_stored;
    const SampleText values = [&s](int k, qint64 i) { return s.value(k, i); };
    GraphCanvas &canvas = m_logging.log().canvas();
    canvas.clear();
    canvas.DrawGrid(param());
    GraphScale::recompute(param(), canvas.heightTwips());
    const GraphReadout::Placed placed = GraphReadout::placed(currentPage());
    for (size_t k = 1; k < placed.lines.size(); ++k) {
        const auto [n0, i0] = placed.lines[k - 1];
        const auto [n1, i1] = placed.lines[k];
        // A missed reply is a gap, never a joined line.
        if (n1 == n0 + 1)
            canvas.PlotBetween(param(), values, n0 - placed.firstSample, i0,
                               n1 - placed.firstSample, i1);
    }
    P1->update();
}

// Plots samples `from` ... `last` at x = i - start, echoing each to the
// sensor-log window; stops at a reading that is not a number.
bool frmGraph::plotFileRange(qint64 from, qint64 last, qint64 start)
{
    const StoredLog &s = m_stored;
    const SampleText values = [&s](int k, qint64 i) { return s.value(k, i); };
    GraphCanvas &canvas = m_logging.log().canvas();
    // Each line at its sample's time: a missed reply is a gap, never joined.
    Q_UNUSED(start);
    const GraphReadout::Placed placed = GraphReadout::placed(currentPage());
    for (qint64 i = from; i <= last; ++i) {
        const qint64 n0 = placed.sampleOf(i - 1);
        const qint64 n1 = placed.sampleOf(i);
        if (n0 >= 0 && n1 == n0 + 1 &&
            !canvas.PlotBetween(param(), values, n0 - placed.firstSample, i - 1,
                                n1 - placed.firstSample, i))
            return false;
        QStringList temps;
        for (int k = 0; k < 4; ++k)
            temps << s.value(k, i - 1);
        m_logging.echoSensorLog(int(std::min<qint64>(i - 1, INT_MAX)), temps);
    }
    return true;
}

void frmGraph::C_read_Click()
{
    const QString stored = ini().IniRead(QStringLiteral("LOGDIRPATH"), QStringLiteral("path"));
    const QString folder = !stored.isEmpty() && stored != QLatin1String("ERR")
                               ? stored + QStringLiteral("/LOG/TXT_DATA")
                               : m_w.appDir();
    const QString path = Dialogs::instance().openFile(
        this, QStringLiteral("TXT_DATAファイル (*.txt)"), QDir::toNativeSeparators(folder));
    if (path.isEmpty())
        return;
    readStoredLog(path);
}

void frmGraph::readStoredLog(const QString &path)
{
    m_loader->start(path);
    if (!m_progress) {
        m_progress = new frmSplashrw(m_w.hostWidget());
        m_progress->Label1->setText(loadingText());
        m_progress->RWPro->setAccessibleName(loadingText());
    }
    m_progress->RWPro->setValue(0);
    const QRect outer = m_w.hostWidget()->frameGeometry();
    m_progress->move(outer.center() - m_progress->rect().center());
    m_progress->show();
    m_progress->raise();
}

void frmGraph::stopLoading()
{
    m_loader->cancel();
    delete m_progress.data();
}

void frmGraph::storedLogLoaded(const QString &path, bool ok)
{
    delete m_progress.data();
    Parameter &p = param();
    // A log that cannot be read leaves the graph as it was.
    if (!ok) {
        Dialogs::instance().message(this, StoredLog::unreadableText(path), kConfirm);
        Q_EMIT storedLogRead(false);
        return;
    }
    m_stored = m_loader->takeLog();
    m_w.state().graph.readflg = true;
    m_storedName = QFileInfo(path).fileName();
    m_storedPath = path;
    m_rangeChosen = false;
    File_l->setText(GraphReadout::fileCaption(m_storedName));
    auto *pageList = static_cast<PageList *>(Com_page->model());
    {
        const QSignalBlocker block(Com_page);
        pageList->setHighest(-1);
    }
    GraphCanvas &canvas = m_logging.log().canvas();
    canvas.clear();
    canvas.DrawGrid(p);
    int seconds = 0;
    if (m_stored.interval(&seconds))
        Label1->setText(pointLabel(seconds));
    const qint64 u = m_stored.highest();
    const int pages = GraphScale::pageCount(u);
    p_flg = pages > 0;
    m_pageReady = false;
    {
        const QSignalBlocker block(Com_page);
        pageList->setHighest(u);
        Com_page->setCurrentIndex(p_flg ? 0 : -1);
        // The last page has the most digits.
        Com_page->setMinimumContentsLength(std::max<int>(
            kPageListLength, int(p_flg ? GraphScale::pageEntry(pages - 1).size() : 0)));
    }
    Com_page->setVisible(p_flg);
    m_pageReady = true;
    GraphScale::recompute(p, canvas.heightTwips());
    {
        const QSignalBlocker block(Scroll);
        Scroll->setRange(0, GraphScale::scrollMaximum(xOption(), viewportWidthTwips()));
        Scroll->setValue(0);
    }
    P1->setOffsetTwips(0);
    Scroll->show();
    m_logging.clearSensorLog();
    if (p_flg)
        plotFileRange(1, std::min<qint64>(600, u), 0);
    else
        plotFileRange(1, u, 0);
    renumberLabels();
    P1->update();
    Q_EMIT storedLogRead(true);
}

void frmGraph::choosePage(int index)
{
    if (index < 0 || !m_w.state().graph.readflg)
        return;
    GraphCanvas &canvas = m_logging.log().canvas();
    canvas.clear();
    canvas.DrawGrid(param());
    const qint64 start = GraphScale::pageStart(index);
    const qint64 last = std::min(m_stored.highest(), start + 600);
    m_logging.clearSensorLog();
    if (m_pageReady)
        plotFileRange(start + 1, last, start);
    // Back to the page's start: the labels are renumbered from it.
    Scroll->setValue(Scroll->maximum());
    Scroll->setValue(0);
    renumberLabels();
    P1->update();
}

void frmGraph::drawTargetLines(const QString &text)
{
    GraphCanvas &canvas = m_logging.log().canvas();
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const double v = item.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            continue;
        const double r = std::round(v);
        if (r < -50 || r > 150)
            continue;
        canvas.DrawTargetLine(param(), item);
    }
    P1->update();
}

void frmGraph::Log_c_Click()
{
    if (Log_c->text() == kLogStart) {
        if (m_w.startLog)
            m_w.startLog();
        m_w.state().graph.readflg = false;
    } else if (m_w.stopLog) {
        m_w.stopLog();
    }
    syncButtons();
}

namespace {

// An "NG" is told; silence is the link watch's to tell.
void tellRefused(QWidget *parent, const InstrumentSession::RunResult &sent)
{
    if (sent.outcome == InstrumentSession::RunOutcome::InstrumentRefused)
        Dialogs::instance().message(parent, sent.message, sent.title);
}

} // namespace

void frmGraph::C_go_Click()
{
    const QString line = goLine(Com_go->currentText());
    if (!line.isEmpty() && refuseRunInAlarm(m_w.state(), this))
        return;
    m_w.state().graph.readflg = false;
    if (line.isEmpty())
        return;
    Scroll->hide();
    P1->setOffsetTwips(0);
    const QStringList others = {QStringLiteral("frmOperation_setting"),
                                QStringLiteral("frmFix_control")};
    for (const QString &name : others)
        m_w.unloadWindow(name);
    Com_page->hide();
    if (!m_w.session().polling())
        Log_c_Click();
    m_w.state().fix.lastRunFixed = false;
    m_w.state().fix.patternRun = FixControlState::PatternRun::Sent;
    const InstrumentSession::RunResult sent = m_w.session().command(line);
    if (!sent.started())
        m_w.state().fix.patternRun = FixControlState::PatternRun::None;
    m_w.state().graph.goEnabled = false;
    if (QAction *con = m_w.menuItem(QStringLiteral("con")))
        con->setEnabled(false);
    for (const QString &name : others)
        m_w.unloadWindow(name);
    m_logging.setReadPrintEnabled(false);
    syncButtons();
    tellRefused(this, sent);
}

void frmGraph::Stop_c_Click()
{
    param().TargetLineText.clear();
    m_logging.log().redrawLive();
    const InstrumentSession::RunResult sent = m_w.session().command(QStringLiteral("STOP"));
    m_w.state().graph.readflg = false;
    for (const char *name : {"frmOperation_setting", "frmFix_control"})
        m_w.unloadWindow(QLatin1String(name));
    if (!m_w.logRecording()) {
        m_w.session().stopPolling();
        m_logging.setReadPrintEnabled(true);
    }
    m_w.controlStopped();
    tellRefused(this, sent);
}

void frmGraph::Print_c_Click()
{
    Dialogs &d = Dialogs::instance();
    if (!d.question(this, QStringLiteral("印刷しますか？"), kConfirm, true))
        return;
    // The default printer, as the button says; without one the same page
    // can go to a PDF file.
    PrintTarget::Job job;
    if (!PrintTarget::choose(this, job, m_w.appDir(), true))
        return;
    printTo(job.device());
    PrintTarget::finish(this, job);
}

void frmGraph::printTo(QPagedPaintDevice &printer)
{
    const QPixmap image = grab();
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 0, 0, 0), QPageLayout::Millimeter));
    QPainter g;
    if (!g.begin(&printer))
        return;
    // Drawn at 10 mm from the left, at the screen's size where it fits.
    const QRect page = g.viewport();
    const double perPixel = double(printer.logicalDpiX()) / Twips::logicalDpiX();
    QSizeF size(image.width() * perPixel, image.height() * perPixel);
    if (size.width() > page.width() || size.height() > page.height())
        size.scale(page.size(), Qt::KeepAspectRatio);
    g.drawPixmap(QRectF(QPointF(0, 0), size), image, QRectF(image.rect()));
    g.end();
}

void frmGraph::closeEvent(QCloseEvent *event)
{
    if (m_w.session().polling() && !m_closing) {
        if (!Dialogs::instance().question(this, closeQuestion(), kConfirm, true)) {
            event->ignore();
            return;
        }
        m_w.session().stopPolling();
        m_closing = true;
        if (m_w.stopLog)
            m_w.stopLog();
    }
    // Unload: the Y range is kept for the next opening and the next run.
    ini().IniWrite(QStringLiteral("Y"), QStringLiteral("para"),
                   Combo_max->currentText() + QLatin1Char(' ') + Combo_min->currentText());
    if (QAction *conPattern = m_w.menuItem(QStringLiteral("con_pattern"));
        conPattern && conPattern->isEnabled())
        m_w.toolButton(QStringLiteral("STOP"))->setEnabled(false);
    if (!m_w.session().polling())
        param().LogCount = 0;
    m_w.state().graph.readflg = false;
    stopLoading();
    event->accept();
    QTimer::singleShot(0, m_w.hostWidget(), [main = &m_w] {
        for (const char *name : {"frmStatuslog", "frmSenlog"})
            main->unloadWindow(QLatin1String(name));
    });
}

// ---------------------------------------------------------------- read-out and exports

void frmGraph::wireTools()
{
    m_readout = new ReadoutOverlay(
        P1, [this] { return currentPage(); }, [this] { return P1->offsetTwips(); },
        m_logging.log().canvas().pixelsPerTwip());
    connect(Com_axis, &QComboBox::currentIndexChanged, this, &frmGraph::renumberLabels);
    connect(Fit_c, &QPushButton::clicked, this, &frmGraph::fitRange);
    connect(SaveImage_c, &QPushButton::clicked, this, [this] {
        GraphActions::savePicture(this, currentPage(), plotSetup(), exportFolder());
    });
    connect(SaveCsv_c, &QPushButton::clicked, this,
            [this] { GraphActions::saveCsv(this, currentPage(), exportFolder(), wholeLog()); });
    connect(Report_c, &QPushButton::clicked, this, [this] {
        GraphActions::printReport(this, currentPage(), plotSetup(), exportFolder(), wholeLog());
    });
}

GraphPage frmGraph::currentPage() const
{
    const Parameter &p = param();
    if (!m_w.state().graph.readflg)
        return GraphPage::live(p, m_logging.log().file().LogStem);
    int seconds = 0;
    if (!m_stored.interval(&seconds))
        seconds = 0;
    const qint64 start = p_flg ? GraphScale::pageStart(std::max(0, Com_page->currentIndex())) : 0;
    return GraphPage::stored(m_stored, m_storedName, seconds, p, p_flg, start);
}

GraphActions::WholeLog frmGraph::wholeLog() const
{
    GraphActions::WholeLog whole;
    if (!m_w.state().graph.readflg)
        return whole;
    const Parameter &p = param();
    int seconds = 0;
    if (!m_stored.interval(&seconds))
        seconds = 0;
    whole.all = GraphPage::stored(m_stored, m_storedName, seconds, p, false, 0);
    if (p_flg) {
        for (int i = 0; i < Com_page->count(); ++i)
            whole.pages << GraphPage::stored(m_stored, m_storedName, seconds, p, true,
                                             GraphScale::pageStart(i));
    } else {
        whole.pages << whole.all;
    }
    if (!m_storedPath.isEmpty())
        whole.stepsPath = LogSummary::stepsPath(m_storedPath);
    whole.memo = m_stored.memo();
    whole.systemLogFolder = m_w.appDir() + QStringLiteral("/LOG/XSYS_LOG");
    return whole;
}

GraphExport::PlotSetup frmGraph::plotSetup() const
{
    GraphExport::PlotSetup setup;
    setup.max = Combo_max->currentText().toInt();
    setup.min = Combo_min->currentText().toInt();
    // A range nobody chose for these readings (the window's default or the
    // last run's) would leave the curves a thin band on paper: the export
    // gets the range that holds them.
    if (!m_rangeChosen)
        RangeFit::fit(currentPage(), &setup.max, &setup.min);
    setup.axis = GraphReadout::AxisMode(std::max(0, Com_axis->currentIndex()));
    if (!m_w.state().graph.readflg)
        setup.target = param().TargetLineText;
    return setup;
}

QImage frmGraph::pageImage() const
{
    return GraphExport::image(currentPage(), plotSetup(), GraphExport::pictureSizes().constFirst());
}

void frmGraph::fitRange()
{
    int max = 0;
    int min = 0;
    if (!RangeFit::fit(currentPage(), &max, &min))
        return;
    m_rangeChosen = true;
    {
        const QSignalBlocker blockMax(Combo_max);
        const QSignalBlocker blockMin(Combo_min);
        Combo_max->setCurrentIndex(GraphScale::maxIndexFor(max));
        Combo_min->setCurrentIndex(GraphScale::minIndexFor(min));
    }
    applyYRange(true);
}

QString frmGraph::exportFolder() const
{
    return QDir::toNativeSeparators(m_w.GetLogdirname().isEmpty() ? m_w.appDir()
                                                                  : m_w.GetLogdirname());
}
