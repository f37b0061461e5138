#include "ui/shell/frmSplashStart.h"

#include "core/app/Twips.h"
#include "core/app/Version.h"

#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

frmSplashStart::frmSplashStart(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplashStart"));
    // No frame shows it, but a screen reader names the window by its title.
    setWindowTitle(QStringLiteral("KRM-2200　Development　Environment"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    lblProductName = new QLabel(windowTitle(), this);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont title = lblProductName->font();
    title.setPointSizeF(title.pointSizeF() * 1.6);
    title.setBold(true);
    lblProductName->setFont(title);
    lblProductName->setAlignment(Qt::AlignCenter);

    lblVersion = new QLabel(QStringLiteral("ﾊﾞｰｼﾞｮﾝ ") + programVersion(), this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignRight);

    StartPro = new QProgressBar(this);
    StartPro->setObjectName(QStringLiteral("StartPro"));
    StartPro->setRange(0, 149);
    StartPro->setValue(0);
    StartPro->setTextVisible(false);
    // Named for screen readers by what it shows the progress of.
    StartPro->setAccessibleName(lblProductName->text());

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);
    layout->addWidget(lblProductName);
    layout->addWidget(lblVersion);
    layout->addStretch(1);
    layout->addWidget(StartPro);

    setAutoFillBackground(true);
    Twips::resizeWindow(this, 6000, 3000);
}
