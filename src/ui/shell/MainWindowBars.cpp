// The main window's menus, toolbar and status bar: how they are built and
// which of their entries the user may use.

#include "core/config/Parameter.h"
#include "ui/shell/KRM2200.h"
#include "ui/shell/StatusCells.h"
#include "ui/shell/ToolbarKeys.h"

#include <QAction>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolBar>

namespace {

// A tool tip that tells the command's key.
QString toolTipWithKey(const QString &tip, const QKeySequence &key)
{
    return tip + QStringLiteral("（") + key.toString(QKeySequence::NativeText) +
           QStringLiteral("）");
}

} // namespace

QAction *KRM2200::addMenuItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *a = menu->addAction(caption);
    a->setObjectName(QLatin1String(name));
    m_menuItems.insert(QLatin1String(name), a);
    return a;
}

void KRM2200::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("MenuBar"));
    auto topMenu = [&](const char *name, const QString &caption) {
        QMenu *m = bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        // The pop-up has no text of its own: it is read by the caption
        // that opens it, which never changes.
        m->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
        m->menuAction()->setObjectName(QLatin1String(name));
        m_menuItems.insert(QLatin1String(name), m->menuAction());
        return m;
    };
    auto separator = [&](QMenu *m, const char *name) {
        QAction *s = m->addSeparator();
        s->setObjectName(QLatin1String(name));
    };

    QMenu *file = topMenu("file", QStringLiteral("ファイル(&F)"));
    connect(addMenuItem(file, "file_open", QStringLiteral("開く(&O)")), &QAction::triggered, this,
            &KRM2200::file_open);
    separator(file, "mnuline");
    connect(addMenuItem(file, "file_save", QStringLiteral("名前をつけて保存(&A)")),
            &QAction::triggered, this, &KRM2200::file_save);
    connect(addMenuItem(file, "file_save2", QStringLiteral("上書き保存(&S)")), &QAction::triggered,
            this, &KRM2200::file_save2);
    separator(file, "mnuline1");
    connect(addMenuItem(file, "file_memo", QStringLiteral("メモ(&M)")), &QAction::triggered, this,
            [this] { openWindow(QStringLiteral("frmMemo")); });
    separator(file, "mnuline2");
    connect(addMenuItem(file, "file_end", QStringLiteral("終了(&X)")), &QAction::triggered, this,
            &KRM2200::file_end);

    QMenu *con = topMenu("con", QStringLiteral("制御(&C)"));
    connect(addMenuItem(con, "con_teiti", QStringLiteral("定値制御(&T)")), &QAction::triggered,
            this, [this] { discardAndOpen({QStringLiteral("frmFix_control")}); });
    connect(
        addMenuItem(con, "con_pattern", QStringLiteral("パターン制御(&P)")), &QAction::triggered,
        this, [this] {
            discardAndOpen({QStringLiteral("frmPattern_control"), QStringLiteral("frmStepview")});
        });

    QMenu *set = topMenu("set", QStringLiteral("設定(&S)"));
    connect(addMenuItem(set, "set_dousa", QStringLiteral("パターン動作(&D)")), &QAction::triggered,
            this, [this] { discardAndOpen({QStringLiteral("frmOperation_setting")}); });
    connect(addMenuItem(set, "set_shousai", QStringLiteral("センサと機器動作(&S)")),
            &QAction::triggered, this,
            [this] { discardAndOpen({QStringLiteral("frmDetailed_setting")}); });
    separator(set, "mnuline3");
    connect(addMenuItem(set, "set_con", QStringLiteral("接続ポート(&P)")), &QAction::triggered,
            this, [this] { openWindow(QStringLiteral("frmPort")); });

    QMenu *view = topMenu("view", QStringLiteral("表示(&V)"));
    connect(addMenuItem(view, "view_top", QStringLiteral("初期画面(&T)")), &QAction::triggered,
            this, [this] { discardAndOpen({QStringLiteral("frmToppage")}); });
    separator(view, "mnuline4");
    connect(
        addMenuItem(view, "view_graph", QStringLiteral("グラフ(&G)")), &QAction::triggered, this,
        [this] {
            const QStringList windows = {QStringLiteral("frmSenlog"), QStringLiteral("frmGraph")};
            // While a log polls, what arrives is its reply: only bring
            // the windows forward.
            if (logRecording()) {
                for (const QString &name : windows)
                    openWindow(name);
            } else {
                discardAndOpen(windows);
            }
        });
    connect(addMenuItem(view, "view_status", QStringLiteral("ステータス(&S)")), &QAction::triggered,
            this, &KRM2200::statusQuery);

    // The version entry is a top-level item without a menu of its own.
    QAction *ver = bar->addAction(QStringLiteral("バージョン(&A)"));
    ver->setObjectName(QStringLiteral("ver"));
    m_menuItems.insert(QStringLiteral("ver"), ver);
    connect(ver, &QAction::triggered, this, &KRM2200::showVersion);

    QAction *top = bar->addAction(QStringLiteral("TOP(&T)"));
    top->setObjectName(QStringLiteral("top"));
    top->setVisible(false);
    m_menuItems.insert(QStringLiteral("top"), top);
    connect(top, &QAction::triggered, this, [this] { openWindow(QStringLiteral("frmToppage")); });

    // Pop-up menu of the step editor; not on the menu bar.
    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("mnuPopmnu"));
    m_menuItems.insert(QStringLiteral("mnuPopmnu"), m_popup->menuAction());
    connect(addMenuItem(m_popup, "mnuPopmnuSub1", QStringLiteral("挿入")), &QAction::triggered,
            this, &KRM2200::popupInsertRequested);
    connect(addMenuItem(m_popup, "mnuPopmnuSub2", QStringLiteral("削除")), &QAction::triggered,
            this, &KRM2200::popupDeleteRequested);
}

void KRM2200::buildToolbar()
{
    // Its title is what a screen reader calls it.
    Toolbar1 = addToolBar(QStringLiteral("ツールバー"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setAccessibleName(Toolbar1->windowTitle());
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    struct Button {
        const char *key;
        QString caption;
        QString tip;
        QKeySequence shortcut;
    };
    // Every command has a key, so none is only for the mouse. Ctrl+Shift marks
    // the commands sent to the instrument; none of these is a menu's Alt key
    // or a key an edit box takes for itself.
    const Button buttons[] = {
        {"LOAD", QStringLiteral("FILE読込"), QStringLiteral("開く"),
         QKeySequence(QKeySequence::Open)},
        {"SAVE", QStringLiteral("FILE書込"), QStringLiteral("上書き保存"),
         QKeySequence(QKeySequence::Save)},
        {nullptr, {}, {}, {}},
        {"READ", QStringLiteral("本体読込"), QStringLiteral("本体読み込み"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
        {"WRITE", QStringLiteral("本体書込"), QStringLiteral("本体書き込み"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W)},
        {nullptr, {}, {}, {}},
        {"LOG", QStringLiteral("LOG START"), QStringLiteral("ログ"),
         QKeySequence(Qt::CTRL | Qt::Key_L)},
        {nullptr, {}, {}, {}},
        {"ACLR", QStringLiteral("ACLR"), QStringLiteral("アラームクリア"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
        {"STOP", QStringLiteral("STOP"), QStringLiteral("動作停止"),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_X)},
    };
    for (const Button &b : buttons) {
        if (!b.key) {
            Toolbar1->addSeparator();
            continue;
        }
        QAction *a = Toolbar1->addAction(b.caption);
        const QString key = QLatin1String(b.key);
        a->setObjectName(key);
        a->setData(key);
        a->setShortcut(b.shortcut);
        a->setToolTip(toolTipWithKey(b.tip, b.shortcut));
        m_toolButtons.insert(key, a);
        if (auto *w = Toolbar1->widgetForAction(a))
            w->setObjectName(QStringLiteral("Toolbar1_") + key);
        connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }
    // Alarm clear and stop are enabled by the status handling and the graph.
    m_toolButtons.value(QStringLiteral("ACLR"))->setEnabled(false);
    m_toolButtons.value(QStringLiteral("STOP"))->setEnabled(false);
    ToolbarKeys::attach(Toolbar1, m_mdi);
}

void KRM2200::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("SenStatusBar"));
    // Four sensor panels with both limits have to fit the designed window
    // width; a slightly smaller face keeps them whole on common screens.
    QFont small = bar->font();
    if (small.pointSizeF() > 0)
        small.setPointSizeF(small.pointSizeF() * 0.75);
    else if (small.pixelSize() > 0)
        small.setPixelSize(qMax(9, small.pixelSize() * 3 / 4));
    bar->setFont(small);
    bar->setSizeGripEnabled(false);
    const char *keys[] = {"SEN0", "SEN1", "SEN2", "SEN3", "COMM"};
    for (int i = 0; i < 5; ++i) {
        auto *label = new QLabel(initialCellText(i + 1), bar);
        label->setObjectName(QLatin1String(keys[i]));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(60);
        // The link state must always be readable; the sensor panels share
        // what is left and show their whole text as a tip.
        bar->addWidget(label, i < 4 ? 1 : 0);
        m_panels[i] = label;
    }
    {
        QLabel *comm = m_panels[4];
        const int margin = comm->frameWidth() * 2 + comm->margin() * 2 + 8;
        comm->setMinimumWidth(comm->fontMetrics().horizontalAdvance(commNgText()) + margin);
    }
}

void KRM2200::LockControls()
{
    setControlsEnabled(false);
}

void KRM2200::UnlockControls()
{
    setControlsEnabled(true);
}

void KRM2200::setControlsEnabled(bool enabled)
{
    static const char *const items[] = {"file_memo",   "file_open", "file_save",   "file_save2",
                                        "con",         "set_dousa", "set_shousai", "view_top",
                                        "view_status", "ver"};
    for (const char *name : items)
        m_menuItems.value(QLatin1String(name))->setEnabled(enabled);
    static const char *const keys[] = {"LOAD", "SAVE", "READ", "WRITE", "LOG"};
    for (const char *key : keys)
        m_toolButtons.value(QLatin1String(key))->setEnabled(enabled);
    param().UiEnabled = enabled;
}

void KRM2200::setMenuBarLocked(bool locked)
{
    if (locked) {
        for (const char *name : {"file", "set", "view"})
            m_menuItems.value(QLatin1String(name))->setEnabled(false);
    }
    for (const char *name : {"file", "con", "set", "view", "ver"}) {
        if (!locked)
            m_menuItems.value(QLatin1String(name))->setEnabled(true);
        m_menuItems.value(QLatin1String(name))->setVisible(!locked);
    }
}

QAction *KRM2200::menuItem(const QString &name) const
{
    return m_menuItems.value(name);
}

QAction *KRM2200::toolButton(const QString &key) const
{
    return m_toolButtons.value(key);
}

QAction *KRM2200::toolButton(int index) const
{
    static const char *const keys[] = {nullptr, "LOAD", "SAVE",  nullptr, "READ", "WRITE",
                                       nullptr, "LOG",  nullptr, "ACLR",  "STOP"};
    if (index < 1 || index > 10 || !keys[index])
        return nullptr;
    return m_toolButtons.value(QLatin1String(keys[index]));
}

QString KRM2200::panelText(int panel) const
{
    return panel >= 1 && panel <= 5 ? m_panels[panel - 1]->text() : QString();
}

void KRM2200::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > 5)
        return;
    showCellText(m_panels[panel - 1], text);
}
