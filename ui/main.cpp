// The updater takes no arguments and reads no environment of its own.
#include "ui/app.h"

int main() { return AppMain(); }
