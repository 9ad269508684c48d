#include "ui/automation.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "ui/form1.h"

namespace kelvane::ui {

namespace {

class ShownReporter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      const auto now = std::chrono::system_clock::now().time_since_epoch();
      std::fprintf(stderr, "shown %lld\n",
                   static_cast<long long>(
                       std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
      watched->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }
};

class ScreenshotTour : public QObject {
 public:
  ScreenshotTour(Form1& form, const QString& folder)
      : QObject(&form), form_(form), folder_(folder) {}

  void Start() {
    QTimer::singleShot(300, this, [this] { Calculate(); });
  }

 private:
  void Calculate() {
    // The save dialog is answered from inside Calculate's modal loop.
    auto* answer = new QTimer(this);
    connect(answer, &QTimer::timeout, this, [this, answer] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name) return;
      name->setText(results_.filePath(QStringLiteral("计算结果.txt")));
      static_cast<QDialog*>(dialog)->accept();
      answer->stop();
    });
    answer->start(200);
    form_.Command1_Click();
    form_.Command3_Click();
    form_.Command4_Click();
    if (Form3* plot = form_.PlotWindow()) plot->move(form_.frameGeometry().topRight());
    QTimer::singleShot(500, this, [this] { Save(); });
  }

  void Save() {
    const QDir dir(folder_);
    bool saved = form_.grab().save(dir.filePath(QStringLiteral("main-window.png")));
    if (Form3* plot = form_.PlotWindow())
      saved = plot->grab().save(dir.filePath(QStringLiteral("plot-window.png"))) && saved;
    if (Form2* results = form_.ResultsWindow())
      saved = results->grab().save(dir.filePath(QStringLiteral("results-window.png"))) && saved;
    QApplication::exit(saved ? 0 : 1);
  }

  Form1& form_;
  QString folder_;
  QTemporaryDir results_;
};

}  // namespace

void InstallAutomation(Form1& form) {
  if (qEnvironmentVariableIntValue("KELVANE_REPORT_SHOWN") != 0)
    form.installEventFilter(new ShownReporter(&form));
  const QString folder = qEnvironmentVariable("KELVANE_SCREENSHOT_DIR");
  if (!folder.isEmpty()) (new ScreenshotTour(form, folder))->Start();
}

}  // namespace kelvane::ui
