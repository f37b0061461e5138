#include "ui/control/frmFix_control.h"

#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/control/FixControl.h"
#include "core/control/StepCheck.h"
#include "core/session/InstrumentSession.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/SubWindows.h"
#include "ui/shell/WindowHost.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// A frame with two exclusive options; `choice` follows the selection.
QGroupBox *optionFrame(QWidget *parent, const char *name, const QString &title,
                       const QStringList &captions, QList<QRadioButton *> &options, int &choice)
{
    auto *frame = new QGroupBox(title, parent);
    frame->setObjectName(QLatin1String(name) + QStringLiteral("_frame"));
    auto *layout = new QVBoxLayout(frame);
    auto *group = new QButtonGroup(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions.at(i), frame);
        option->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
        group->addButton(option, i);
        layout->addWidget(option);
        options.append(option);
    }
    QObject::connect(group, &QButtonGroup::idClicked, frame, [&choice](int id) { choice = id; });
    return frame;
}

} // namespace

frmFix_control::frmFix_control(WindowHost &w, QWidget *parent) : QWidget(parent), m_w(w)
{
    setObjectName(QStringLiteral("frmFix_control"));
    setWindowTitle(QStringLiteral("定値制御"));

    const QString notUsed = QStringLiteral("未使用");
    const QString used = QStringLiteral("使用");
    auto *outer = new QGroupBox(QStringLiteral("定値制御"), this);
    outer->setObjectName(QStringLiteral("Frame1"));
    // The frames stand on a plain panel inside the outer one: a screen reader
    // would otherwise hear each of them by the outer frame's title.
    auto *body = new QWidget(outer);
    body->setObjectName(QStringLiteral("Frame1_body"));
    auto *outerLayout = new QVBoxLayout(outer);
    outerLayout->addWidget(body);
    QGroupBox *sensor =
        optionFrame(body, "O_S", QStringLiteral("センサ番号"),
                    {QStringLiteral("PT100A"), QStringLiteral("PT100B")}, O_S, SensorChoice);
    QGroupBox *heater =
        optionFrame(body, "O_H", QStringLiteral("ヒータ"), {notUsed, used}, O_H, HeaterChoice);
    QGroupBox *fan =
        optionFrame(body, "O_F", QStringLiteral("ファン"), {notUsed, used}, O_F, FanChoice);
    QGroupBox *reach = optionFrame(
        body, "O_K", QStringLiteral("継続"),
        {QStringLiteral("目的温度到達で終了"), QStringLiteral("目的温度到達後、温度継続")}, O_K,
        ReachChoice);

    auto *temp = new QGroupBox(QStringLiteral("設定温度"), body);
    temp->setObjectName(QStringLiteral("M_T_frame"));
    M_T = new QLineEdit(temp);
    M_T->setObjectName(QStringLiteral("M_T"));
    M_T->setMaxLength(32);
    M_T->installEventFilter(this);
    Label1 = new QLabel(QStringLiteral("0.05[℃]単位"), temp);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2 = new QLabel(QStringLiteral("温度範囲 : -50.00～150.00"), temp);
    Label2->setObjectName(QStringLiteral("Label2"));
    auto *tempLayout = new QGridLayout(temp);
    tempLayout->addWidget(M_T, 0, 0);
    tempLayout->addWidget(Label1, 0, 1);
    tempLayout->addWidget(Label2, 1, 0, 1, 2);

    auto *grid = new QGridLayout(body);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(sensor, 0, 0);
    grid->addWidget(heater, 0, 1);
    grid->addWidget(fan, 0, 2);
    grid->addWidget(temp, 1, 0, 1, 2);
    grid->addWidget(reach, 1, 2);

    RUN_C = new QPushButton(QStringLiteral("実行"), this);
    RUN_C->setObjectName(QStringLiteral("RUN_C"));
    Cancel_c = new QPushButton(QStringLiteral("閉じる"), this);
    Cancel_c->setObjectName(QStringLiteral("Cancel_c"));
    connect(RUN_C, &QPushButton::clicked, this, &frmFix_control::RUN_C_Click);
    connect(Cancel_c, &QPushButton::clicked, this, &frmFix_control::Cancel_c_Click);

    auto *buttons = new QVBoxLayout;
    buttons->addStretch();
    buttons->addWidget(RUN_C);
    buttons->addWidget(Cancel_c);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(outer, 1);
    layout->addLayout(buttons);

    // Every opening starts from the same choices and the temperature last run.
    O_S.at(0)->setChecked(true);
    O_H.at(0)->setChecked(true);
    O_F.at(0)->setChecked(true);
    O_K.at(1)->setChecked(true);
    const QString last = param().FixTemp;
    M_T->setText(last.isEmpty() ? QStringLiteral("0") : last);
    QWidget *const order[] = {O_S.at(0), O_H.at(0), O_F.at(0), M_T, O_K.at(1), RUN_C, Cancel_c};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

bool frmFix_control::eventFilter(QObject *watched, QEvent *event)
{
    // A click would clear a selection made on focus; select once it is done.
    if (watched == M_T && event->type() == QEvent::FocusIn)
        QTimer::singleShot(0, M_T, [this] { WindowHost::SelectAllText(M_T); });
    return QWidget::eventFilter(watched, event);
}

void frmFix_control::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Top left of the work area.
    SubWindows::placeAt(this, QPoint(0, 0));
}

void frmFix_control::RUN_C_Click()
{
    InstrumentSession::FixedRun run;
    run.sensor = SensorChoice;
    run.heater = HeaterChoice;
    run.fan = FanChoice;
    run.reach = ReachChoice;
    run.temperature = M_T->text();
    const InstrumentSession::RunResult result = m_w.session().runFixed(run);
    using Outcome = InstrumentSession::RunOutcome;
    if (result.outcome != Outcome::AlarmStanding) {
        // Full-width digits count as the editor counts them, and the box
        // shows what was taken.
        const QString typed = StepCheck::toHalfWidth(M_T->text());
        if (typed != M_T->text())
            M_T->setText(typed);
    }
    if (!result.message.isEmpty())
        Dialogs::instance().message(this, result.message, result.title);
    // A run that was sent (whatever the instrument made of it) is watched on
    // the graph; one refused here sent nothing.
    if (!result.started() && result.outcome != Outcome::InstrumentRefused &&
        result.outcome != Outcome::NoAnswer)
        return;
    // As a pattern run does, the run is watched on the graph: opened if it
    // was not, brought forward if it was.
    if (QWidget *graph = m_w.openWindow(QStringLiteral("frmGraph"))) {
        for (const char *name : {"C_read", "Print_c", "C_go"}) {
            if (auto *control = graph->findChild<QWidget *>(QLatin1String(name)))
                control->setEnabled(false);
        }
        m_w.ShowChild(graph);
    }
    m_w.unloadWindow(QStringLiteral("frmFix_control"));
}

void frmFix_control::Cancel_c_Click()
{
    m_w.unloadWindow(QStringLiteral("frmStepview"));
    m_w.unloadWindow(QStringLiteral("frmFix_control"));
}
