#include "settings/SettingsWindows.h"

#include "settings/StatusWindows.h"
#include "settings/frmMemo.h"
#include "shell/KRM2200.h"

namespace {

void registerMemoWindow(KRM2200 &w)
{
    w.registerWindow(
        QStringLiteral("frmMemo"),
        [](KRM2200 &main) -> QWidget * {
            auto *memo = new frmMemo(main.state(), main.appDir());
            QObject::connect(memo, &frmMemo::closeRequested, &main,
                             [&main] { main.unloadWindow(QStringLiteral("frmMemo")); });
            return memo;
        },
        QSize(frmMemo::WidthTwips, frmMemo::HeightTwips));
}

} // namespace

void registerSettingsWindows(KRM2200 &w)
{
    registerStatusWindows(w);
    registerMemoWindow(w);
}
