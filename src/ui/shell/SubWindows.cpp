#include "ui/shell/SubWindows.h"

#include "core/app/Twips.h"
#include "core/app/WindowArrangement.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStyle>
#include <QVariant>

namespace SubWindows {

namespace {

const char *const kArranged = "krmArrangedAt";
const char *const kPlaced = "krmPlacedAt";

// Designed places and sizes in twips: sensor log, status log, graph (whose
// size follows the area, 200 twips short of its right and bottom edges),
// live read-out (under the graph, at its own size).
constexpr int Designed[WindowArrangement::Monitors][4] = {
    {0, 0, 7695, 2600}, {7696, 0, 4100, 2600}, {0, 2605, 0, 0}, {0, 0, 0, 0}};
const char *const kMonitorNames[WindowArrangement::Monitors] = {"frmSenlog", "frmStatuslog",
                                                                "frmGraph", "frmCurrentValues"};
constexpr int GraphMarginTwips = 200;

QMdiSubWindow *monitor(QMdiArea *area, int m)
{
    for (QMdiSubWindow *sub : area->subWindowList()) {
        if (!sub->isHidden() && sub->widget() &&
            sub->widget()->objectName() == QLatin1String(kMonitorNames[m]))
            return sub;
    }
    return nullptr;
}

// A window the user has not moved, resized, maximised or minimised since it
// was arranged.
bool stillArranged(const QMdiSubWindow *sub)
{
    const QVariant at = sub->property(kArranged);
    return at.isValid() && at.toRect() == sub->geometry() &&
           !(sub->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
}

// Grows the main window by `by` and keeps it on its screen.
void growMain(QWidget *main, QSize by)
{
    main->resize(main->size() + by);
    const QScreen *screen = main->screen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QRect frame = main->frameGeometry().adjusted(0, 0, by.width(), by.height());
    QPoint shift(std::min(0, avail.right() - frame.right()),
                 std::min(0, avail.bottom() - frame.bottom()));
    shift.setX(std::max(shift.x(), avail.left() - frame.left()));
    shift.setY(std::max(shift.y(), avail.top() - frame.top()));
    if (!shift.isNull())
        main->move(main->pos() + shift);
}

} // namespace

void sizeNew(QMdiSubWindow *sub, const QString &name, QSize outerTwips)
{
    if (isDialogLike(name))
        sub->setWindowFlags(sub->windowFlags() & ~Qt::WindowMaximizeButtonHint);
    if (outerTwips.isValid())
        Twips::resizeWindow(sub, outerTwips.width(), outerTwips.height());
    else
        sub->adjustSize();
    if (name == QLatin1String("frmToppage"))
        sub->move(0, 0);
}

bool isDialogLike(const QString &name)
{
    static const char *const names[] = {"frmFix_control", "frmPattern_control", "frmStepview",
                                        "frmPort"};
    for (const char *n : names)
        if (name == QLatin1String(n))
            return true;
    return false;
}

void keepOwnSize(QMdiSubWindow *sub, const QString &name)
{
    if (!isDialogLike(name) || !sub->isMaximized())
        return;
    const QRect normal = sub->normalGeometry();
    sub->showNormal();
    if (normal.isValid())
        sub->setGeometry(normal);
    // Its own place was set while it stood maximised, and lost with it.
    const QVariant at = sub->property(kPlaced);
    if (at.isValid())
        sub->move(at.toPoint());
}

void placeAt(QWidget *child, QPoint topLeft)
{
    auto *sub = child ? qobject_cast<QMdiSubWindow *>(child->parentWidget()) : nullptr;
    if (!sub)
        return;
    sub->setProperty(kPlaced, topLeft);
    sub->move(topLeft);
}

void arrangeMonitors(QWidget *child)
{
    using namespace WindowArrangement;
    auto *shown = qobject_cast<QMdiSubWindow *>(child->parentWidget());
    QMdiArea *area = shown ? shown->mdiArea() : nullptr;
    if (!area || (shown->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
        return;

    Sizes sizes;
    std::array<QMdiSubWindow *, Monitors> subs{};
    TwoForms *forms = nullptr;
    for (int m = 0; m < Monitors; ++m) {
        sizes.place[size_t(m)] =
            QPoint(Twips::toPixelsX(Designed[m][0]), Twips::toPixelsY(Designed[m][1]));
        sizes.size[size_t(m)] = Twips::toPixels(Designed[m][2], Designed[m][3]);
        QMdiSubWindow *sub = monitor(area, m);
        if (sub == shown || (sub && stillArranged(sub)))
            subs[size_t(m)] = sub;
        if (!sub)
            continue;
        if (m != Readout) {
            sizes.least[size_t(m)] = sub->minimumSizeHint().expandedTo(sub->minimumSize());
            continue;
        }
        // A read-out the user has moved or resized is no longer given room.
        if (!subs[size_t(m)])
            continue;
        // Its two forms, each measured as laid out; the form shown is
        // chosen below.
        forms = dynamic_cast<TwoForms *>(sub->widget());
        const bool wasNarrow = forms && forms->narrow();
        auto measure = [sub, forms](bool narrow, QSize *least) {
            if (forms)
                forms->setNarrow(narrow);
            *least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
            return sub->sizeHint().expandedTo(*least);
        };
        sizes.size[size_t(m)] = measure(false, &sizes.least[size_t(m)]);
        if (forms) {
            QSize least;
            sizes.narrowReadout = measure(true, &least);
            forms->setNarrow(wasNarrow);
        }
    }
    sizes.graphMargin = Twips::toPixels(GraphMarginTwips, GraphMarginTwips);

    // The area as if it showed no scroll bar: one shown for a previous
    // arrangement goes when this one fits.
    QSize room = area->contentsRect().size();
    const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area);
    Plan plan = designed(room, sizes);
    // The read-out, as it opens, asks for room under the graph at the
    // height the graph has without it (once: later arrangements keep it).
    // Opened again, it takes the room it left under a graph arranged before.
    const QMdiSubWindow *graph = subs[Graph] != shown ? subs[Graph] : nullptr;
    const QSize seen = room - QSize(0, plan.needed.width() > room.width() ? bar : 0);
    const Plan visible = designed(seen, sizes);
    const bool left = graph && visible.rect[Graph].height() >= graph->height();
    const QSize wanted = monitor(area, Readout) == shown && !left
                             ? roomForReadout(room, sizes).expandedTo(plan.needed)
                             : QSize(plan.needed.width(), visible.needed.height());
    QWidget *main = area->window();
    // What the screen has beside the main window, where the window may grow.
    QSize spare(0, 0);
    if (main && !(main->windowState() & ~Qt::WindowActive) && main->screen())
        spare = main->screen()->availableGeometry().size() - main->frameGeometry().size();
    // Grows the main window within its screen towards a work area of `need`.
    auto grow = [&](QSize need) {
        if (need.width() <= room.width() && need.height() <= room.height())
            return;
        // What stays wider than the screen allows brings a scroll bar, whose
        // height the area then needs as well (and the other way round).
        QSize wish = need;
        if (wish.width() > room.width() + std::max(spare.width(), 0))
            wish.rheight() += bar;
        if (wish.height() > room.height() + std::max(spare.height(), 0))
            wish.rwidth() += bar;
        const QSize by = growth(room, wish, spare);
        if (by.width() > 0 || by.height() > 0) {
            growMain(main, by);
            room += by;
        }
    };
    // Too low even when grown for the read-out under the graph: it stands
    // beside the graph, narrow, where the screen is wide enough (a 1366 x 768
    // one is).
    const QSize most = room + spare.expandedTo(QSize(0, 0));
    const bool narrow = forms &&
                        (wanted.width() > most.width() || wanted.height() > most.height()) &&
                        besideGraph(most, sizes).fits(most);
    if (narrow) {
        grow(besideGraph(room, sizes).needed);
        plan = besideGraph(room, sizes);
    } else {
        grow(wanted);
        plan = designed(room, sizes);
    }
    if (forms)
        forms->setNarrow(narrow);
    if (!plan.fits(room)) {
        const Plan row = sideBySide(sizes);
        if (row.fits(room)) {
            plan = row;
        } else {
            // The scroll bars take their share of the area.
            QSize inside = room;
            if (plan.needed.width() > room.width())
                inside.rheight() -= bar;
            if (plan.needed.height() > room.height())
                inside.rwidth() -= bar;
            plan = designed(inside, sizes);
        }
        // Whatever does not fit stays reachable.
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    for (int m = 0; m < Monitors; ++m) {
        if (QMdiSubWindow *sub = subs[size_t(m)]) {
            sub->setGeometry(plan.rect[size_t(m)]);
            sub->setProperty(kArranged, sub->geometry());
        }
    }
}

} // namespace SubWindows
