// karvel: the desktop program — the main dialog over the processing run.

#include "app/start_application.h"

int main(int argc, char** argv) { return karvel::app::start_application(argc, argv); }
