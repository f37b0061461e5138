// Wiring only: which windows the program has, and what connects them.

#include "shell/TaskWindows.h"

#include "control/FixControlWindows.h"
#include "control/frmOperation_setting.h"
#include "control/frmPattern_control.h"
#include "logging/CurrentValuesWindow.h"
#include "logging/LoggingWindows.h"
#include "logging/frmGraph.h"
#include "settings/SettingsWindows.h"
#include "settings/frmDetailed_setting.h"
#include "shell/LinkWatchWindows.h"
#include "shell/WindowHost.h"

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

    // The link cell and the loss notice; a notice's promise that the polling
    // goes on ends with the log.
    LinkWatchWindows *watch = registerLinkWatch(host);
    QObject::connect(&LoggingWindows::of(host).log(), &LOG_Handling::logStopped, &watch->watch(),
                     &LinkWatch::pollingStopped);
}
