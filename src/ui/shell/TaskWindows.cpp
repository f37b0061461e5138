// Wiring only: which windows the program has, and what connects them.

#include "ui/shell/TaskWindows.h"

#include "ui/control/FixControlWindows.h"
#include "ui/control/frmOperation_setting.h"
#include "ui/control/frmPattern_control.h"
#include "ui/logging/CurrentValuesWindow.h"
#include "ui/logging/LoggingWindows.h"
#include "ui/logging/frmGraph.h"
#include "ui/settings/SettingsWindows.h"
#include "ui/settings/frmDetailed_setting.h"
#include "ui/shell/LinkWatchWindows.h"
#include "ui/shell/StatusServing.h"
#include "ui/shell/WindowHost.h"

void registerTaskWindows(WindowHost &host)
{
    registerPatternRunWindows(host);
    registerLoggingWindows(host);
    host.registerWindow(
        QStringLiteral("frmGraph"), [](WindowHost &w) -> QWidget * { return new frmGraph(w); },
        QSize(frmGraph::WidthTwips, frmGraph::HeightTwips));
    registerCurrentValuesWindow(host);
    registerDetailedSettingsWindow(host);
    registerEditorWindows(host);
    registerSettingsWindows(host);
    registerFixControlWindows(host);
    registerStatusServing(host);

    // The link cell and the loss notice; a notice's promise that the polling
    // goes on ends with the log.
    LinkWatchWindows *watch = registerLinkWatch(host);
    QObject::connect(&LoggingWindows::of(host).log(), &LOG_Handling::logStopped, &watch->watch(),
                     &LinkWatch::pollingStopped);
}
