#include "ui/settings/frmDetailed_setting.h"

#include "core/config/Ini_Operation.h"
#include "core/config/Parameter.h"
#include "core/session/InstrumentSession.h"
#include "ui/shell/Dialogs.h"
#include "ui/shell/WindowHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString kName = QStringLiteral("frmDetailed_setting");

using DS = DetailedSettings;

// A group of option buttons laid out in a row inside a frame.
QGroupBox *optionFrame(QWidget *parent, const char *name, const QString &title,
                       const char *optionName, const QStringList &captions, QButtonGroup *&group,
                       QList<QRadioButton *> &options)
{
    auto *frame = new QGroupBox(title, parent);
    frame->setObjectName(QLatin1String(name));
    auto *row = new QHBoxLayout(frame);
    group = new QButtonGroup(frame);
    for (int i = 0; i < captions.size(); ++i) {
        auto *option = new QRadioButton(captions.at(i), frame);
        option->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(optionName)).arg(i));
        group->addButton(option, i);
        options.append(option);
        row->addWidget(option);
    }
    row->addStretch(1);
    return frame;
}

QLabel *hint(QWidget *parent, const QString &text, bool wrap = false)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(wrap);
    return label;
}

// A label that shows a folder: sunken, its own background, the whole path in
// the tool tip when it is too long to show.
QLabel *pathLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAutoFillBackground(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(220);
    return label;
}

QPushButton *browseButton(QWidget *parent, const char *name, const QString &frameTitle)
{
    auto *button = new QPushButton(QStringLiteral("..."), parent);
    button->setObjectName(QLatin1String(name));
    // Its dots say nothing to a screen reader: it is heard by what it does.
    button->setAccessibleName(frameTitle + QStringLiteral("の選択"));
    button->setMaximumWidth(40);
    return button;
}

} // namespace

frmDetailed_setting::frmDetailed_setting(WindowHost &main, QWidget *parent)
    : QWidget(parent), m_main(main)
{
    setObjectName(kName);
    setWindowTitle(QStringLiteral("センサと機器動作"));
    m_main.state().detailed.flg_s = false;
    // A write accepted in an earlier opening says nothing about this one.
    m_main.state().detailed.flg_s2 = false;

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->addTab(buildSensorPage(), QStringLiteral("センサ"));
    SSTab1->addTab(buildFanPage(), QStringLiteral("DCファン・電流調整"));
    SSTab1->addTab(buildOtherPage(), QStringLiteral("その他"));
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int page) {
        if (SSTab1->isEnabled())
            if (QWidget *entry = pageEntry(page))
                entry->setFocus(Qt::TabFocusReason);
    });

    FAN_C = new QPushButton(QStringLiteral("OK"), this);
    FAN_C->setObjectName(QStringLiteral("FAN_C"));
    Cancel_c = new QPushButton(QStringLiteral("キャンセル"), this);
    Cancel_c->setObjectName(QStringLiteral("Cancel_c"));
    connect(FAN_C, &QPushButton::clicked, this, [this] { pressOk(); });
    connect(Cancel_c, &QPushButton::clicked, this, [this] { closeWindow(); });

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(FAN_C);
    buttons->addWidget(Cancel_c);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(buttons);

    // Every opening shows what is stored, not what the instrument holds.
    const Ini_Operation &cfg = ini();
    DetailedSettings::Values v = DetailedSettings::load(
        [&cfg](const QString &section, const QString &key) {
            return cfg.IniRead(section, key.isEmpty() ? QStringLiteral("para") : key);
        },
        m_main.appDir());
    param().LogInterval = v.interval.toInt();
    showValues(v);
}

QLineEdit *frmDetailed_setting::numberBox(const QString &name, const QString &accessible)
{
    auto *box = new QLineEdit(this);
    box->setObjectName(name);
    if (!accessible.isEmpty())
        box->setAccessibleName(accessible);
    box->setMinimumWidth(64);
    box->installEventFilter(this);
    // Full-width digits and signs typed with a Japanese input method count
    // as the half-width ones.
    connect(box, &QLineEdit::textChanged, box, [box](const QString &text) {
        const QString half = DetailedSettings::toHalfWidth(text);
        if (half != text) {
            const int cursor = box->cursorPosition();
            box->setText(half);
            box->setCursorPosition(cursor);
        }
    });
    return box;
}

QWidget *frmDetailed_setting::buildSensorPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("SSTab1_page0"));
    auto *frame = new QGroupBox(QStringLiteral("センサ設定"), page);
    frame->setObjectName(QStringLiteral("Frame3"));
    auto *grid = new QGridLayout(frame);
    grid->setHorizontalSpacing(12);
    const QStringList headers{QStringLiteral("上限リミット      温度"),
                              QStringLiteral("下限リミット      温度"),
                              QStringLiteral("オフセット    温度"), QStringLiteral("抵抗値")};
    for (int c = 0; c < headers.size(); ++c) {
        auto *head = hint(frame, headers.at(c), true);
        head->setAlignment(Qt::AlignCenter);
        grid->addWidget(head, 0, 2 + c);
    }
    const QStringList names{QStringLiteral("  PT100A  "), QStringLiteral("  PT100B  "),
                            QStringLiteral(" SENSOR1 "), QStringLiteral(" SENSOR2 ")};
    for (int n = 0; n < DS::SensorCount; ++n) {
        const int row = 1 + n + (n >= 2 ? 1 : 0);
        const QString sensor = names.at(n).trimmed();
        auto *label = new QLabel(names.at(n), frame);
        label->setObjectName(QStringLiteral("Label_S_%1").arg(n));
        Label_S.append(label);
        auto *check = new QCheckBox(QStringLiteral("使用可"), frame);
        check->setObjectName(QStringLiteral("ck_si_%1").arg(n));
        check->setAccessibleDescription(sensor);
        check->installEventFilter(this);
        ck_si.append(check);
        auto *upper = numberBox(QStringLiteral("Ulimit_t_%1").arg(n),
                                sensor + QStringLiteral(" 上限リミット温度"));
        auto *lower = numberBox(QStringLiteral("Llimit_t_%1").arg(n),
                                sensor + QStringLiteral(" 下限リミット温度"));
        auto *offset = numberBox(QStringLiteral("ofset_t_%1").arg(n),
                                 sensor + QStringLiteral(" オフセット温度"));
        Ulimit_t.append(upper);
        Llimit_t.append(lower);
        ofset_t.append(offset);
        grid->addWidget(label, row, 0);
        grid->addWidget(check, row, 1);
        grid->addWidget(upper, row, 2);
        grid->addWidget(lower, row, 3);
        grid->addWidget(offset, row, 4);
        if (n < 2) {
            auto *res = numberBox(QStringLiteral("teikouti_t_%1").arg(n),
                                  sensor + QStringLiteral(" 抵抗値"));
            teikouti_t.append(res);
            grid->addWidget(res, row, 5);
        }
    }
    grid->addWidget(hint(frame, QStringLiteral("-50.00～150.00/0.05[℃]単位")), 3, 2, 1, 2);
    grid->addWidget(hint(frame, QStringLiteral("-10～10 [℃]/0.05[℃]単位")), 3, 4);
    grid->addWidget(hint(frame, QStringLiteral("　105.00～95.00/0.05単位　")), 3, 5);
    grid->addWidget(hint(frame, QStringLiteral("0～100/1[℃]単位")), 6, 2, 1, 2);
    grid->addWidget(hint(frame, QStringLiteral("-10～10 [℃]/1[℃]単位")), 6, 4);
    for (int c = 2; c < 6; ++c)
        grid->setColumnStretch(c, 1);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(frame);
    layout->addStretch(1);
    return page;
}

QWidget *frmDetailed_setting::buildFanPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("SSTab1_page1"));
    auto *fan = optionFrame(
        page, "Frame4", QStringLiteral("DC-ＦＡＮ設定"), "FAN_O",
        {QStringLiteral("SYNC"), QStringLiteral("停止"), QStringLiteral("動作")}, m_fan, FAN_O);

    auto *unit = new QGroupBox(QStringLiteral("電流調整"), page);
    unit->setObjectName(QStringLiteral("Frame6"));
    auto *unitLayout = new QGridLayout(unit);
    m_preset = new QButtonGroup(unit);
    const QStringList presets{QStringLiteral("VD-A"), QStringLiteral("VD-B"),
                              QStringLiteral("任意設定")};
    auto *presetRow = new QHBoxLayout;
    for (int i = 0; i < presets.size(); ++i) {
        auto *option = new QRadioButton(presets.at(i), unit);
        option->setObjectName(QStringLiteral("O_v_%1").arg(i));
        m_preset->addButton(option, i);
        O_v.append(option);
        presetRow->addWidget(option);
    }
    presetRow->addStretch(1);
    unitLayout->addLayout(presetRow, 0, 0, 1, 3);

    auto *resLabel = new QLabel(QStringLiteral("抵抗値"), unit);
    teikou_t = numberBox(QStringLiteral("teikou_t"));
    resLabel->setBuddy(teikou_t);
    unitLayout->addWidget(resLabel, 1, 0);
    unitLayout->addWidget(teikou_t, 1, 1);
    unitLayout->addWidget(hint(unit, QStringLiteral("1.0～6.0[Ω]　0.1単位")), 1, 2);

    auto *curLabel = new QLabel(QStringLiteral("電流値"), unit);
    Com_a = new QComboBox(unit);
    Com_a->setObjectName(QStringLiteral("Com_a"));
    for (int a = DS::CurrentFirst; a <= DS::CurrentLast; ++a)
        Com_a->addItem(QString::number(a));
    curLabel->setBuddy(Com_a);
    unitLayout->addWidget(curLabel, 2, 0);
    unitLayout->addWidget(Com_a, 2, 1);
    unitLayout->setColumnStretch(2, 1);
    connect(m_preset, &QButtonGroup::idClicked, this, &frmDetailed_setting::choosePreset);

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(fan);
    layout->addWidget(unit);
    layout->addStretch(1);
    return page;
}

QWidget *frmDetailed_setting::buildOtherPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("SSTab1_page2"));
    auto *beep = optionFrame(page, "Frame_beep", QStringLiteral("操作音"), "O_beep",
                             {QStringLiteral("なし"), QStringLiteral("あり")}, m_beep, O_beep);
    auto *lit = optionFrame(page, "Frame_backlit", QStringLiteral("バックライト"), "O_lit",
                            {QStringLiteral("消灯"), QStringLiteral("点灯")}, m_lit, O_lit);

    auto *log = new QGroupBox(QStringLiteral("ログ"), page);
    log->setObjectName(QStringLiteral("Frame_log"));
    auto *logGrid = new QGridLayout(log);

    auto *intervalFrame = new QGroupBox(QStringLiteral("グラフ更新間隔"), log);
    intervalFrame->setObjectName(QStringLiteral("Frame_log1"));
    auto *intervalRow = new QHBoxLayout(intervalFrame);
    interval_t = numberBox(QStringLiteral("interval_t"), intervalFrame->title());
    connect(interval_t, &QLineEdit::textChanged, this, [this](const QString &text) {
        const QString fixed = DetailedSettings::intervalWhileTyping(text);
        if (fixed != text)
            interval_t->setText(fixed);
    });
    intervalRow->addWidget(interval_t);
    intervalRow->addWidget(new QLabel(QStringLiteral("1～60[s]"), intervalFrame));
    intervalRow->addStretch(1);

    auto *csv = optionFrame(log, "Frame2", QStringLiteral("CSV出力"), "csv_op",
                            {QStringLiteral("未出力"), QStringLiteral("出力")}, m_csv, csv_op);
    connect(m_csv, &QButtonGroup::idClicked, this, &frmDetailed_setting::chooseCsv);

    const QString folderTitle = QStringLiteral("ログ出力フォルダ");
    auto *folderFrame = new QGroupBox(folderTitle, log);
    folderFrame->setObjectName(QStringLiteral("Frame1"));
    auto *folderRow = new QHBoxLayout(folderFrame);
    logFilename_l = pathLabel(folderFrame, "logFilename_l");
    logFilename_c = browseButton(folderFrame, "logFilename_c", folderTitle);
    folderRow->addWidget(logFilename_l, 1);
    folderRow->addWidget(logFilename_c);
    connect(logFilename_c, &QPushButton::clicked, this, [this] { browse(logFilename_l); });

    const QString programTitle = QStringLiteral("EXCEL.EXE格納フォルダ");
    auto *programFrame = new QGroupBox(programTitle, log);
    programFrame->setObjectName(QStringLiteral("Frame5"));
    auto *programRow = new QHBoxLayout(programFrame);
    csv_l = pathLabel(programFrame, "csv_l");
    csv_c = browseButton(programFrame, "csv_c", programTitle);
    programRow->addWidget(csv_l, 1);
    programRow->addWidget(csv_c);
    connect(csv_c, &QPushButton::clicked, this, [this] { browse(csv_l); });

    // The output device group has no function; it stays hidden.
    QList<QRadioButton *> devices;
    QButtonGroup *deviceGroup = nullptr;
    Frame_log2 = optionFrame(
        log, "Frame_log2", QStringLiteral("出力装置"), "Oout",
        {QStringLiteral("RS-232C"), QStringLiteral("USB"), QStringLiteral("使用しない")},
        deviceGroup, devices);
    Frame_log2->hide();

    logGrid->addWidget(intervalFrame, 0, 0);
    logGrid->addWidget(csv, 0, 1);
    logGrid->addWidget(folderFrame, 1, 0, 1, 2);
    logGrid->addWidget(programFrame, 2, 0, 1, 2);

    // "本体書込" reads the set back and names every value the instrument
    // holds otherwise.
    ck_verify = new QCheckBox(QStringLiteral("書込み後に照合する"), page);
    ck_verify->setObjectName(QStringLiteral("ck_verify"));

    // The status server: off unless chosen; only this computer unless allowed.
    ck_serve = new QCheckBox(QStringLiteral("状態をネットワークに公開する"), page);
    ck_serve->setObjectName(QStringLiteral("ck_serve"));
    auto *portLabel = new QLabel(QStringLiteral("ポート"), page);
    serve_port_t = numberBox(QStringLiteral("serve_port_t"), portLabel->text());
    serve_port_t->setMaxLength(5);
    serve_port_t->setMaximumWidth(
        serve_port_t->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 16);
    portLabel->setBuddy(serve_port_t);
    ck_remote = new QCheckBox(QStringLiteral("他のコンピュータからの接続を許可する"), page);
    ck_remote->setObjectName(QStringLiteral("ck_remote"));
    ck_serve->installEventFilter(this);
    ck_remote->installEventFilter(this);
    connect(ck_serve, &QCheckBox::toggled, this, [this, portLabel](bool on) {
        portLabel->setEnabled(on);
        serve_port_t->setEnabled(on);
        ck_remote->setEnabled(on);
    });
    auto *serveRow = new QHBoxLayout;
    serveRow->addWidget(ck_serve);
    serveRow->addSpacing(12);
    serveRow->addWidget(portLabel);
    serveRow->addWidget(serve_port_t);
    serveRow->addSpacing(12);
    serveRow->addWidget(ck_remote);
    serveRow->addStretch(1);

    auto *top = new QHBoxLayout;
    top->addWidget(beep);
    top->addWidget(lit);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(log);
    layout->addWidget(ck_verify);
    layout->addLayout(serveRow);
    layout->addStretch(1);
    return page;
}

void frmDetailed_setting::showValues(const DetailedSettings::Values &v)
{
    FAN_O.at(v.fan)->setChecked(true);
    O_beep.at(v.beep)->setChecked(true);
    O_lit.at(v.lit)->setChecked(true);
    interval_t->setText(v.interval);
    for (int n = 0; n < DS::SensorCount; ++n) {
        const DetailedSettings::Sensor &s = v.sensors[size_t(n)];
        ck_si.at(n)->setChecked(s.inUse);
        Ulimit_t.at(n)->setText(s.upper);
        Llimit_t.at(n)->setText(s.lower);
        ofset_t.at(n)->setText(s.offset);
        if (n < 2)
            teikouti_t.at(n)->setText(s.resistance);
    }
    O_v.at(v.preset)->setChecked(true);
    teikou_t->setText(v.teikou);
    Com_a->setCurrentIndex(Com_a->findText(v.current));
    choosePreset(v.preset);
    logFilename_l->setText(v.logFolder);
    logFilename_l->setToolTip(v.logFolder);
    csv_l->setText(v.csvPath);
    csv_l->setToolTip(v.csvPath);
    csv_op.at(v.csvIndex)->setChecked(true);
    chooseCsv(v.csvIndex);
    ck_verify->setChecked(v.verifyAfterWrite);
    serve_port_t->setText(v.servePort);
    ck_remote->setChecked(v.serveRemote);
    ck_serve->setChecked(v.serveOn);
    // The port and its permission follow the choice, also when it is unchanged.
    Q_EMIT ck_serve->toggled(v.serveOn);
}

DetailedSettings::Values frmDetailed_setting::values() const
{
    DetailedSettings::Values v;
    v.fan = std::max(0, m_fan->checkedId());
    v.beep = std::max(0, m_beep->checkedId());
    v.lit = std::max(0, m_lit->checkedId());
    v.interval = interval_t->text();
    for (int n = 0; n < DS::SensorCount; ++n) {
        DetailedSettings::Sensor &s = v.sensors[size_t(n)];
        s.inUse = ck_si.at(n)->isChecked();
        s.upper = Ulimit_t.at(n)->text();
        s.lower = Llimit_t.at(n)->text();
        s.offset = ofset_t.at(n)->text();
        if (n < 2)
            s.resistance = teikouti_t.at(n)->text();
    }
    v.preset = std::max(0, m_preset->checkedId());
    v.teikou = teikou_t->text();
    v.current = Com_a->currentText();
    v.logFolder = logFilename_l->text();
    v.csvIndex = std::max(0, m_csv->checkedId());
    v.csvPath = csv_l->text();
    v.verifyAfterWrite = ck_verify->isChecked();
    v.serveOn = ck_serve->isChecked();
    v.servePort = serve_port_t->text();
    v.serveRemote = ck_remote->isChecked();
    return v;
}

void frmDetailed_setting::choosePreset(int index)
{
    if (index == DS::PresetVdA || index == DS::PresetVdB) {
        teikou_t->setText(QStringLiteral("2.0"));
        Com_a->setCurrentIndex(index == DS::PresetVdA ? 3 : 4);
    }
    const bool free = index == DS::PresetFree;
    teikou_t->setEnabled(free);
    Com_a->setEnabled(free);
}

void frmDetailed_setting::chooseCsv(int index)
{
    const bool on = index == 1;
    QPalette pal = csv_l->palette();
    pal.setColor(QPalette::Window, on ? QColor(Qt::white) : palette().color(QPalette::Button));
    csv_l->setPalette(pal);
    csv_c->setEnabled(on);
    m_main.state().detailed.flg_csv = on;
}

void frmDetailed_setting::browse(QLabel *target)
{
    const QString chosen = Dialogs::instance().pickFolder(
        this, DetailedSettings::folderPickerTitle(), logFilename_l->text());
    if (chosen.isEmpty())
        return;
    const QString folder = QDir::fromNativeSeparators(chosen);
    target->setText(folder);
    target->setToolTip(folder);
}

void frmDetailed_setting::setBusy(bool busy)
{
    SSTab1->setEnabled(!busy);
    FAN_C->setEnabled(!busy);
    Cancel_c->setEnabled(!busy);
}

bool frmDetailed_setting::pressOk()
{
    DetailedSettingsState &st = m_main.state().detailed;
    setBusy(true);
    m_applying = true;
    WindowHost *main = &m_main;
    DetailedSettings::Context ctx{ini(),
                                  st,
                                  param().LogInterval,
                                  [main] { return main->spreadsheetProgram(); },
                                  [main](const QString &folder) { main->SetLogdirname(folder); },
                                  &InstrumentSession::pause};
    QPointer<frmDetailed_setting> self(this);
    const DetailedSettings::Result r = DetailedSettings::ApplySettings(values(), ctx);
    if (!self)
        return r.ok;
    m_applying = false;
    if (r.csvMissing) {
        csv_op.at(0)->setChecked(true);
        chooseCsv(0);
        Dialogs::instance().message(this, DetailedSettings::csvMissingMessage(),
                                    DetailedSettings::confirmTitle());
    }
    if (!r.ok) {
        setBusy(false);
        SSTab1->setCurrentIndex(r.page);
        // The write that is closing this window must not go on with settings
        // the user was just told are wrong.
        if (m_closingForWrite)
            st.flg_s = false;
        Dialogs::instance().message(this, r.message, DetailedSettings::errorTitle());
        return false;
    }
    // The status server follows what was stored.
    Q_EMIT m_main.events().statusServingChanged();
    // Closing for the toolbar's write: that write follows, asking again
    // would start a second one inside it.
    if (m_closingForWrite)
        return true;
    if (Dialogs::instance().question(this, DetailedSettings::writeQuestion(m_main.logRecording()),
                                     DetailedSettings::writeTitle(), false)) {
        st.flg_s2 = true;
        m_main.Toolbar1_ButtonClick(QStringLiteral("WRITE"));
    }
    if (self)
        closeWindow();
    return true;
}

void frmDetailed_setting::closeWindow()
{
    m_main.unloadWindow(kName);
}

void frmDetailed_setting::closeEvent(QCloseEvent *event)
{
    DetailedSettingsState &st = m_main.state().detailed;
    // Not while the values are being written (the close box stays usable).
    if (m_applying) {
        event->ignore();
        return;
    }
    if (st.flg_s && !st.flg_s2 && !m_closingForWrite) {
        if (Dialogs::instance().question(this, DetailedSettings::closeQuestion(),
                                         DetailedSettings::closeTitle(), true)) {
            m_closingForWrite = true;
            pressOk();
        } else {
            // Asked only by the toolbar's write: "いいえ" stops the write and
            // leaves the window open as typed, as the pattern editor does;
            // closing it would throw the operator's input away.
            st.flg_s = false;
            event->ignore();
            return;
        }
    }
    event->accept();
}

void frmDetailed_setting::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        // The designed size is a minimum: these fonts need more room.
        if (QWidget *frame = parentWidget()) {
            frame->move(0, 0);
            frame->resize(frame->size().expandedTo(frame->minimumSizeHint()));
        }
    }
}

bool frmDetailed_setting::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *check = qobject_cast<QCheckBox *>(watched);
        const int key = static_cast<QKeyEvent *>(event)->key();
        // The key beside the right shift of a Japanese keyboard toggles too.
        if (check && (key == Qt::Key_Backslash || key == Qt::Key_yen)) {
            check->toggle();
            return true;
        }
    } else if (event->type() == QEvent::FocusIn) {
        if (auto *box = qobject_cast<QLineEdit *>(watched)) {
            // After the click that focused it has placed the cursor.
            QTimer::singleShot(0, box, [box] { WindowHost::SelectAllText(box); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

QWidget *frmDetailed_setting::pageEntry(int page) const
{
    switch (page) {
    case DS::SensorPage:
        return ck_si.at(0);
    case DS::FanPage:
        return FAN_O.value(m_fan->checkedId(), FAN_O.at(0));
    case DS::OtherPage:
        return O_lit.value(m_lit->checkedId(), O_lit.at(0));
    default:
        return nullptr;
    }
}

void frmDetailed_setting::enterPage(int page)
{
    if (SSTab1->currentIndex() != page)
        SSTab1->setCurrentIndex(page); // moves the focus
    else if (QWidget *entry = pageEntry(page))
        entry->setFocus(Qt::TabFocusReason);
}

// The Tab key walks through all pages: leaving the last control of a page
// goes on to the next page, and the last button back to the first page.
bool frmDetailed_setting::focusNextPrevChild(bool next)
{
    QWidget *before = focusWidget();
    // Also called when a page is hidden with the focus on it: not a Tab.
    if (!before || !before->isVisible())
        return QWidget::focusNextPrevChild(next);
    const int page = SSTab1->currentIndex();
    QWidget *pageWidget = SSTab1->currentWidget();
    const bool wasOnPage = before && pageWidget->isAncestorOf(before);
    const bool result = QWidget::focusNextPrevChild(next);
    if (!SSTab1->isEnabled())
        return result;
    QWidget *after = focusWidget();
    const bool leftPage = wasOnPage && !(after && pageWidget->isAncestorOf(after));
    if (next && leftPage && page < DS::OtherPage) {
        enterPage(page + 1);
    } else if (!next && leftPage && page > DS::SensorPage) {
        enterPage(page - 1);
    } else if (next && before == Cancel_c && page != DS::SensorPage) {
        SSTab1->blockSignals(true);
        SSTab1->setCurrentIndex(DS::SensorPage);
        SSTab1->blockSignals(false);
    }
    return result;
}

void registerDetailedSettingsWindow(WindowHost &w)
{
    w.registerWindow(
        kName, [](WindowHost &main) -> QWidget * { return new frmDetailed_setting(main); },
        QSize(frmDetailed_setting::WidthTwips, frmDetailed_setting::HeightTwips));
}
