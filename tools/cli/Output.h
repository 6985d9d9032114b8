#pragma once

#include <QString>
#include <cstdio>

// Text for the terminal, in the system's encoding, passed on at once.
void print(std::FILE* stream, const QString& text);
// The same with a line end.
void printLine(std::FILE* stream, const QString& line);
// Whether standard error goes to a terminal, where a progress bar may be drawn.
bool standardErrorIsTerminal();
