// The window tests are one program: each file registers its test class under
// a name, and the program's first argument picks the one class it runs, so
// that each class still has a process and an application of its own.
#pragma once

#include <QApplication>
#include <QtTest>

namespace kelvane::ui_tests {

// Runs one class with the arguments after the class's name (the program's
// name kept first), as Qt Test reads them.
using ClassMain = int (*)(int argc, char** argv);

// Registers `main` under `name`; true, for a static's initializer.
bool RegisterClass(const char* name, ClassMain main);

// As QTEST_MAIN runs a widgets test: the application at 96 dpi, then the
// class.
template <class TestObject>
int RunClass(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setAttribute(Qt::AA_Use96Dpi, true);
  TestObject test;
  return QTest::qExec(&test, argc, argv);
}

}  // namespace kelvane::ui_tests

// In place of QTEST_MAIN(TestObject): `kelvane_ui_tests NAME` runs the class.
#define KELVANE_UI_TEST(name, TestObject) \
  KELVANE_UI_TEST_MAIN(name, &::kelvane::ui_tests::RunClass<TestObject>)
// A class with its own start (`main` a ClassMain).
#define KELVANE_UI_TEST_MAIN(name, main)                 \
  [[maybe_unused]] static const bool kelvane_ui_##name = \
      ::kelvane::ui_tests::RegisterClass(#name, main)
