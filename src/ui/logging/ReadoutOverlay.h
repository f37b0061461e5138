#pragma once

#include "core/logging/GraphReadout.h"

#include <QObject>

#include <functional>

class QLabel;
class QWidget;

// The read-out under the mouse: a thin vertical cursor and a label with the
// sample, its times and the four readings, laid over the graph's viewport.
// Both are child widgets, so following the mouse never redraws the canvas.
class ReadoutOverlay : public QObject {
    Q_OBJECT
public:
    // `page` describes what the viewport shows; `scrollTwips` is its left edge.
    ReadoutOverlay(QWidget *viewport, std::function<GraphPage()> page,
                   std::function<int()> scrollTwips, double pixelsPerTwip);

    QLabel *label() const { return m_label; }
    QWidget *cursor() const { return m_cursor; }

    // The read-out for viewport pixel x; hidden where the page has no sample.
    void showAt(int x);
    void hide();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_viewport;
    std::function<GraphPage()> m_page;
    std::function<int()> m_scroll;
    double m_pxPerTwip;
    QWidget *m_cursor;
    QLabel *m_label;
};
