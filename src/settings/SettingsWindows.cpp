#include "settings/SettingsWindows.h"

#include "settings/StatusWindows.h"
#include "settings/frmMemo.h"
#include "shell/WindowHost.h"

namespace {

void registerMemoWindow(WindowHost &w)
{
    w.registerWindow(
        QStringLiteral("frmMemo"),
        [](WindowHost &main) -> QWidget * {
            auto *memo = new frmMemo(main.state(), main.appDir());
            QObject::connect(memo, &frmMemo::closeRequested, main.hostWidget(),
                             [&main] { main.unloadWindow(QStringLiteral("frmMemo")); });
            return memo;
        },
        QSize(frmMemo::WidthTwips, frmMemo::HeightTwips));
}

} // namespace

void registerSettingsWindows(WindowHost &w)
{
    registerStatusWindows(w);
    registerMemoWindow(w);
}
