// quillory3: builds a self-grading web page of numeric practice problems.
// The command line is ignored.
#include "app/Startup.h"

int main() { return RunProgram(); }
