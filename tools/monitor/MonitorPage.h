#pragma once

#include <string_view>

// The monitor's page, HTML with its script and style inside, built into the program.
std::string_view MonitorPage();
