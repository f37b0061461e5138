#include "shell/frmPort.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

QStringList frmPort::availableDevices()
{
    QStringList out;
#ifndef Q_OS_WIN
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        out.append(info.systemLocation());
    out.sort();
#endif
    return out;
}

frmPort::frmPort(const QString &portText, const QString &device, QWidget *parent)
    : QWidget(parent), m_portText(portText.trimmed())
{
    setObjectName(QStringLiteral("frmPort"));
    setWindowTitle(QStringLiteral("ポート設定"));

    auto *frame = new QGroupBox(QStringLiteral("接続ポート"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *frameLayout = new QVBoxLayout(frame);
    m_group = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto *option = new QRadioButton(QStringLiteral("COM%1").arg(i + 1), frame);
        option->setObjectName(QStringLiteral("O_com_%1").arg(i));
        option->setAccessibleName(option->text());
        O_com.append(option);
    }
    m_devices = availableDevices();
    if (!device.isEmpty() && !m_devices.contains(device))
        m_devices.prepend(device);
    for (const QString &path : std::as_const(m_devices)) {
        auto *option = new QRadioButton(path, frame);
        option->setObjectName(QStringLiteral("O_com_%1").arg(O_com.size()));
        option->setAccessibleName(path);
        O_com.append(option);
    }
    for (int i = 0; i < O_com.size(); ++i) {
        m_group->addButton(O_com.at(i), i);
        frameLayout->addWidget(O_com.at(i));
    }
    connect(m_group, &QButtonGroup::idClicked, this, &frmPort::choose);

    CON = new QPushButton(QStringLiteral("接続"), this);
    CON->setObjectName(QStringLiteral("CON"));
    CON->setAccessibleName(CON->text());
    CAN = new QPushButton(QStringLiteral("キャンセル"), this);
    CAN->setObjectName(QStringLiteral("CAN"));
    CAN->setAccessibleName(CAN->text());
    connect(CON, &QPushButton::clicked, this,
            [this] { Q_EMIT connectRequested(m_portText, m_device); });
    connect(CAN, &QPushButton::clicked, this, &frmPort::cancelRequested);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CON);
    buttons->addWidget(CAN);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    // Select what is stored: the device when one was chosen, else the number.
    const int deviceIndex = device.isEmpty() ? -1 : int(m_devices.indexOf(device));
    bool ok = false;
    const int n = m_portText.toInt(&ok);
    if (deviceIndex >= 0) {
        O_com.at(6 + deviceIndex)->setChecked(true);
        m_device = device;
    } else if (ok && n >= 1 && n <= 6) {
        O_com.at(n - 1)->setChecked(true);
    }
}

void frmPort::choose(int index)
{
    if (index < 6) {
        m_portText = QString::number(index + 1);
        m_device.clear();
    } else {
        m_device = m_devices.at(index - 6);
    }
}
