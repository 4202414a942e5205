#pragma once

#include <QString>

// The program's command line: --help and --version, answered without a
// display.
namespace stage::commandline {

enum class Request { Run, Help, Version, Unknown };

// What the first argument asks for. Anything that is not one of our long
// options (the X11 toolkit's own, such as -display) is left to Qt.
Request requestOf(int argc, char** argv);

// What --help prints: the options, the keys, every menu command and the
// files the program uses where it runs now.
QString helpText();

} // namespace stage::commandline
