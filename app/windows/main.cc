// orvel: the passport directory's windows.
#include <QApplication>

#include "app/windows/program.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("orvel");
  return orvel::windows::run_program();
}
