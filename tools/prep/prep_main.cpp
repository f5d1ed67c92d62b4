// Entry point of tavrel-prep: everything happens in runPrep().
#include "prep/prep_run.h"

int main(int argc, char** argv) { return tavrel::tools::runPrep(argc, argv); }
