#include "ui/control/FixControlWindows.h"

#include "ui/control/frmAlarm.h"
#include "ui/control/frmFix_control.h"
#include "ui/shell/WindowHost.h"

void registerFixControlWindows(WindowHost &w)
{
    w.registerWindow(
        QStringLiteral("frmFix_control"),
        [](WindowHost &main) -> QWidget * { return new frmFix_control(main); },
        QSize(frmFix_control::WidthTwips, frmFix_control::HeightTwips));

    auto *alarm = new AlarmWindowHolder(w.hostWidget());
    alarm->setObjectName(QStringLiteral("frmAlarm_holder"));
    w.showAlarm = [&w, alarm] { alarm->show(w.state().alarm.code); };
    // A log the alarm ended asks about its memo only now, over no alarm.
    QObject::connect(alarm, &AlarmWindowHolder::acknowledged, alarm, [&w] {
        if (w.askHeldMemo)
            w.askHeldMemo();
    });
}
