#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// Start splash: product title, program version and the progress of the
// first whole-set read.
class frmSplashStart : public QWidget {
    Q_OBJECT
public:
    explicit frmSplashStart(QWidget *parent = nullptr);

    QLabel *lblProductName = nullptr;
    QLabel *lblVersion = nullptr;
    QProgressBar *StartPro = nullptr;
};
