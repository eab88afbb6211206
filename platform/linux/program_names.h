// How the Linux platforms name the program in front: the executable behind
// its process, then the names its desktop gives it.
#pragma once

#include "platform/platform.h"

#include <string>

// The file name of the executable behind process `pid`; empty when it cannot
// be read.
std::string executable_name(unsigned long pid);

// Adds `name` to `program` when it is not empty and there is room.
void add_program_name(foreground_program *program, const std::string &name);
