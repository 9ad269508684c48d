// The main window's input flags: a box whose text is not read as typed is
// tinted and its tooltip says what it reads as and why, as the user types.
#include <QLineEdit>
#include <QtTest>

#include "session.h"
#include "test_classes.h"
#include "ui/input_form.h"

using namespace kelvane;
using namespace kelvane::ui;

namespace {

QLineEdit* Text(const InputForm& form, int n) {
  return form.findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
}

void Type(const InputForm& form, int n, const char* text) {
  TypeInto(Text(form, n), QString::fromUtf8(text));
}

bool Tinted(const InputForm& form, int n) {
  return Text(form, n)->palette().color(QPalette::Base) != form.palette().color(QPalette::Base);
}

}  // namespace

class InputFlagsTest : public QObject {
  Q_OBJECT

 private slots:
  void flaggedBoxIsTintedAndSaysWhy();
};

void InputFlagsTest::flaggedBoxIsTintedAndSaysWhy() {
  InputForm form;
  form.show();
  QVERIFY(QTest::qWaitForWindowExposed(&form, 5000));
  for (int n = 1; n <= kInputCount; ++n) QVERIFY2(!Tinted(form, n), qPrintable(QString::number(n)));
  QCOMPARE(Text(form, 3)->toolTip(), QStringLiteral("<qt><nobr>库水位（m）<br>读作 -4.34</nobr>"));
  QCOMPARE(Text(form, 5)->toolTip(),
           QStringLiteral("<qt><nobr>计算时段数（无量纲）<br>读作 1500</nobr>"));

  // A typographic minus reads as 0; only its box is flagged.
  Type(form, 3, "−4.34");
  QCOMPARE(Text(form, 3)->text(), QStringLiteral("−4.34"));
  QVERIFY(Tinted(form, 3));
  QCOMPARE(Text(form, 3)->toolTip(),
           QStringLiteral("<qt><nobr>库水位（m）<br>读作 0<br>看起来是全角数字或非 ASCII "
                          "减号（从 “−4.34” 起未读入）</nobr>"));
  for (int n = 1; n <= kInputCount; ++n) QVERIFY(n == 3 || !Tinted(form, n));

  // Another box's change flags a box the user did not touch; mending the
  // text clears the flag.
  Type(form, 5, "50");
  QVERIFY(Tinted(form, 14));
  QVERIFY(Text(form, 14)->toolTip().contains(QStringLiteral("不在计算时段 1 至 50 之内")));
  Type(form, 5, "1500");
  Type(form, 3, "-4.34<b>");
  QVERIFY(Text(form, 3)->toolTip().contains(QStringLiteral("从 “&lt;b&gt;” 起未读入")));
  Type(form, 3, "-4.34");
  for (int n = 1; n <= kInputCount; ++n) QVERIFY(!Tinted(form, n));
  QCOMPARE(Text(form, 3)->toolTip(), QStringLiteral("<qt><nobr>库水位（m）<br>读作 -4.34</nobr>"));
}

KELVANE_UI_TEST(input_flags, InputFlagsTest);
#include "input_flags_test.moc"
