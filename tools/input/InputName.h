#pragma once

#include <cstdint>
#include <string>

// Whether the data file `name` is a regular file, which can be read twice and has a size: not
// standard input ("-"), a pipe or a device. False too when it does not exist.
bool IsRegularFile(const std::string& name, uint64_t& size);
