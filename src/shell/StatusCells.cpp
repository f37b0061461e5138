#include "shell/StatusCells.h"

#include "shell/KRM2200.h"

#include <QLabel>
#include <QPalette>
#include <QStatusBar>

QString commOkText()
{
    return QStringLiteral("通信：正常");
}

QString commNgText()
{
    return QStringLiteral("通信：異常");
}

QString initialCellText(int panel)
{
    static const char *const texts[] = {"PT1000A", "PT1000B", "SENSOR1", "SENSOR2"};
    if (panel >= 1 && panel <= 4)
        return QLatin1String(texts[panel - 1]);
    return panel == 5 ? QStringLiteral("通信：") : QString();
}

void showCellText(QLabel *cell, const QString &text)
{
    cell->setText(text);
    cell->setToolTip(text);
    if (cell->objectName() != QLatin1String("COMM"))
        return;
    const bool failed = text == commNgText();
    if (failed == cell->autoFillBackground())
        return;
    if (failed) {
        QPalette alarm = cell->palette();
        alarm.setColor(QPalette::Window, QColor(0xC0, 0x00, 0x00));
        alarm.setColor(QPalette::WindowText, Qt::white);
        cell->setPalette(alarm);
    } else {
        cell->setPalette(QPalette()); // the status bar's own colours again
    }
    cell->setAutoFillBackground(failed);
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
