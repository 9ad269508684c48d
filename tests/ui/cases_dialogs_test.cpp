// The 工程信息 dialog and the operating cases in the window: what is typed
// goes into the case file, comes back when it is reopened and reaches the
// calculation book the window exports.
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QtTest>
#include <string>

#include "cases/case_file.h"
#include "dialog_session.h"
#include "support/files.h"
#include "support/pdf_pages.h"
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

}  // namespace

class CasesDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void projectTypedSavedReopenedAndExported();
  void projectTextTheFileCannotHoldIsRefused();
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

QTEST_MAIN(CasesDialogsTest)
#include "cases_dialogs_test.moc"
