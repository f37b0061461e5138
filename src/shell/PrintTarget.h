#pragma once

#include <QString>

class QPrinter;
class QWidget;

// Where a print goes: the default printer, or, when no printer is installed
// (the common case on a bench laptop), a PDF file of the same pages that the
// user is offered to save instead. Questions and the save dialog go through
// the dialog seam.
namespace PrintTarget {

// Sets `printer` up for the default printer, or asks for a PDF file when
// there is none. False when nothing is to be printed (declined, cancelled).
bool choose(QWidget *parent, QPrinter &printer, const QString &folder);
// After printing: a PDF that was not written is reported.
void confirm(QWidget *parent, const QPrinter &printer);

} // namespace PrintTarget
