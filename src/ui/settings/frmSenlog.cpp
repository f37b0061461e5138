#include "ui/settings/frmSenlog.h"

#include "core/config/Parameter.h"
#include "ui/shell/SubWindows.h"

#include <QAbstractListModel>
#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListView>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

// The rows of one box, read from the state: a row's text is made when it
// comes into view.
class SensorLogLines : public QAbstractListModel {
public:
    SensorLogLines(const SensorLogState &state, int box, QObject *parent)
        : QAbstractListModel(parent), m_state(state), m_box(box)
    {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : m_rows;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        return line(index.row());
    }

    QString line(int row) const { return row < m_rows ? m_state.rowText(m_box, row) : QString(); }

    // Takes in the rows the state gained since the last call, or starts
    // again when it was emptied or refilled.
    void sync()
    {
        if (m_generation != m_state.generation() || m_state.rows() < m_rows) {
            m_generation = m_state.generation();
            beginResetModel();
            m_rows = 0;
            endResetModel();
        }
        const int now = int(std::min<qint64>(m_state.rows(), INT_MAX));
        if (now == m_rows)
            return;
        beginInsertRows(QModelIndex(), m_rows, now - 1);
        m_rows = now;
        endInsertRows();
    }

private:
    const SensorLogState &m_state;
    const int m_box;
    quint64 m_generation = ~quint64(0);
    int m_rows = 0;
};

namespace {

// The caret goes to the last line, so the box shows the newest lines.
void caretToEnd(QListView *box)
{
    const int rows = box->model()->rowCount();
    if (rows > 0)
        box->selectionModel()->setCurrentIndex(box->model()->index(rows - 1, 0),
                                               QItemSelectionModel::NoUpdate);
    box->scrollToBottom();
}

} // namespace

frmSenlog::frmSenlog(SensorLogState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    setObjectName(QStringLiteral("frmSenlog"));
    setWindowTitle(QStringLiteral("温度ログ"));

    auto *layout = new QHBoxLayout(this);
    for (int k = 0; k < SensorLogState::Boxes; ++k) {
        auto *frame = new QGroupBox(sensorName(k), this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(k + 1));
        auto *box = new QListView(frame);
        box->setObjectName(QStringLiteral("SEN%1_t").arg(k));
        box->setAccessibleName(sensorName(k));
        box->setUniformItemSizes(true);
        box->setSelectionMode(QAbstractItemView::ExtendedSelection);
        box->setEditTriggers(QAbstractItemView::NoEditTriggers);
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("00000 +000.00")) +
                             box->verticalScrollBar()->sizeHint().width() + 8);
        m_lines[size_t(k)] = new SensorLogLines(m_state, k, box);
        box->setModel(m_lines[size_t(k)]);

        // Copy puts the chosen lines on the clipboard, as a text box would.
        auto *copy = new QAction(box);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, box, [this, k, box] {
            QModelIndexList rows = box->selectionModel()->selectedRows();
            std::sort(rows.begin(), rows.end());
            QString text;
            for (const QModelIndex &row : std::as_const(rows))
                text += m_lines[size_t(k)]->line(row.row()) + QLatin1Char('\n');
            QGuiApplication::clipboard()->setText(text);
        });
        box->addAction(copy);

        auto *frameLayout = new QVBoxLayout(frame);
        frameLayout->setContentsMargins(4, 4, 4, 4);
        frameLayout->addWidget(box);
        layout->addWidget(frame, 1);
        boxes[size_t(k)] = box;
    }
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    showState();
}

frmSenlog::~frmSenlog() = default;

QStringList frmSenlog::lines(int k) const
{
    QStringList out;
    if (k < 0 || k >= SensorLogState::Boxes)
        return out;
    const SensorLogLines *model = m_lines[size_t(k)];
    for (int row = 0; row < model->rowCount(); ++row)
        out << model->line(row);
    return out;
}

void frmSenlog::showState()
{
    for (int k = 0; k < SensorLogState::Boxes; ++k) {
        m_lines[size_t(k)]->sync();
        caretToEnd(boxes[size_t(k)]);
    }
}

void frmSenlog::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        SubWindows::arrangeMonitors(this);
    }
    // Laid out only now: the newest lines into view.
    for (QListView *box : boxes)
        box->scrollToBottom();
}

void frmSenlog::closeEvent(QCloseEvent *event)
{
    m_state.unload();
    event->accept();
}
