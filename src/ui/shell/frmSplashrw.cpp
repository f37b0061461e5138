#include "ui/shell/frmSplashrw.h"

#include "core/app/Twips.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

frmSplashrw::frmSplashrw(QWidget *parent)
    : QWidget(parent,
              Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("frmSplashrw"));
    setWindowTitle(QStringLiteral("KRM-2200"));

    Label1 = new QLabel(QStringLiteral("読込中..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);

    RWPro = new QProgressBar(this);
    RWPro->setObjectName(QStringLiteral("RWPro"));
    RWPro->setRange(0, 149);
    RWPro->setValue(0);
    RWPro->setTextVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(RWPro);

    Twips::resizeWindow(this, 4500, 1400);
}
