#pragma once

#include <string>

// The path of `fileName` in the running program's folder; `fileName` alone when the program's
// path cannot be told.
std::string BesideProgram(const std::string& fileName);
