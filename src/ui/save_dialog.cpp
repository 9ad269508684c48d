#include "ui/save_dialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QRegularExpression>

#include "ui/translations.h"

namespace kelvane::ui {

SaveDialogSettings ResultFileDialogSettings() {
  SaveDialogSettings settings;
  settings.title = QObject::tr("保存输出结果");
  settings.presetName = QObject::tr("计算结果.txt");
  // "*" matches every file, also one without a dot.
  settings.nameFilters = {QObject::tr("所有文件 (*)"), QStringLiteral("(*.txt)"),
                          QStringLiteral("(*.dat)")};
  return settings;
}

QString FilterSuffix(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\(\\*\\.([^ )*?]+)"));
  const QRegularExpressionMatch match = pattern.match(filter);
  return match.hasMatch() ? match.captured(1) : QString();
}

QString ChooseSaveFile(QWidget* parent, const SaveDialogSettings& settings) {
  QFileDialog dialog(parent, settings.title);
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  UseProgramFileLabels(dialog);
  dialog.setNameFilters(settings.nameFilters);
  if (!settings.nameFilters.isEmpty()) {
    dialog.selectNameFilter(settings.nameFilters.first());
    dialog.setDefaultSuffix(FilterSuffix(settings.nameFilters.first()));
  }
  // A name typed without a type gets the chosen filter's, before the
  // question about replacing an existing file is asked.
  QObject::connect(
      &dialog, &QFileDialog::filterSelected, &dialog,
      [&dialog](const QString& filter) { dialog.setDefaultSuffix(FilterSuffix(filter)); });
  dialog.selectFile(settings.presetName);
  QApplication::setOverrideCursor(Qt::ArrowCursor);
  const bool accepted = dialog.exec() == QDialog::Accepted;
  QApplication::restoreOverrideCursor();
  if (!accepted) return {};
  const QStringList chosen = dialog.selectedFiles();
  return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace kelvane::ui
