// The 工程信息 dialog and the operating cases in the window: what is typed
// goes into the case file, comes back when it is reopened and reaches the
// calculation book the window exports.
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QtTest>
#include <algorithm>
#include <string>
#include <vector>

#include "cases/case_file.h"
#include "dialog_session.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "test_classes.h"
#include "ui/cases_dialog.h"
#include "ui/flag_tint.h"
#include "ui/project_dialog.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QLineEdit* ProjectBox(const ProjectDialog& dialog, const char* key) {
  return dialog.findChild<QLineEdit*>(QLatin1String(key));
}

// Types `text` where the focus is, character by character, as an input
// method delivers it.
void TypeKeys(QWidget* widget, const QString& text) {
  for (QChar c : text)
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// A dialog over the default case with a column for each of `options`.
void AddColumns(CasesDialog& dialog, std::initializer_list<const char*> options) {
  for (const char* option : options) dialog.AddColumn(*CaseItemByOption(option));
}

std::vector<OperatingCase> KeySorted(std::vector<OperatingCase> cases) {
  for (OperatingCase& c : cases) std::sort(c.changes.begin(), c.changes.end());
  return cases;
}

}  // namespace

class CasesDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void projectTypedSavedReopenedAndExported();
  void projectTextTheFileCannotHoldIsRefused();
  void casesTypedPastedSavedReopenedAndRun();
  void caseCellsAreCheckedAsTyped();
  void pasteWiderThanTheTableIsRefused();
  void stoppedRunKeepsTheDialogAndNoRun();
};

// Typed in 工程信息, saved with the case, read back from the file and into
// the dialog when the case is reopened, and printed in the exported book in
// place of the name it has without them.
void CasesDialogsTest::projectTypedSavedReopenedAndExported() {
  EventSession s;
  s.Edit<ProjectDialog>("EditProject", [](ProjectDialog& d) {
    TypeInto(ProjectBox(d, "name"), QStringLiteral("某泵站工程"));
    TypeInto(ProjectBox(d, "stage"), QStringLiteral("初步设计"));
    TypeInto(ProjectBox(d, "calculated_by"), QStringLiteral("张三"));
    TypeInto(ProjectBox(d, "wave_speed_basis"), QStringLiteral("按管材实测"));
    d.Basis()->setFocus();
    TypeKeys(d.Basis(), QStringLiteral("《泵站设计标准》GB 50265-2022"));
    QTest::keyClick(d.Basis(), Qt::Key_Return);
    QTest::keyClick(d.Basis(), Qt::Key_Return);  // a blank line is no entry
    TypeKeys(d.Basis(), QStringLiteral("初步设计报告"));
    Click(d, "OkButton");
  });
  ProjectInfo typed;
  typed.name = "某泵站工程";
  typed.stage = "初步设计";
  typed.calculatedBy = "张三";
  typed.waveSpeedBasis = "按管材实测";
  typed.basis = {"《泵站设计标准》GB 50265-2022", "初步设计报告"};
  QVERIFY(s.window.Project() == typed);

  const QString file = s.Path("project.toml");
  s.answer = file;
  QVERIFY(s.window.saveCaseAs());
  QVERIFY(ReadCaseFile(file.toStdString()).project == typed);
  QVERIFY(!s.window.isWindowModified());

  // Cancelled: nothing changes, the window stays unmodified.
  s.Edit<ProjectDialog>("EditProject", [](ProjectDialog& d) {
    TypeInto(ProjectBox(d, "name"), QStringLiteral("另一工程"));
    Click(d, "CancelButton");
  });
  QVERIFY(s.window.Project() == typed);
  QVERIFY(!s.window.isWindowModified());

  s.window.newCase();
  QVERIFY(s.window.Project() == ProjectInfo{});
  s.window.openCase(file);
  QVERIFY(s.window.Project() == typed);
  s.Edit<ProjectDialog>("EditProject", [&typed](ProjectDialog& d) {
    QCOMPARE(ProjectBox(d, "name")->text(), QStringLiteral("某泵站工程"));
    QCOMPARE(d.Basis()->toPlainText(),
             QStringLiteral("《泵站设计标准》GB 50265-2022\n初步设计报告"));
    QVERIFY(d.Info() == typed);
    TypeInto(ProjectBox(d, "checked_by"), QStringLiteral("李四"));
    Click(d, "OkButton");
  });
  QVERIFY(s.window.isWindowModified());

  QVERIFY(!s.Calculate("result.txt").empty());
  s.answer = s.Path("book.pdf");
  Named<QAction>(s.window, "ExportReport")->trigger();
  const test::ProcessResult text = test::PdfText(s.answer.toStdString());
  QCOMPARE(text.status, 0);
  const std::string book = test::Squeezed(text.out);
  for (const char* words : {"某泵站工程", "初步设计", "张三", "李四", "初步设计报告", "按管材实测"})
    QVERIFY2(book.find(words) != std::string::npos, words);
  QVERIFY(book.find("未命名算例") == std::string::npos);
}

// A tab pasted into a box cannot go into the case file: the box is tinted
// and says why, and 确定 waits until it is gone.
void CasesDialogsTest::projectTextTheFileCannotHoldIsRefused() {
  struct Case {
    const char* box;  // nullptr: the basis
    const char* text;
    bool refused;
  };
  const Case cases[] = {
      {"number", "JS-01\t02", true},
      {"number", "JS-01 02", false},
      {nullptr, "GB 50265\t2022", true},
      {nullptr, "GB 50265-2022\n\n初设报告", false},
  };
  for (const Case& c : cases) {
    ProjectDialog dialog(ProjectInfo{});
    QWidget* box = c.box ? static_cast<QWidget*>(ProjectBox(dialog, c.box)) : dialog.Basis();
    if (c.box)
      ProjectBox(dialog, c.box)->setText(QString::fromUtf8(c.text));
    else
      dialog.Basis()->setPlainText(QString::fromUtf8(c.text));
    QCOMPARE(dialog.OkButton()->isEnabled(), !c.refused);
    QCOMPARE(box->palette().color(QPalette::Base) == FlaggedBackColor(), c.refused);
    QCOMPARE(box->toolTip().contains(QStringLiteral("控制字符")), c.refused);
  }
}

// Typed and pasted in the 工况表, saved as the case file's [[cases]], back
// in the table when the file is reopened; 计算全部工况 runs them, and the book
// the window then exports is the one the batch mode writes of the file.
void CasesDialogsTest::casesTypedPastedSavedReopenedAndRun() {
  EventSession s;
  const std::vector<OperatingCase> typed = {
      {"最高库水位事故停泵", {{"reservoir-level", "-3.5"}}},
      {"最低库水位正常停机", {{"reservoir-level", "-6"}, {"pump-ramp-time", "120"}}},
      {"设计库水位开机", {{"pump-schedule", "0:0,60:41.6"}}},
  };
  s.Edit<CasesDialog>("EditCases", [](CasesDialog& d) {
    QCOMPARE(d.Table()->rowCount(), 0);
    QVERIFY(!Named<QPushButton>(d, "RunAllButton")->isEnabled());
    auto* choice = Named<QComboBox>(d, "ColumnChoice");
    for (const char* option : {"reservoir-level", "pump-ramp-time", "pump-schedule"}) {
      choice->setCurrentIndex(choice->findData(QString::fromUtf8(option)));
      Click(d, "AddColumn");
    }
    Click(d, "AddRow");
    // The new row's name opened for typing; the name as an input method
    // gives it, the level key by key.
    auto* nameEditor = d.Table()->viewport()->findChild<QLineEdit*>();
    QVERIFY(nameEditor != nullptr);
    QTest::keyClick(nameEditor, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    d.Table()->item(0, 0)->setText(QStringLiteral("最高库水位事故停泵"));
    TypeCell(*d.Table(), 0, 1, "-3.5");
    // Below the last row: a spreadsheet's copy, a blank cell left to the base.
    d.Table()->setCurrentCell(-1, -1);
    d.Paste(QStringLiteral("最低库水位正常停机\t-6\t120\t\n设计库水位开机\t\t\t0:0,60:41.6\n"));
    QCOMPARE(d.Table()->rowCount(), 3);
    Click(d, "OkButton");
  });
  QVERIFY(s.window.OperatingCases() == typed);

  const QString file = s.Path("cases.toml");
  s.answer = file;
  QVERIFY(s.window.saveCaseAs());
  // The file keeps each case's keys in its own order: the same changes.
  QVERIFY(KeySorted(ReadCaseFile(file.toStdString()).cases) == KeySorted(typed));
  s.window.newCase();
  QVERIFY(s.window.OperatingCases().empty());
  s.window.openCase(file);
  QVERIFY(KeySorted(s.window.OperatingCases()) == KeySorted(typed));

  QVERIFY(!s.Calculate("result.txt").empty());
  s.Edit<CasesDialog>("EditCases", [](CasesDialog& d) {
    QCOMPARE(CellTexts(*d.Table()), QStringList({QStringLiteral("最高库水位事故停泵"),
                                                 QStringLiteral("-3.5"),
                                                 {},
                                                 {},
                                                 QStringLiteral("最低库水位正常停机"),
                                                 QStringLiteral("-6"),
                                                 QStringLiteral("120"),
                                                 {},
                                                 QStringLiteral("设计库水位开机"),
                                                 {},
                                                 {},
                                                 QStringLiteral("0:0,60:41.6")}));
    // A case that cannot run would keep the dialog open: closed then.
    QTimer::singleShot(60000, &d, &CasesDialog::reject);
    Click(d, "RunAllButton");
    QTRY_VERIFY_WITH_TIMEOUT(!d.Running() && !d.isVisible(), 30000);
    QCOMPARE(d.result(), kAcceptedToRun);
  });
  QVERIFY2(s.window.statusBar()->currentMessage().contains(QStringLiteral("已算完 3 个工况")),
           qPrintable(s.window.statusBar()->currentMessage()));
  QVERIFY(!s.window.isWindowModified());

  // The runs 计算全部工况 left are those the batch mode makes: the same book.
  const std::string book = ExportedBookOfBatch(s, file);
  QVERIFY(!book.empty());
  for (const OperatingCase& c : typed)
    QVERIFY2(book.find(c.name) != std::string::npos, c.name.c_str());
}

// Each cell is checked as its box or table is: a box's flag tints the cell
// and says why but lets the cases be used; a table that cannot be read, a
// case without a name or a name twice keep 确定 and 计算全部工况 disabled.
void CasesDialogsTest::caseCellsAreCheckedAsTyped() {
  struct Row {
    const char* name;
    const char* option;
    const char* text;
    int tintedColumn;  // -1: none, 0: the name, 1: the item's
    bool usable;
    const char* why;  // in the tooltip of the tinted cell
  };
  const Row rows[] = {
      {"高水位", "reservoir-level", "-3.5", -1, true, ""},
      {"高水位", "reservoir-level", "1,5", 1, true, "未读入"},
      {"高水位", "culvert-height", "-1", 1, true, "应大于 0"},
      {"高水位", "pump-ramp-time", "30", -1, true, ""},
      {"高水位", "pump-schedule", "0:41.6,10:x", 1, false, "第 2 行"},
      {"高水位", "model", "rigid", 1, false, "rigid"},
      {"", "reservoir-level", "-3.5", 0, false, "名称"},
  };
  for (const Row& row : rows) {
    CasesDialog dialog(Case{}, {{"低水位", {{"reservoir-level", "-6"}}}});
    AddColumns(dialog, {row.option});
    QTableWidget& table = *dialog.Table();
    const int column = static_cast<int>(dialog.Columns().size());
    QCOMPARE(table.rowCount(), 1);
    dialog.addRow();
    table.item(1, 0)->setText(QString::fromUtf8(row.name));
    table.item(1, column)->setText(QString::fromUtf8(row.text));
    const QString what =
        QString::fromUtf8(row.option) + QLatin1Char(' ') + QString::fromUtf8(row.text);
    QVERIFY2(dialog.Acceptable() == row.usable, qPrintable(what));
    QCOMPARE(Named<QPushButton>(dialog, "RunAllButton")->isEnabled(), row.usable);
    const int tinted = row.tintedColumn == 1 ? column : row.tintedColumn;
    for (int c : {0, column})
      QVERIFY2(Tinted(table, 1, c) == (c == tinted),
               qPrintable(what + QLatin1Char(' ') + dialog.Message()->text()));
    if (tinted >= 0) {
      QVERIFY2(table.item(1, tinted)->toolTip().contains(QString::fromUtf8(row.why)),
               qPrintable(table.item(1, tinted)->toolTip()));
      QVERIFY2(dialog.Message()->text().startsWith(QStringLiteral("第 2 行")),
               qPrintable(dialog.Message()->text()));
    }
  }
  // Two cases of one name.
  CasesDialog twice(
      Case{}, {{"低水位", {{"reservoir-level", "-6"}}}, {"低水位", {{"reservoir-level", "-5"}}}});
  QVERIFY(!twice.Acceptable());
  QVERIFY(Tinted(*twice.Table(), 1, 0) && !Tinted(*twice.Table(), 0, 0));
}

// A block wider than the columns from the current cell is refused whole; a
// quoted cell keeps its comma.
void CasesDialogsTest::pasteWiderThanTheTableIsRefused() {
  CasesDialog dialog(Case{}, {});
  AddColumns(dialog, {"reservoir-level"});
  dialog.Paste(QStringLiteral("甲,-3.5,30\n"));
  QCOMPARE(dialog.Table()->rowCount(), 0);
  QVERIFY2(dialog.Message()->text().contains(QStringLiteral("只能放下 2 列")),
           qPrintable(dialog.Message()->text()));
  dialog.Paste(QStringLiteral("\"甲,乙\",-3.5\n"));
  QVERIFY(dialog.Cases() == std::vector<OperatingCase>({{"甲,乙", {{"reservoir-level", "-3.5"}}}}));
}

// 停止 while many slow cases run: the cases in flight end and no other
// starts; the dialog stays open and says so, and no case is taken as run:
// 确定 then puts the table in force without runs, so the open chart window
// shows none of them.
void CasesDialogsTest::stoppedRunKeepsTheDialogAndNoRun() {
  EventSession s;
  QVERIFY(!s.Calculate("result.txt").empty());
  s.window.showHistory();
  constexpr int kCases = 16;
  s.Edit<CasesDialog>("EditCases", [&](CasesDialog& d) {
    AddColumns(d, {"segment-count", "step-count"});
    QString rows;
    for (int k = 1; k <= kCases; ++k) rows += QStringLiteral("工况%1\t150\t32766\n").arg(k);
    d.Paste(rows);
    QCOMPARE(d.Table()->rowCount(), kCases);
    auto* run = Named<QPushButton>(d, "RunAllButton");
    run->click();
    QVERIFY(d.Running());
    QCOMPARE(run->text(), QStringLiteral("停止"));
    run->click();
    QTRY_VERIFY_WITH_TIMEOUT(!d.Running(), 60000);
    QVERIFY(d.isVisible());
    QCOMPARE(d.result(), 0);
    QCOMPARE(run->text(), QStringLiteral("计算全部工况"));
    QVERIFY2(d.Message()->text().startsWith(QStringLiteral("已停止")),
             qPrintable(d.Message()->text()));
    QVERIFY(d.Runs().size() < std::size_t(kCases));
    QVERIFY(!d.Progress()->isVisibleTo(&d));
    QVERIFY(d.Table()->isEnabled() && run->isEnabled());
    Click(d, "OkButton");
  });
  QCOMPARE(s.window.OperatingCases().size(), std::size_t(kCases));
  QVERIFY(!s.window.statusBar()->currentMessage().contains(QStringLiteral("已算完")));
  HistoryWindow* history = s.window.historyWindow();
  QVERIFY(history && !history->Cases()->isVisibleTo(history));
}

KELVANE_UI_TEST(cases_dialogs, CasesDialogsTest);
#include "cases_dialogs_test.moc"
