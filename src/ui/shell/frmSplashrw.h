#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// Progress window of the toolbar's read and write: kept above all others.
class frmSplashrw : public QWidget {
    Q_OBJECT
public:
    explicit frmSplashrw(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QProgressBar *RWPro = nullptr;
};
