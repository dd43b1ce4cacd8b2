#include "app/operation_ui.h"

namespace orvel::app {

void begin_operation(const OperationUi& ui) {
  ui.progress.show();
  ui.cursor.set_wait();
  ui.progress.redisplay();
}

uint32_t end_operation(datafile::Table& passports, const OperationUi& ui) {
  ui.progress.hide();
  uint32_t count = 0;
  passports.records(&count);
  ui.progress.set_passport_count(count);
  ui.cursor.restore();
  return count;
}

}  // namespace orvel::app
