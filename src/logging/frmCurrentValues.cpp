#include "logging/frmCurrentValues.h"

#include "logging/GraphCanvas.h"
#include "settings/StatusLabels.h"

#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>

frmCurrentValues::frmCurrentValues(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmCurrentValues"));
    setWindowTitle(QStringLiteral("現在値"));
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(10);

    QFont big = font();
    if (big.pointSizeF() > 0)
        big.setPointSizeF(big.pointSizeF() * DigitScale);
    else
        big.setPixelSize(int(big.pixelSize() * DigitScale));
    big.setBold(true);
    const QFontMetrics bigMetrics(big);
    for (int k = 0; k < 4; ++k) {
        auto *caption = new QLabel(StatusLabels::caption(5 + k));
        swatch[size_t(k)] = new QLabel;
        QLabel *s = swatch[size_t(k)];
        s->setObjectName(QStringLiteral("swatch%1").arg(k));
        s->setFixedSize(bigMetrics.height() / 2, bigMetrics.height() / 2);
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
        t->setMinimumWidth(bigMetrics.horizontalAdvance(QStringLiteral("-000.00")));
        caption->setBuddy(t);
        grid->addWidget(s, k, 0);
        grid->addWidget(caption, k, 1);
        grid->addWidget(t, k, 2);
    }
    auto row = [&](int r, const QString &caption, const char *name) {
        auto *c = new QLabel(caption);
        auto *v = new QLabel(QStringLiteral("-"));
        v->setObjectName(QLatin1String(name));
        c->setBuddy(v);
        grid->addWidget(c, r, 1);
        grid->addWidget(v, r, 2);
        return v;
    };
    setPoint_l = row(4, QStringLiteral("設定温度　："), "setPoint_l");
    state_l = row(5, StatusLabels::caption(0), "state_l");
    step_l = row(6, StatusLabels::caption(4), "step_l");
    elapsed_l = row(7, QStringLiteral("経過時間　："), "elapsed_l");
    link_l = new QLabel(QStringLiteral("-"));
    link_l->setObjectName(QStringLiteral("link_l"));
    grid->addWidget(link_l, 8, 1, 1, 2);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(9, 1);
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
    // At the right edge of the work area, beside the status windows.
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    QWidget *area = sub ? sub->parentWidget() : nullptr;
    if (sub && area)
        sub->move(std::max(0, area->width() - sub->width()), 0);
}
