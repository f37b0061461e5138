#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QPushButton;

// Alarm window: the message and advice of an alarm code, above every other
// window, with the main window disabled until it closes (by "OK" or the close
// box). The texts are set once, when the window is created. It is a
// dialog, modeless, so that the window system and a screen reader announce
// it as one.
class frmAlarm : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` is disabled while this window is open and centres it. The
    // window has no parent, so that disabling the main window leaves it usable;
    // its opener owns it.
    frmAlarm(const QString &code, QWidget *mainWindow);

    QLabel *errCode_l = nullptr;
    QLabel *errMemo_l = nullptr;
    QPushButton *ok_c = nullptr;

    static constexpr int WidthTwips = 4485;
    static constexpr int HeightTwips = 3150;

    // Escape closes it like "OK" does, so the main window is enabled again.
    void reject() override;

Q_SIGNALS:
    // The operator closed it: by "OK", Escape or the close box.
    void acknowledged();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPointer<QWidget> m_main;
};

// Opens the alarm window for the code last set, or shows the open one again
// as it is. Deletes a window still open when the main window goes.
class AlarmWindowHolder : public QObject {
    Q_OBJECT
public:
    explicit AlarmWindowHolder(QWidget *mainWindow);
    ~AlarmWindowHolder() override;

    void show(const QString &code);
    frmAlarm *window() const { return m_window; }

Q_SIGNALS:
    // The window shown was closed by the operator; emitted from the event
    // loop once it is off the screen.
    void acknowledged();

protected:
    // The main window, disabled behind the alarm, hands the keyboard on to
    // the alarm window whenever it becomes the active one.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_main;
    QPointer<frmAlarm> m_window;
};
