#include "ui/shell/frmToppage.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

frmToppage::frmToppage(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmToppage"));
    setWindowTitle(QStringLiteral("一覧"));

    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(12);
    int row = 0;
    auto addRow = [&](const char *name, const QString &caption, const QString &text) {
        auto *button = new QPushButton(caption, this);
        button->setObjectName(QLatin1String(name));
        button->setMinimumHeight(40);
        button->setMinimumWidth(150);
        auto *label = new QLabel(text, this);
        label->setObjectName(QLatin1String(name).chopped(2) + QStringLiteral("_l"));
        label->setWordWrap(true);
        label->setBuddy(button);
        grid->addWidget(button, row, 0);
        grid->addWidget(label, row, 1);
        ++row;
        return button;
    };
    Fix_c = addRow("Fix_c", QStringLiteral("定値制御"),
                   QStringLiteral("任意の温度までの定値制御を行います。"));
    Pattern_c = addRow("Pattern_c", QStringLiteral("パターン制御"),
                       QStringLiteral("登録済みのパターンによる連続した温度制御を行います。"));
    Operation_c = addRow("Operation_c", QStringLiteral("パターン動作"),
                         QStringLiteral("ステップ・パターンの登録を行います。"));
    Details_c = addRow("Details_c", QStringLiteral("センサと機器動作"),
                       QStringLiteral("センサ・ファン・電流調整など詳細な設定を行います。"));
    Graph_c = addRow("Graph_c", QStringLiteral("グラフ表示"),
                     QStringLiteral("サンプリング用のグラフを表示します。"));
    Status_c = addRow("Status_c", QStringLiteral("ステータス表示"),
                      QStringLiteral("KRM-2200本体のステータス情報を取得します。"));
    grid->setColumnStretch(1, 1);
}
