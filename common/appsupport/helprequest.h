#pragma once

#include <cstring>
#include <initializer_list>

// True when the command line asks for help or the version (-h, -?, --help,
// --help-all, -v, --version). A program with windows then makes a
// QCoreApplication instead of a QApplication, so that it answers on a machine
// without a display too. With optionsEndAtFirstArgument, what follows the
// first plain argument belongs to that argument (a program that hands its
// arguments on), and so does everything after "--".
inline bool asksForHelpOrVersion(int argc, char **argv, bool optionsEndAtFirstArgument = false)
{
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        for (const char *request : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argument, request) == 0)
                return true;
        }
        if (optionsEndAtFirstArgument && argument[0] != '-')
            return false;
    }
    return false;
}
