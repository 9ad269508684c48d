// The calculation report (计算书) of one run as an A4 PDF: the document
// report/calculation_document.h composes, laid out by the reports' PDF
// writer.
#pragma once

#include <QByteArray>
#include <string>

#include "report/calculation_document.h"

namespace kelvane {

// The report as the bytes of a PDF file. Throws RunError (Stage::Report)
// when the PDF cannot be drawn.
QByteArray CalculationReportPdf(const ReportInput& input);

// Writes the report through WriteFileAtomically: a failure throws RunError
// with the file catalogue's number and leaves an existing file untouched.
void WriteCalculationReport(const ReportInput& input, const std::string& path);

}  // namespace kelvane
