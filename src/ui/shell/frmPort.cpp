#include "ui/shell/frmPort.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString startFailureHint()
{
    return QStringLiteral("本体の電源とケーブルを確認し、本体がつながっているポートを選んで"
                          "「接続」を押してください。");
}

} // namespace

frmPort::frmPort(const QString &portText, const QString &device, QWidget *parent)
    : QWidget(parent), m_portText(portText.trimmed()), m_keptDevice(device.trimmed())
{
    setObjectName(QStringLiteral("frmPort"));
    setWindowTitle(QStringLiteral("ポート設定"));

    auto *frame = new QGroupBox(QStringLiteral("接続ポート"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    m_options = new QGridLayout(frame);
    m_group = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto *option = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), frame);
        option->setObjectName(QStringLiteral("O_com_%1").arg(i));
        O_com.append(option);
        m_group->addButton(option, i);
        m_options->addWidget(option, i, 0, 1, 2);
    }
    connect(m_group, &QButtonGroup::idClicked, this, &frmPort::choose);

    auto *caption = new QLabel(QStringLiteral("デバイス："), this);
    caption->setObjectName(QStringLiteral("L_device"));
    T_device = new QLineEdit(this);
    T_device->setObjectName(QStringLiteral("T_device"));
    // Wide enough to read a usual device name; the window grows to it.
    T_device->setMinimumWidth(
        T_device->fontMetrics().horizontalAdvance(QStringLiteral("/dev/ttyUSB00")) + 16);
    caption->setBuddy(T_device);
    connect(T_device, &QLineEdit::textEdited, this, &frmPort::typed);
    C_rescan = new QPushButton(QStringLiteral("再検索"), this);
    C_rescan->setObjectName(QStringLiteral("C_rescan"));
    connect(C_rescan, &QPushButton::clicked, this, &frmPort::rescan);

    CON = new QPushButton(QStringLiteral("接続"), this);
    CON->setObjectName(QStringLiteral("CON"));
    CAN = new QPushButton(QStringLiteral("キャンセル"), this);
    CAN->setObjectName(QStringLiteral("CAN"));
    connect(CON, &QPushButton::clicked, this,
            [this] { Q_EMIT connectRequested(m_portText, this->device()); });
    connect(CAN, &QPushButton::clicked, this, &frmPort::cancelRequested);

    L_hint = new QLabel(startFailureHint(), this);
    L_hint->setObjectName(QStringLiteral("L_hint"));
    L_hint->setWordWrap(true);
    L_hint->hide();

    auto *entry = new QHBoxLayout;
    entry->addWidget(caption);
    entry->addWidget(T_device, 1);
    entry->addWidget(C_rescan);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CON);
    buttons->addWidget(CAN);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(L_hint);
    layout->addWidget(frame);
    layout->addLayout(entry);
    layout->addLayout(buttons);

    // Select what is stored: the device when one was chosen, else the number.
    T_device->setText(m_keptDevice);
    rescan();
}

void frmPort::showStartFailure()
{
    L_hint->show();
    const QString suggested = PortChoices::suggestion(m_devices, PortChoices::byIdFolder());
    if (!suggested.isEmpty() && suggested != device()) {
        T_device->setText(suggested);
        checkMatchingOption();
    }
}

QString frmPort::device() const
{
    return T_device->text().trimmed();
}

QString frmPort::descriptionOf(int index) const
{
    const int i = index - 6;
    return i >= 0 && i < m_descriptions.size() ? m_descriptions.at(i)->text() : QString();
}

void frmPort::rescan()
{
    while (O_com.size() > 6) {
        QRadioButton *option = O_com.takeLast();
        m_group->removeButton(option);
        delete option;
    }
    qDeleteAll(m_descriptions);
    m_descriptions.clear();

    m_devices = PortChoices::present();
    const bool kept = std::any_of(m_devices.cbegin(), m_devices.cend(),
                                  [this](const PortChoice &c) { return c.path == m_keptDevice; });
    if (!m_keptDevice.isEmpty() && !kept)
        m_devices.prepend({m_keptDevice, QString()});
    QWidget *frame = O_com.constFirst()->parentWidget();
    for (const PortChoice &choice : std::as_const(m_devices)) {
        const int index = int(O_com.size());
        auto *option = new QRadioButton(choice.path, frame);
        option->setObjectName(QStringLiteral("O_com_%1").arg(index));
        auto *description = new QLabel(choice.description, frame);
        description->setObjectName(QStringLiteral("L_com_%1").arg(index));
        description->setEnabled(false); // a quieter face: it is only a hint
        O_com.append(option);
        m_descriptions.append(description);
        m_group->addButton(option, index);
        m_options->addWidget(option, index, 0);
        m_options->addWidget(description, index, 1);
    }
    checkMatchingOption();
}

void frmPort::choose(int index)
{
    if (index < 6) {
        m_portText = QString::number(index + 1);
        T_device->clear();
    } else {
        T_device->setText(m_devices.at(index - 6).path);
    }
}

void frmPort::typed(const QString &text)
{
    Q_UNUSED(text);
    checkMatchingOption();
}

void frmPort::checkMatchingOption()
{
    const QString path = device();
    int index = -1;
    if (path.isEmpty()) {
        bool ok = false;
        const int n = m_portText.toInt(&ok);
        if (ok && n >= 1 && n <= 6)
            index = n - 1;
    } else {
        for (int i = 0; i < m_devices.size(); ++i)
            if (m_devices.at(i).path == path)
                index = 6 + i;
    }
    if (index >= 0) {
        O_com.at(index)->setChecked(true);
        return;
    }
    // A typed path no option names: none is chosen.
    m_group->setExclusive(false);
    for (QRadioButton *option : std::as_const(O_com))
        option->setChecked(false);
    m_group->setExclusive(true);
}
