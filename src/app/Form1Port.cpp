#include "app/Form1.h"

// The serial port is restored from and stored in the settings file here.
void Form1::startUpPortSteps() {}

void Form1::shutdownPortSteps() {}
