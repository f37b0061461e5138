#pragma once

#include "shell/LinkWatch.h"

#include <QObject>

class KRM2200;

// The link watch inside the main window: the status bar's link cell and the
// loss notice through the dialog seam.
class LinkWatchWindows : public QObject, public LinkWatchView {
    Q_OBJECT
public:
    explicit LinkWatchWindows(KRM2200 &w);
    ~LinkWatchWindows() override;

    // The instance registered in `w`.
    static LinkWatchWindows &of(KRM2200 &w);
    LinkWatch &watch() { return m_watch; }

    // Key of the loss notice in the dialog seam.
    static QString noticeKey();

    // LinkWatchView
    void showCommState(bool ok) override;
    void showLossNotice() override;
    void closeLossNotice() override;

private:
    KRM2200 &m_w;
    LinkWatch m_watch;
};

// Watches the main window's link; call after the logging windows are registered.
void registerLinkWatch(KRM2200 &w);
