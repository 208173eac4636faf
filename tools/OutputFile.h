#pragma once

#include <cstdio>
#include <functional>
#include <string>

// Opens the file at `path` for writing, lets `write` fill it and closes it. False, with `error`
// naming the file and the system's reason, when it cannot be opened, `write` fails or the close
// does (the last buffered bytes go out at the close).
bool WriteOutputFile(const std::string& path, const std::function<bool(std::FILE*)>& write, std::string& error);
