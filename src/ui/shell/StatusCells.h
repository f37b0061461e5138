#pragma once

#include <QString>

class QLabel;

// Texts of the link cell of the status bar.
QString commOkText();
QString commNgText();

// Text of status-bar panel 1-5 before the first update.
QString initialCellText(int panel);

// Shows `text` in a status-bar cell, whole in its tip. The link cell is drawn
// white on red while it reports a failed link, so that it is seen from afar.
void showCellText(QLabel *cell, const QString &text);
