#include "ui/main_frame.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <exception>

#include "cases/case_file.h"

namespace kelvane::ui {

namespace {

constexpr int kRecentCount = 5;

QSettings Settings() { return QSettings(QStringLiteral("Kelvane"), QStringLiteral("Kelvane")); }

// What each box means, in box order (the captions and units come with the
// input fields).
const char* const kBoxMeanings[kInputCount] = {
    QT_TRANSLATE_NOOP("MainFrame", "泵站抽水的恒定流量，泵启闭前的流量"),
    QT_TRANSLATE_NOOP("MainFrame", "水库进水口（取水头部）的水头损失"),
    QT_TRANSLATE_NOOP("MainFrame", "水库水位，箱涵进口（节点 1）的水位保持此值"),
    QT_TRANSLATE_NOOP("MainFrame", "箱涵沿长度划分的管段数，节点数为管段数加 1"),
    QT_TRANSLATE_NOOP("MainFrame", "计算的时段数，第 1 时段为恒定流状态"),
    QT_TRANSLATE_NOOP("MainFrame", "达西沿程水头损失系数 f"),
    QT_TRANSLATE_NOOP("MainFrame", "箱涵底坡"),
    QT_TRANSLATE_NOOP("MainFrame", "箱涵过水断面的水力半径 R"),
    QT_TRANSLATE_NOOP("MainFrame", "前池的水面面积"),
    QT_TRANSLATE_NOOP("MainFrame", "箱涵过水断面面积"),
    QT_TRANSLATE_NOOP("MainFrame", "水击波在箱涵中的传播速度"),
    QT_TRANSLATE_NOOP("MainFrame", "水库至前池的箱涵总长度"),
    QT_TRANSLATE_NOOP("MainFrame", "结果查询表的第一个时段"),
    QT_TRANSLATE_NOOP("MainFrame", "结果查询表的最后一个时段"),
    QT_TRANSLATE_NOOP("MainFrame", "结果文件与结果查询表每隔多少时段输出一行"),
    QT_TRANSLATE_NOOP("MainFrame", "水泵突然启动或停机后的流量（停机为 0）"),
};

}  // namespace

CaseFileAccess CaseFileLibrary() {
  return {[](const std::string& path) {
            const CaseFile file = ReadCaseFile(path);
            return CaseTexts{file.texts, file.title, file.notes};
          },
          [](const std::string& path, const CaseTexts& texts) {
            CaseFile file;
            file.texts = texts.texts;
            file.title = texts.title;
            file.notes = texts.notes;
            WriteCaseFile(path, file);
          }};
}

QString CaptionFor(const QString& caseFile) {
  if (caseFile.isEmpty()) return QStringLiteral("Kelvane");
  return QFileInfo(caseFile).fileName() + QStringLiteral("[*] - Kelvane");
}

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainFrame"));
  form_ = new MainWindow();
  form_->setParent(this, Qt::Widget);  // the client area, no window of its own
  setCentralWidget(form_);
  // The frame is as large as the client area and the menu bar, no larger.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::WindowMinimizeButtonHint);

  auto action = [this](QMenu* menu, const QString& text, const char* name, auto slot,
                       const QKeySequence& keys = {}) {
    QAction* a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(keys);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };

  QMenu* file = menuBar()->addMenu(tr("文件(&F)"));
  newAction_ = action(file, tr("新建"), "NewCase", [this] { newCase(); });
  openAction_ = action(
      file, tr("打开算例…"), "OpenCase", [this] { openCase(); },
      QKeySequence(Qt::CTRL | Qt::Key_O));
  saveAction_ = action(
      file, tr("保存算例"), "SaveCase", [this] { saveCase(); }, QKeySequence(Qt::CTRL | Qt::Key_S));
  saveAsAction_ = action(file, tr("另存为…"), "SaveCaseAs", [this] { saveCaseAs(); });
  file->addSeparator();
  saveResultAction_ =
      action(file, tr("保存结果文件…"), "SaveResultFile", [this] { form_->saveResultFile(); });
  file->addSeparator();
  recentMenu_ = file->addMenu(tr("最近的算例"));
  recentMenu_->setObjectName(QStringLiteral("RecentCases"));
  file->addSeparator();
  action(file, tr("退出"), "Exit", [this] { close(); });

  QMenu* results = menuBar()->addMenu(tr("结果(&R)"));
  // Ctrl+R belongs to the main window's own shortcut; the menu only names it.
  resultsAction_ = action(results, tr("结果查询") + QStringLiteral("\tCtrl+R"), "ShowResults",
                          [this] { form_->showResults(); });
  plotAction_ = action(results, tr("输出图形"), "ShowPlot", [this] { form_->showPlot(); });
  results->addSeparator();
  historyAction_ = action(
      results, tr("过程线…"), "ShowHistory", [this] { showHistory(); },
      QKeySequence(Qt::CTRL | Qt::Key_T));
  envelopeAction_ = action(
      results, tr("包络线…"), "ShowEnvelope", [this] { showEnvelope(); },
      QKeySequence(Qt::CTRL | Qt::Key_E));

  QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
  action(help, tr("使用说明"), "ShowHelp", [this] { showHelp(); });
  action(help, tr("关于 Kelvane"), "ShowAbout", [this] { showAbout(); });

  // The results and plot commands follow their buttons' states.
  form_->PlotCommand()->installEventFilter(this);
  form_->ResultsCommand()->installEventFilter(this);
  connect(form_, &MainWindow::runStarted, this, &MainFrame::RunStarted);
  connect(form_, &MainWindow::runFinished, this, &MainFrame::RunFinished);
  for (InputId id : AllInputs()) {
    connect(form_->InputBox(id), &QLineEdit::textChanged, this, &MainFrame::InputsEdited);
  }

  chooseSave_ = [this](const SaveDialogSettings& settings) {
    return ChooseSaveFile(this, settings);
  };
  form_->SetSaveFileChooser(chooseSave_);
  chooseOpen_ = [this] {
    QFileDialog dialog(this, tr("打开算例"));
    dialog.setObjectName(QStringLiteral("OpenCaseDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({tr("算例文件 (*.toml)"), tr("所有文件 (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
  };

  cases_ = CaseFileLibrary();
  RunFinished(false);
  UpdateCaseActions();
  UpdateCaption();
}

MainFrame::~MainFrame() {
  delete history_.data();
  delete envelope_.data();
  delete help_.data();
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::EnabledChange) {
    resultsAction_->setEnabled(form_->ResultsCommand()->isEnabled());
    plotAction_->setEnabled(form_->PlotCommand()->isEnabled());
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainFrame::SetCaseFileAccess(CaseFileAccess access) {
  cases_ = std::move(access);
  UpdateCaseActions();
}

void MainFrame::SetSaveFileChooser(const SaveFileChooser& chooser) {
  chooseSave_ = chooser;
  form_->SetSaveFileChooser(chooser);
  if (history_) history_->SetSaveFileChooser(chooser);
  if (envelope_) envelope_->SetSaveFileChooser(chooser);
}

void MainFrame::RunStarted() {
  // The run state is about to be rewritten: nothing may read it meanwhile.
  runComplete_ = false;
  if (history_) history_->Detach(false);
  if (envelope_) envelope_->Detach(false);
}

void MainFrame::RunFinished(bool complete) {
  runComplete_ = complete;
  historyAction_->setEnabled(complete);
  envelopeAction_->setEnabled(complete);
  saveResultAction_->setEnabled(complete);
  resultsAction_->setEnabled(form_->ResultsCommand()->isEnabled());
  plotAction_->setEnabled(form_->PlotCommand()->isEnabled());
  const RunOutcome* outcome = form_->CompletedRun();
  if (history_) {
    if (outcome) {
      history_->ShowRun(form_->Run(), GeometryOf(*outcome));
    } else {
      history_->Detach(true);
    }
  }
  if (envelope_) {
    if (outcome) {
      envelope_->ShowRun(form_->Run(), *outcome);
    } else {
      envelope_->Detach(true);
    }
  }
}

void MainFrame::showHistory() {
  const RunOutcome* outcome = form_->CompletedRun();
  if (!outcome) return;
  if (!history_) {
    history_ = new HistoryWindow();
    history_->SetSaveFileChooser(chooseSave_);
    history_->ShowRun(form_->Run(), GeometryOf(*outcome));
  }
  history_->show();
  history_->raise();
  history_->activateWindow();
}

void MainFrame::showEnvelope() {
  const RunOutcome* outcome = form_->CompletedRun();
  if (!outcome) return;
  if (!envelope_) {
    envelope_ = new EnvelopeWindow();
    envelope_->SetSaveFileChooser(chooseSave_);
    envelope_->ShowRun(form_->Run(), *outcome);
  }
  envelope_->show();
  envelope_->raise();
  envelope_->activateWindow();
}

// ------------------------------------------------------------ case files

void MainFrame::UpdateCaption() {
  setWindowTitle(CaptionFor(caseFile_));
  setWindowModified(!caseFile_.isEmpty() && form_->Inputs() != saved_.texts);
}

void MainFrame::InputsEdited() { UpdateCaption(); }

void MainFrame::UpdateCaseActions() {
  const bool wired = cases_.read && cases_.write;
  openAction_->setEnabled(wired);
  saveAction_->setEnabled(wired);
  saveAsAction_->setEnabled(wired);
  UpdateRecentMenu();
}

void MainFrame::UpdateRecentMenu() {
  recentMenu_->clear();
  const QStringList recent = Settings().value(QStringLiteral("recentCaseFiles")).toStringList();
  for (int k = 0; k < recent.size() && k < kRecentCount; ++k) {
    const QString& path = recent[k];
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(k + 1).arg(path));
    connect(a, &QAction::triggered, this, [this, path] { openCase(path); });
  }
  recentMenu_->setEnabled(cases_.read && !recent.isEmpty());
}

void MainFrame::RememberRecent(const QString& path) {
  QSettings settings = Settings();
  QStringList recent = settings.value(QStringLiteral("recentCaseFiles")).toStringList();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentCount) recent.removeLast();
  settings.setValue(QStringLiteral("recentCaseFiles"), recent);
  UpdateRecentMenu();
}

void MainFrame::ShowFailure(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), message, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("CaseFileMessage"));
  box.exec();
}

void MainFrame::newCase() {
  if (!MaybeSave()) return;
  caseFile_.clear();
  saved_ = CaseTexts();
  form_->SetInputs(DefaultInputTexts());
  UpdateCaption();
}

void MainFrame::openCase() {
  if (!cases_.read) return;
  const QString path = chooseOpen_();
  if (!path.isEmpty()) openCase(path);
}

void MainFrame::openCase(const QString& path) {
  if (!cases_.read || !MaybeSave()) return;
  CaseTexts read;
  try {
    read = cases_.read(path.toStdString());
  } catch (const RunError& error) {
    ShowFailure(RunErrorMessage(error));
    return;
  } catch (const std::exception& error) {
    // Nothing in the window changes when opening fails.
    ShowFailure(QString::fromUtf8(error.what()));
    return;
  }
  caseFile_ = path;
  saved_ = read;
  form_->SetInputs(read.texts);
  RememberRecent(path);
  UpdateCaption();
}

bool MainFrame::SaveTo(const QString& path) {
  CaseTexts texts = saved_;  // the title and notes stay as the file had them
  texts.texts = form_->Inputs();
  try {
    cases_.write(path.toStdString(), texts);
  } catch (const RunError& error) {
    ShowFailure(RunErrorMessage(error));
    return false;
  } catch (const std::exception& error) {
    ShowFailure(QString::fromUtf8(error.what()));
    return false;
  }
  caseFile_ = path;
  saved_ = texts;
  RememberRecent(path);
  UpdateCaption();
  return true;
}

bool MainFrame::saveCase() {
  if (!cases_.write) return false;
  if (caseFile_.isEmpty()) return saveCaseAs();
  return SaveTo(caseFile_);
}

bool MainFrame::saveCaseAs() {
  if (!cases_.write) return false;
  SaveDialogSettings settings;
  settings.title = tr("保存算例");
  settings.presetName = caseFile_.isEmpty() ? tr("算例.toml") : QFileInfo(caseFile_).fileName();
  settings.nameFilters = {tr("算例文件 (*.toml)"), tr("所有文件 (*)")};
  const QString path = chooseSave_(settings);
  return !path.isEmpty() && SaveTo(path);
}

bool MainFrame::MaybeSave() {
  if (caseFile_.isEmpty() || !isWindowModified()) return true;
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"),
                  tr("算例 “%1” 已修改，是否保存？").arg(QFileInfo(caseFile_).fileName()),
                  QMessageBox::NoButton, this);
  box.setObjectName(QStringLiteral("SaveCaseQuestion"));
  QPushButton* save = box.addButton(tr("保存"), QMessageBox::AcceptRole);
  QPushButton* discard = box.addButton(tr("不保存"), QMessageBox::DestructiveRole);
  QPushButton* cancel = box.addButton(tr("取消"), QMessageBox::RejectRole);
  box.setDefaultButton(save);
  box.setEscapeButton(cancel);
  box.exec();
  if (box.clickedButton() == save) return saveCase();
  return box.clickedButton() == discard;
}

void MainFrame::closeEvent(QCloseEvent* event) {
  if (!MaybeSave()) {
    event->ignore();
    return;
  }
  form_->CloseOtherWindows();
  for (QWidget* w : {static_cast<QWidget*>(history_.data()),
                     static_cast<QWidget*>(envelope_.data()), help_.data()}) {
    if (w) w->close();
  }
  event->accept();
}

// ------------------------------------------------------------ help

void MainFrame::showHelp() {
  if (!help_) {
    auto* browser = new QTextBrowser();
    browser->setObjectName(QStringLiteral("HelpWindow"));
    browser->setWindowTitle(tr("使用说明"));
    browser->resize(720, 640);
    QString html =
        tr("<h3>输入</h3><p>在十六个输入框中输入数值后按“计算”（或 Enter）。"
           "输入框按其文本开头的数字读取。</p>");
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr><th>") +
            tr("输入框") + QStringLiteral("</th><th>") + tr("单位") + QStringLiteral("</th><th>") +
            tr("含义") + QStringLiteral("</th></tr>");
    for (int k = 0; k < kInputCount; ++k) {
      const InputField& field = InputFields()[k];
      html += QStringLiteral("<tr><td>") + QString::fromUtf8(field.caption) +
              QStringLiteral("</td><td>") +
              (*field.unit ? QString::fromUtf8(field.unit) : tr("（无量纲）")) +
              QStringLiteral("</td><td>") + tr(kBoxMeanings[k]) + QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</table>");
    html +=
        tr("<h3>窗口</h3><ul>"
           "<li><b>计算</b>：完成一次计算，并询问结果文件的保存位置（取消则不保存）。"
           "“文件 → 保存结果文件…”可随时再次保存上次完整计算的结果文件，无需重新计算。</li>"
           "<li><b>输出图形</b>：前池水位随时间的变化线。</li>"
           "<li><b>结果查询</b>（Ctrl+R）：初始输出时段至终端输出时段、按输出间隔的结果表。</li>"
           "<li><b>过程线</b>（Ctrl+T）：任选节点的水头 (m)、流速 (m/s) 或流量 "
           "(m³/s，流速乘箱涵断面面积)"
           "随时间 (s) 的变化，包括每个计算时段。可多选节点叠加；拖动鼠标框选放大，右键缩小，"
           "“复位”回到全图；鼠标处显示最近时段的数值。可导出 PNG、SVG 图片和所显示范围的 CSV。</li>"
           "<li><b>包络线</b>（Ctrl+E）：各节点在全部计算时段中的最高、最低水头与初始（时段 1）水头"
           "沿距水库距离 (m) 的分布，第二页为流速；下方表格列出各值出现的时段与时间。</li>"
           "</ul><p>计算失败时，过程线与包络线窗口显示“上次计算未完成”，直到下一次完整计算。</p>");
    browser->setHtml(html);
    help_ = browser;
  }
  help_->show();
  help_->raise();
}

void MainFrame::showAbout() {
  QMessageBox box(QMessageBox::NoIcon, tr("关于 Kelvane"),
                  tr("<b>Kelvane %1</b><p>泵站进水建筑物水力过渡过程计算：水击与水库—前池间的"
                     "质量振荡。</p>")
                      .arg(QStringLiteral(KELVANE_VERSION)),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("AboutBox"));
  box.exec();
}

}  // namespace kelvane::ui
