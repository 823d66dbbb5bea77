#pragma once
// What each of our programs does before it builds its application object: "--help"
// and "--version" print and end the run, and a program that needs a display and has
// none says so in one line instead of letting the toolkit abort.

// One program's text for "--help": its usage line and option lines, each ended by a
// new line.
struct ProgramHelp {
    const char *program; // "Inkora", "FwFlasher", "InkoraUIService"
    const char *text;
};

// -1: go on starting. Otherwise the exit code: 0 after "--help" or "--version" (either
// anywhere among the arguments) printed on standard output; 1 when the X display the
// toolkit would use cannot be opened, said in one line on standard error.
int CheckProgramStart(int argc, char **argv, const ProgramHelp &help);

// "<program> <version>".
const char *ProgramVersion();
