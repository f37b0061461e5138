#include "settings/frmSenlog.h"

#include "config/Parameter.h"
#include "settings/DesignedPlace.h"

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
#include <vector>

// The lines of one box's text (CR LF ends), read in place: only where each
// line starts is kept, and rows are made when they come into view.
class SensorLogLines : public QAbstractListModel {
public:
    SensorLogLines(const SensorLogState &state, int box, QObject *parent)
        : QAbstractListModel(parent), m_state(state), m_text(state.boxes()[size_t(box)])
    {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_starts.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
            return {};
        return line(index.row());
    }

    QString line(int row) const
    {
        if (row < 0 || row >= int(m_starts.size()))
            return {};
        const qsizetype start = m_starts[size_t(row)];
        const qsizetype end =
            row + 1 < int(m_starts.size()) ? m_starts[size_t(row) + 1] : m_scanned;
        QString s = m_text.mid(start, end - start);
        while (s.endsWith(QLatin1Char('\n')) || s.endsWith(QLatin1Char('\r')))
            s.chop(1);
        return s;
    }

    // Takes in what the text gained since the last call, or starts again
    // when it was emptied.
    void sync()
    {
        if (m_generation != m_state.generation() || m_text.size() < m_scanned) {
            m_generation = m_state.generation();
            beginResetModel();
            m_starts.clear();
            m_scanned = 0;
            endResetModel();
        }
        std::vector<qsizetype> added;
        qsizetype pos = m_scanned;
        while (pos < m_text.size()) {
            const qsizetype lf = m_text.indexOf(QLatin1Char('\n'), pos);
            if (lf < 0)
                break; // an unfinished line waits for its end
            added.push_back(pos);
            pos = lf + 1;
        }
        if (added.empty())
            return;
        const int first = int(m_starts.size());
        beginInsertRows(QModelIndex(), first, first + int(added.size()) - 1);
        m_starts.insert(m_starts.end(), added.begin(), added.end());
        m_scanned = pos;
        endInsertRows();
    }

private:
    const SensorLogState &m_state;
    const QString &m_text;
    quint64 m_generation = ~quint64(0);
    std::vector<qsizetype> m_starts;
    qsizetype m_scanned = 0;
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
        moveToDesignedPlace(this, LeftTwips, TopTwips);
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
