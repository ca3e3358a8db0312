// slotbackup: an unattended backup run. It takes no arguments and reads no
// environment; everything it does is configured in slotbackup.ini beside it.
#include "run/app_module.h"

int main() {
  return AppModule::Main();
}
