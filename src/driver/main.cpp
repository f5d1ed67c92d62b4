// Entry point of Tavrel.exe: everything happens in runTavrel().
#include "driver/run.h"

int main(int argc, char** argv) { return tavrel::runTavrel(argc, argv); }
