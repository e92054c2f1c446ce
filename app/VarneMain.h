// The program's whole run, shared by the installed program and harnesses that measure it.
#pragma once

// Answers --help, --version, --list and --check, or runs the window on the chosen back end; returns
// the process's exit status.
int RunVarne(int argc, char** argv);
