// A child process run without waiting for it: started with posix_spawn, its
// standard output and error gathered through one non-blocking pipe, and its
// end noticed by polling. Meant for a loop that must not stall (a frame).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

struct ChildProcess {
    pid_t pid = -1;
    int output = -1;    // read end of the pipe (both streams), non-blocking
    std::string text;   // everything the child wrote so far
    bool running = false;
    int exitCode = -1;  // the exit status, or 128 + signal number
};

// Starts argv[0] (a path; not searched in PATH) with argv. False with a
// one-line reason in `error` when it cannot be started.
bool childStart(ChildProcess& child, const std::vector<std::string>& argv, std::string& error);

// Reads what the child wrote since the last call and reaps it once it ends.
// True while it runs; false once it has ended (then exitCode is set and
// `text` holds all of its output).
bool childPoll(ChildProcess& child);

// Kills a running child and reaps it; nothing when none runs.
void childStop(ChildProcess& child);
