// SPDX-License-Identifier: MIT
/*
 * qvini - looks into INI files with libqv-utility_t, the way a host sees
 * them: the same parser, the same lookup, the same store; and shows where
 * the library reads a file differently than a person would.
 *
 * It is a host like any other: linked with the library and the stand-in
 * host runtime that the library registers with when it is loaded.  This
 * file holds the command line; qvini(1) is its manual.
 */
#include <errno.h>
#include <getopt.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "qvini.h"

enum { DEFAULT_SIZE = QV_INI_MAX_FIELD + 1 };

static void Help(void)
{
    fputs("usage: qvini get [--size N] FILE SECTION KEY      the value of the first match\n"
          "       qvini list [--format=json] FILE [SECTION]  the parser's reports, in order\n"
          "       qvini dump [--format=json] FILE            a store loaded from FILE\n"
          "       qvini check [--format=json] [-W...] FILE...\n"
          "       qvini help | --help | --version\n"
          "Reads INI files with libqv-utility_t exactly as a host does; check shows where\n"
          "the library reads FILE differently than a person would.  FILE - is standard\n"
          "input; SECTION \"\" stands for the entries above the first header.\n"
          "-WNAME, -Wno-NAME, -Wall, -Werror and -Werror=NAME choose among",
          stdout);
    PutKindNames(stdout);
    fputs("\nThe exit statuses and what each finding means: qvini(1).\n", stdout);
}

/* Fail tells a usage error by its status. */
#define Usage(...) Fail(EXIT_USAGE, __VA_ARGS__)

static int BadValue(const char *option, const char *wanted, const char *value)
{
    return value[0] == '\0' ? Usage("%s needs %s", option, wanted)
                            : Usage("%s needs %s, not '%s'", option, wanted, value);
}

typedef struct Command {
    const char *name, *operands, *options; /* operands as the help names them; options
                                              s: --size, f: --format, W: -W */
    int least, most;
} Command;

static const Command commands[] = {
    {"get", "FILE SECTION KEY", "s", 3, 3},
    {"list", "FILE [SECTION]", "f", 1, 2},
    {"dump", "FILE", "f", 1, 1},
    {"check", "FILE...", "fW", 1, INT_MAX},
};

typedef struct Options {
    uint32_t size;
    Format format;
    int help;
    Rules rules;
} Options;

/* Options may stand anywhere among the operands, which getopt moves after
 * them, up to "--"; "-" alone is an operand.  argv[0] is the command. */
static int ParseOptions(int argc, char **argv, const Command *command, Options *options)
{
    static const struct option names[] = {{"size", required_argument, NULL, 's'},
                                          {"format", required_argument, NULL, 'f'},
                                          {"help", no_argument, NULL, 'h'},
                                          {NULL, 0, NULL, 0}};
    int option;
    opterr = 0;
    while ((option = getopt_long(argc, argv, ":hW:", names, NULL)) != -1) {
        const char *value = option == ':' ? "" : optarg, *wrong = NULL;
        option = option == ':' ? optopt : option;
        const char *name = option == 's' ? "--size" : option == 'f' ? "--format" : "-W";
        char *end = NULL;
        unsigned long size = option == 's' ? strtoul(value, &end, 10) : 0;
        if (option == 'h')
            options->help = 1;
        else if (option == '?' || strchr(command->options, option) == NULL)
            return Usage("%s takes no option %s", command->name,
                         option == '?' ? argv[optind - 1] : name);
        else if (option == 's'
                 && (value[0] < '0' || value[0] > '9' || *end != '\0' || size > MAX_VALUE_SIZE))
            return BadValue(name, "a byte count from 0 to 1048576", value);
        else if (option == 'f' && strcmp(value, "json") != 0 && strcmp(value, "text") != 0)
            return BadValue(name, "text or json", value);
        else if (option == 'W' && (wrong = ApplyRule(&options->rules, value)) != NULL)
            return Usage("-W%s %s", value, wrong);
        options->size = option == 's' ? (uint32_t)size : options->size;
        if (option == 'f')
            options->format = value[0] == 'j' ? FORMAT_JSON : FORMAT_TEXT;
    }
    return 0;
}

int main(int argc, char **argv)
{
    Options options = {DEFAULT_SIZE, FORMAT_TEXT, 0, {{0}, 0}};
    const Command *command = NULL;
    const char *name = argc > 1 ? argv[1] : "";
    Input input;
    if (argc < 2)
        return Usage("no command given");
    if (strcmp(name, "--version") == 0) {
        printf("qvini %s, built with libqv-utility_t %s\n", QVINI_VERSION,
               QV_UTILITY_VERSION_STRING);
        return 0;
    }
    for (size_t i = 0; i < sizeof commands / sizeof commands[0]; ++i)
        command = strcmp(commands[i].name, name) == 0 ? &commands[i] : command;
    options.help = strcmp(name, "help") == 0 || strcmp(name, "--help") == 0
                   || strcmp(name, "-h") == 0;
    if (command == NULL && !options.help)
        return Usage("unknown command '%s'", name);
    StartRules(&options.rules);
    int status = command != NULL ? ParseOptions(argc - 1, argv + 1, command, &options) : 0;
    char **operands = argv + 1 + optind;
    int count = argc - 1 - optind, stdins = 0;
    for (int i = 0; i < count; ++i)
        stdins += strcmp(operands[i], "-") == 0;
    if (status == 0 && options.help)
        Help();
    else if (status == 0 && (count < command->least || count > command->most))
        status = Usage("%s takes %s, not %d operand%s", name, command->operands, count,
                       count == 1 ? "" : "s");
    else if (status == 0 && command->most == INT_MAX)
        status = stdins > 1 ? Usage("standard input can be checked only once")
                            : Check(operands, count, &options.rules, options.format);
    else if (status == 0 && (status = ReadInput(operands[0], &input)) == 0) {
        status = strlen(input.text) < input.size ? Refuse(&input)
                 : name[0] == 'g' ? Get(&input, operands[1], operands[2], options.size)
                 : name[0] == 'l' ? List(&input, count == 2 ? operands[1] : NULL, options.format)
                                  : Dump(&input, options.format);
        FreeInput(&input);
    }
    if (fflush(stdout) != 0 || ferror(stdout))
        status = Fail(EXIT_IO, "standard output: %s", strerror(errno));
    return status;
}
