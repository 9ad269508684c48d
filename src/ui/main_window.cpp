#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStatusBar>
#include <QTextBrowser>
#include <cmath>
#include <exception>

#include "cases/case_file.h"
#include "report/design_checks.h"
#include "solver/number_format.h"
#include "solver/run_preview.h"
#include "ui/calculation_report.h"
#include "ui/design_dialog.h"
#include "ui/forebay_table_dialog.h"
#include "ui/pump_event_dialog.h"
#include "ui/run_error_box.h"

namespace kelvane::ui {

namespace {

constexpr int kRecentCount = 5;

void CloseOnEscape(QWidget* window) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), window);
  QObject::connect(escape, &QShortcut::activated, window, &QWidget::close);
}

// A figure of the status line: four significant digits, whole numbers from
// 1000 on.
QString Figure(double value) {
  return QString::fromStdString(std::abs(value) >= 1000 ? Fixed(value, 0, NegativeZero::Drop)
                                                        : SignificantText(value, 4));
}

QSettings Settings() { return QSettings(QStringLiteral("Kelvane"), QStringLiteral("Kelvane")); }

}  // namespace

CaseFileAccess CaseFileLibrary() {
  return {[](const std::string& path) {
            const CaseFile file = ReadCaseFile(path);
            ReadModelExtras(file.events);  // a table that cannot be used: not opened
            return CaseTexts{file.texts,  file.title,  file.notes,
                             file.design, file.events, file.project};
          },
          [](const std::string& path, const CaseTexts& texts) {
            CaseFile file;
            file.texts = texts.texts;
            file.title = texts.title;
            file.notes = texts.notes;
            file.design = texts.design;
            file.events = texts.events;
            file.project = texts.project;
            WriteCaseFile(path, file);
          }};
}

QString CaptionFor(const QString& caseFile) {
  if (caseFile.isEmpty()) return QStringLiteral("Kelvane");
  return QFileInfo(caseFile).fileName() + QStringLiteral("[*] - Kelvane");
}

namespace {

// The case file to open, as the user picks it; empty when cancelled.
QString ChooseCaseToOpen(QWidget* parent) {
  QFileDialog dialog(parent, MainWindow::tr("打开算例"));
  dialog.setObjectName(QStringLiteral("OpenCaseDialog"));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({MainWindow::tr("算例文件 (*.toml)"), MainWindow::tr("所有文件 (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MainWindow"));
  inputForm_ = new InputForm();
  inputForm_->setParent(this, Qt::Widget);  // the client area, no window of its own
  setCentralWidget(inputForm_);
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
    // The menus' shortcuts work in every window of the program (not over a
    // modal dialog).
    a->setShortcutContext(Qt::ApplicationShortcut);
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
      action(file, tr("保存结果文件…"), "SaveResultFile", [this] { inputForm_->saveResultFile(); });
  exportReportAction_ = action(file, tr("导出计算书…"), "ExportReport", [this] { exportReport(); });
  file->addSeparator();
  recentMenu_ = file->addMenu(tr("最近的算例"));
  recentMenu_->setObjectName(QStringLiteral("RecentCases"));
  file->addSeparator();
  action(file, tr("退出"), "Exit", [this] { close(); });

  QMenu* events = menuBar()->addMenu(tr("工况(&W)"));
  action(events, tr("泵流量过程…"), "EditPumpEvent", [this] { editPumpEvent(); });
  action(events, tr("前池水位–面积…"), "EditForebayTable", [this] { editForebayTable(); });

  QMenu* results = menuBar()->addMenu(tr("结果(&R)"));
  // The results command's button stays hidden; Ctrl+R reaches it while it
  // is enabled.
  resultsAction_ = action(
      results, tr("结果查询"), "ShowResults", [this] { showResults(); },
      QKeySequence(Qt::CTRL | Qt::Key_R));
  plotAction_ = action(results, tr("输出图形"), "ShowPlot", [this] { showPlot(); });
  results->addSeparator();
  historyAction_ = action(
      results, tr("过程线…"), "ShowHistory", [this] { showHistory(); },
      QKeySequence(Qt::CTRL | Qt::Key_T));
  envelopeAction_ = action(
      results, tr("包络线…"), "ShowEnvelope", [this] { showEnvelope(); },
      QKeySequence(Qt::CTRL | Qt::Key_E));

  QMenu* checks = menuBar()->addMenu(tr("校核(&C)"));
  action(checks, tr("设计资料…"), "EditDesign", [this] { editDesign(); });

  QMenu* help = menuBar()->addMenu(tr("帮助(&H)"));
  action(
      help, tr("使用说明"), "ShowHelp", [this] { showHelp(); }, QKeySequence(Qt::Key_F1));
  action(help, tr("关于 Kelvane"), "ShowAbout", [this] { showAbout(); });

  runPreview_ = new QLabel(this);
  runPreview_->setObjectName(QStringLiteral("RunPreview"));
  statusBar()->addWidget(runPreview_, 1);
  statusBar()->setSizeGripEnabled(false);

  // A box's own key bindings (Ctrl+E: end of line) give way to the menus'.
  QApplication::instance()->installEventFilter(this);
  // The results and plot commands follow their buttons' states.
  inputForm_->PlotButton()->installEventFilter(this);
  inputForm_->ResultsButton()->installEventFilter(this);
  connect(inputForm_, &InputForm::runStarted, this, &MainWindow::RunStarted);
  connect(inputForm_, &InputForm::runFinished, this, &MainWindow::RunFinished);
  for (InputId id : AllInputs()) {
    connect(inputForm_->InputBox(id), &QLineEdit::textChanged, this, &MainWindow::InputsEdited);
  }

  connect(inputForm_->PlotButton(), &QPushButton::clicked, this, &MainWindow::showPlot);
  connect(inputForm_->ResultsButton(), &QPushButton::clicked, this, &MainWindow::showResults);
  chooseOpen_ = [this] { return ChooseCaseToOpen(this); };

  cases_ = CaseFileLibrary();
  ShowRunPreview();
  RunFinished(false);
  UpdateCaseActions();
  UpdateCaption();
}

MainWindow::~MainWindow() {
  delete plotWindow_.data();
  delete historyWindow_.data();
  delete envelopeWindow_.data();
  delete helpWindow_.data();
}

bool MainWindow::IsMenuShortcut(const QKeyEvent& key) const {
  const QKeySequence typed(key.keyCombination());
  for (const QAction* a : findChildren<QAction*>()) {
    if (a->isEnabled() && !a->shortcut().isEmpty() && a->shortcut() == typed) return true;
  }
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride && !QApplication::activeModalWidget() &&
      IsMenuShortcut(*static_cast<QKeyEvent*>(event))) {
    event->ignore();  // not the widget's: the shortcut goes to the menu's action
    return true;
  }
  if (event->type() == QEvent::EnabledChange &&
      (watched == inputForm_->ResultsButton() || watched == inputForm_->PlotButton())) {
    resultsAction_->setEnabled(inputForm_->ResultsButton()->isEnabled());
    plotAction_->setEnabled(inputForm_->PlotButton()->isEnabled());
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::SetCaseFileAccess(CaseFileAccess access) {
  cases_ = std::move(access);
  UpdateCaseActions();
}

void MainWindow::SetSaveFileChooser(const SaveFileChooser& chooser) {
  chooseSave_ = chooser;
  inputForm_->SetSaveFileChooser(ChooserFor(inputForm_));
  if (historyWindow_) historyWindow_->SetSaveFileChooser(ChooserFor(historyWindow_));
  if (envelopeWindow_) envelopeWindow_->SetSaveFileChooser(ChooserFor(envelopeWindow_));
}

SaveFileChooser MainWindow::ChooserFor(QWidget* owner) const {
  if (chooseSave_) return chooseSave_;
  // Parented to the window that asks, so that the main window does not come
  // to the front over a chart while its export dialog is open, nor after.
  return [owner](const SaveDialogSettings& settings) { return ChooseSaveFile(owner, settings); };
}

void MainWindow::RunStarted() {
  if (resultsWindow_) resultsWindow_->hide();
  // The run state is about to be rewritten: nothing may read it meanwhile.
  runComplete_ = false;
  if (historyWindow_) historyWindow_->Detach(false);
  if (envelopeWindow_) envelopeWindow_->Detach(false);
}

void MainWindow::RunFinished(bool complete) {
  runComplete_ = complete;
  historyAction_->setEnabled(complete);
  envelopeAction_->setEnabled(complete);
  saveResultAction_->setEnabled(complete);
  exportReportAction_->setEnabled(complete);
  resultsAction_->setEnabled(inputForm_->ResultsButton()->isEnabled());
  plotAction_->setEnabled(inputForm_->PlotButton()->isEnabled());
  const RunOutcome* outcome = inputForm_->CompletedRun();
  if (historyWindow_) {
    if (outcome) {
      historyWindow_->ShowRun(inputForm_->Run(), GeometryOf(*outcome));
    } else {
      historyWindow_->Detach(true);
    }
  }
  if (envelopeWindow_) {
    if (outcome) {
      envelopeWindow_->ShowRun(inputForm_->Run(), *outcome, ReadDesignData(design_));
    } else {
      envelopeWindow_->Detach(true);
    }
  }
}

void MainWindow::showHistory() {
  const RunOutcome* outcome = inputForm_->CompletedRun();
  if (!outcome) return;
  if (!historyWindow_) {
    historyWindow_ = new HistoryWindow();
    historyWindow_->SetSaveFileChooser(ChooserFor(historyWindow_));
    CloseOnEscape(historyWindow_);
    historyWindow_->ShowRun(inputForm_->Run(), GeometryOf(*outcome));
  }
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

void MainWindow::showEnvelope() {
  const RunOutcome* outcome = inputForm_->CompletedRun();
  if (!outcome) return;
  if (!envelopeWindow_) {
    envelopeWindow_ = new EnvelopeWindow();
    envelopeWindow_->SetSaveFileChooser(ChooserFor(envelopeWindow_));
    CloseOnEscape(envelopeWindow_);
    envelopeWindow_->ShowRun(inputForm_->Run(), *outcome, ReadDesignData(design_));
  }
  envelopeWindow_->show();
  envelopeWindow_->raise();
  envelopeWindow_->activateWindow();
}

void MainWindow::showPlot() {
  // Drawn on a copy first, so a fault leaves the plot window as it was.
  PlotPicture picture = plotWindow_ ? plotWindow_->Picture1()->Picture() : PlotPicture();
  if (!inputForm_->DrawPlot(picture)) return;
  if (!plotWindow_) plotWindow_ = new PlotWindow();
  plotWindow_->Picture1()->SetPicture(picture);
  plotWindow_->show();
  plotWindow_->raise();
  plotWindow_->activateWindow();
  inputForm_->PlotButton()->setEnabled(false);
}

void MainWindow::showResults() {
  if (!inputForm_->ResultsButton()->isEnabled()) return;
  const std::optional<std::string> table = inputForm_->ResultsTable();
  if (!table) return;
  if (!resultsWindow_) resultsWindow_ = std::make_unique<ResultsWindow>();
  resultsWindow_->SetTableText(QString::fromStdString(*table));
  resultsWindow_->show();
  resultsWindow_->raise();
  inputForm_->PlotButton()->setEnabled(true);
}

// ------------------------------------------------------------ case files

void MainWindow::UpdateCaption() {
  setWindowTitle(CaptionFor(caseFile_));
  setWindowModified(!caseFile_.isEmpty() && (inputForm_->Inputs() != saved_.texts ||
                                             events_ != saved_.events || design_ != saved_.design));
}

void MainWindow::InputsEdited() {
  UpdateCaption();
  ShowRunPreview();
}

void MainWindow::ShowRunPreview() {
  // The line is cut at the window's edge; its tooltip lists the extras whole.
  QStringList extras;
  for (const std::string& line : ModelExtrasLines(inputForm_->ModelExtrasInForce()))
    extras << QString::fromStdString(line);
  runPreview_->setToolTip(extras.join(QLatin1Char('\n')));
  const std::optional<RunPreview> preview = PreviewRun(inputForm_->Inputs());
  if (!preview) {
    runPreview_->setText(tr("这些输入构不成一次计算：时间步长无从得出"));
    return;
  }
  QString limit = std::isfinite(preview->stabilityLimit)
                      ? tr("%1 m²").arg(Figure(preview->stabilityLimit))
                      : tr("无（前池水位不稳定）");
  QString text = tr("时间步长 %1 s　计算历时 %2 s　2L/a %3 s　前池面积稳定下限 %4")
                     .arg(Figure(preview->timeStep), Figure(preview->duration),
                          Figure(preview->waveReturn), limit);
  // A run is not the sixteen boxes alone when the case brings a pump event
  // or an area table: say so.
  for (const QString& line : extras) text += QStringLiteral("　") + line;
  // The design data in force: how many checks it gives (the line has little
  // room left).
  if (design_.Any()) {
    const std::size_t checks = ChecksGiven(ReadDesignData(design_)).size();
    text += QStringLiteral("　") +
            (checks > 0 ? tr("设计校核 %1 项").arg(checks) : tr("设计资料不全，不校核"));
  }
  runPreview_->setText(text);
}

void MainWindow::UpdateCaseActions() {
  const bool wired = cases_.read && cases_.write;
  openAction_->setEnabled(wired);
  saveAction_->setEnabled(wired);
  saveAsAction_->setEnabled(wired);
  UpdateRecentMenu();
}

void MainWindow::UpdateRecentMenu() {
  recentMenu_->clear();
  const QStringList recent = Settings().value(QStringLiteral("recentCaseFiles")).toStringList();
  for (int k = 0; k < recent.size() && k < kRecentCount; ++k) {
    const QString& path = recent[k];
    QAction* a = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(k + 1).arg(path));
    connect(a, &QAction::triggered, this, [this, path] { openCase(path); });
  }
  recentMenu_->setEnabled(cases_.read && !recent.isEmpty());
}

void MainWindow::RememberRecent(const QString& path) {
  QSettings settings = Settings();
  QStringList recent = settings.value(QStringLiteral("recentCaseFiles")).toStringList();
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent.removeAll(absolute);
  recent.prepend(absolute);
  while (recent.size() > kRecentCount) recent.removeLast();
  settings.setValue(QStringLiteral("recentCaseFiles"), recent);
  UpdateRecentMenu();
}

void MainWindow::ForgetRecent(const QString& path) {
  QSettings settings = Settings();
  QStringList recent = settings.value(QStringLiteral("recentCaseFiles")).toStringList();
  if (recent.removeAll(QFileInfo(path).absoluteFilePath()) == 0) return;
  settings.setValue(QStringLiteral("recentCaseFiles"), recent);
  UpdateRecentMenu();
}

void MainWindow::ShowFailure(const QString& message) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Kelvane"), message, QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("CaseFileMessage"));
  box.exec();
}

void MainWindow::newCase() {
  if (!MaybeSave()) return;
  caseFile_.clear();
  saved_ = CaseTexts();
  events_ = {};
  SetDesign({});
  inputForm_->SetModelExtras({});
  inputForm_->SetInputs(DefaultInputTexts());
  ShowRunPreview();
  UpdateCaption();
}

void MainWindow::openCase() {
  if (!cases_.read) return;
  const QString path = chooseOpen_();
  if (!path.isEmpty()) openCase(path);
}

void MainWindow::openCase(const QString& path) {
  if (!cases_.read || !MaybeSave()) return;
  CaseTexts read;
  try {
    read = cases_.read(path.toStdString());
  } catch (const RunError& error) {
    ShowFailure(RunErrorMessage(error));
    ForgetRecent(path);
    return;
  } catch (const std::exception& error) {
    // Nothing in the window changes when opening fails; a recent file that
    // no longer opens leaves the list.
    ShowFailure(QString::fromUtf8(error.what()));
    ForgetRecent(path);
    return;
  }
  caseFile_ = path;
  saved_ = read;
  events_ = read.events;
  SetDesign(read.design);
  inputForm_->SetModelExtras(ReadModelExtras(read.events));
  inputForm_->SetInputs(read.texts);
  ShowRunPreview();
  RememberRecent(path);
  UpdateCaption();
}

bool MainWindow::SaveTo(const QString& path) {
  CaseTexts texts = saved_;  // the title and notes stay as the file had them
  texts.texts = inputForm_->Inputs();
  texts.events = events_;
  texts.design = design_;
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

bool MainWindow::saveCase() {
  if (!cases_.write) return false;
  if (caseFile_.isEmpty()) return saveCaseAs();
  return SaveTo(caseFile_);
}

bool MainWindow::saveCaseAs() {
  if (!cases_.write) return false;
  SaveDialogSettings settings;
  settings.title = tr("保存算例");
  settings.presetName = caseFile_.isEmpty() ? tr("算例.toml") : QFileInfo(caseFile_).fileName();
  settings.nameFilters = {tr("算例文件 (*.toml)"), tr("所有文件 (*)")};
  const QString path = ChooserFor(this)(settings);
  return !path.isEmpty() && SaveTo(path);
}

void MainWindow::exportReport() {
  const RunOutcome* outcome = inputForm_->CompletedRun();
  if (!runComplete_ || !outcome) return;
  SaveDialogSettings settings;
  settings.title = tr("导出计算书");
  settings.presetName = caseFile_.isEmpty()
                            ? tr("计算书.pdf")
                            : QFileInfo(caseFile_).completeBaseName() + QStringLiteral(".pdf");
  settings.nameFilters = {tr("PDF 文件 (*.pdf)"), tr("OpenDocument 文本 (*.odt)")};
  const QString path = ChooserFor(this)(settings);
  if (path.isEmpty()) return;
  std::optional<RunError> error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    WriteCalculationReport(RunReport(), path.toStdString(), saved_.project);
  } catch (...) {
    error = CurrentExceptionAsRunError(Stage::Report);
  }
  QApplication::restoreOverrideCursor();
  if (error) ShowRunError(this, *error);
}

ReportInput MainWindow::RunReport() const {
  ReportInput report;
  if (!caseFile_.isEmpty()) {
    report.title = saved_.title;
    report.notes = saved_.notes;
  }
  report.design = design_;
  report.texts = inputForm_->CompletedInputs();
  if (const RunOutcome* outcome = inputForm_->CompletedRun()) {
    report.run = &inputForm_->Run();
    report.outcome = *outcome;
    report.summary = SummarizeRun(inputForm_->Run(), *outcome);
  }
  return report;
}

void MainWindow::editDesign() {
  DesignDialog dialog(design_, this);
  if (dialog.exec() == QDialog::Accepted) SetDesign(dialog.Texts());
}

void MainWindow::SetDesign(const DesignTexts& design) {
  design_ = design;
  ShowRunPreview();
  UpdateCaption();
  const RunOutcome* outcome = inputForm_->CompletedRun();
  if (envelopeWindow_ && runComplete_ && outcome) {
    envelopeWindow_->ShowRun(inputForm_->Run(), *outcome, ReadDesignData(design_));
  }
}

bool MainWindow::MaybeSave() {
  // Without a case file the typed inputs are compared with the default texts.
  if (inputForm_->Inputs() == saved_.texts && events_ == saved_.events && design_ == saved_.design)
    return true;
  const QString question =
      caseFile_.isEmpty() ? tr("输入的数据尚未保存为算例，是否保存？")
                          : tr("算例 “%1” 已修改，是否保存？").arg(QFileInfo(caseFile_).fileName());
  QMessageBox box(QMessageBox::Question, QStringLiteral("Kelvane"), question, QMessageBox::NoButton,
                  this);
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

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!MaybeSave()) {
    event->ignore();
    return;
  }
  // The other windows close with the main window.
  for (QWidget* w :
       {static_cast<QWidget*>(plotWindow_.data()), static_cast<QWidget*>(resultsWindow_.get()),
        static_cast<QWidget*>(historyWindow_.data()), static_cast<QWidget*>(envelopeWindow_.data()),
        helpWindow_.data()}) {
    if (w) w->close();
  }
  event->accept();
}

// ------------------------------------------------------------ 工况

void MainWindow::SetEvents(const EventTexts& events) {
  ModelExtras extras;
  try {
    extras = ReadModelExtras(events);
  } catch (const RunError& error) {
    ShowFailure(RunErrorMessage(error));  // the dialogs refuse such texts: not reached
    return;
  }
  events_ = events;
  inputForm_->SetModelExtras(extras);
  ShowRunPreview();
  UpdateCaption();
}

void MainWindow::editPumpEvent() {
  PumpEventDialog dialog(events_, inputForm_->Inputs(), this);
  if (dialog.exec() == QDialog::Accepted) SetEvents(dialog.Events());
}

void MainWindow::editForebayTable() {
  ForebayTableDialog dialog(events_, inputForm_->Inputs(), this);
  if (dialog.exec() == QDialog::Accepted) SetEvents(dialog.Events());
}

// ------------------------------------------------------------ help

void MainWindow::showHelp() {
  if (!helpWindow_) {
    auto* browser = new QTextBrowser();
    browser->setObjectName(QStringLiteral("HelpWindow"));
    browser->setWindowTitle(tr("使用说明"));
    browser->resize(720, 640);
    QString html = tr(
        "<h3>输入</h3><p>在十六个输入框中输入数值后按“计算”。"
        "输入框按其文本开头的数字读取（空格忽略，读到第一个其他字符为止，没有数字读作 0）。</p>");
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\"><tr><th>") +
            tr("输入框") + QStringLiteral("</th><th>") + tr("单位") + QStringLiteral("</th><th>") +
            tr("默认值") + QStringLiteral("</th><th>") + tr("含义") + QStringLiteral("</th></tr>");
    for (int k = 0; k < kInputCount; ++k) {
      const InputField& field = InputFields()[k];
      html += QStringLiteral("<tr><td>") + QString::fromUtf8(field.caption) +
              QStringLiteral("</td><td>") +
              (*field.unit ? QString::fromUtf8(field.unit) : tr("（无量纲）")) +
              QStringLiteral("</td><td>") + QString::fromUtf8(field.defaultText) +
              QStringLiteral("</td><td>") + QString::fromUtf8(field.meaning) +
              QStringLiteral("</td></tr>");
    }
    html += QStringLiteral("</table>");
    html += tr(
        "<h3>输入检查</h3><p>读取结果与所输文本不一致的输入框（如“41.6m3/s”、全角数字、"
        "“−4.34”中的非 ASCII 减号），以及不可能的数值（波速、长度、水力半径、面积不大于 0，"
        "沿程水头损失系数或输出间隔为负，计算时段数不在 1 至 32766 之内，输出时段超出计算时段，"
        "初始输出时段晚于终端输出时段，前池水面面积低于稳定下限）会以浅黄色底色标出。"
        "鼠标停在输入框上，提示框给出名称、单位、读作的数值和标出的原因。"
        "检查只作提示，“计算”照常按原文读取。</p>"
        "<h3>时间步长与计算历时</h3><p>窗口底部的状态栏随每次输入显示："
        "时间步长 Δt = 箱涵总长 ÷（划分管段数 × 弹性波速）；"
        "计算历时 =（计算时段数 − 1）× Δt，第 1 时段为恒定流；"
        "2L/a 为水击波在箱涵中往返一次的时间；以及前池面积稳定下限。"
        "管段数加倍，Δt 减半，同样的计算时段数所覆盖的时间也减半。</p>"
        "<h3>前池面积稳定下限</h3><p>前池水位按上一时段的流量逐时段推算。"
        "前池水面面积小于下限（箱涵断面面积 × Δt × 重力加速度 ÷ 2 ÷ 弹性波速）时，"
        "前池水位一正一负交替放大，几百个时段内即溢出；面积略大于下限时计算虽不发散，"
        "仍可能出现虚假的大幅振荡。下限随 Δt 变小而变小。</p>"
        "<h3>按键</h3><ul>"
        "<li>Enter（焦点不在其他按钮上时）或 Esc：计算。Tab 按固定顺序在输入框和按钮间移动。</li>"
        "<li>Ctrl+O 打开算例，Ctrl+S 保存算例，Ctrl+R 结果查询，Ctrl+T 过程线，Ctrl+E 包络线，"
        "F1 使用说明：光标在输入框中、焦点在按钮上或在图表窗口中均可使用。</li>"
        "<li>Esc 关闭使用说明、关于和过程线、包络线窗口。</li></ul>"
        "<h3>算例文件</h3><p>“文件”菜单中：新建（全部输入恢复默认值）、打开算例（Ctrl+O）、"
        "保存算例（Ctrl+S）、另存为、最近的五个算例。算例文件是 .toml 文本，保存十六个输入以及"
        "文件中的标题与说明；只输入文件名时自动加上 .toml。打开的算例名显示在标题栏，"
        "输入与文件不同时标题带“*”。新建、打开、退出或关闭窗口时，若输入与打开的算例"
        "（或未打开算例时与默认值）不同，会询问保存、不保存或取消。"
        "打不开的最近算例在提示后从列表中删除。</p>");
    html +=
        tr("<h3>窗口</h3><ul>"
           "<li><b>计算</b>：完成一次计算，并询问结果文件的保存位置（取消则不保存）。"
           "“文件 → 保存结果文件…”可随时再次保存上次完整计算的结果文件，无需重新计算。</li>"
           "<li><b>导出计算书</b>（文件 → 导出计算书…）：把上次完整计算写成 PDF 计算书"
           "（工程概况、计算方法、基本资料、计算结果与图表、校核和结论），输入按该次计算时的文字。<"
           "/li>"
           "<li><b>设计资料</b>（校核 → 设计资料…）：箱涵进、出口底高程与净高、设计内水压力水头、"
           "前池墙顶高程与安全超高、水泵最低运行水位，不填的项目不校核。资料随算例保存；"
           "包络线窗口据此画出箱涵底板、洞顶和限值线并标出不满足的管段，计算书中列出校核。</li>"
           "<li><b>输出图形</b>：前池水位随时间的变化线。</li>"
           "<li><b>结果查询</b>（Ctrl+R）：初始输出时段至终端输出时段、按输出间隔的结果表。</li>"
           "<li><b>过程线</b>（Ctrl+T）：任选节点的水头 (m)、流速 (m/s) 或流量 "
           "(m³/s，流速乘箱涵断面面积)"
           "随时间 (s) "
           "的变化，包括每个计算时段。可多选节点叠加；拖动鼠标框选放大，右键退回上一次放大，"
           "“复位”回到全图；鼠标处显示最近时段的数值。可导出 PNG、SVG 图片和所显示范围的 CSV。</li>"
           "<li><b>包络线</b>（Ctrl+E）：各节点在全部计算时段中的最高、最低水头与初始（时段 1）水头"
           "沿距水库距离 (m) 的分布，第二页为流速；下方表格列出各值出现的时段与时间。"
           "图表同样可以框选放大、右键退回。</li>"
           "<li><b>工况</b>：“泵流量过程…”给出泵流量的斜坡（变化历时与指数）、"
           "时间–流量表或按机组启闭序列生成的流量过程；“前池水位–面积…”给出前池水位–面积表。"
           "表可添加、删除行，可从电子表格复制后粘贴（Ctrl+V）；不能使用的行以浅黄色标出，"
           "提示给出行与列。状态栏列出正在使用的工况，“清除”后计算只按十六个输入框。</li>"
           "</ul><p>计算失败时，过程线与包络线窗口显示“上次计算未完成”，直到下一次完整计算。</p>");
    html +=
        tr("<h3>错误</h3><p>计算中出错时，提示框给出“运行时错误 '编号'”、错误说明和出错位置"
           "（计算阶段、输入框名称、时段与节点、文件），关闭提示框后可修改输入再算。"
           "错误编号：</p><ul>");
    // The catalogue's numbers all lie below 100; the others have no description.
    const std::string_view unknown = ErrorDescription(ErrorCode(0));
    for (int number = 1; number < 100; ++number) {
      const std::string_view description = ErrorDescription(ErrorCode(number));
      if (description == unknown) continue;
      html += QStringLiteral("<li>%1：%2</li>")
                  .arg(number)
                  .arg(QString::fromUtf8(description.data(), qsizetype(description.size())));
    }
    html += QStringLiteral("</ul>");
    html +=
        tr("<h3>设计研究</h3><p>多个算例的参数扫描与算例表在命令行中运行，例如"
           "<br><code>kelvane --batch --sweep forebay-area=600:2000:100 "
           "--sweep-csv study.csv --sweep-plot study.png</code><br>"
           "每个算例一行，列出前池最高、最低水位等结果；<code>kelvane --help</code> "
           "列出全部选项。</p>");
    browser->setHtml(html);
    CloseOnEscape(browser);
    helpWindow_ = browser;
  }
  helpWindow_->show();
  helpWindow_->raise();
}

void MainWindow::showAbout() {
  QMessageBox box(QMessageBox::NoIcon, tr("关于 Kelvane"),
                  tr("<b>Kelvane %1</b><p>泵站进水建筑物水力过渡过程计算：水击与水库—前池间的"
                     "质量振荡。</p>")
                      .arg(QStringLiteral(KELVANE_VERSION)),
                  QMessageBox::Ok, this);
  box.setObjectName(QStringLiteral("AboutBox"));
  box.exec();
}

}  // namespace kelvane::ui
