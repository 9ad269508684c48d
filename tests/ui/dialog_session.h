// What the tests of the 工况 and 工程信息 dialogs share: controls found by
// name, a table cell typed as a user types it and its tint, and a main
// window whose save dialogs are scripted and whose modal dialogs a test
// works through.
#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <string>

#include "session.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/pdf_pages.h"
#include "ui/flag_tint.h"
#include "watchdog.h"

namespace kelvane::ui {

template <class T = QWidget>
T* Named(const QObject& parent, const char* name) {
  return parent.findChild<T*>(QLatin1String(name));
}

// Types `text` into the cell as a user does: the cell's editor opened, the
// text typed key by key, Enter.
inline void TypeCell(QTableWidget& table, int row, int column, const char* text) {
  table.setCurrentCell(row, column);
  table.editItem(table.item(row, column));
  auto* editor = table.viewport()->findChild<QLineEdit*>();
  QVERIFY(editor != nullptr);
  editor->selectAll();
  QTest::keyClicks(editor, QString::fromUtf8(text));
  QTest::keyClick(editor, Qt::Key_Return);
  // The delegate commits the text and closes its editor after the key.
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCOMPARE(table.item(row, column)->text(), QString::fromUtf8(text));
}

// The cell is tinted as a flagged input.
inline bool Tinted(const QTableWidget& table, int row, int column) {
  return table.item(row, column)->background().color() == FlaggedBackColor();
}

inline QStringList CellTexts(const QTableWidget& table) {
  QStringList texts;
  for (int r = 0; r < table.rowCount(); ++r)
    for (int c = 0; c < table.columnCount(); ++c) texts << table.item(r, c)->text();
  return texts;
}

// A main window whose every save dialog answers `answer`; its result files
// go to a temporary folder.
struct EventSession {
  QTemporaryDir folder;
  MainWindow window;
  QString answer;
  EventSession() {
    window.SetSaveFileChooser([this](const SaveDialogSettings&) { return answer; });
  }
  QString Path(const char* name) const { return folder.filePath(QString::fromUtf8(name)); }
  // The result file of a Calculate, as the window writes it.
  std::string Calculate(const char* name) {
    answer = Path(name);
    window.inputForm()->calculate();
    return test::ReadFile(answer.toStdString());
  }
  QString Status() const { return StatusItems(window); }
  // Opens a dialog from its menu command and lets `act` work it.
  template <class Dialog>
  void Edit(const char* action, std::function<void(Dialog&)> act) {
    ModalWatchdog watchdog;
    watchdog.Expect([act](QWidget* modal) {
      auto* dialog = qobject_cast<Dialog*>(modal);
      if (!dialog) return modal->close(), void();
      act(*dialog);
    });
    Named<QAction>(window, action)->trigger();
    QTRY_VERIFY2_WITH_TIMEOUT(watchdog.Clean(), qPrintable(watchdog.Report()), 5000);
  }
};

inline void Click(const QObject& dialog, const char* button) {
  Named<QPushButton>(dialog, button)->click();
}

// The book the window exports, as pdftotext reads it, when it is the one the
// batch mode writes of `caseFile` (KELVANE_EXE --case FILE --report); empty
// otherwise.
inline std::string ExportedBookOfBatch(EventSession& s, const QString& caseFile) {
  s.answer = s.Path("window.pdf");
  Named<QAction>(s.window, "ExportReport")->trigger();
  const test::ProcessResult batch =
      test::RunProcess({KELVANE_EXE, "--batch", "--case", caseFile.toStdString(), "--report",
                        s.Path("batch.pdf").toStdString()});
  const test::ProcessResult window = test::PdfText(s.answer.toStdString());
  const test::ProcessResult expected = test::PdfText(s.Path("batch.pdf").toStdString());
  if (batch.status != 0 || window.status != 0 || expected.status != 0 || window.out != expected.out)
    return {};
  return window.out;
}

}  // namespace kelvane::ui
