#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QBuffer;
class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;
class QWidget;

// Where a print goes: the default printer, or, when no printer is installed
// (the common case on a bench laptop), a PDF file of the same pages that the
// user is offered to save instead. Questions and the save dialog go through
// the dialog seam.
namespace PrintTarget {

// The pages of one print. A PDF is made in memory and written whole when the
// pages are done (DiskFile), so a full disk never leaves a cut PDF behind,
// nor removes the file it was to replace.
class Job {
public:
    Job();
    ~Job();
    Job(const Job &) = delete;
    Job &operator=(const Job &) = delete;

    // What the pages are painted on: the printer, or the PDF.
    QPagedPaintDevice &device();
    // The PDF file chosen; empty when the pages go to a printer.
    QString pdfPath() const { return m_pdfPath; }

private:
    friend bool choose(QWidget *parent, Job &job, const QString &folder, bool defaultPrinter);
    friend bool finish(QWidget *parent, Job &job);

    std::unique_ptr<QPrinter> m_printer;
    QByteArray m_pdfBytes;
    std::unique_ptr<QBuffer> m_buffer;
    std::unique_ptr<QPdfWriter> m_pdf;
    QString m_pdfPath;
};

// Asks where the pages go: one of the printers the system knows (the
// default one first and chosen unless another is) or "PDFファイルに保存"; with
// no printer at all, whether to save a PDF. A PDF's file is asked for then.
// False when nothing is to be printed (declined, cancelled).
// With `defaultPrinter` the system's default printer is taken without a
// question when there is one (a button that says so).
bool choose(QWidget *parent, Job &job, const QString &folder, bool defaultPrinter = false);
// After printing: the PDF is written; one that could not be is reported with
// the system's reason, and a file of that name stays as it was. True when
// the pages went to the printer or the PDF was written.
bool finish(QWidget *parent, Job &job);

// The question of the choice and its last option.
QString destinationQuestion();
QString pdfChoice();
// The printers offered, the default first; empty when there is none.
QStringList destinations();

// The document's name on the printer's queue, or the PDF's title.
void setTitle(QPagedPaintDevice &device, const QString &title);

// "PDFファイルを保存できませんでした。" with the path and the reason.
QString pdfFailText(const QString &path, const QString &reason);

} // namespace PrintTarget
