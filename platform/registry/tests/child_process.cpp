#include "child_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace registry::testing {

ChildResult RunChild(const std::string& program, const std::vector<std::string>& arguments,
                     std::chrono::milliseconds timeout) {
    ChildResult result;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return result;

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool timedOut = false;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd readable{pipeEnds[0], POLLIN, 0};
        if (poll(&readable, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char buffer[512];
        const ssize_t count = read(pipeEnds[0], buffer, sizeof buffer);
        if (count <= 0)
            break;  // end of output: the child closed its side
        result.output.append(buffer, static_cast<std::size_t>(count));
    }
    close(pipeEnds[0]);
    if (timedOut)
        kill(child, SIGKILL);

    int status = 0;
    waitpid(child, &status, 0);
    if (!timedOut && WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

}  // namespace registry::testing
