// Times the opening of the time-history and envelope windows on a large run
// (1000 reaches, 30,000 steps by default): from the menu command until the
// window has been laid out and drawn once. Linked against the windows library
// like the screenshot driver; not part of the tests.
//   kelvane-chart-timing [REACHES STEPS]
#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>

#include "ui/main_window.h"

using namespace kelvane;
using namespace kelvane::ui;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const char* reaches = argc >= 3 ? argv[1] : "1000";
  const char* steps = argc >= 3 ? argv[2] : "30000";
  MainWindow window;
  window.SetSaveFileChooser([](const SaveDialogSettings&) { return QString(); });
  window.inputForm()->InputBox(InputId::SegmentCount)->setText(QString::fromLatin1(reaches));
  window.inputForm()->InputBox(InputId::StepCount)->setText(QString::fromLatin1(steps));
  window.show();
  QApplication::processEvents();

  QElapsedTimer timer;
  timer.start();
  window.inputForm()->calculate();
  const qint64 calculated = timer.restart();
  if (!window.inputForm()->CompletedRun()) {
    std::fprintf(stderr, "the run did not complete\n");
    return 1;
  }
  std::printf("Calculate, %s reaches, %s steps: %lld ms\n", reaches, steps, calculated);

  // Opening: the window made, the run's series taken and decimated, the
  // window laid out and drawn (grab() paints it whole, synchronously).
  timer.restart();
  window.showHistory();
  QApplication::processEvents();
  window.historyWindow()->grab();
  std::printf("过程线 window open and drawn: %lld ms\n", timer.elapsed());

  // Following a new node choice: all nodes 1 and the forebay.
  timer.restart();
  window.historyWindow()->SetNodes({1, std::atoi(reaches) + 1});
  window.historyWindow()->grab();
  std::printf("two nodes drawn: %lld ms\n", timer.elapsed());

  timer.restart();
  window.showEnvelope();
  QApplication::processEvents();
  window.envelopeWindow()->grab();
  std::printf("包络线 window open and drawn: %lld ms\n", timer.elapsed());
  return 0;
}
