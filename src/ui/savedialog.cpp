#include "ui/savedialog.h"

#include <QApplication>
#include <QFileDialog>

namespace kelvane::ui {

QStringList NameFiltersFromList(std::string_view filter) {
  const QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size()))
                                .split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QString patterns = parts[i + 1].trimmed();
    if (patterns.isEmpty()) continue;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    QStringList list = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString& p : list)
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    const QString shown = list.join(QLatin1Char(' '));
    // The toolkit reads the patterns from the last "(...)"; a description
    // that already ends in its own patterns is kept as it is.
    if (description.endsWith(QLatin1Char(')')) &&
        description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
      filters << description;
    else
      filters << description + QStringLiteral(" (") + shown + QLatin1Char(')');
  }
  return filters;
}

std::string ChooseSaveFile(QWidget* parent, const SaveDialogRequest& request) {
  QFileDialog dialog(parent, QString::fromUtf8(request.title));
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QStringList filters = NameFiltersFromList(request.filter);
  dialog.setNameFilters(filters);
  if (!filters.isEmpty()) dialog.selectNameFilter(filters.first());
  dialog.selectFile(QString::fromUtf8(request.presetName));
  // The user chooses with the normal pointer, even inside a busy command.
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  QApplication::restoreOverrideCursor();
  if (!accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? std::string() : chosen.first().toStdString();
}

}  // namespace kelvane::ui
