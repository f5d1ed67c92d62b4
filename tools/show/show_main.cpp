// Entry point of tavrel-show: everything happens in runShow().
#include "show/show_run.h"

int main(int argc, char** argv) { return tavrel::tools::runShow(argc, argv); }
