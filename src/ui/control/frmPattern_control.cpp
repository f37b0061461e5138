#include "ui/control/frmPattern_control.h"

#include "core/config/Ini_Operation.h"
#include "core/control/PatternPlan.h"
#include "core/control/PatternRun.h"
#include "core/session/InstrumentSession.h"
#include "ui/control/PatternPlanView.h"
#include "ui/control/frmStepview.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/WindowHost.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kPatternRun = QStringLiteral("frmPattern_control");
const QString kStepview = QStringLiteral("frmStepview");

} // namespace

frmPattern_control::frmPattern_control(WindowHost &w, QWidget *parent) : QWidget(parent), m_w(w)
{
    setObjectName(kPatternRun);
    const QString caption = QStringLiteral("パターン制御");
    setWindowTitle(caption);

    auto *frame = new QGroupBox(caption, this);
    frame->setObjectName(QStringLiteral("Frame1"));
    Com_pa = new QComboBox(frame);
    Com_pa->setObjectName(QStringLiteral("Com_pa"));
    Com_pa->addItems(registeredPatternList(ini()));
    Com_pa->setCurrentIndex(-1);
    C_jikkou = new QPushButton(QStringLiteral("パターン実行"), frame);
    C_jikkou->setObjectName(QStringLiteral("C_jikkou"));

    // What the chosen pattern will do, before it runs.
    Plan = new PatternPlanView(frame);
    Plan_l = new QLabel(frame);
    Plan_l->setObjectName(QStringLiteral("Plan_l"));
    Plan_l->setWordWrap(true);

    // The plan beside the choice, so that the step view below keeps its
    // place.
    auto *choice = new QVBoxLayout;
    choice->addWidget(Com_pa);
    choice->addSpacing(12);
    choice->addWidget(C_jikkou);
    choice->addStretch();
    auto *planColumn = new QVBoxLayout;
    planColumn->addWidget(Plan, 1);
    planColumn->addWidget(Plan_l);
    auto *frameLayout = new QHBoxLayout(frame);
    frameLayout->addLayout(choice);
    frameLayout->addLayout(planColumn, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    // Wide enough for the caption beside the sub-window's title buttons.
    setMinimumWidth(fontMetrics().horizontalAdvance(caption) + 120);

    connect(Com_pa, &QComboBox::currentIndexChanged, this, &frmPattern_control::patternChosen);
    connect(C_jikkou, &QPushButton::clicked, this, &frmPattern_control::C_jikkou_Click);
}

void frmPattern_control::patternChosen(int index)
{
    if (index < 0)
        return;
    Plan->setPlan(PatternPlan::fromIni(ini(), Com_pa->itemText(index).toInt()));
    Plan_l->setText(Plan->summary());
    const qint16 first = qint16(Com_pa->itemText(index).toInt() * 10);
    auto *view = qobject_cast<frmStepview *>(m_w.openWindow(kStepview));
    // The step view comes forward, the choice stays with this window.
    m_w.ShowChild(this);
    if (view)
        view->reLoad(first);
}

void frmPattern_control::C_jikkou_Click()
{
    // The list opens with nothing chosen: say so rather than do nothing.
    if (Com_pa->currentIndex() < 0) {
        Dialogs::instance().message(this, QStringLiteral("パターンを選択してください。"),
                                    QStringLiteral("確認"));
        Com_pa->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (goLine(Com_pa->currentText()).isEmpty())
        return;
    QPointer<frmPattern_control> self(this);
    WindowHost &w = m_w;
    const InstrumentSession::RunResult result = w.session().runPattern(Com_pa->currentText());
    if (!result.message.isEmpty())
        Dialogs::instance().message(this, result.message, result.title);
    // Refused here: nothing was sent. An "NG" was sent and is watched.
    using Outcome = InstrumentSession::RunOutcome;
    if (result.outcome == Outcome::AlarmStanding || result.outcome == Outcome::NotRegistered)
        return;
    w.menuItem(QStringLiteral("con"))->setEnabled(false);
    w.unloadWindow(QStringLiteral("frmOperation_setting"));
    // The graph follows the run; reading or printing a stored log and a
    // second start wait until the run ends (an open graph window follows).
    w.openWindow(QStringLiteral("frmGraph"));
    w.state().graph.goEnabled = false;
    LoggingWindows::of(w).setReadPrintEnabled(false);
    if (self)
        w.unloadWindow(kPatternRun);
    w.unloadWindow(kStepview);
}

void frmPattern_control::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        frmStepview::placeSubWindow(this, 0);
    }
}

void frmPattern_control::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    // The two windows of a pattern run open and close together.
    m_w.unloadWindow(kStepview);
}

void registerPatternRunWindows(WindowHost &w)
{
    w.registerWindow(
        kPatternRun, [](WindowHost &main) -> QWidget * { return new frmPattern_control(main); },
        QSize(frmPattern_control::WidthTwips, frmPattern_control::HeightTwips));
    w.registerWindow(
        kStepview, [](WindowHost &main) -> QWidget * { return new frmStepview(main); },
        QSize(frmStepview::WidthTwips, frmStepview::HeightTwips));
}
