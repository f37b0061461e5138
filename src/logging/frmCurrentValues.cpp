#include "logging/frmCurrentValues.h"

#include "logging/GraphCanvas.h"
#include "settings/StatusLabels.h"
#include "shell/SubWindows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

frmCurrentValues::frmCurrentValues(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCurrentValues"));
    setWindowTitle(QStringLiteral("現在値"));
    auto *grid = new QGridLayout(this);
    // Tight margins: the window stands under the graph, and on a 1366 x 768
    // screen that leaves little height and width beside the other windows.
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);

    QFont big = font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * DigitScale);
    else
        big.setPixelSize(int(big.pixelSize() * DigitScale));
    big.setBold(true);
    const QFontMetrics bigMetrics(big);
    // The four readings side by side, so the window fits the strip beside the
    // status windows; the status of the run in one line under them.
    for (int k = 0; k < 4; ++k) {
        auto *caption = new QLabel(StatusLabels::caption(5 + k));
        swatch[size_t(k)] = new QLabel;
        QLabel *s = swatch[size_t(k)];
        s->setObjectName(QStringLiteral("swatch%1").arg(k));
        s->setFixedSize(caption->sizeHint().height(), caption->sizeHint().height());
        s->setAutoFillBackground(true);
        QPalette pal = s->palette();
        pal.setColor(QPalette::Window, GraphCanvas::sensorColour(k));
        s->setPalette(pal);
        temp[size_t(k)] = new QLabel(QStringLiteral("-"));
        QLabel *t = temp[size_t(k)];
        t->setObjectName(QStringLiteral("temp%1").arg(k));
        t->setFont(big);
        t->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Room for the widest reading, so the digits never jump.
        t->setMinimumWidth(std::max(bigMetrics.horizontalAdvance(QStringLiteral("+000.00")),
                                    bigMetrics.horizontalAdvance(QStringLiteral("-000.00"))) +
                           bigMetrics.horizontalAdvance(QLatin1Char('0')) / 2);
        caption->setBuddy(t);
        auto *head = new QHBoxLayout;
        head->setSpacing(4);
        head->addWidget(s);
        head->addWidget(caption);
        head->addStretch();
        grid->addLayout(head, 0, k);
        grid->addWidget(t, 1, k);
    }
    auto *status = new QHBoxLayout;
    auto pair = [&](const QString &caption, const char *name) {
        auto *c = new QLabel(caption);
        auto *v = new QLabel(QStringLiteral("-"));
        v->setObjectName(QLatin1String(name));
        c->setBuddy(v);
        status->addWidget(c);
        status->addWidget(v);
        status->addSpacing(12);
        return v;
    };
    setPoint_l = pair(QStringLiteral("設定温度　："), "setPoint_l");
    state_l = pair(StatusLabels::caption(0), "state_l");
    step_l = pair(StatusLabels::caption(4), "step_l");
    elapsed_l = pair(QStringLiteral("経過時間　："), "elapsed_l");
    link_l = new QLabel(QStringLiteral("-"));
    link_l->setObjectName(QStringLiteral("link_l"));
    status->addWidget(link_l);
    status->addStretch();
    grid->addLayout(status, 2, 0, 1, 4);
    grid->setRowStretch(3, 1);
}

void frmCurrentValues::showValues(const CurrentValues &v)
{
    for (int k = 0; k < 4; ++k)
        temp[size_t(k)]->setText(v.temps[size_t(k)]);
    setPoint_l->setText(v.setPoint);
    state_l->setText(v.state);
    step_l->setText(v.step);
    elapsed_l->setText(v.elapsed);
    link_l->setText(v.link);
}

void frmCurrentValues::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    SubWindows::arrangeMonitors(this);
}
