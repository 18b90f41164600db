// SPDX-License-Identifier: MIT
/* consumer.c - a host built against the installed library, compiled as C99
 * and as C++: it formats, compares, looks up, stores and appends through
 * the public header alone. */
#include <stdio.h>
#include <string.h>

#include <qv-utility.h>

int main(void)
{
    char value[QV_INI_MAX_FIELD + 1];
    char *text = QvAllocateAndFormatString(0, "[%s]\nmode = %s\n", "Main", "fast");
    TripletStore *store = NULL;
    char *buffer = NULL;
    uint32_t capacity = 0, used = 0;
    int ok = text != NULL && QvGetIniValue(text, "MAIN", "Mode", value, sizeof value) == QV_OK
             && strcmp(value, "fast") == 0 && QvStrCmpCI("Display", "DISPLAY") == 0
             && QvAllocStore(&store) == QV_OK && QvAddItem(store, "Display", "Mode", value) == QV_OK
             && strcmp((const char *)QvGetItem(store, "DISPLAY", "mode"), "fast") == 0
             && QvFormatAndAppendToBuffer(&buffer, &capacity, &used, "%s=%d", "items", 1) == QV_OK
             && strcmp(buffer, "items=1") == 0;
    QvFreeStore(store);
    QvuFree(buffer);
    QvuFree(text);
    puts(ok ? "consumer: ok" : "consumer: unexpected result");
    return ok ? 0 : 1;
}
