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

// Writes the report of `input` with the project's information through
// WriteReportDocument: as OpenDocument text under a name ending in ".odt",
// else as PDF. A failure throws RunError with the file catalogue's number
// and leaves an existing file untouched.
void WriteCalculationReport(const ReportInput& input, const std::string& path,
                            const ProjectInfo& project = {});

}  // namespace kelvane
