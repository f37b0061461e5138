#pragma once

#include "core/app/LinkWatch.h"

#include <QObject>
#include <QPointer>

class WindowHost;

// The link watch inside the main window: the status bar's link cell and the
// loss notice through the dialog seam.
class LinkWatchWindows : public QObject, public LinkWatchView {
    Q_OBJECT
public:
    explicit LinkWatchWindows(WindowHost &w);
    ~LinkWatchWindows() override;

    // The instance registered in `w`.
    static LinkWatchWindows &of(WindowHost &w);
    // The session's watch, shown by these windows.
    LinkWatch &watch() { return *m_watch; }

    // Key of the loss notice in the dialog seam.
    static QString noticeKey();

    // LinkWatchView
    void showCommState(bool ok) override;
    void showLossNotice() override;
    void closeLossNotice() override;

private:
    WindowHost &m_w;
    // The session may go before the windows when the program ends.
    QPointer<LinkWatch> m_watch;
};

// Watches the host's link.
LinkWatchWindows *registerLinkWatch(WindowHost &w);
