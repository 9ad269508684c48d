// Answers the modal dialogs a test expects, in order, and closes and records
// any other one, so a stray dialog fails the test instead of hanging it.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <functional>

class ModalWatchdog : public QObject {
 public:
  // Gets the dialog; closes it itself.
  using Answer = std::function<void(QWidget* dialog)>;

  ModalWatchdog() {
    connect(&timer_, &QTimer::timeout, this, &ModalWatchdog::Check);
    timer_.start(20);
  }

  void Expect(Answer answer) { answers_.push_back(std::move(answer)); }
  int Pending() const { return static_cast<int>(answers_.size()); }
  const QStringList& Unexpected() const { return unexpected_; }
  // Everything expected came, nothing else did.
  bool Clean() const { return answers_.empty() && unexpected_.isEmpty(); }
  QString Report() const {
    return QStringLiteral("pending %1, unexpected: %2")
        .arg(Pending())
        .arg(unexpected_.join(QStringLiteral(" | ")));
  }

 private:
  void Check() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || busy_) return;
    busy_ = true;
    if (!answers_.empty()) {
      Answer answer = std::move(answers_.front());
      answers_.pop_front();
      answer(modal);
    } else {
      QString text = modal->windowTitle();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) text += QStringLiteral(": ") + box->text();
      unexpected_ << QString::fromLatin1(modal->metaObject()->className()) + QLatin1Char(' ') +
                         text;
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
      else
        modal->close();
    }
    busy_ = false;
  }

  QTimer timer_;
  std::deque<Answer> answers_;
  QStringList unexpected_;
  bool busy_ = false;
};

// Answers a message box: records its title and text, then presses OK.
inline ModalWatchdog::Answer RecordMessage(QString* title, QString* text) {
  return [title, text](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box) {
      *text = QStringLiteral("not a message box: ") +
              QString::fromLatin1(dialog->metaObject()->className());
      dialog->close();
      return;
    }
    *title = box->windowTitle();
    *text = box->text();
    box->accept();
  };
}

// Answers a message box by pressing the button that reads `caption`, and
// records its text.
inline ModalWatchdog::Answer Press(const QString& caption, QString* text) {
  return [caption, text](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    if (!box) return dialog->close(), void();
    *text = box->text();
    for (QAbstractButton* button : box->buttons()) {
      if (button->text() == caption) return button->click();
    }
    box->reject();
  };
}
