// What the window tests share: finding controls by name, the moment of the
// main window's state table, a scripted save dialog and a main window set up
// for a test.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <string>
#include <vector>

#include "files/output.h"
#include "model/model.h"
#include "ui/main_window.h"
#include "ui/save_dialog.h"
#include "ui/status_line.h"

namespace kelvane::ui {

// The box of an input, found by its object name ("Text5").
inline QLineEdit* Text(const InputForm& form, InputId id) {
  return form.findChild<QLineEdit*>(QString::fromLatin1(Field(id).box));
}
// The texts the boxes hold, as Calculate reads them.
inline InputTexts TypedTexts(const InputForm& form) {
  InputTexts texts;
  for (InputId id : AllInputs()) texts[id] = Text(form, id)->text().toStdString();
  return texts;
}
// Types `text` into `box` over what it holds, key by key (as an input method
// delivers a character that has no key of its own: "−", "４").
inline void TypeInto(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Delete);
  for (QChar c : text)
    QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}
// The main window's status line whole, as its tooltip lists it (the line
// itself may be cut at the window's edge).
inline QString StatusItems(const MainWindow& window) {
  return window.findChild<StatusLine*>(QStringLiteral("RunPreview"))
      ->Items()
      .join(QStringLiteral("　"));
}
inline QPushButton* Button(const InputForm& form, int n) {
  return form.findChild<QPushButton*>(QStringLiteral("Command%1").arg(n));
}
inline bool Busy() {
  const QCursor* cursor = QApplication::overrideCursor();
  return cursor && cursor->shape() == Qt::WaitCursor;
}

// What the state table of the main window tracks at one moment.
struct Moment {
  bool command3Enabled;
  bool command4Enabled;
  bool command4Visible;
  bool barVisible;
  float barMinimum, barMaximum, barValue;
  bool busy;
  bool operator==(const Moment&) const = default;
};
inline Moment Observe(const InputForm& form) {
  const RealProgressBar* bar = form.ProgressBar();
  return {Button(form, 3)->isEnabled(),
          Button(form, 4)->isEnabled(),
          Button(form, 4)->isVisible(),
          bar->isVisible(),
          bar->Minimum(),
          bar->Maximum(),
          bar->Value(),
          Busy()};
}
inline char* toString(const Moment& m) {
  return QTest::toString(QStringLiteral("C3 %1 C4 %2/%3 bar %4 %5..%6 = %7 busy %8")
                             .arg(m.command3Enabled)
                             .arg(m.command4Enabled)
                             .arg(m.command4Visible)
                             .arg(m.barVisible)
                             .arg(m.barMinimum)
                             .arg(m.barMaximum)
                             .arg(m.barValue)
                             .arg(m.busy));
}

// Stands in for the save dialog: notes the moment it is asked and what it
// would show, and answers (the empty name: cancelled).
struct ScriptedDialog {
  QString answer;
  std::vector<Moment> asked;
  std::vector<SaveDialogSettings> requests;
  void Attach(InputForm& form) {
    form.SetSaveFileChooser([this, &form](const SaveDialogSettings& settings) {
      requests.push_back(settings);
      asked.push_back(Observe(form));
      return answer;
    });
  }
};

// Notes what the progress bar shows each time it is drawn.
class BarPaints : public QObject {
 public:
  explicit BarPaints(InputForm& form) : form_(form) {
    form.ProgressBar()->installEventFilter(this);
  }
  std::vector<Moment> paints;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) paints.push_back(Observe(form_));
    return false;
  }

 private:
  InputForm& form_;
};

// A main window for one test: its result file's save dialog scripted (cancel
// unless told otherwise), a folder for result files, optionally a step count.
struct Session {
  QTemporaryDir folder;
  MainWindow window;
  InputForm& form = *window.inputForm();
  ScriptedDialog dialog;

  explicit Session(const char* steps = nullptr) {
    dialog.Attach(form);
    if (steps) Text(form, InputId::StepCount)->setText(QString::fromLatin1(steps));
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
  void AnswerWith(const char* name) { dialog.answer = Path(name); }
  // Shown and active, so the focus and the shortcuts work.
  bool ShowActive() {
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window, 5000);
  }
};

}  // namespace kelvane::ui
