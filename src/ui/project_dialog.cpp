#include "ui/project_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "format/user_text.h"
#include "ui/flag_tint.h"

namespace kelvane::ui {

namespace {

// Why the case file cannot hold `text`, or "".
QString TextFaultWords(const QString& text) {
  const std::optional<TextFault> fault = FindTextFault(text.toStdString(), true);
  if (!fault) return QString();
  return ProjectDialog::tr("含有制表符等控制字符，算例文件不能保存");
}

void Tint(QWidget* box, const QString& fault) {
  QPalette tinted = box->palette();
  tinted.setColor(QPalette::Base, FlaggedBackColor());
  box->setPalette(fault.isEmpty() ? QPalette() : tinted);
  box->setToolTip(fault.isEmpty() ? QString() : FlagToolTip({fault}));
}

}  // namespace

ProjectDialog::ProjectDialog(const ProjectInfo& info, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProjectDialog"));
  setWindowTitle(tr("工程信息"));
  auto* note = new QLabel(
      tr("计算书的封面、签署页和计算依据。不填的项目，计算书用它自己的默认文字。"), this);
  auto* form = new QFormLayout;
  std::size_t k = 0;
  for (const ProjectText& field : kProjectTexts) {
    QLineEdit* box = boxes_[k++] = new QLineEdit(this);
    box->setObjectName(QLatin1String(field.key));
    box->setText(QString::fromStdString(info.*(field.text)));
    box->setMinimumWidth(320);
    form->addRow(QString::fromUtf8(field.caption), box);
    connect(box, &QLineEdit::textChanged, this, &ProjectDialog::ShowFlags);
    if (field.text == &ProjectInfo::approvedBy) {
      // The basis of the book after the names on its sign-off page.
      basis_ = new QPlainTextEdit(this);
      basis_->setObjectName(QStringLiteral("basis"));
      basis_->setPlaceholderText(tr("每行一项；不填为《泵站设计标准》GB 50265-2022"));
      QStringList lines;
      for (const std::string& line : info.basis) lines << QString::fromStdString(line);
      basis_->setPlainText(lines.join(QLatin1Char('\n')));
      basis_->setFixedHeight(basis_->fontMetrics().lineSpacing() * 5);
      form->addRow(tr("计算依据"), basis_);
      connect(basis_, &QPlainTextEdit::textChanged, this, &ProjectDialog::ShowFlags);
    }
  }
  for (QLineEdit* box : boxes_) {
    if (box->objectName().endsWith(QStringLiteral("_basis")))
      box->setPlaceholderText(tr("为使用者给定的数值"));
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  ok_->setText(tr("确定"));
  ok_->setObjectName(QStringLiteral("OkButton"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelButton"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addLayout(form);
  layout->addWidget(buttons);
  ShowFlags();
}

QLineEdit* ProjectDialog::Box(const ProjectText& field) const {
  for (QLineEdit* box : boxes_) {
    if (box->objectName() == QLatin1String(field.key)) return box;
  }
  return nullptr;
}

ProjectInfo ProjectDialog::Info() const {
  ProjectInfo info;
  for (const ProjectText& field : kProjectTexts) {
    info.*(field.text) = Box(field)->text().trimmed().toStdString();
  }
  for (const QString& line : basis_->toPlainText().split(QLatin1Char('\n'))) {
    if (!line.trimmed().isEmpty()) info.basis.push_back(line.trimmed().toStdString());
  }
  return info;
}

void ProjectDialog::ShowFlags() {
  bool clean = true;
  for (QLineEdit* box : boxes_) {
    const QString fault = TextFaultWords(box->text());
    Tint(box, fault);
    clean = clean && fault.isEmpty();
  }
  QString fault;
  const QStringList lines = basis_->toPlainText().split(QLatin1Char('\n'));
  for (int n = 0; n < lines.size() && fault.isEmpty(); ++n) {
    const QString words = TextFaultWords(lines[n]);
    if (!words.isEmpty()) fault = tr("第 %1 行：%2").arg(n + 1).arg(words);
  }
  Tint(basis_, fault);
  ok_->setEnabled(clean && fault.isEmpty());
}

}  // namespace kelvane::ui
