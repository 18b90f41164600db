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
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <qv-utility.h>

#include "commands.h"
#include "exit_status.h"
#include "text.h"

enum { DEFAULT_SIZE = QV_INI_MAX_FIELD + 1, MAX_SIZE = 1 << 20 };

static void Help(void)
{
    fputs("usage: qvini get [--size N] FILE SECTION KEY\n"
          "       qvini list [--format=json] FILE [SECTION]\n"
          "       qvini dump [--format=json] FILE\n"
          "       qvini check [--format=json] [-W...] FILE...\n"
          "       qvini help | --help | --version\n"
          "\n"
          "Reads INI files with libqv-utility_t exactly as a host does.  FILE - is\n"
          "standard input; SECTION \"\" stands for the entries above the first header.\n"
          "\n"
          "  get    the value of the first entry matching SECTION and KEY\n"
          "  list   every header and entry the parser reports, in text order\n"
          "  dump   the items of a store loaded from FILE\n"
          "  check  where the library reads FILE differently than a person would;\n"
          "         -WNAME, -Wno-NAME, -Wall, -Werror and -Werror=NAME choose among\n"
          "        ",
          stdout);
    PutKindNames(stdout, 8, 76);
    fputs("\n"
          "Exit status: 0 success; 1 no such entry, or warnings; 2 usage; 3 value cut\n"
          "to --size; 4 a line over 260 characters, a NUL byte, or errors; 5 I/O\n"
          "error; 6 out of memory; 7 value cut at 80 characters by the parser.\n"
          "See qvini(1).\n",
          stdout);
}

__attribute__((format(printf, 1, 2))) static int Usage(const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    fputs("qvini: ", stderr);
    vfprintf(stderr, format, arguments);
    va_end(arguments);
    fputs("; try 'qvini --help'\n", stderr);
    return EXIT_USAGE;
}

/* The operands each command takes, as the help names them. */
typedef struct Command {
    const char *name, *operands;
    int least, most;
} Command;

static const Command commands[] = {
    {"get", "FILE SECTION KEY", 3, 3},
    {"list", "FILE [SECTION]", 1, 2},
    {"dump", "FILE", 1, 1},
    {"check", "FILE...", 1, -1},
};

typedef struct Arguments {
    const Command *command;
    char **operands;
    int count;
    uint32_t size;
    Format format;
    Rules rules;
    int help;
} Arguments;

static int ParseSize(const char *text, uint32_t *size)
{
    char *end;
    errno = 0;
    unsigned long value = strtoul(text, &end, 10);
    if (text[0] < '0' || text[0] > '9' || *end != '\0' || errno != 0 || value > MAX_SIZE)
        return 0;
    *size = (uint32_t)value;
    return 1;
}

/* The value of an option written "--name=value" or "--name value"; null
 * when argv[*i] is another option, "" when the value is missing. */
static const char *OptionValue(int argc, char **argv, int *i, const char *name)
{
    size_t length = strlen(name);
    const char *argument = argv[*i];
    if (strncmp(argument, name, length) != 0)
        return NULL;
    if (argument[length] == '=')
        return argument + length + 1;
    if (argument[length] != '\0')
        return NULL;
    return *i + 1 < argc ? argv[++*i] : "";
}

static int BadValue(const char *option, const char *wanted, const char *value)
{
    return value[0] == '\0' ? Usage("%s needs %s", option, wanted)
                            : Usage("%s needs %s, not '%s'", option, wanted, value);
}

/* Options may stand anywhere before "--"; "-" alone is an operand. */
static int ParseOptions(int argc, char **argv, Arguments *arguments)
{
    const char *command = arguments->command->name, *value;
    int get = strcmp(command, "get") == 0, check = strcmp(command, "check") == 0;
    int operandsOnly = 0;
    for (int i = 2; i < argc; ++i) {
        char *argument = argv[i];
        if (operandsOnly || argument[0] != '-' || argument[1] == '\0') {
            arguments->operands[arguments->count++] = argument;
        } else if (strcmp(argument, "--") == 0) {
            operandsOnly = 1;
        } else if (strcmp(argument, "--help") == 0 || strcmp(argument, "-h") == 0) {
            arguments->help = 1;
        } else if (get && (value = OptionValue(argc, argv, &i, "--size")) != NULL) {
            if (!ParseSize(value, &arguments->size))
                return BadValue("--size", "a byte count from 0 to 1048576", value);
        } else if (!get && (value = OptionValue(argc, argv, &i, "--format")) != NULL) {
            if (strcmp(value, "json") != 0 && strcmp(value, "text") != 0)
                return BadValue("--format", "text or json", value);
            arguments->format = value[0] == 'j' ? FORMAT_JSON : FORMAT_TEXT;
        } else if (check && strncmp(argument, "-W", 2) == 0) {
            const char *wrong = ApplyRule(&arguments->rules, argument);
            if (wrong != NULL)
                return Usage("%s %s", argument, wrong);
        } else {
            return Usage("%s takes no option %s", command, argument);
        }
    }
    return 0;
}

static int CheckOperands(const Arguments *arguments)
{
    const Command *command = arguments->command;
    int count = arguments->count, stdins = 0;
    if (count < command->least || (command->most >= 0 && count > command->most))
        return Usage("%s takes %s, not %d operand%s", command->name, command->operands, count,
                     count == 1 ? "" : "s");
    for (int i = 0; i < count && command->most < 0; ++i)
        stdins += strcmp(arguments->operands[i], "-") == 0;
    return stdins > 1 ? Usage("standard input can be checked only once") : 0;
}

static int Run(const Arguments *arguments)
{
    const char *command = arguments->command->name;
    char *const *operands = arguments->operands;
    if (strcmp(command, "check") == 0)
        return Check(operands, arguments->count, &arguments->rules, arguments->format);
    Input input;
    int status = ReadInput(operands[0], &input);
    if (status != 0)
        return status;
    if (strlen(input.text) < input.size)
        status = Refuse(&input);
    else if (strcmp(command, "get") == 0)
        status = Get(&input, operands[1], operands[2], arguments->size);
    else if (strcmp(command, "list") == 0)
        status = List(&input, arguments->count == 2 ? operands[1] : NULL, arguments->format);
    else
        status = Dump(&input, arguments->format);
    FreeInput(&input);
    return status;
}

int main(int argc, char **argv)
{
    Arguments arguments = {NULL, NULL, 0, DEFAULT_SIZE, FORMAT_TEXT, {{0}, {0}, 0}, 0};
    const char *name = argc > 1 ? argv[1] : "";
    if (argc < 2)
        return Usage("no command given");
    if (strcmp(name, "--version") == 0) {
        printf("qvini %s, built with libqv-utility_t %s\n", QVINI_VERSION,
               QV_UTILITY_VERSION_STRING);
        return 0;
    }
    arguments.help = strcmp(name, "help") == 0 || strcmp(name, "--help") == 0
                     || strcmp(name, "-h") == 0;
    for (size_t i = 0; i < sizeof commands / sizeof commands[0]; ++i)
        if (strcmp(commands[i].name, name) == 0)
            arguments.command = &commands[i];
    if (arguments.command == NULL && !arguments.help)
        return Usage("unknown command '%s'", name);
    StartRules(&arguments.rules);
    if ((arguments.operands = malloc(sizeof *argv * (size_t)argc)) == NULL)
        return Fail(EXIT_NO_MEMORY, "out of memory");
    int status = arguments.help ? 0 : ParseOptions(argc, argv, &arguments);
    if (status == 0 && !arguments.help)
        status = CheckOperands(&arguments);
    if (status == 0 && arguments.help)
        Help();
    else if (status == 0)
        status = Run(&arguments);
    free(arguments.operands);
    if (fflush(stdout) != 0 || ferror(stdout))
        status = Fail(EXIT_IO, "standard output: %s", strerror(errno));
    return status;
}
