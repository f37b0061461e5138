#include "ui/settings/SettingsWindows.h"

#include "ui/settings/StatusWindows.h"
#include "ui/settings/frmMemo.h"
#include "ui/shell/WindowHost.h"

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
