#include "ui/calculation_report.h"

#include "ui/report_pdf.h"

namespace kelvane {

QByteArray CalculationReportPdf(const ReportInput& input) {
  if (input.run == nullptr) ReportFail("no run");
  return ReportDocumentPdf(CalculationDocument(input));
}

void WriteCalculationReport(const ReportInput& input, const std::string& path,
                            const ProjectInfo& project) {
  if (input.run == nullptr) ReportFail("no run");
  WriteReportDocument(CalculationDocument(input, project), path);
}

}  // namespace kelvane
