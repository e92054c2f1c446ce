// Entry point of the installed program.
#include "VarneMain.h"

int main(int argc, char** argv) {
    return RunVarne(argc, argv);
}
