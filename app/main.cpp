// The program's entry: the batch mode when asked for, the windows otherwise.
#include "batch.h"

#ifdef KELVANE_WITH_UI
#include "ui/ui.h"
#endif

int main(int argc, char** argv) {
  if (kelvane::IsBatchCommandLine(argc, argv)) return kelvane::RunBatch(argc, argv);
#ifdef KELVANE_WITH_UI
  return kelvane::ui::RunMainWindow(argc, argv);
#else
  return kelvane::RunBatch(argc, argv);
#endif
}
