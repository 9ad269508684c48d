#include "ui/input_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

#include "output/output.h"
#include "solver/input_check.h"
#include "solver/run_editor.h"
#include "ui/flag_tint.h"
#include "ui/run_error_box.h"
#include "ui/twips.h"

namespace kelvane::ui {

namespace {

struct Box {
  int left, top, width, height;  // twips
};

// Label k and Text k (index k - 1) as they stand on the window.
constexpr std::array<Box, kInputCount> kLabelBoxes = {{
    {120, 360, 855, 375},
    {3120, 960, 855, 375},
    {3120, 360, 975, 375},
    {6120, 3120, 1095, 375},
    {6120, 360, 975, 375},
    {120, 2160, 975, 375},
    {120, 3120, 975, 375},
    {120, 4080, 855, 375},
    {3120, 2280, 1095, 375},
    {3120, 3120, 1095, 375},
    {3120, 4080, 1095, 375},
    {6120, 2280, 975, 375},
    {120, 4800, 855, 375},
    {3000, 4800, 975, 375},
    {6120, 1080, 975, 255},
    {120, 960, 855, 375},
}};
constexpr int kTextWidth = 1095;
constexpr int kTextHeight = 375;
constexpr std::array<std::array<int, 2>, kInputCount> kTextCorners = {{
    {1320, 360},
    {4560, 960},
    {4560, 240},
    {7560, 3000},
    {7560, 240},
    {1320, 2160},
    {1320, 3000},
    {1320, 3960},
    {4560, 2160},
    {4560, 3000},
    {4560, 3960},
    {7560, 2160},
    {1320, 4800},
    {4560, 4800},
    {7560, 960},
    {1320, 960},
}};

// The window's own texts (the input captions come with the input fields).
struct ButtonText {
  const char* name;
  const char* caption;
  Box box;
};
constexpr ButtonText kCommand1{
    "Command1", QT_TRANSLATE_NOOP("InputForm", "计算"), {960, 5640, 1335, 375}};
constexpr ButtonText kCommand2{
    "Command2", QT_TRANSLATE_NOOP("InputForm", "退出"), {6480, 5640, 1335, 375}};
constexpr ButtonText kCommand3{
    "Command3", QT_TRANSLATE_NOOP("InputForm", "输出图形"), {3600, 5640, 1335, 375}};
constexpr ButtonText kCommand4{
    "Command4", QT_TRANSLATE_NOOP("InputForm", "结果查询"), {6240, 4800, 1335, 375}};

// A box's tooltip: its caption and unit, what its text reads as, and for a
// flagged box why it is flagged (worded by the input check).
constexpr const char* kToolTipCaption = QT_TRANSLATE_NOOP("InputForm", "%1（%2）");
constexpr const char* kToolTipNoUnit = QT_TRANSLATE_NOOP("InputForm", "无量纲");
constexpr const char* kToolTipReading = QT_TRANSLATE_NOOP("InputForm", "读作 %1");
constexpr const char* kToolTipTableInForce = QT_TRANSLATE_NOOP(
    "InputForm", "前池水位–面积表在用：此框不读入，也不检查（工况 → 前池水位–面积…）");
constexpr const char* kToolTipSectionInForce =
    QT_TRANSLATE_NOOP("InputForm",
                      "混合流模型在用：过水断面面积与水力半径由断面给出（校核 → 设计资料…），"
                      "此框不读入，也不检查（工况 → 计算模型）");

const QColor kFormBackColor(0xFF, 0xC0, 0xFF);      // &H00FFC0FF&
const QColor kCommand3BackColor(0x00, 0x00, 0xC0);  // &H00C00000&
const QColor kLine2Color(0xFF, 0x00, 0x00);         // &H000000FF&

QRect PixelRect(const Box& box) {
  return QRect(Px(box.left), Px(box.top), Px(box.width), Px(box.height));
}

QString Name(const char* kind, int number) { return QLatin1String(kind) + QString::number(number); }

// A one-pixel horizontal line from (0, y) to (x2, y), in twips.
QWidget* MakeLine(QWidget* parent, const char* name, int y, int x2, const QColor& color) {
  auto* line = new QWidget(parent);
  line->setObjectName(QLatin1String(name));
  line->setGeometry(0, Px(y), Px(x2), 1);
  QPalette palette = line->palette();
  palette.setColor(QPalette::Window, color);
  line->setPalette(palette);
  line->setAutoFillBackground(true);
  return line;
}

// Runs one step of a command; anything it throws comes back as a numbered
// error of `stage`.
template <class Step>
std::optional<RunError> Attempt(Step&& step, Stage stage) {
  try {
    step();
    return std::nullopt;
  } catch (...) {
    return CurrentExceptionAsRunError(stage);
  }
}

// The program-wide busy cursor for the length of a command.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { Release(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void Release() {
    if (active_) QApplication::restoreOverrideCursor();
    active_ = false;
  }

 private:
  bool active_ = true;
};

}  // namespace

InputForm::InputForm(QWidget* parent, CaseSession* session)
    : QWidget(parent), session_(session ? session : new CaseSession(this)) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Kelvane"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(Px(9375), Px(6675));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kFormBackColor);
  setPalette(palette);
  setAutoFillBackground(true);

  // The captions wrap into label boxes 25 pixels high: two lines fit only
  // with a 12-pixel line pitch, which a 12-pixel bitmap-hinted CJK face
  // gives; without one the toolkit's font stands.
  QFont captionFont(QStringLiteral("WenQuanYi Zen Hei Sharp"));
  captionFont.setPixelSize(12);
  const bool captionFontFits = QFontInfo(captionFont).family() == captionFont.family() &&
                               QFontMetrics(captionFont).lineSpacing() <= 12;

  const auto& fields = InputFields();
  for (int i = 0; i < kInputCount; ++i) {
    captions_[i] = new QLabel(QString::fromUtf8(fields[i].caption), this);
    if (captionFontFits) captions_[i]->setFont(captionFont);
    captions_[i]->setObjectName(Name("Label", i + 1));
    captions_[i]->setGeometry(PixelRect(kLabelBoxes[i]));
    captions_[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    captions_[i]->setWordWrap(true);

    boxes_[i] = new QLineEdit(QString::fromUtf8(fields[i].defaultText), this);
    boxes_[i]->setObjectName(Name("Text", i + 1));
    boxes_[i]->setGeometry(
        PixelRect({kTextCorners[i][0], kTextCorners[i][1], kTextWidth, kTextHeight}));
  }

  MakeLine(this, "Line1", 1680, 9360, palette.color(QPalette::Highlight));
  MakeLine(this, "Line2", 5400, 9360, kLine2Color);

  auto makeButton = [this](const ButtonText& text) {
    auto* button = new QPushButton(tr(text.caption), this);
    button->setObjectName(QLatin1String(text.name));
    button->setGeometry(PixelRect(text.box));
    button->setAutoDefault(true);  // Enter presses the button that has the focus
    return button;
  };
  calculateButton_ = makeButton(kCommand1);
  exitButton_ = makeButton(kCommand2);
  plotButton_ = makeButton(kCommand3);
  resultsButton_ = makeButton(kCommand4);
  calculateButton_->setDefault(true);
  // Command3's back colour while it can be pressed; disabled it looks like
  // any disabled button, so the state stays readable.
  QPalette command3Palette = plotButton_->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
    command3Palette.setColor(group, QPalette::Button, kCommand3BackColor);
    command3Palette.setColor(group, QPalette::ButtonText, Qt::white);
  }
  plotButton_->setPalette(command3Palette);
  plotButton_->setEnabled(false);
  resultsButton_->setEnabled(false);
  resultsButton_->setVisible(false);

  progressBar_ = new RealProgressBar(this);
  progressBar_->setObjectName(QStringLiteral("ProgressBar1"));
  progressBar_->setGeometry(PixelRect({0, 6120, 9255, 495}));

  // Focus order; Command3 and Command4 take part only while they can.
  QWidget* order[] = {boxes_[0],        boxes_[1],   boxes_[2],   boxes_[3],      boxes_[4],
                      calculateButton_, exitButton_, boxes_[5],   boxes_[6],      boxes_[7],
                      boxes_[8],        boxes_[9],   boxes_[10],  boxes_[11],     boxes_[12],
                      boxes_[13],       boxes_[14],  plotButton_, resultsButton_, boxes_[15]};
  for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
  boxes_[0]->setFocus();

  connect(calculateButton_, &QPushButton::clicked, this, &InputForm::calculate);
  connect(exitButton_, &QPushButton::clicked, this, &InputForm::exitProgram);

  chooseFile_ = [this](const SaveDialogSettings& settings) {
    return ChooseSaveFile(this, settings);
  };

  // What is typed goes into the case; the flags follow every change of it:
  // the output steps depend on the step count, the stability limit on most
  // of the boxes.
  SetInputs(session_->Typed().texts);
  for (QLineEdit* box : boxes_)
    connect(box, &QLineEdit::textChanged, this, [this] { session_->SetTexts(ReadInputs()); });
  connect(session_, &CaseSession::caseChanged, this, &InputForm::ShowInputFlags);
  ShowInputFlags();
}

void InputForm::SetSaveFileChooser(SaveFileChooser chooser) { chooseFile_ = std::move(chooser); }

void InputForm::SetInputs(const InputTexts& texts) {
  for (InputId id : AllInputs()) Box(id)->setText(QString::fromStdString(texts[id]));
}

InputTexts InputForm::ReadInputs() const {
  InputTexts inputs;
  for (InputId id : AllInputs()) inputs[id] = Box(id)->text().toStdString();
  return inputs;
}

void InputForm::SetOutputCommandsEnabled(bool enabled) {
  plotButton_->setEnabled(enabled);
  resultsButton_->setEnabled(enabled);
}

QString BoxCheckToolTip(const char* caption, const char* unit, std::optional<double> value,
                        const std::string& flagText) {
  const QString unitText =
      *unit ? QString::fromUtf8(unit) : QCoreApplication::translate("InputForm", kToolTipNoUnit);
  QStringList lines{QCoreApplication::translate("InputForm", kToolTipCaption)
                        .arg(QString::fromUtf8(caption), unitText)};
  if (value) {
    lines << QCoreApplication::translate("InputForm", kToolTipReading)
                 .arg(QString::fromStdString(InputValueText(*value)));
  }
  if (!flagText.empty()) lines << QString::fromStdString(flagText);
  return FlagToolTip(lines);
}

void ShowBoxCheck(QLineEdit* box, const char* caption, const char* unit,
                  std::optional<double> value, const std::string& flagText) {
  box->setToolTip(BoxCheckToolTip(caption, unit, value, flagText));
  // Only the base colour is set, so everything else stays inherited.
  QPalette tinted;
  tinted.setColor(QPalette::Base, FlaggedBackColor());
  box->setPalette(flagText.empty() ? QPalette() : tinted);
}

void InputForm::SetCase(PreparedCase prepared) {
  Case typed = std::move(prepared.typed);
  const Case& inForce = session_->Typed();
  typed.texts = inForce.texts;
  typed.title = inForce.title;
  typed.notes = inForce.notes;
  session_->SetCase(PrepareCase(std::move(typed)), session_->Project(), session_->OperatingCases());
}

void InputForm::ShowInputFlags() {
  const InputTexts inputs = ReadInputs();
  const InputCheckOptions options = CaseCheckOptions(session_->Prepared().extras);
  const std::vector<InputFlag> flags = CheckInputs(inputs, options);
  for (InputId id : AllInputs()) {
    const InputField& field = Field(id);
    // A box the case does not read is greyed, untinted, and says what
    // takes its place.
    const bool unread = InputUnread(id, options);
    Box(id)->setEnabled(!unread);
    if (unread) {
      const char* instead =
          id == InputId::ForebayArea ? kToolTipTableInForce : kToolTipSectionInForce;
      Box(id)->setToolTip(
          FlagToolTip({QCoreApplication::translate("InputForm", kToolTipCaption)
                           .arg(QString::fromUtf8(field.caption), QString::fromUtf8(field.unit)),
                       QCoreApplication::translate("InputForm", instead)}));
      Box(id)->setPalette(QPalette());
      continue;
    }
    const auto flag = std::find_if(flags.begin(), flags.end(),
                                   [id](const InputFlag& f) { return f.input == id; });
    ShowBoxCheck(Box(id), field.caption, field.unit, ReadLeadingNumber(inputs[id]),
                 flag != flags.end() ? InputFlagText(*flag) : std::string());
  }
}

void InputForm::calculate() {
  BusyCursor busy;
  // The bar follows the march, then the result file.
  progressBar_->show();
  progressBar_->repaint();

  RunObservers observers;
  observers.after = [this](const SurgeRun& run) { return MarchProgress(run, *progressBar_); };
  observers.summarize = false;  // the windows and the report summarize when asked
  emit runStarted();
  session_->Calculate(observers);
  if (const std::optional<RunError>& error = session_->LastRun().error) {
    // The run state is incomplete: no output command may read it.
    SetOutputCommandsEnabled(false);
    progressBar_->hide();
    busy.Release();
    emit runFinished(false);
    ShowRunError(this, *error);
    return;
  }
  emit runFinished(true);
  const std::optional<RunError> error = WriteResult();
  // The run is complete whether or not its file was written.
  progressBar_->hide();
  busy.Release();
  SetOutputCommandsEnabled(true);
  if (error) ShowRunError(this, *error);
}

std::optional<RunError> InputForm::WriteResult() {
  const CaseRun& done = session_->LastRun();
  // The bar's range is set before the dialog asks for the name.
  return Attempt(
      [&] {
        progressBar_->SetMinimum(0.0);
        progressBar_->SetMaximum(static_cast<double>(done.run.StepCount()));
        const std::string path = chooseFile_(ResultFileDialogSettings()).toStdString();
        WriteResultFile(done.run, done.outcome.parameters.OutputInterval, path, *progressBar_);
      },
      Stage::ResultFile);
}

void InputForm::saveResultFile() {
  if (!CompletedRun()) return;
  BusyCursor busy;
  progressBar_->show();
  const std::optional<RunError> error = WriteResult();
  progressBar_->hide();
  busy.Release();
  if (error) ShowRunError(this, *error);
}

// Inside the frame with the menu bar, Exit closes the frame.
void InputForm::exitProgram() { window()->close(); }

bool InputForm::DrawPlot(PlotPicture& picture) {
  if (auto error = Attempt([&] { DrawForebayPlot(picture, Run()); }, Stage::Plot)) {
    ShowRunError(this, *error);
    return false;
  }
  return true;
}

std::optional<std::string> InputForm::ResultsTable() {
  BusyCursor busy;
  const RealProgressBar::State before = progressBar_->Snapshot();
  std::string table;
  const auto error = Attempt(
      [&] {
        // The range as the boxes hold it now; the run keeps it for later.
        const TableRange range = ReadTableRange(Box(InputId::FirstOutputStep)->text().toStdString(),
                                                Box(InputId::LastOutputStep)->text().toStdString(),
                                                Box(InputId::OutputInterval)->text().toStdString());
        SurgeRunEditor(session_->RunState()).SetOutputSteps(range.first, range.last);
        table = ResultsTableText(Run(), range, *progressBar_);
      },
      Stage::ResultsTable);
  if (error) {
    progressBar_->Restore(before);
    busy.Release();
    ShowRunError(this, *error);
    return std::nullopt;
  }
  progressBar_->hide();
  return table;
}

void InputForm::keyPressEvent(QKeyEvent* event) {
  // Command1 is the default and the cancel button. A focused button takes
  // Enter itself; text boxes and other buttons pass Enter and Esc on to here.
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (calculateButton_->isEnabled() && calculateButton_->isVisible()) calculate();
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace kelvane::ui
