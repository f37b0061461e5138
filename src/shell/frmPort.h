#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QPushButton;
class QRadioButton;

// Port window: choose COM1-COM6 (or, off Windows, one of the serial devices
// present) and connect. The main window does the connecting.
class frmPort : public QWidget {
    Q_OBJECT
public:
    // `portText` is the stored port number; `device` a device path chosen
    // earlier (selected when it is among the options).
    frmPort(const QString &portText, const QString &device, QWidget *parent = nullptr);

    // O_com(0)-O_com(5) are COM1-COM6; further options are device paths.
    QList<QRadioButton *> O_com;
    QPushButton *CON = nullptr;
    QPushButton *CAN = nullptr;

    // The port number text of the chosen numbered option ("1"-"6"), or the
    // stored number while a device option is chosen.
    QString portText() const { return m_portText; }
    // The chosen device path; empty while a numbered option is chosen.
    QString device() const { return m_device; }

    // Device paths offered besides COM1-COM6.
    static QStringList availableDevices();

    static constexpr int WidthTwips = 2835;
    static constexpr int HeightTwips = 2700;

Q_SIGNALS:
    void connectRequested(const QString &portText, const QString &device);
    void cancelRequested();

private:
    void choose(int index);

    QButtonGroup *m_group = nullptr;
    QString m_portText;
    QString m_device;
    QStringList m_devices;
};
