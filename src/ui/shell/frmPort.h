#pragma once

#include "core/app/PortChoices.h"

#include <QList>
#include <QString>
#include <QWidget>

class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Port window: choose COM1-COM6, one of the serial devices present (by its
// stable name, with the adapter's description beside it), or type any device
// path, and connect. The main window does the connecting.
class frmPort : public QWidget {
    Q_OBJECT
public:
    // `portText` is the stored port number; `device` a device path chosen
    // earlier (selected when it is among the options, and in the entry).
    frmPort(const QString &portText, const QString &device, QWidget *parent = nullptr);

    // O_com(0)-O_com(5) are COM1-COM6; further options are device paths.
    QList<QRadioButton *> O_com;
    // The device path "接続" opens; empty while a numbered option is chosen.
    QLineEdit *T_device = nullptr;
    QPushButton *C_rescan = nullptr;
    QPushButton *CON = nullptr;
    QPushButton *CAN = nullptr;

    // The port number text of the chosen numbered option ("1"-"6"), or the
    // stored number while a device is chosen.
    QString portText() const { return m_portText; }
    // The chosen or typed device path; empty while a numbered option is chosen.
    QString device() const;
    // The description shown beside device option `index` (6 and up).
    QString descriptionOf(int index) const;

    // Lists the present devices again ("再検索").
    void rescan();
    // After a start that reached no instrument: a line on what to check, and
    // a present USB adapter chosen in place of the port that did not answer.
    void showStartFailure();
    QLabel *L_hint = nullptr;

    static constexpr int WidthTwips = 2835;
    static constexpr int HeightTwips = 2700;

Q_SIGNALS:
    void connectRequested(const QString &portText, const QString &device);
    void cancelRequested();

private:
    void choose(int index);
    void typed(const QString &text);
    void checkMatchingOption();

    QButtonGroup *m_group = nullptr;
    QGridLayout *m_options = nullptr;
    QList<QLabel *> m_descriptions;
    QString m_portText;
    QString m_keptDevice; // the device chosen earlier, offered even when absent
    QList<PortChoice> m_devices;
};
