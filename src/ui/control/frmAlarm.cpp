#include "ui/control/frmAlarm.h"

#include "core/app/Twips.h"
#include "core/control/AlarmTable.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

frmAlarm::frmAlarm(const QString &code, QWidget *mainWindow) : QDialog(nullptr), m_main(mainWindow)
{
    setObjectName(QStringLiteral("frmAlarm"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Above all other windows for good, without minimise or maximise.
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("アラーム情報"));

    const AlarmText text = LookupAlarm(code);
    errCode_l = new QLabel(text.Message, this);
    errCode_l->setObjectName(QStringLiteral("errCode_l"));
    // The advice keeps its CR LF; a label breaks the line at the LF alone.
    const QString advice = QString(text.Advice).remove(QLatin1Char('\r'));
    errMemo_l = new QLabel(advice, this);
    errMemo_l->setObjectName(QStringLiteral("errMemo_l"));
    errMemo_l->setWordWrap(true);
    errMemo_l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    errMemo_l->setMinimumHeight(errMemo_l->fontMetrics().lineSpacing() * 3);
    ok_c = new QPushButton(QStringLiteral("OK"), this);
    ok_c->setObjectName(QStringLiteral("ok_c"));
    ok_c->setDefault(true);
    ok_c->setMinimumWidth(Twips::toPixelsX(1455));
    connect(ok_c, &QPushButton::clicked, this, &QWidget::close);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_c);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(errCode_l);
    layout->addSpacing(Twips::toPixelsY(225));
    layout->addWidget(errMemo_l, 1);
    layout->addLayout(buttons);

    // Nothing but this window takes input while it is open.
    if (m_main)
        m_main->setEnabled(false);
    Twips::resizeWindow(this, WidthTwips, HeightTwips);
    const QSize size = this->size();
    if (m_main) {
        const QRect main = m_main->frameGeometry();
        move(main.left() + main.width() / 2 - size.width() / 2,
             main.top() + main.height() / 2 - size.height() / 2);
        // Let the window system keep it with the main window.
        winId();
        if (QWindow *own = windowHandle())
            own->setTransientParent(m_main->windowHandle());
    }
    // Heard whole when it opens: the code's message and the advice, before
    // its one button.
    setAccessibleDescription(text.Message + QLatin1Char('\n') + advice);
    ok_c->setFocus();
}

void frmAlarm::reject()
{
    close();
}

void frmAlarm::closeEvent(QCloseEvent *event)
{
    if (m_main) {
        m_main->setEnabled(true);
        // The keys go back to the main window, where ACLR is.
        m_main->activateWindow();
    }
    event->accept();
    Q_EMIT acknowledged();
}

AlarmWindowHolder::AlarmWindowHolder(QWidget *mainWindow) : QObject(mainWindow), m_main(mainWindow)
{
    if (m_main)
        m_main->installEventFilter(this);
}

bool AlarmWindowHolder::eventFilter(QObject *watched, QEvent *event)
{
    // Whatever activates the main window while the alarm stands (the window
    // system, a click on it, another window closing), the keys belong to the
    // alarm: the main window takes none, and a keyboard user could otherwise
    // never reach "OK".
    if (watched == m_main && event->type() == QEvent::WindowActivate && m_window &&
        m_window->isVisible()) {
        QTimer::singleShot(0, m_window, [w = m_window] {
            if (w && w->isVisible())
                w->activateWindow();
        });
    }
    return QObject::eventFilter(watched, event);
}

AlarmWindowHolder::~AlarmWindowHolder()
{
    delete m_window.data();
}

void AlarmWindowHolder::show(const QString &code)
{
    if (!m_window) {
        m_window = new frmAlarm(code, m_main);
        // Told once the window has gone from the screen, not while it closes.
        connect(m_window, &frmAlarm::acknowledged, this, &AlarmWindowHolder::acknowledged,
                Qt::QueuedConnection);
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
