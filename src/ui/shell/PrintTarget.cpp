#include "ui/shell/PrintTarget.h"

#include "core/config/DiskFile.h"
#include "ui/shell/Dialogs.h"

#include <QBuffer>
#include <QDir>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>

namespace PrintTarget {

Job::Job() = default;
Job::~Job() = default;

QPagedPaintDevice &Job::device()
{
    if (m_pdf)
        return *m_pdf;
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

QString destinationQuestion()
{
    return QStringLiteral("出力先を選んでください。");
}

QString pdfChoice()
{
    return QStringLiteral("PDFファイルに保存");
}

QStringList destinations()
{
    // The default printer first, then the others as the system lists them.
    QStringList names;
    const QString preferred = QPrinterInfo::defaultPrinterName();
    if (!preferred.isEmpty())
        names << preferred;
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        if (!names.contains(name))
            names << name;
    return names;
}

bool choose(QWidget *parent, Job &job, const QString &folder, bool defaultPrinter)
{
    Dialogs &d = Dialogs::instance();
    const QStringList printers = destinations();
    const QString preferred = QPrinterInfo::defaultPrinterName();
    if (defaultPrinter && !preferred.isEmpty()) {
        job.m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        job.m_printer->setPrinterName(preferred);
        return true;
    }
    if (printers.isEmpty()) {
        if (!d.question(parent,
                        QStringLiteral("プリンタが見つかりません。\nPDFファイルに保存しますか？"),
                        QStringLiteral("確認"), true))
            return false;
    } else {
        const int chosen = d.choose(parent, destinationQuestion(), QStringLiteral("確認"),
                                    printers + QStringList{pdfChoice()}, 0);
        if (chosen < 0)
            return false;
        if (chosen < printers.size()) {
            job.m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
            job.m_printer->setPrinterName(printers.at(chosen));
            return true;
        }
    }
    const QString path = d.saveFile(parent, QStringLiteral("PDFファイル (*.pdf)"), folder);
    if (path.isEmpty())
        return false;
    job.m_pdfPath = path;
    job.m_buffer = std::make_unique<QBuffer>(&job.m_pdfBytes);
    job.m_buffer->open(QIODevice::WriteOnly);
    // The printer's resolution, so the pages come out alike on both.
    job.m_pdf = std::make_unique<QPdfWriter>(job.m_buffer.get());
    job.m_pdf->setResolution(1200);
    return true;
}

bool finish(QWidget *parent, Job &job)
{
    if (job.m_pdfPath.isEmpty())
        return true;
    // The writer finishes the file when its painter ends; an empty buffer
    // means nothing was painted.
    QString reason;
    const bool written =
        !job.m_pdfBytes.isEmpty() && DiskFile::replace(job.m_pdfPath, job.m_pdfBytes, &reason);
    if (!written)
        Dialogs::instance().message(parent, pdfFailText(job.m_pdfPath, reason),
                                    QStringLiteral("error"));
    return written;
}

void setTitle(QPagedPaintDevice &device, const QString &title)
{
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setDocName(title);
    else if (auto *pdf = dynamic_cast<QPdfWriter *>(&device))
        pdf->setTitle(title);
}

QString pdfFailText(const QString &path, const QString &reason)
{
    QString text =
        QStringLiteral("PDFファイルを保存できませんでした。\n") + QDir::toNativeSeparators(path);
    if (!reason.isEmpty())
        text += QLatin1Char('\n') + reason;
    return text;
}

} // namespace PrintTarget
