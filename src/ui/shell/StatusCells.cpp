#include "ui/shell/StatusCells.h"

#include <QLabel>
#include <QPalette>

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
