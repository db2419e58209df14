/* Stands in for rsvg-convert in the Windows check: writes the words it was
 * started with, one a line, into the file named after -o, so the check sees
 * how the zorvel command quoted them. */
#include <stdio.h>
#include <string.h>

int main(int argc, char **argv) {
  for (int i = 1; i + 1 < argc; ++i) {
    if (strcmp(argv[i], "-o") != 0) continue;
    FILE *out = fopen(argv[i + 1], "wb");
    if (!out) return 1;
    for (int j = 1; j < argc; ++j) fprintf(out, "%s\n", argv[j]);
    return fclose(out) == 0 ? 0 : 1;
  }
  return 1;
}
