/* tally: counts the lines, words and bytes it reads, like a small wc. */
#include <ctype.h>
#include <stdio.h>

int main(void) {
  long lines = 0, words = 0, bytes = 0;
  int c, inWord = 0;
  while ((c = getchar()) != EOF) {
    ++bytes;
    if (c == '\n') ++lines;
    if (isspace(c)) inWord = 0;
    else if (!inWord) inWord = 1, ++words;
  }
  printf("%ld lines, %ld words, %ld bytes\n", lines, words, bytes);
  return 0;
}
