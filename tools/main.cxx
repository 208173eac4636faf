#include "tools/Tuda.h"

int main(int argc, char** argv) { return RunTuda(std::vector<std::string>(argv + 1, argv + argc)); }
