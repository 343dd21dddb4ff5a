#pragma once

#include <sys/wait.h>
#include <unistd.h>

// Runs body in a forked child, where what it does to its process (limits, signals) stays, and returns the child's
// exit status, or -1 when it did not exit. Run unprivileged, a child that is root first becomes "nobody", since root
// ignores the permissions such cases rely on, and exits with 3 when it cannot.
template <typename Body> int RunInChild(Body body, bool unprivileged = false) {
    const pid_t child = fork();
    if (child == 0) _exit(unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0) ? 3 : body());
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
