#pragma once

#include <string>

class DescriptorBuffer;

// Whether standard output took everything written to it. Standard output is std::cout; when the
// program has told which DescriptorBuffer stands behind it, a failure names the system's reason.

// Tells the buffer behind standard output (null: none); it must outlive its use. Per event, a
// look at it costs a load, not a search of the stream's buffer chain.
void WatchStandardOutput(DescriptorBuffer* buffer);

// Writes out what standard output holds, where its buffer holds the flushes (see
// StandardOutput): before the program waits for a file to grow or pauses between events, before
// another program takes its place, and before it ends without unwinding. Only on the thread that
// writes standard output. False once a write to standard output has failed; a file's follower
// stops waiting then.
bool WriteOutStandardOutput();

// True once a write to standard output has failed: long commands stop then, as their output is
// being lost.
bool OutputFailed();

// Writes out standard output. When anything written to it was lost, writes "tuda NAME: cannot
// write standard output: REASON" on standard error and returns kExitDataError; otherwise
// returns `status`. A closed pipe is no fault of the command's: it ends quietly, still with
// kExitDataError, as nothing may report success after lost output.
int FinishOutput(const std::string& name, int status);
