#include "ui/logging/ReadoutOverlay.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QWidget>

ReadoutOverlay::ReadoutOverlay(QWidget *viewport, std::function<GraphPage()> page,
                               std::function<int()> scrollTwips, double pixelsPerTwip)
    : QObject(viewport), m_viewport(viewport), m_page(std::move(page)),
      m_scroll(std::move(scrollTwips)), m_pxPerTwip(pixelsPerTwip), m_cursor(new QWidget(viewport)),
      m_label(new QLabel(viewport))
{
    setObjectName(QStringLiteral("readout"));
    m_cursor->setObjectName(QStringLiteral("readout_cursor"));
    m_cursor->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_cursor->setAutoFillBackground(true);
    QPalette line = m_cursor->palette();
    line.setColor(QPalette::Window, Qt::white);
    m_cursor->setPalette(line);
    m_label->setObjectName(QStringLiteral("readout_label"));
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setTextFormat(Qt::RichText);
    m_label->setStyleSheet(QStringLiteral(
        "QLabel { background-color: rgba(32, 32, 32, 220); color: white; padding: 3px; }"));
    m_cursor->hide();
    m_label->hide();
    viewport->setMouseTracking(true);
    viewport->installEventFilter(this);
}

void ReadoutOverlay::showAt(int x)
{
    const GraphPage page = m_page();
    const qint64 sample = GraphReadout::sampleAt(page, x, m_scroll(), m_pxPerTwip);
    if (sample < 0) {
        hide();
        return;
    }
    const GraphReadout::Values v = GraphReadout::at(page, sample);
    m_label->setText(GraphReadout::html(v));
    // A rich-text label has no plain name of its own; the read-out's values are it.
    m_label->setAccessibleName(GraphReadout::plainText(v));
    m_label->adjustSize();
    const int h = m_viewport->height();
    m_cursor->setGeometry(x, 0, 1, h);
    const int gap = 6;
    int lx = x + gap;
    if (lx + m_label->width() > m_viewport->width())
        lx = std::max(0, x - gap - m_label->width());
    m_label->move(lx, 4);
    m_cursor->show();
    m_label->show();
    m_label->raise();
}

void ReadoutOverlay::hide()
{
    m_cursor->hide();
    m_label->hide();
}

bool ReadoutOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_viewport) {
        if (event->type() == QEvent::MouseMove)
            showAt(int(static_cast<QMouseEvent *>(event)->position().x()));
        else if (event->type() == QEvent::Leave || event->type() == QEvent::Hide)
            hide();
    }
    return QObject::eventFilter(watched, event);
}
