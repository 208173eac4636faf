#pragma once

// Exit statuses of `tuda` and every subcommand.
static constexpr int kExitOk = 0;            // every file read to its end, all output written
static constexpr int kExitDataError = 1;     // a file or I/O failure
static constexpr int kExitUsage = 2;         // a usage error
static constexpr int kExitInterrupted = 130; // stopped by Ctrl-C (128 + SIGINT)
static constexpr int kExitSignalBase = 128;  // stopped by another signal: this + its number
