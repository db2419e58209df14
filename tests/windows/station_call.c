/* A station program for the Windows check: calls zorvel_calibrate(CONFIG,
 * MODE) from the shared library (zorvel.dll, or libzorvel.so for the Linux
 * side of the comparison) and prints what the call returned after the
 * library's own report. Built by scripts/windows only. */
#include <stdio.h>
#include <stdlib.h>

#include <zorvel/zorvel.h>

int main(int argc, char **argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: station_call CONFIG MODE\n");
    return 2;
  }
  const int32_t result = zorvel_calibrate(argv[1], (uint8_t)atoi(argv[2]));
  /* The library and this program share one C runtime and so one stdout. */
  printf("zorvel_calibrate returned %d\n", (int)result);
  return result == 1 ? 0 : 1;
}
