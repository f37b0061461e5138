#include "ui/settings/frmMemo.h"

#include "core/app/WindowState.h"
#include "core/config/Parameter.h"
#include "core/settings/MemoBlocks.h"
#include "ui/settings/DesignedPlace.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/PrintTarget.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

// The memo keeps CR LF line ends; the text box holds one line per LF.
QString forBox(const QString &text)
{
    QString s = text;
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.remove(QLatin1Char('\r'));
    return s;
}

// Blocks line up in columns of spaces: a fixed-pitch face that has the
// Japanese characters too.
QFont memoFont()
{
    QFont font(QStringLiteral("Noto Sans Mono CJK JP"));
    font.setStyleHint(QFont::Monospace);
    return font;
}

QPushButton *button(const char *name, const QString &caption, QWidget *parent)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QComboBox *list(const char *name, const QStringList &items, const QString &label, QWidget *parent)
{
    auto *c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setAccessibleName(label);
    c->addItems(items);
    c->setCurrentIndex(0);
    return c;
}

} // namespace

frmMemo::frmMemo(WindowState &state, const QString &folder, QWidget *parent)
    : QWidget(parent), m_state(state), m_folder(folder)
{
    setObjectName(QStringLiteral("frmMemo"));
    setWindowTitle(QStringLiteral("メモ"));

    memo_t = new QPlainTextEdit(this);
    memo_t->setObjectName(QStringLiteral("memo_t"));
    memo_t->setAccessibleName(windowTitle());
    memo_t->setFont(memoFont());
    memo_t->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo_t->setTabChangesFocus(true);
    Label1 = new QLabel(
        QStringLiteral("注）　改行は自動で行われませんので、手動で行ってください。"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    auto *frame = new QGroupBox(QStringLiteral("パラメータ取得"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    Sensor_com = list("Sensor_com", MemoBlocks::sensorChoices(), QStringLiteral("センサ"), frame);
    Sensor_c = button("Sensor_c", QStringLiteral("センサ"), frame);
    Step_com = list("Step_com", MemoBlocks::stepChoices(), QStringLiteral("ステップ"), frame);
    Step_c = button("Step_c", QStringLiteral("ステップ"), frame);
    Pattern_com =
        list("Pattern_com", MemoBlocks::patternChoices(), QStringLiteral("パターン"), frame);
    Pattern_c = button("Pattern_c", QStringLiteral("パターン"), frame);
    Uni_c = button("Uni_c", QStringLiteral("電流"), frame);
    Fix_c = button("Fix_c", QStringLiteral("定値制御"), frame);
    auto *blocks = new QGridLayout(frame);
    blocks->addWidget(Sensor_com, 0, 0);
    blocks->addWidget(Sensor_c, 0, 1);
    blocks->addWidget(Step_com, 1, 0);
    blocks->addWidget(Step_c, 1, 1);
    blocks->addWidget(Pattern_com, 2, 0);
    blocks->addWidget(Pattern_c, 2, 1);
    blocks->addWidget(Uni_c, 3, 1);
    blocks->addWidget(Fix_c, 4, 1);

    memoReg_c = button("memoReg_c", QStringLiteral("登録"), this);
    memoDel_c = button("memoDel_c", QStringLiteral("削除"), this);
    memoPrint_c = button("memoPrint_c", QStringLiteral("印刷"), this);

    auto *left = new QVBoxLayout;
    left->addWidget(memo_t, 1);
    left->addWidget(Label1);
    auto *right = new QVBoxLayout;
    right->addWidget(frame);
    right->addStretch(1);
    right->addWidget(memoPrint_c);
    right->addWidget(memoDel_c);
    right->addWidget(memoReg_c);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);

    const Parameter &p = param();
    connect(Sensor_c, &QPushButton::clicked, this, [this, &p] {
        const int n = Sensor_com->currentIndex();
        insertBlock(MemoBlocks::sensor(n, Sensor_com->currentText(), p.SenPara[size_t(n)]));
    });
    connect(Step_c, &QPushButton::clicked, this,
            [this, &p] { insertBlock(MemoBlocks::steps(Step_com->currentIndex(), p.StepPara)); });
    connect(Pattern_c, &QPushButton::clicked, this, [this, &p] {
        insertBlock(MemoBlocks::pattern(Pattern_com->currentText(),
                                        p.PatternPara[size_t(Pattern_com->currentIndex())]));
    });
    connect(Uni_c, &QPushButton::clicked, this,
            [this, &p] { insertBlock(MemoBlocks::unit(p.UniPara)); });
    // The last run's temperature is kept from the moment a run is sent.
    connect(Fix_c, &QPushButton::clicked, this, [this, &p] {
        insertBlock(MemoBlocks::fixedRun(m_state.fix.GetFixpara(), !p.FixTemp.isEmpty()));
    });
    connect(memoReg_c, &QPushButton::clicked, this, &frmMemo::registerMemo);
    connect(memoDel_c, &QPushButton::clicked, this, &frmMemo::deleteMemo);
    connect(memoPrint_c, &QPushButton::clicked, this, &frmMemo::printMemo);

    if (!m_state.memo.MemoText.isEmpty())
        memo_t->setPlainText(forBox(m_state.memo.MemoText));
}

QString frmMemo::memoText() const
{
    QString s = memo_t->toPlainText();
    s.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return s;
}

void frmMemo::insertBlock(const QString &block)
{
    // A block that cannot be made (a record without its fields) leaves the
    // text as it is.
    if (!block.isEmpty())
        memo_t->insertPlainText(forBox(block));
    memo_t->setFocus();
}

void frmMemo::registerMemo()
{
    MemoState &memo = m_state.memo;
    memo.MemoText = memoText();
    if (memo.MemoWithLog) {
        QString why;
        if (!MemoBlocks::appendToLog(memo.logFile, memo.MemoText, &why)) {
            // The memo stays in the window and is still meant for that log:
            // the user can try again.
            Dialogs::instance().message(
                this,
                QStringLiteral("メモをログファイルに追加できませんでした。\n") + memo.logFile +
                    QLatin1Char('\n') + why + QLatin1Char('\n') +
                    QStringLiteral("ログフォルダを確認してください。"),
                QStringLiteral("error"));
            return;
        }
    }
    memo.MemoWithLog = false;
    Q_EMIT closeRequested();
}

void frmMemo::deleteMemo()
{
    memo_t->clear();
    m_state.memo.MemoText.clear();
    memo_t->setFocus();
}

void frmMemo::printMemo()
{
    PrintTarget::Job job;
    if (!PrintTarget::choose(this, job, m_folder))
        return;
    printTo(job.device());
    PrintTarget::finish(this, job);
}

void frmMemo::printTo(QPagedPaintDevice &printer) const
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(20, 15, 15, 15), QPageLayout::Millimeter));
    PrintTarget::setTitle(printer, windowTitle());
    QTextDocument document;
    QFont font = memoFont();
    font.setPointSizeF(10);
    document.setDefaultFont(font);
    document.setPlainText(memo_t->toPlainText());
    document.print(&printer);
}

void frmMemo::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        moveToDesignedPlace(this, 0, 0);
    }
}
