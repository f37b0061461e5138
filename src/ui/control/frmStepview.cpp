#include "ui/control/frmStepview.h"

#include "core/app/Twips.h"
#include "core/config/Ini_Operation.h"
#include "ui/shell/SubWindows.h"
#include "ui/shell/WindowHost.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kHeadNo = QStringLiteral("NO");
const QString kHeadSensor = QStringLiteral("センサ番号");
const QString kHeadTemp = QStringLiteral("設定温度");
const QString kHeadTime = QStringLiteral("保持時間");

} // namespace

frmStepview::frmStepview(WindowHost &w, QWidget *parent) : QWidget(parent), m_w(w), m_view(ini())
{
    setObjectName(QStringLiteral("frmStepview"));
    setWindowTitle(QStringLiteral("登録ステップ一覧"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    constexpr int ColumnsPerSide = 5; // number, mark, sensor, temperature, time
    for (int side = 0; side < 2; ++side) {
        const int c = side * (ColumnsPerSide + 1);
        int col = c;
        for (const QString &head : {kHeadNo, QString(), kHeadSensor, kHeadTemp, kHeadTime}) {
            auto *label = new QLabel(head, this);
            grid->addWidget(label, 0, col++);
        }
    }
    grid->setColumnMinimumWidth(ColumnsPerSide, 16); // gap between the columns
    for (int i = 0; i < StepView::RowCount; ++i) {
        const int row = 1 + i % 5;
        const int c = (i / 5) * (ColumnsPerSide + 1);
        auto *no = new QLabel(this);
        no->setObjectName(QStringLiteral("stepno_l_%1").arg(i));
        no->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        no->setMinimumWidth(no->fontMetrics().horizontalAdvance(QStringLiteral("000")));
        auto *mark = new QLabel(this);
        mark->setObjectName(QStringLiteral("Jikkou_l_%1").arg(i));
        mark->setAlignment(Qt::AlignCenter);
        mark->setMinimumWidth(mark->fontMetrics().horizontalAdvance(stepMarkInvalid()) + 4);
        auto *sensor = new QComboBox(this);
        sensor->setObjectName(QStringLiteral("Combo_s_%1").arg(i));
        sensor->addItems({QStringLiteral("PT100A"), QStringLiteral("PT100B"), QString()});
        sensor->setCurrentIndex(-1);
        auto *temp = new QLineEdit(this);
        temp->setObjectName(QStringLiteral("mond_t_%1").arg(i));
        auto *time = new QLineEdit(this);
        time->setObjectName(QStringLiteral("hoji_t_%1").arg(i));
        for (QLineEdit *box : {temp, time}) {
            box->setReadOnly(true);
            box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) +
                                 16);
        }
        grid->addWidget(no, row, c);
        grid->addWidget(mark, row, c + 1);
        grid->addWidget(sensor, row, c + 2);
        grid->addWidget(temp, row, c + 3);
        grid->addWidget(time, row, c + 4);
        stepno_l.append(no);
        Jikkou_l.append(mark);
        Combo_s.append(sensor);
        mond_t.append(temp);
        hoji_t.append(time);
        // Named by their row until a pattern's steps number the rows.
        nameRow(i, QString::number(i + 1) + QStringLiteral("行目"));
    }

    Ahead_c = new QPushButton(QStringLiteral("前ページ"), this);
    Ahead_c->setObjectName(QStringLiteral("Ahead_c"));
    Next_c = new QPushButton(QStringLiteral("次ページ"), this);
    Next_c->setObjectName(QStringLiteral("Next_c"));
    for (QPushButton *b : {Ahead_c, Next_c})
        b->setEnabled(false);
    connect(Ahead_c, &QPushButton::clicked, this, [this] {
        m_view.aheadPage();
        showRows();
    });
    connect(Next_c, &QPushButton::clicked, this, [this] {
        m_view.nextPage();
        showRows();
    });

    // The page buttons stay inside the window: a step view that cannot page
    // would hide every step of a long pattern after its first ten.
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Ahead_c);
    buttons->addWidget(Next_c);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addStretch();
}

void frmStepview::reLoad(qint16 first)
{
    m_view.reLoad(first);
    showRows();
}

void frmStepview::showRows()
{
    for (int i = 0; i < StepView::RowCount; ++i) {
        const StepViewRow &row = m_view.rows().at(size_t(i));
        const QString no = QString::number(row.stepNo);
        stepno_l.at(i)->setText(no);
        Jikkou_l.at(i)->setText(row.mark);
        Combo_s.at(i)->setCurrentIndex(row.sensorIndex);
        mond_t.at(i)->setText(row.temp);
        hoji_t.at(i)->setText(row.time);
        nameRow(i, QStringLiteral("ステップ") + no);
    }
    Next_c->setEnabled(m_view.nextEnabled());
    Ahead_c->setEnabled(m_view.aheadEnabled());
}

void frmStepview::nameRow(int i, const QString &row)
{
    // Each box by its row and column, so that the rows can be told apart
    // without seeing the grid.
    const QString prefix = row + QLatin1Char(' ');
    Combo_s.at(i)->setAccessibleName(prefix + kHeadSensor);
    mond_t.at(i)->setAccessibleName(prefix + kHeadTemp);
    hoji_t.at(i)->setAccessibleName(prefix + kHeadTime);
}

void frmStepview::placeSubWindow(QWidget *widget, int top)
{
    SubWindows::placeAt(widget, QPoint(0, top));
}

void frmStepview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Below the pattern-run window, at the left edge; lower when that window
    // needed more room than designed.
    int top = Twips::toPixelsY(TopTwips);
    if (QWidget *run = m_w.loadedWindow(QStringLiteral("frmPattern_control")))
        top = qMax(top, run->parentWidget()->geometry().bottom() + 1);
    placeSubWindow(this, top);
}

void frmStepview::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // The two windows of a pattern run open and close together.
    m_w.unloadWindow(QStringLiteral("frmPattern_control"));
}
