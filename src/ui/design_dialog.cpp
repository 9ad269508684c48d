#include "ui/design_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

#include "solver/input_check.h"
#include "solver/inputs.h"
#include "ui/input_form.h"

namespace kelvane::ui {

DesignDialog::DesignDialog(const DesignTexts& texts, const InputTexts& inputs, QWidget* parent,
                           ModelExtras extras)
    : QDialog(parent), inputs_(inputs), extras_(std::move(extras)) {
  setObjectName(QStringLiteral("DesignDialog"));
  setWindowTitle(tr("设计资料"));
  auto* note = new QLabel(tr("只用于计算结果的校核，不影响计算本身。不填的项目不校核；\n"
                             "顶板高程按进、出口底高程沿箱涵线性内插，加箱涵净高。"),
                          this);
  auto* form = new QFormLayout;
  for (const DesignField& field : DesignFields()) {
    QLineEdit*& box = boxes_[static_cast<std::size_t>(field.id)];
    box = new QLineEdit(this);
    box->setObjectName(QLatin1String(field.option));
    // The site's items have a value when left empty: sea level, 20 °C.
    box->setPlaceholderText(field.id == DesignId::SiteElevation      ? tr("0（海平面）")
                            : field.id == DesignId::WaterTemperature ? tr("20")
                                                                     : tr("不校核"));
    if (texts[field.id]) box->setText(QString::fromStdString(*texts[field.id]));
    form->addRow(tr("%1 (%2)").arg(QString::fromUtf8(field.caption), QString::fromUtf8(field.unit)),
                 box);
    connect(box, &QLineEdit::textChanged, this, &DesignDialog::ShowFlags);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  clear_ = buttons->addButton(tr("清除"), QDialogButtonBox::ResetRole);
  clear_->setObjectName(QStringLiteral("ClearDesign"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(clear_, &QPushButton::clicked, this, [this] {
    for (QLineEdit* box : boxes_) box->clear();
  });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note);
  layout->addLayout(form);
  layout->addWidget(buttons);
  ShowFlags();
}

DesignTexts DesignDialog::Texts() const {
  DesignTexts texts;
  for (const DesignField& field : DesignFields()) {
    const std::string text = Box(field.id)->text().toStdString();
    // Blanks alone are an item left empty, as the case file reads them.
    if (!ScanLeadingNumber(text).clean.empty()) texts[field.id] = text;
  }
  return texts;
}

void DesignDialog::ShowFlags() {
  const DesignTexts texts = Texts();
  const std::vector<DesignFlag> flags = CheckDesignTexts(texts, inputs_, extras_);
  const DesignData values = ReadDesignData(texts);
  // A soffit above the starting head is told on the clear height and
  // concerns the inverts as much: their boxes show it too.
  const auto notFull = std::find_if(flags.begin(), flags.end(), [](const DesignFlag& f) {
    return std::ranges::find(f.reasons, InputFlagReason::CulvertNotFullAtStart) != f.reasons.end();
  });
  for (const DesignField& field : DesignFields()) {
    const auto flag = std::find_if(flags.begin(), flags.end(),
                                   [&field](const DesignFlag& f) { return f.item == field.id; });
    std::string text = flag != flags.end() ? DesignFlagText(*flag) : std::string();
    const bool invert = field.id == DesignId::CulvertInvertUpstream ||
                        field.id == DesignId::CulvertInvertDownstream;
    if (invert && notFull != flags.end()) {
      DesignFlag start = *notFull;
      start.reasons = {InputFlagReason::CulvertNotFullAtStart};
      text += (text.empty() ? "" : "；") + DesignFlagText(start);
    }
    ShowBoxCheck(Box(field.id), field.caption, field.unit, values[field.id], text);
  }
}

}  // namespace kelvane::ui
