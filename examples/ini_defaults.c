// SPDX-License-Identifier: MIT
/* ini_defaults.c - a C host that loads its INI defaults into a store once
 * and shares the store between threads.
 *
 * The main thread parses the defaults into the store; worker threads then
 * read settings with QvFindItem (a copy into their own buffer, so a value
 * replaced meanwhile by another thread cannot go away under them) while one
 * thread changes a setting with QvAddItem.  Build: link with
 * libqv-utility_t and a host runtime (here the stand-in) and -pthread. */
#include <pthread.h>
#include <stdio.h>
#include <string.h>

#include <qv-utility.h>

static const char defaults[] =
    "; defaults shipped with the host\n"
    "[Display]\n"
    "Mode = fast\n"
    "Width = 1280\n"
    "[Network]\n"
    "Port = 8080\n";

enum { READERS = 4, ROUNDS = 2000 };

static int32_t AddEntry(const char *section, const char *key, const char *value,
                        void *store)
{
    if (key == NULL) /* a section header: nothing to store */
        return QV_OK;
    return QvAddItem(store, section != NULL ? section : "", key, value != NULL ? value : "");
}

static void *Reader(void *store)
{
    char mode[81];
    long bad = 0;
    for (int i = 0; i < ROUNDS; ++i) {
        if (QvFindItem(store, "display", "MODE", mode, sizeof mode) != QV_OK
            || (strcmp(mode, "fast") != 0 && strcmp(mode, "safe") != 0))
            ++bad;
    }
    return (void *)bad;
}

static void *Writer(void *store)
{
    for (int i = 0; i < ROUNDS; ++i)
        QvAddItem(store, "Display", "Mode", i % 2 ? "fast" : "safe");
    return NULL;
}

static int32_t PrintSetting(const char *section, const char *key, void *value, void *context)
{
    (void)context;
    printf("  [%s] %s = %s\n", section, key, (const char *)value);
    return 0;
}

int main(void)
{
    TripletStore *store;
    if (QvAllocStore(&store) != QV_OK)
        return 1;
    if (QvParseIniData(defaults, AddEntry, store) != QV_OK) {
        fprintf(stderr, "ini_defaults: cannot load the defaults\n");
        QvFreeStore(store);
        return 1;
    }

    pthread_t threads[READERS + 1];
    for (int i = 0; i < READERS; ++i)
        pthread_create(&threads[i], NULL, Reader, store);
    pthread_create(&threads[READERS], NULL, Writer, store);
    long bad = 0;
    for (int i = 0; i <= READERS; ++i) {
        void *result;
        pthread_join(threads[i], &result);
        bad += (long)result;
    }

    /* With every other thread done, a walk may run. */
    puts("settings after the threads ran:");
    QvStoreIterate(store, NULL, PrintSetting, NULL, NULL);
    QvFreeStore(store);
    printf("%d readers x %d reads, %ld unexpected\n", READERS, ROUNDS, bad);
    return bad == 0 ? 0 : 1;
}
