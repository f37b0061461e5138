#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// The top page: one button with an explanation for each task of the program.
// The buttons only emit; the main window opens the windows.
class frmToppage : public QWidget {
    Q_OBJECT
public:
    explicit frmToppage(QWidget *parent = nullptr);

    QPushButton *Fix_c = nullptr;
    QPushButton *Pattern_c = nullptr;
    QPushButton *Operation_c = nullptr;
    QPushButton *Details_c = nullptr;
    QPushButton *Graph_c = nullptr;
    QPushButton *Status_c = nullptr;

    // Outer size of the window in twips.
    static constexpr int WidthTwips = 7905;
    static constexpr int HeightTwips = 6150;
};
