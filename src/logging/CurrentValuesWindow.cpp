#include "logging/CurrentValuesWindow.h"

#include "config/Parameter.h"
#include "link/SerialLink.h"
#include "logging/LoggingWindows.h"
#include "logging/frmCurrentValues.h"
#include "shell/KRM2200.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>

namespace {

const QString kName = QStringLiteral("frmCurrentValues");

void refresh(KRM2200 &w)
{
    if (auto *window = qobject_cast<frmCurrentValues *>(w.loadedWindow(kName)))
        window->showValues(CurrentValues::from(param(), w.state().statuslog, w.panelText(5)));
}

} // namespace

void registerCurrentValuesWindow(KRM2200 &w)
{
    w.registerWindow(kName, [](KRM2200 &main) -> QWidget * {
        auto *window = new frmCurrentValues;
        window->showValues(CurrentValues::from(param(), main.state().statuslog, main.panelText(5)));
        return window;
    });

    if (QAction *view = w.menuItem(QStringLiteral("view")); view && view->menu()) {
        QAction *entry = view->menu()->addAction(QStringLiteral("現在値(&N)"));
        entry->setObjectName(QStringLiteral("view_current"));
        QObject::connect(entry, &QAction::triggered, &w, [&w] { w.openWindow(kName); });
    }

    auto apply = w.parsers().onStatus;
    w.parsers().onStatus = [&w, apply](const StatusReport &report) {
        if (apply)
            apply(report);
        refresh(w);
    };
    QObject::connect(&w.link(), &SerialLink::commStateChanged, &w, [&w] { refresh(w); });

    // Every log opens it, leaving the window the user works in active.
    QObject::connect(&LoggingWindows::of(w).log(), &LOG_Handling::logStarted, &w, [&w] {
        auto *area = w.findChild<QMdiArea *>();
        QMdiSubWindow *active = area ? area->activeSubWindow() : nullptr;
        w.openWindow(kName);
        if (active && area)
            area->setActiveSubWindow(active);
        refresh(w);
    });
}
