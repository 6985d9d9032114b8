#pragma once

#include <memory>

class Form1;
class MessageBoxes;

// What the program does before its event loop: the application's names, style
// and Qt's Japanese texts, then the window, started and shown. The program's
// main() and the start-up benchmark run the same steps. Call once the
// application object exists. None when start-up failed (a picture could not
// be loaded; the user has been told).
std::unique_ptr<Form1> startWindow(MessageBoxes& boxes);
