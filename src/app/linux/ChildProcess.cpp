#include "app/linux/ChildProcess.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void drain(ChildProcess& child) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(child.output, buffer, sizeof buffer);
        if (n > 0) {
            // Bounded: a runaway tool must not fill memory.
            if (child.text.size() < (1u << 20)) child.text.append(buffer, size_t(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return;  // EAGAIN (nothing yet) or end of file
    }
}

void finish(ChildProcess& child, int status) {
    drain(child);
    close(child.output);
    child.output = -1;
    child.running = false;
    child.pid = -1;
    child.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

}  // namespace

bool childStart(ChildProcess& child, const std::vector<std::string>& argv, std::string& error) {
    childStop(child);
    child.text.clear();
    child.exitCode = -1;
    if (argv.empty()) {
        error = "no program to run";
        return false;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + strerror(errno);
        return false;
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        error = "cannot run " + argv[0] + ": " + strerror(failed);
        return false;
    }
    fcntl(pipeEnds[0], F_SETFL, fcntl(pipeEnds[0], F_GETFL) | O_NONBLOCK);
    child.pid = pid;
    child.output = pipeEnds[0];
    child.running = true;
    return true;
}

bool childPoll(ChildProcess& child) {
    if (!child.running) return false;
    drain(child);
    int status = 0;
    const pid_t done = waitpid(child.pid, &status, WNOHANG);
    if (done == 0) return true;
    if (done < 0) status = 0x7f00;  // lost (reaped elsewhere): report exit 127
    finish(child, status);
    return false;
}

void childStop(ChildProcess& child) {
    if (!child.running) return;
    kill(child.pid, SIGKILL);
    int status = 0;
    while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    finish(child, status);
}
