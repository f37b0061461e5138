#include "ui/logging/GraphActions.h"
#include "core/logging/LogSummary.h"

#include "ui/shell/Dialogs.h"
#include "ui/shell/PrintTarget.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>

namespace {

const QString kError = QStringLiteral("error");
const QString kConfirm = QStringLiteral("確認");

void setA4Landscape(QPagedPaintDevice &printer)
{
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
    PrintTarget::setTitle(printer, GraphExport::reportTitle());
}

// A name typed without an extension gets the one of its kind.
QString withSuffix(const QString &path, const QString &suffix)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

QString withReason(const QString &reason)
{
    return reason.isEmpty() ? QString() : QLatin1Char('\n') + reason;
}

} // namespace

namespace GraphActions {

QString sizeQuestion()
{
    return QStringLiteral("画像の大きさを選んでください。");
}

QStringList sizeChoices()
{
    QStringList out;
    const QList<QSize> sizes = GraphExport::pictureSizes();
    for (qsizetype i = 0; i < sizes.size(); ++i)
        out << QStringLiteral("%1×%2").arg(sizes.at(i).width()).arg(sizes.at(i).height()) +
                   (i == 0 ? QStringLiteral("（標準）") : QString());
    return out;
}

QString csvRangeQuestion()
{
    return QStringLiteral("CSVファイルに保存する範囲を選んでください。");
}

QStringList csvRangeChoices()
{
    return {QStringLiteral("表示中のページ"), QStringLiteral("ログ全体")};
}

QString reportRangeQuestion()
{
    return QStringLiteral("レポートに印刷する範囲を選んでください。");
}

QStringList reportRangeChoices(const WholeLog &whole)
{
    return {QStringLiteral("表示中のページ（1ページ）"),
            QStringLiteral("ログ全体（%1ページ）").arg(whole.pages.size() + 1)};
}

QString imageFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("画像ファイルを保存できませんでした。\n") +
           QDir::toNativeSeparators(path) + withReason(reason);
}

QString csvFailText(const QString &path, const QString &reason)
{
    return QStringLiteral("CSVファイルを保存できませんでした。\n") +
           QDir::toNativeSeparators(path) + withReason(reason);
}

QString pdfSavedText(const QString &path)
{
    return QStringLiteral("PDFファイルを保存しました。\n") + QDir::toNativeSeparators(path);
}

QString saveImage(QWidget *parent, const QImage &image, const QString &folder)
{
    Dialogs &d = Dialogs::instance();
    const QString chosen = d.saveFile(parent, QStringLiteral("PNGファイル (*.png)"), folder);
    if (chosen.isEmpty())
        return {};
    QString path = withSuffix(chosen, QStringLiteral("png"));
    QString reason;
    if (!GraphExport::writeImage(path, image, &reason)) {
        d.message(parent, imageFailText(path, reason), kError);
        return {};
    }
    return path;
}

QString savePicture(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                    const QString &folder)
{
    const int size = Dialogs::instance().choose(parent, sizeQuestion(), kConfirm, sizeChoices(), 0);
    if (size < 0)
        return {};
    const QImage picture = GraphExport::image(page, setup, GraphExport::pictureSizes().value(size));
    return saveImage(parent, picture, folder);
}

QString saveCsv(QWidget *parent, const GraphPage &page, const QString &folder,
                const WholeLog &whole)
{
    Dialogs &d = Dialogs::instance();
    bool all = false;
    if (whole.offered()) {
        const int range = d.choose(parent, csvRangeQuestion(), kConfirm, csvRangeChoices(), 0);
        if (range < 0)
            return {};
        all = range == 1;
    }
    const QString chosen = d.saveFile(parent, QStringLiteral("CSVファイル (*.csv)"), folder);
    if (chosen.isEmpty())
        return {};
    QString path = withSuffix(chosen, QStringLiteral("csv"));
    QString reason;
    const QByteArray bytes = all ? GraphExport::csv(whole.all) : GraphExport::csv(page);
    if (!GraphExport::writeFile(path, bytes, &reason)) {
        d.message(parent, csvFailText(path, reason), kError);
        return {};
    }
    return path;
}

bool printReportTo(QPagedPaintDevice &printer, const GraphPage &page,
                   const GraphExport::PlotSetup &setup)
{
    setA4Landscape(printer);
    QPainter g;
    if (!g.begin(&printer))
        return false;
    GraphExport::drawReport(g, QRectF(g.viewport()), page, setup, 1, 1);
    return g.end();
}

bool printWholeReportTo(QPagedPaintDevice &printer, const WholeLog &whole,
                        const GraphExport::PlotSetup &setup, const LogSummary &summary)
{
    setA4Landscape(printer);
    QPainter g;
    if (!g.begin(&printer))
        return false;
    const int count = int(whole.pages.size()) + 1;
    GraphExport::drawSummary(g, QRectF(g.viewport()), summary, 1, count);
    for (int n = 2; n <= count; ++n) {
        if (!printer.newPage()) {
            g.end();
            return false;
        }
        GraphExport::drawReport(g, QRectF(g.viewport()), whole.pages.at(n - 2), setup, n, count);
    }
    return g.end();
}

void printReport(QWidget *parent, const GraphPage &page, const GraphExport::PlotSetup &setup,
                 const QString &folder, const WholeLog &whole)
{
    Dialogs &d = Dialogs::instance();
    if (!d.question(parent, QStringLiteral("印刷しますか？"), kConfirm, true))
        return;
    // A stored log's report has its summary whenever it is printed whole,
    // as a log of one page always is.
    bool all = whole.stored() && !whole.offered();
    if (whole.offered()) {
        const int range =
            d.choose(parent, reportRangeQuestion(), kConfirm, reportRangeChoices(whole), 0);
        if (range < 0)
            return;
        all = range == 1;
    }
    PrintTarget::Job job;
    if (!PrintTarget::choose(parent, job, folder))
        return;
    bool printed = false;
    if (all) {
        LogSummary summary = LogSummary::of(whole.all, whole.memo);
        summary.alarms = summary.alarmsIn(whole.systemLogFolder);
        summary.graphPages = int(whole.pages.size());
        if (!whole.stepsPath.isEmpty())
            summary.steps = LogSummary::readSteps(whole.stepsPath);
        printed = printWholeReportTo(job.device(), whole, setup, summary);
    } else {
        printed = printReportTo(job.device(), page, setup);
    }
    // A file is written only when the whole report is in it.
    if (PrintTarget::finish(parent, job) && printed && !job.pdfPath().isEmpty())
        d.message(parent, pdfSavedText(job.pdfPath()), kConfirm);
}

} // namespace GraphActions
