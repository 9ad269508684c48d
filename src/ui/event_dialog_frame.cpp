#include "ui/event_dialog_frame.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>

#include "ui/help_window.h"

namespace kelvane::ui {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("EventDialog", text); }

void AddMenuKeys(QDialog& dialog, QPushButton* ok) {
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), &dialog);
  QObject::connect(help, &QShortcut::activated, &dialog, [&dialog] {
    ShowHelpAt(dialog, QStringLiteral("四、工况：泵流量过程与前池水位–面积表"));
  });
  auto* save = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), &dialog);
  QObject::connect(save, &QShortcut::activated, &dialog, [&dialog, ok] {
    if (ok->isEnabled()) {
      dialog.done(kAcceptedToSave);
    } else {
      QApplication::beep();  // the line under the table says what to mend
    }
  });
}

}  // namespace

EventDialogFrame FrameEventDialog(QDialog& dialog, QLayout* inputs, const QString& clearTip) {
  EventDialogFrame frame;
  frame.preview = new ChartView(&dialog);
  frame.preview->setObjectName(QStringLiteral("Preview"));
  frame.preview->setMinimumSize(460, 320);
  frame.summary = new QLabel(&dialog);
  frame.summary->setObjectName(QStringLiteral("Summary"));
  frame.summary->setWordWrap(true);
  frame.summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  frame.summary->setMinimumHeight(3 * frame.summary->fontMetrics().lineSpacing());

  auto* buttons = new QDialogButtonBox(&dialog);
  frame.ok = buttons->addButton(Tr("确定"), QDialogButtonBox::AcceptRole);
  frame.ok->setObjectName(QStringLiteral("OkButton"));
  QPushButton* cancel = buttons->addButton(Tr("取消"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("CancelButton"));
  frame.clear = buttons->addButton(Tr("清除"), QDialogButtonBox::ResetRole);
  frame.clear->setObjectName(QStringLiteral("ClearButton"));
  frame.clear->setToolTip(clearTip);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  AddMenuKeys(dialog, frame.ok);

  auto* right = new QVBoxLayout();
  right->addWidget(frame.preview, 1);
  right->addWidget(frame.summary);
  auto* columns = new QHBoxLayout();
  columns->addLayout(inputs, 0);
  columns->addLayout(right, 1);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(columns, 1);
  layout->addWidget(buttons);
  return frame;
}

}  // namespace kelvane::ui
