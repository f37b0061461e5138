#include "ui/control/frmOperation_setting.h"

#include "core/app/WindowState.h"
#include "core/config/Ini_Operation.h"
#include "core/control/PatternPlan.h"
#include "ui/control/PatternPlanView.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/SubWindows.h"
#include "ui/shell/WindowHost.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kWindowName = QStringLiteral("frmOperation_setting");

// Names and descriptions follow the page, set only when they change: each
// setting is told to a screen reader, which would hear the whole grid anew at
// every edit.
void nameIfChanged(QWidget *w, const QString &name)
{
    if (w->accessibleName() != name)
        w->setAccessibleName(name);
}

void describeIfChanged(QWidget *w, const QString &description)
{
    if (w->accessibleDescription() != description)
        w->setAccessibleDescription(description);
}

void setRed(QWidget *w, bool red)
{
    QPalette pal = w->palette();
    const QColor colour = red ? QColor(255, 0, 0) : QColor(0, 0, 0);
    pal.setColor(QPalette::Text, colour);
    pal.setColor(QPalette::ButtonText, colour);
    w->setPalette(pal);
}

void setTextIfChanged(QLineEdit *box, const QString &text)
{
    if (box->text() != text)
        box->setText(text);
}

QLabel *header(const QString &text)
{
    auto *label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

frmOperation_setting::frmOperation_setting(OperationSettingState &state, QMenu *popup,
                                           QWidget *parent)
    : QWidget(parent), m_state(state), m_popup(popup), m_editor(ini(), this)
{
    setObjectName(kWindowName);
    setWindowTitle(QStringLiteral("パターン動作"));
    m_state.flg_d = false;

    buildPatternFrame();
    buildStepFrame();

    Alldel_c = new QPushButton(QStringLiteral("全件削除"));
    Alldel_c->setObjectName(QStringLiteral("Alldel_c"));
    // Alt with the letter presses them from anywhere in the window. Alt+C
    // is the 制御 menu's, so キャンセル takes X.
    OK_c = new QPushButton(QStringLiteral("OK(&O)"));
    OK_c->setObjectName(QStringLiteral("OK_c"));
    OK_c->setDefault(true);
    Cancell_c = new QPushButton(QStringLiteral("キャンセル(&X)"));
    Cancell_c->setObjectName(QStringLiteral("Cancell_c"));
    connect(Alldel_c, &QPushButton::clicked, this,
            [this] { run([this] { m_editor.deleteAll(); }); });
    connect(OK_c, &QPushButton::clicked, this,
            [this] { run([this] { m_editor.RegisterPatterns(); }); });
    connect(Cancell_c, &QPushButton::clicked, this, &frmOperation_setting::closeRequested);

    auto *frames = new QHBoxLayout;
    frames->addWidget(Frame1, 4);
    frames->addWidget(Frame2, 6);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Alldel_c);
    buttons->addStretch(1);
    buttons->addWidget(OK_c);
    buttons->addWidget(Cancell_c);
    // What the selected pattern will do, as typed: a low, wide drawing
    // between the frames and the buttons, its summary beside it.
    Plan = new PatternPlanView;
    Plan->setMinimumSize(200, 56);
    Plan_l = new QLabel;
    Plan_l->setObjectName(QStringLiteral("Plan_l"));
    auto *plan = new QHBoxLayout;
    plan->addWidget(Plan, 1);
    plan->addWidget(Plan_l);
    // The loop count and end action are taken without a repaint of the rows.
    for (int k = 0; k < Rows; ++k) {
        connect(loop_t[k], &QLineEdit::textEdited, this, &frmOperation_setting::showPlan);
        connect(Combo_k[k], &QComboBox::activated, this, &frmOperation_setting::showPlan);
    }

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addLayout(plan);
    layout->addLayout(buttons);

    // Paging from anywhere in the window.
    auto *next = new QShortcut(QKeySequence(Qt::Key_PageDown), this);
    next->setContext(Qt::WidgetWithChildrenShortcut);
    connect(next, &QShortcut::activated, tugi, &QPushButton::click);
    auto *previous = new QShortcut(QKeySequence(Qt::Key_PageUp), this);
    previous->setContext(Qt::WidgetWithChildrenShortcut);
    connect(previous, &QShortcut::activated, mae, &QPushButton::click);

    // Enter on a focused button presses that button, as in a dialog.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(true);

    m_editor.open();
    sync();
    setTabChain();
}

void frmOperation_setting::setTabChain()
{
    // The pattern chosen and its own settings, each step row in reading
    // order, then the buttons. Another pattern's settings are reached by
    // choosing it first: the arrows move among the patterns.
    QList<QWidget *> chain;
    for (int k = 0; k < Rows; ++k)
        chain << O_go[k] << ck_mugen[k] << loop_t[k] << Combo_k[k];
    for (int r = 0; r < Rows; ++r) {
        // The number is a label: the menu key in any box of its row opens
        // the step menu.
        stepno_l[r]->setFocusPolicy(Qt::NoFocus);
        chain << Combo_s[r] << mond_t[r] << hoji_t[r];
    }
    chain << mae << tugi << StepAdd_c << Stepdel_c << Alldel_c << OK_c << Cancell_c;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

frmOperation_setting::~frmOperation_setting()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

void frmOperation_setting::buildPatternFrame()
{
    Frame1 = new QGroupBox(QStringLiteral("パターン"));
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout;
    auto *loopHeader = new QVBoxLayout;
    loopHeader->addWidget(header(QStringLiteral("ループ回数")));
    loopHeader->addWidget(header(QStringLiteral("1～50  ")));
    grid->addWidget(header(QStringLiteral("無限ループ")), 0, 2);
    grid->addLayout(loopHeader, 0, 3);
    grid->addWidget(header(QStringLiteral("最終ステップ後")), 0, 4);

    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    for (int k = 0; k < Rows; ++k) {
        const QString n = QString::number(k);
        pattern_not[k] = new QLabel(n);
        pattern_not[k]->setObjectName(QStringLiteral("pattern_not_%1").arg(k));
        pattern_not[k]->setAlignment(Qt::AlignCenter);
        O_go[k] = new QRadioButton;
        O_go[k]->setObjectName(QStringLiteral("O_go_%1").arg(k));
        O_go[k]->setAccessibleName(QStringLiteral("パターン") + n);
        group->addButton(O_go[k], k);
        ck_mugen[k] = new QCheckBox;
        ck_mugen[k]->setObjectName(QStringLiteral("ck_mugen_%1").arg(k));
        ck_mugen[k]->setAccessibleName(QStringLiteral("無限ループ") + n);
        loop_t[k] = new QLineEdit;
        loop_t[k]->setObjectName(QStringLiteral("loop_t_%1").arg(k));
        loop_t[k]->setAccessibleName(QStringLiteral("ループ回数") + n);
        loop_t[k]->setMinimumWidth(60);
        loop_t[k]->installEventFilter(this);
        Combo_k[k] = new QComboBox;
        Combo_k[k]->setObjectName(QStringLiteral("Combo_k_%1").arg(k));
        Combo_k[k]->setAccessibleName(QStringLiteral("最終ステップ後") + n);
        Combo_k[k]->addItems({QStringLiteral("終了"), QStringLiteral("継続"), QString()});
        grid->addWidget(pattern_not[k], k + 1, 0);
        grid->addWidget(O_go[k], k + 1, 1, Qt::AlignCenter);
        grid->addWidget(ck_mugen[k], k + 1, 2, Qt::AlignCenter);
        grid->addWidget(loop_t[k], k + 1, 3);
        grid->addWidget(Combo_k[k], k + 1, 4);

        connect(O_go[k], &QRadioButton::clicked, this,
                [this, k] { run([this, k] { m_editor.selectPattern(k); }); });
        connect(ck_mugen[k], &QCheckBox::clicked, this,
                [this, k](bool on) { run([this, k, on] { m_editor.setEndless(k, on); }); });
        connect(loop_t[k], &QLineEdit::textEdited, this,
                [this, k](const QString &t) { m_editor.setLoopText(k, t); });
        connect(Combo_k[k], &QComboBox::activated, this,
                [this, k](int i) { m_editor.setAction(k, i); });
    }
    StepAdd_c = new QPushButton(QStringLiteral("ステップ 10件追加"));
    StepAdd_c->setObjectName(QStringLiteral("StepAdd_c"));
    Stepdel_c = new QPushButton(QStringLiteral("ステップ 10件削除"));
    Stepdel_c->setObjectName(QStringLiteral("Stepdel_c"));
    connect(StepAdd_c, &QPushButton::clicked, this,
            [this] { run([this] { m_editor.addBlock(); }); });
    connect(Stepdel_c, &QPushButton::clicked, this,
            [this] { run([this] { m_editor.removeBlock(); }); });
    auto *blockButtons = new QHBoxLayout;
    blockButtons->addWidget(StepAdd_c);
    blockButtons->addWidget(Stepdel_c);

    auto *layout = new QVBoxLayout(Frame1);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(blockButtons);
}

void frmOperation_setting::buildStepFrame()
{
    Frame2 = new QGroupBox(QStringLiteral("ステップ"));
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto *grid = new QGridLayout;
    auto twoLines = [](const QString &a, const QString &b) {
        auto *box = new QVBoxLayout;
        box->addWidget(header(a));
        box->addWidget(header(b));
        return box;
    };
    grid->addWidget(header(QStringLiteral("ステップ番号")), 0, 0, 1, 2);
    grid->addWidget(header(QStringLiteral("センサ番号")), 0, 2);
    auto *tempHeader = twoLines(QStringLiteral("設定温度"), QStringLiteral("-50.00～150.00[℃]"));
    tempHeader->addWidget(header(QStringLiteral("0.05[℃]単位")));
    grid->addLayout(tempHeader, 0, 3);
    auto *timeHeader = twoLines(QStringLiteral("保持時間"), QStringLiteral("0～10:00:00"));
    timeHeader->addWidget(header(QStringLiteral("1[s]単位")));
    grid->addLayout(timeHeader, 0, 4);

    for (int r = 0; r < Rows; ++r) {
        stepno_l[r] = new QLabel;
        stepno_l[r]->setObjectName(QStringLiteral("stepno_l_%1").arg(r));
        stepno_l[r]->setAlignment(Qt::AlignCenter);
        stepno_l[r]->setMinimumWidth(40);
        stepno_l[r]->installEventFilter(this);
        Jikkou_l[r] = new QLabel;
        Jikkou_l[r]->setObjectName(QStringLiteral("Jikkou_l_%1").arg(r));
        Jikkou_l[r]->setAlignment(Qt::AlignCenter);
        Jikkou_l[r]->setMinimumWidth(24);
        Combo_s[r] = new QComboBox;
        Combo_s[r]->setObjectName(QStringLiteral("Combo_s_%1").arg(r));
        Combo_s[r]->addItems({QStringLiteral("PT100A"), QStringLiteral("PT100B"), QString()});
        Combo_s[r]->installEventFilter(this);
        mond_t[r] = new QLineEdit;
        mond_t[r]->setObjectName(QStringLiteral("mond_t_%1").arg(r));
        mond_t[r]->setMinimumWidth(90);
        mond_t[r]->installEventFilter(this);
        hoji_t[r] = new QLineEdit;
        hoji_t[r]->setObjectName(QStringLiteral("hoji_t_%1").arg(r));
        hoji_t[r]->setMinimumWidth(90);
        hoji_t[r]->installEventFilter(this);
        grid->addWidget(stepno_l[r], r + 1, 0);
        grid->addWidget(Jikkou_l[r], r + 1, 1);
        grid->addWidget(Combo_s[r], r + 1, 2);
        grid->addWidget(mond_t[r], r + 1, 3);
        grid->addWidget(hoji_t[r], r + 1, 4);

        connect(Combo_s[r], &QComboBox::activated, this,
                [this, r](int i) { run([this, r, i] { m_editor.setSensor(r, i); }); });
        connect(mond_t[r], &QLineEdit::textEdited, this, [this, r](const QString &t) {
            run([this, r, t] { m_editor.setTemperature(r, t); });
        });
        connect(hoji_t[r], &QLineEdit::textEdited, this,
                [this, r](const QString &t) { run([this, r, t] { m_editor.setHoldTime(r, t); }); });
    }
    mae = new QPushButton(QStringLiteral("前ページ"));
    mae->setObjectName(QStringLiteral("mae"));
    tugi = new QPushButton(QStringLiteral("次ページ"));
    tugi->setObjectName(QStringLiteral("tugi"));
    connect(mae, &QPushButton::clicked, this, [this] { run([this] { m_editor.previousPage(); }); });
    connect(tugi, &QPushButton::clicked, this, [this] { run([this] { m_editor.nextPage(); }); });
    auto *pageButtons = new QHBoxLayout;
    pageButtons->addStretch(1);
    pageButtons->addWidget(mae);
    pageButtons->addWidget(tugi);

    auto *layout = new QVBoxLayout(Frame2);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(pageButtons);
}

template <typename F> void frmOperation_setting::run(F &&command)
{
    command();
    sync();
}

void frmOperation_setting::sync()
{
    const QColor face = palette().color(QPalette::Button);
    const QColor window = palette().color(QPalette::Base);
    for (int k = 0; k < Rows; ++k) {
        const PatternEditor::PatternRow &p = m_editor.pattern(k);
        O_go[k]->setVisible(p.optionVisible);
        ck_mugen[k]->setChecked(p.endless);
        setTextIfChanged(loop_t[k], p.loop);
        loop_t[k]->setReadOnly(p.loopLocked);
        QPalette pal = loop_t[k]->palette();
        pal.setColor(QPalette::Base, p.loopLocked ? face : window);
        loop_t[k]->setPalette(pal);
        Combo_k[k]->setCurrentIndex(p.action);
        Combo_k[k]->setEnabled(!p.endless);
        // Only the chosen pattern's settings are Tab stops; the mouse
        // reaches every row.
        const bool chosen = k == m_editor.sel_pattern;
        ck_mugen[k]->setFocusPolicy(chosen ? Qt::StrongFocus : Qt::ClickFocus);
        loop_t[k]->setFocusPolicy(chosen ? Qt::StrongFocus : Qt::ClickFocus);
        Combo_k[k]->setFocusPolicy(chosen ? Qt::WheelFocus : Qt::ClickFocus);
    }
    if (QRadioButton *selected = O_go.at(size_t(m_editor.sel_pattern)))
        selected->setChecked(true);
    for (int r = 0; r < Rows; ++r) {
        const PatternEditor::StepRow &row = m_editor.row(r);
        const QString n = QString::number(m_editor.stepNumber(r));
        stepno_l[r]->setText(n);
        // The number is heard with its caption, and a row the registration
        // would drop is heard as such on every control of it, as a sighted
        // user sees its "×" and red boxes.
        nameIfChanged(stepno_l[r], QStringLiteral("ステップ番号") + n);
        const QString reason = PatternEditor::dropReason(row);
        const QString dropped =
            reason.isEmpty() ? QString() : QStringLiteral("登録されません：") + reason;
        for (QWidget *part :
             {static_cast<QWidget *>(stepno_l[r]), static_cast<QWidget *>(Combo_s[r]),
              static_cast<QWidget *>(mond_t[r]), static_cast<QWidget *>(hoji_t[r])})
            describeIfChanged(part, dropped);
        Jikkou_l[r]->setText(row.mark);
        Combo_s[r]->setCurrentIndex(row.sensor);
        nameIfChanged(Combo_s[r], QStringLiteral("センサ番号") + n);
        setTextIfChanged(mond_t[r], row.temp);
        nameIfChanged(mond_t[r], QStringLiteral("設定温度") + n);
        setTextIfChanged(hoji_t[r], row.time);
        nameIfChanged(hoji_t[r], QStringLiteral("保持時間") + n);
        setRed(Combo_s[r], row.sensorRed);
        setRed(mond_t[r], row.tempRed);
        setRed(hoji_t[r], row.timeRed);
    }
    if (Plan)
        showPlan();
}

void frmOperation_setting::showPlan()
{
    Plan->setPlan(PatternPlan::fromEditor(m_editor, ini()));
    Plan_l->setText(Plan->summary());
}

void frmOperation_setting::mnu1()
{
    run([this] { m_editor.mnu1(); });
}

void frmOperation_setting::mnu2()
{
    run([this] { m_editor.mnu2(); });
}

void frmOperation_setting::reLoads(int first)
{
    run([this, first] { m_editor.reLoads(first); });
}

void frmOperation_setting::reLoads3(int first)
{
    run([this, first] { m_editor.reLoads3(first); });
}

// A message or question stands over the rows as the model has them now.
void frmOperation_setting::message(const QString &text, const QString &title)
{
    sync();
    Dialogs::instance().message(this, text, title);
}

bool frmOperation_setting::question(const QString &text, const QString &title, bool defaultYes)
{
    sync();
    return Dialogs::instance().question(this, text, title, defaultYes);
}

void frmOperation_setting::setBusy(bool busy)
{
    for (QWidget *w : std::initializer_list<QWidget *>{Frame1, Frame2, Cancell_c, OK_c, Alldel_c})
        w->setEnabled(!busy);
    if (busy && !m_busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!busy && m_busy)
        QApplication::restoreOverrideCursor();
    m_busy = busy;
}

void frmOperation_setting::closeEditor()
{
    if (!m_closing)
        Q_EMIT closeRequested();
}

void frmOperation_setting::writeToInstrument()
{
    Q_EMIT writeRequested();
}

void frmOperation_setting::keyPressEvent(QKeyEvent *event)
{
    // Enter that no control took presses OK, except from a text box: a
    // value there may be half typed, and OK registers and closes the window.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        !qobject_cast<QLineEdit *>(QApplication::focusWidget())) {
        if (OK_c->isEnabled())
            OK_c->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmOperation_setting::closeEvent(QCloseEvent *event)
{
    if (!m_closing) {
        m_closing = true;
        if (m_state.flg_d) {
            // Asked only by the toolbar's write. Whatever keeps the rows
            // from being registered ("いいえ" here, or to 登録確認) stops the
            // write and leaves the editor open with every box as typed:
            // closing it would throw away what the operator typed.
            bool keep = true;
            if (question(QStringLiteral("変更内容が更新されていない可能性があります。\r\n"
                                        "更新して書き込みますか？"),
                         QStringLiteral("動作設定確認"), true)) {
                // The write that closes the window follows: no second offer.
                PatternEditor::Registration result{};
                run([this, &result] { result = m_editor.RegisterPatterns(false); });
                keep = result == PatternEditor::Registration::Declined;
            }
            if (keep) {
                m_state.flg_d = false;
                m_closing = false;
                event->ignore();
                return;
            }
        }
    }
    // Otherwise closing is never refused.
    event->accept();
}

void frmOperation_setting::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // The top left corner of the work area, wherever the area would put a
    // new window among the open ones.
    SubWindows::placeAt(this, QPoint(0, 0));
}

bool frmOperation_setting::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) {
        // The menu key in a step row's box opens the step menu for that
        // row; the mouse keeps a text box's own menu.
        for (int r = 0; r < Rows; ++r) {
            if (watched != Combo_s[r] && watched != mond_t[r] && watched != hoji_t[r])
                continue;
            m_editor.in_index = r;
            if (m_popup) {
                auto *box = static_cast<QWidget *>(watched);
                m_popup->popup(box->mapToGlobal(QPoint(0, box->height())));
            }
            return true;
        }
    }
    for (int r = 0; r < Rows; ++r) {
        if (watched != stepno_l[r])
            continue;
        if (event->type() == QEvent::MouseButtonPress) {
            m_editor.in_index = r;
        } else if (event->type() == QEvent::ContextMenu) {
            m_editor.in_index = r;
            if (m_popup) {
                const auto *menuEvent = static_cast<QContextMenuEvent *>(event);
                m_popup->popup(menuEvent->globalPos());
            }
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    if (event->type() == QEvent::FocusIn) {
        auto *box = qobject_cast<QLineEdit *>(watched);
        if (box && !box->isReadOnly()) {
            // After the focus change has placed the cursor.
            QMetaObject::invokeMethod(
                box, [box] { WindowHost::SelectAllText(box); }, Qt::QueuedConnection);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void registerEditorWindows(WindowHost &w)
{
    w.registerWindow(
        kWindowName,
        [](WindowHost &main) -> QWidget * {
            auto *editor = new frmOperation_setting(main.state().operation, main.mnuPopmnu());
            QObject::connect(editor, &frmOperation_setting::closeRequested, main.hostWidget(),
                             [&main] { main.unloadWindow(kWindowName); });
            // After the editor's own handler has finished and the window is gone.
            QObject::connect(editor, &frmOperation_setting::writeRequested, main.hostWidget(),
                             [&main] {
                                 QTimer::singleShot(0, main.hostWidget(), [&main] {
                                     main.Toolbar1_ButtonClick(QStringLiteral("WRITE"));
                                 });
                             });
            QObject::connect(&main.events(), &HostEvents::popupInsertRequested, editor,
                             &frmOperation_setting::mnu1);
            QObject::connect(&main.events(), &HostEvents::popupDeleteRequested, editor,
                             &frmOperation_setting::mnu2);
            return editor;
        },
        QSize(frmOperation_setting::WidthTwips, frmOperation_setting::HeightTwips));
}
