#include "ui/run_error_box.h"

#include <QMessageBox>

namespace kelvane::ui {

QString RunErrorMessage(const RunError& error) {
  return QString::fromStdString(RunErrorText(error, ErrorTextLayout::MessageBox));
}

void ShowRunError(QWidget* parent, const RunError& error) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), RunErrorMessage(error),
                  QMessageBox::Ok, parent);
  box.setObjectName(QStringLiteral("RunErrorMessage"));
  box.exec();
}

}  // namespace kelvane::ui
