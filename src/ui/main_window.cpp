#include "ui/main_window.h"

#include <QActionGroup>
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
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <exception>

#include "cases/case_file.h"
#include "evaluation/design_checks.h"
#include "evaluation/report.h"
#include "format/number_format.h"
#include "model/run_preview.h"
#include "report/calculation_document.h"
#include "run/case_item.h"
#include "run/case_run_length.h"
#include "run/run_case.h"
#include "texts/input_check.h"
#include "ui/calculation_report.h"
#include "ui/cases_dialog.h"
#include "ui/design_dialog.h"
#include "ui/forebay_table_dialog.h"
#include "ui/help_window.h"
#include "ui/project_dialog.h"
#include "ui/pump_event_dialog.h"
#include "ui/report_pdf.h"
#include "ui/run_error_box.h"
#include "ui/translations.h"

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

// The status line's items of the run length: the rigid column's period,
// short enough to follow the grid's figures on the line; the share of it
// the run covers and the classic model's drift (where the summary notes it),
// which the tooltip holds when the line has no room for them.
struct RunLengthItems {
  QStringList period;
  QStringList details;
};
RunLengthItems RunLengthStatusItems(const std::optional<RunLengthPreview>& length) {
  RunLengthItems items;
  if (!length) return items;
  items.period << MainWindow::tr("振荡周期 %1 s").arg(Figure(length->oscillation.period));
  items.details << MainWindow::tr("计算历时为振荡周期的 %1 倍")
                       .arg(Figure(length->duration / length->oscillation.period));
  if (length->classicDrift && std::fabs(*length->classicDrift) > kNotedDrift) {
    items.details << MainWindow::tr("经典模型：流量不变时水位也将漂移约 %1 m")
                         .arg(QString::fromStdString(
                             Fixed(std::fabs(*length->classicDrift), 3, NegativeZero::Drop)));
  }
  return items;
}

// The status line's items of the pump event and area table in force: the
// batch mode's warnings, each in its words.
QStringList EventWarningItems(const EventTexts& events, const InputTexts& inputs) {
  QStringList items;
  for (const EventWarning& warning : CaseEventWarnings(events, inputs))
    items << MainWindow::tr("警告：%1").arg(QString::fromStdString(EventWarningText(warning)));
  return items;
}

// The status line's items of the design data in force: how many checks it
// gives, and a culvert that does not run full from the start.
QStringList DesignStatusItems(const PreparedCase& prepared) {
  QStringList items;
  if (!prepared.typed.design.Any()) return items;
  const std::size_t checks = ChecksGiven(prepared.design).size();
  items << (checks > 0 ? MainWindow::tr("设计校核 %1 项").arg(checks)
                       : MainWindow::tr("设计资料不全，不校核"));
  for (DesignFlag flag : prepared.designFlags) {
    if (std::ranges::find(flag.reasons, InputFlagReason::CulvertNotFullAtStart) ==
        flag.reasons.end())
      continue;
    flag.reasons = {InputFlagReason::CulvertNotFullAtStart};
    items << MainWindow::tr("箱涵起始未满流：%1").arg(QString::fromStdString(DesignFlagText(flag)));
  }
  return items;
}

}  // namespace

CaseFileAccess CaseFileLibrary() {
  return {[](const std::string& path) { return ReadCaseFile(path); },
          [](const std::string& path, const CaseFile& file) { WriteCaseFile(path, file); }};
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
  UseProgramFileLabels(dialog);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({MainWindow::tr("算例文件 (*.toml)"), MainWindow::tr("所有文件 (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), session_(new CaseSession(this)) {
  setObjectName(QStringLiteral("MainWindow"));
  inputForm_ = new InputForm(nullptr, session_);
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
  action(file, tr("工程信息…"), "EditProject", [this] { editProject(); });
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
  action(events, tr("工况表…"), "EditCases", [this] { editCases(); });
  AddRunMenus(events);

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

  AddMixedRunLength();
  runPreview_ = new StatusLine(this);
  runPreview_->setObjectName(QStringLiteral("RunPreview"));
  statusBar()->addWidget(runPreview_, 1);
  statusBar()->setSizeGripEnabled(false);

  // A box's own key bindings (Ctrl+E: end of line) give way to the menus'.
  QApplication::instance()->installEventFilter(this);
  // The results and plot commands follow their buttons' states.
  inputForm_->PlotButton()->installEventFilter(this);
  inputForm_->ResultsButton()->installEventFilter(this);
  connect(inputForm_, &InputForm::runFinished, this, &MainWindow::RunFinished);
  connect(session_, &CaseSession::caseChanged, this, &MainWindow::CaseEdited);

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
  if (plotWindow_) plotWindow_->SetSaveFileChooser(ChooserFor(plotWindow_));
}

SaveFileChooser MainWindow::ChooserFor(QWidget* owner) const {
  if (chooseSave_) return chooseSave_;
  // Parented to the window that asks, so that the main window does not come
  // to the front over a chart while its export dialog is open, nor after.
  return [owner](const SaveDialogSettings& settings) { return ChooseSaveFile(owner, settings); };
}

void MainWindow::RunFinished(bool complete) {
  historyAction_->setEnabled(complete);
  envelopeAction_->setEnabled(complete);
  saveResultAction_->setEnabled(complete);
  exportReportAction_->setEnabled(complete);
  resultsAction_->setEnabled(inputForm_->ResultsButton()->isEnabled());
  plotAction_->setEnabled(inputForm_->PlotButton()->isEnabled());
  if (complete) RunCasesForCharts();
}

void MainWindow::showHistory() {
  if (!session_->CompletedRun()) return;
  if (!historyWindow_) {
    historyWindow_ = new HistoryWindow();
    historyWindow_->SetSaveFileChooser(ChooserFor(historyWindow_));
    CloseOnEscape(historyWindow_);
    historyWindow_->Follow(*session_);
  }
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

void MainWindow::showEnvelope() {
  if (!session_->CompletedRun()) return;
  if (!envelopeWindow_) {
    envelopeWindow_ = new EnvelopeWindow();
    envelopeWindow_->SetSaveFileChooser(ChooserFor(envelopeWindow_));
    CloseOnEscape(envelopeWindow_);
    envelopeWindow_->Follow(*session_);
  }
  envelopeWindow_->show();
  envelopeWindow_->raise();
  envelopeWindow_->activateWindow();
}

void MainWindow::showPlot() {
  // Drawn on a copy first, so a fault leaves the plot window as it was.
  PlotPicture picture = plotWindow_ ? plotWindow_->Picture1()->Picture() : PlotPicture();
  if (!inputForm_->DrawPlot(picture)) return;
  if (!plotWindow_) {
    plotWindow_ = new PlotWindow();
    plotWindow_->SetSaveFileChooser(ChooserFor(plotWindow_));
    plotWindow_->Follow(*session_);
  }
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
  if (!resultsWindow_) {
    resultsWindow_ = std::make_unique<ResultsWindow>();
    resultsWindow_->Follow(*session_);
  }
  resultsWindow_->SetTableText(QString::fromStdString(*table));
  resultsWindow_->show();
  resultsWindow_->raise();
  inputForm_->PlotButton()->setEnabled(true);
}

// ------------------------------------------------------------ case files

void MainWindow::UpdateCaption() {
  setWindowTitle(CaptionFor(caseFile_));
  setWindowModified(!caseFile_.isEmpty() && Edited());
}

bool MainWindow::Edited() const {
  const Case& typed = session_->Typed();
  return typed.texts != saved_.base.texts || typed.events != saved_.base.events ||
         typed.design != saved_.base.design || session_->Project() != saved_.project ||
         session_->OperatingCases() != saved_.cases;
}

void MainWindow::CaseEdited() {
  UpdateCaption();
  ShowRunPreview();
}

void MainWindow::AddMixedRunLength() {
  // Formed once the user has paused, not at each key: the model's step 1
  // runs for it.
  mixedLengthTimer_ = new QTimer(this);
  mixedLengthTimer_->setSingleShot(true);
  mixedLengthTimer_->setInterval(300);
  connect(mixedLengthTimer_, &QTimer::timeout, this, [this] {
    const std::optional<CaseRunLength> length = PreviewCaseRunLength(session_->Prepared());
    mixedLength_ = length ? std::optional(length->preview) : std::nullopt;
    mixedLengthOf_ = session_->Typed();
    ShowRunPreview();
  });
}

void MainWindow::ShowRunPreview() {
  QStringList items;
  const ModelExtras extras = inputForm_->ModelExtrasInForce();
  std::optional<RunLengthPreview> forecast;
  if (extras.model != MarchModel::Mixed) {
    forecast = PreviewRunLength(inputForm_->Inputs(), extras);
  } else if (mixedLengthOf_ == session_->Typed()) {
    forecast = mixedLength_;
  } else {
    // Until the user stops typing the line gives no period rather than the
    // culvert box's.
    mixedLengthTimer_->start();
  }
  const RunLengthItems length = RunLengthStatusItems(forecast);
  if (const std::optional<RunPreview> preview = PreviewRun(inputForm_->Inputs())) {
    const QString limit = std::isfinite(preview->stabilityLimit)
                              ? tr("%1 m²").arg(Figure(preview->stabilityLimit))
                              : tr("无（前池水位不稳定）");
    items << tr("时间步长 %1 s").arg(Figure(preview->timeStep))
          << tr("计算历时 %1 s").arg(Figure(preview->duration))
          << tr("2L/a %1 s").arg(Figure(preview->waveReturn))
          << tr("前池面积稳定下限 %1").arg(limit);
    if (!preview->steadyState) items << tr("恒定流算不出");
    items << EventWarningItems(session_->Typed().events, inputForm_->Inputs());
    items << length.period;
  } else {
    items << tr("这些输入构不成一次计算：时间步长无从得出");
  }
  // A run is not the sixteen boxes alone when the case brings a pump event
  // or an area table: say so.
  for (const std::string& line : ModelExtrasLines(extras)) items << QString::fromStdString(line);
  items << length.details;
  items << DesignStatusItems(session_->Prepared());
  runPreview_->SetItems(items);
  // Every change of the case passes here: the model menu follows it.
  ShowModelInForce();
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
  saved_ = kelvane::CaseFile();
  session_->SetCase(PrepareCase(Case()), {}, {});
  inputForm_->SetInputs(DefaultInputTexts());
  UpdateCaption();
}

void MainWindow::openCase() {
  if (!cases_.read) return;
  const QString path = chooseOpen_();
  if (!path.isEmpty()) openCase(path);
}

void MainWindow::openCase(const QString& path) {
  if (!cases_.read || !MaybeSave()) return;
  kelvane::CaseFile read;
  PreparedCase prepared;
  try {
    read = cases_.read(path.toStdString());
    prepared = PrepareCase(read.base);
    // A table that cannot be used: not opened.
    if (prepared.eventError) throw *prepared.eventError;
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
  session_->SetCase(std::move(prepared), read.project, read.cases);
  inputForm_->SetInputs(read.base.texts);
  RememberRecent(path);
  UpdateCaption();
}

bool MainWindow::SaveTo(const QString& path) {
  // The title and notes stay as the file had them.
  kelvane::CaseFile texts = saved_;
  texts.project = session_->Project();
  texts.cases = session_->OperatingCases();
  texts.base.texts = inputForm_->Inputs();
  texts.base.events = session_->Typed().events;
  texts.base.design = session_->Typed().design;
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
  if (!session_->CompletedRun()) return;
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
    WriteReportDocument(CalculationBook(RunBook()), path.toStdString());
  } catch (...) {
    error = CurrentExceptionAsRunError(Stage::Report);
  }
  QApplication::restoreOverrideCursor();
  if (error) ShowRunError(this, *error);
}

BookInput MainWindow::RunBook() {
  BookInput book;
  book.project = session_->Project();
  const ReportInput run = RunReport();
  book.cases.push_back({session_->BaseCaseName(), "", run});
  // The operating cases over the case of the last complete run, each run as
  // the batch mode runs them for its book, on every processor, unless
  // 计算全部工况 has run them just so.
  if (!session_->CaseRunsAreOf(session_->CasesOverCompletedRun()))
    session_->RunCasesOverCompletedRun();
  const std::vector<CaseRun>& runs = session_->CaseRuns();
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const CaseRun& done = runs[i];
    if (done.error) throw *done.error;
    if (done.summaryError) throw *done.summaryError;
    const OperatingCase& operating = session_->OperatingCases()[i];
    book.cases.push_back({operating.name, OperatingCaseDifferences(operating),
                          CaseReportInput(session_->CaseRunCases()[i], done)});
  }
  session_->UpdateChartCases();
  return book;
}

void MainWindow::RunCasesForCharts() {
  // The cases are run again with the window's case when they had been run
  // and a chart window shows them; else they wait for 计算全部工况 or the
  // book.
  const auto open = [](const QWidget* w) { return w && w->isVisible(); };
  if (session_->CaseRunsStale() && !session_->CaseRuns().empty() &&
      (open(historyWindow_) || open(envelopeWindow_) || open(plotWindow_))) {
    session_->RunCasesOverCompletedRun();
    statusBar()->showMessage(tr("已重算 %1 个工况").arg(session_->CaseRuns().size()), 10000);
  }
  session_->UpdateChartCases();
}

ReportInput MainWindow::RunReport() const {
  ReportInput report;
  report.prepared = &session_->CompletedCase();
  if (const RunOutcome* outcome = session_->CompletedRun()) {
    report.run = &session_->LastRun().run;
    report.outcome = *outcome;
    report.summary = SummarizeRun(inputForm_->Run(), *outcome);
  }
  return report;
}

void MainWindow::editDesign() {
  DesignDialog dialog(Design(), inputForm_->Inputs(), this, inputForm_->ModelExtrasInForce());
  if (dialog.exec() == QDialog::Accepted) SetDesign(dialog.Texts());
}

void MainWindow::editProject() {
  ProjectDialog dialog(Project(), this);
  if (dialog.exec() != QDialog::Accepted) return;
  session_->SetProject(dialog.Info());
}

void MainWindow::SetDesign(const DesignTexts& design) { session_->SetDesign(design); }

bool MainWindow::MaybeSave() {
  // Without a case file the typed inputs are compared with the default texts.
  if (!Edited()) return true;
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
  if (const std::optional<RunError> error = session_->SetEvents(events))
    ShowFailure(RunErrorMessage(*error));  // the dialogs refuse such texts
}

void MainWindow::editCases() {
  CasesDialog dialog(session_->Typed(), OperatingCases(), this);
  const int result = dialog.exec();
  if (result == QDialog::Rejected) return;
  // The table's columns may put a case's changes in another order than the
  // case file's: the same changes leave the cases in force as they are.
  const auto sorted = [](std::vector<OperatingCase> cases) {
    for (OperatingCase& c : cases) std::ranges::sort(c.changes);
    return cases;
  };
  if (sorted(dialog.Cases()) != sorted(OperatingCases()))
    session_->SetOperatingCases(dialog.Cases());
  if (result == kAcceptedToRun) {
    session_->SetCaseRuns(dialog.RunCases(), std::move(dialog.Runs()));
    statusBar()->showMessage(
        tr("已算完 %1 个工况；导出计算书包括全部工况").arg(session_->CaseRuns().size()), 10000);
  }
  // The chart windows show the cases in force that have run: those just
  // run at once, a case removed no more.
  session_->UpdateChartCases();
  UpdateCaption();
}

void MainWindow::editPumpEvent() {
  PumpEventDialog dialog(session_->Typed().events, inputForm_->Inputs(), this);
  const int result = dialog.exec();
  if (result != QDialog::Rejected) SetEvents(dialog.Events());
  if (result == kAcceptedToSave) saveCase();
}

void MainWindow::editForebayTable() {
  ForebayTableDialog dialog(session_->Typed().events, inputForm_->Inputs(), this);
  const int result = dialog.exec();
  if (result != QDialog::Rejected) SetEvents(dialog.Events());
  if (result == kAcceptedToSave) saveCase();
}

// ------------------------------------------------------------ 计算模型, 计算时长

namespace {
// The models the window offers, in the menu's order.
constexpr MarchModel kWindowModels[] = {MarchModel::Classic, MarchModel::Balanced,
                                        MarchModel::Mixed};
// The periods the run-length commands cover.
constexpr double kCoveredPeriods[] = {1, 1.5, 2, 3};
}  // namespace

void MainWindow::AddRunMenus(QMenu* events) {
  events->addSeparator();
  QMenu* models = events->addMenu(tr("计算模型"));
  models->setObjectName(QStringLiteral("ModelMenu"));
  auto* group = new QActionGroup(this);
  group->setExclusive(true);
  for (MarchModel model : kWindowModels) {
    // "经典模型（仅沿程损失）": the caption the summary and the report use.
    QAction* a = models->addAction(QString::fromUtf8(MarchModelCaption(model)));
    a->setObjectName(QStringLiteral("Model_%1")
                         .arg(QString::fromLatin1(MarchModelName(model).data(),
                                                  qsizetype(MarchModelName(model).size()))));
    a->setCheckable(true);
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, model] { SetModel(model); });
    modelActions_.emplace_back(model, a);
  }
  // The section the free-surface model computes; the other models do not
  // read it.
  QMenu* sections = events->addMenu(tr("断面形式"));
  sections->setObjectName(QStringLiteral("SectionMenu"));
  auto* sectionGroup = new QActionGroup(this);
  sectionGroup->setExclusive(true);
  for (CulvertSection section : {CulvertSection::Box, CulvertSection::Channel}) {
    const std::string_view name = CulvertSectionName(section);
    QAction* a = sections->addAction(QString::fromUtf8(CulvertSectionCaption(section)));
    a->setObjectName(
        QStringLiteral("Section_%1").arg(QString::fromLatin1(name.data(), qsizetype(name.size()))));
    a->setCheckable(true);
    sectionGroup->addAction(a);
    connect(a, &QAction::triggered, this, [this, section] { SetSection(section); });
    sectionActions_.emplace_back(section, a);
  }
  runLengthMenu_ = events->addMenu(tr("计算时长"));
  runLengthMenu_->setObjectName(QStringLiteral("RunLengthMenu"));
  connect(runLengthMenu_, &QMenu::aboutToShow, this, &MainWindow::FillRunLengthMenu);
  FillRunLengthMenu();
}

void MainWindow::ShowModelInForce() {
  const ModelExtras& extras = inputForm_->ModelExtrasInForce();
  for (const auto& [model, a] : modelActions_) a->setChecked(model == extras.model);
  for (const auto& [section, a] : sectionActions_) {
    a->setChecked(section == extras.section);
    a->setEnabled(extras.model == MarchModel::Mixed);
  }
}

void MainWindow::SetSection(CulvertSection section) {
  if (section == inputForm_->ModelExtrasInForce().section) return;
  EventTexts events = session_->Typed().events;
  events.section = std::string(CulvertSectionName(section));
  SetEvents(events);
}

void MainWindow::SetModel(MarchModel model) {
  if (model == inputForm_->ModelExtrasInForce().model) return;
  EventTexts events = session_->Typed().events;
  // The classic model is the one a case without a model runs: none is
  // written unless the case file named one.
  events.model = model == MarchModel::Classic && !saved_.base.events.model
                     ? std::nullopt
                     : std::optional<std::string>(MarchModelName(model));
  SetEvents(events);
}

void MainWindow::FillRunLengthMenu() {
  runLengthMenu_->clear();
  // Formed as the menu opens, not as the user types: a mixed case's comes
  // from the model's own step 1.
  const std::optional<CaseRunLength> length = PreviewCaseRunLength(session_->Prepared());
  if (!length) {
    runLengthMenu_->addAction(tr("这些输入给不出振荡周期"))->setEnabled(false);
    return;
  }
  // One command per step count; a count beyond the most a run can have
  // is shown, not offered.
  auto offer = [this](const QString& what, long long steps, const QString& name) {
    const bool fits = steps <= kMostSteps;
    QAction* a = runLengthMenu_->addAction(
        fits ? tr("%1（计算时段数 %2）").arg(what).arg(steps)
             : tr("%1（需计算时段数 %2，超过 %3）").arg(what).arg(steps).arg(kMostSteps));
    a->setObjectName(name);
    a->setEnabled(fits);
    connect(a, &QAction::triggered, this, [this, steps] {
      inputForm_->InputBox(InputId::StepCount)->setText(QString::number(steps));
    });
  };
  if (const std::optional<long long> decide = length->stepsToDecide)
    offer(tr("至可判定首个最高、最低水位"), *decide, QStringLiteral("RunLengthToDecide"));
  for (double periods : kCoveredPeriods) {
    offer(tr("%1 个振荡周期").arg(Figure(periods)), length->preview.StepsForPeriods(periods),
          QStringLiteral("RunLength_%1").arg(Figure(periods)));
  }
}

// ------------------------------------------------------------ help

void MainWindow::showHelp() {
  if (!helpWindow_) {
    helpWindow_ = NewHelpWindow();
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
