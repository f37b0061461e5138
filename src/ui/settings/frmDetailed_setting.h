#pragma once

#include "core/settings/DetailedSettings.h"

#include <QList>
#include <QString>
#include <QWidget>

class WindowHost;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// Sensor and device settings ("センサと機器動作"): sensor limits and
// corrections, fan, thermal-unit current, beep, backlight, the status
// interval, the log folder and CSV output. It edits the configuration file
// only and offers the toolbar's write at the end.
class frmDetailed_setting : public QWidget {
    Q_OBJECT
public:
    explicit frmDetailed_setting(WindowHost &main, QWidget *parent = nullptr);

    static constexpr int WidthTwips = 7845;
    static constexpr int HeightTwips = 5550;

    QTabWidget *SSTab1 = nullptr;
    QList<QLabel *> Label_S;
    QList<QCheckBox *> ck_si;
    QList<QLineEdit *> Ulimit_t;
    QList<QLineEdit *> Llimit_t;
    QList<QLineEdit *> ofset_t;
    QList<QLineEdit *> teikouti_t; // PT100A and PT100B
    QList<QRadioButton *> FAN_O;
    QList<QRadioButton *> O_v;
    QLineEdit *teikou_t = nullptr;
    QComboBox *Com_a = nullptr;
    QList<QRadioButton *> O_beep;
    QList<QRadioButton *> O_lit;
    QLineEdit *interval_t = nullptr;
    QLabel *logFilename_l = nullptr;
    QPushButton *logFilename_c = nullptr;
    QList<QRadioButton *> csv_op;
    QLabel *csv_l = nullptr;
    QPushButton *csv_c = nullptr;
    QGroupBox *Frame_log2 = nullptr; // output device: kept hidden
    QCheckBox *ck_verify = nullptr;  // 書込み後に照合する
    QCheckBox *ck_serve = nullptr;   // 状態をネットワークに公開する
    QLineEdit *serve_port_t = nullptr;
    QCheckBox *ck_remote = nullptr; // 他のコンピュータからの接続を許可する
    QPushButton *FAN_C = nullptr;
    QPushButton *Cancel_c = nullptr;

    // The values as the controls show them.
    DetailedSettings::Values values() const;

    // OK: checks and writes everything (ApplySettings); true when it went
    // through.
    bool pressOk();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QWidget *buildSensorPage();
    QWidget *buildFanPage();
    QWidget *buildOtherPage();
    // An edit box; `accessible` names it when no caption label is its buddy.
    QLineEdit *numberBox(const QString &name, const QString &accessible = QString());
    void showValues(const DetailedSettings::Values &v);
    void choosePreset(int index);
    void chooseCsv(int index);
    void browse(QLabel *target);
    void setBusy(bool busy);
    // Shows a page and puts the focus on its first control.
    void enterPage(int page);
    QWidget *pageEntry(int page) const;
    void closeWindow();

    WindowHost &m_main;
    QButtonGroup *m_fan = nullptr;
    QButtonGroup *m_preset = nullptr;
    QButtonGroup *m_beep = nullptr;
    QButtonGroup *m_lit = nullptr;
    QButtonGroup *m_csv = nullptr;
    bool m_placed = false;
    bool m_closingForWrite = false;
    bool m_applying = false;
};

// Registers the window with the main window.
void registerDetailedSettingsWindow(WindowHost &w);
