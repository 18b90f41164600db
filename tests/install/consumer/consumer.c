// SPDX-License-Identifier: MIT
/* consumer.c - a C99 host built against the installed library: it formats,
 * compares and looks up through the public header alone. */
#include <stdio.h>
#include <string.h>

#include <qv-utility.h>

int main(void)
{
    char value[81];
    char *text = QvAllocateAndFormatString(0, "[%s]\nmode = %s\n", "Main", "fast");
    if (text == NULL || QvGetIniValue(text, "MAIN", "Mode", value, sizeof value) != QV_OK
        || strcmp(value, "fast") != 0 || QvStrCmpCI("Display", "DISPLAY") != 0) {
        fprintf(stderr, "consumer_c: unexpected result\n");
        return 1;
    }
    QvuFree(text);
    puts("consumer_c: ok");
    return 0;
}
