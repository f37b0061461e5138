#include "ui/shell/WindowHost.h"

#include <QLineEdit>

void WindowHost::SelectAllText(QLineEdit *box)
{
    if (box)
        box->setSelection(0, int(box->text().size()));
}
