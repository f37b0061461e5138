#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class SerialLink;

// What the link watch shows. The main window implements it over its status
// bar and the dialog seam; tests record it.
class LinkWatchView {
public:
    virtual ~LinkWatchView() = default;
    // The link cell of the status bar: "通信：正常" or "通信：異常".
    virtual void showCommState(bool ok) = 0;
    // The notice that does not block, and its closing.
    virtual void showLossNotice() = 0;
    virtual void closeLossNotice() = 0;
};

// Tells a lost instrument while the status is being polled (a log or a run),
// once per loss, and its return. The port's reopen after a timeout marks the
// link healthy before anything is known; only a received line proves the
// instrument is back, so a loss lasts until one arrives.
class LinkWatch : public QObject {
    Q_OBJECT
public:
    explicit LinkWatch(SerialLink &link, QObject *parent = nullptr);

    void setView(LinkWatchView *view) { m_view = view; }
    // Whether a log or a run polls the instrument.
    std::function<bool()> polling;
    // The wall clock of the system-log notes (tests set it).
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

    bool lost() const { return m_lost; }
    // The polling ended (the log was stopped): the notice's promise to resume
    // no longer holds, so it goes, and the cell follows the link as usual.
    void pollingStopped();

    static QString noticeText();
    static QString noticeTitle();
    static QString lossNote();
    static QString returnNote();

private:
    void onCommState(bool ok);
    void onLine();

    SerialLink &m_link;
    LinkWatchView *m_view = nullptr;
    bool m_lost = false;
};
