#pragma once

// The version of this build: the project's version, followed by the git description in
// parentheses when it was built from a checkout, e.g. "1.0.0 (git 09260b5-dirty)".
const char* TudaVersion();
