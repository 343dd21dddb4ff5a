#include "platform/browser.h"

#include "platform/backend.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <thread>

extern char** environ;

std::vector<std::string> SplitCommandLine(const char* command) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (const char* p = command; *p; ++p) {
        char c = *p;
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && (p[1] == '"' || p[1] == '\\'))
                word += *++p;
            else
                word += c;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && p[1]) {
            word += *++p;
            inWord = true;
        } else if (c == ' ' || c == '\t' || c == '\n') {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

namespace {

// Starts the command with the target as its last argument, without a shell,
// so nothing in the target is interpreted. The child is reaped in the
// background once it ends.
bool StartBrowser(const char* command, const String& target) {
    std::vector<std::string> words = SplitCommandLine(command);
    if (words.empty())
        return false;
    words.push_back(target.str());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        return false;
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace

bool OpenInBrowser(const String& target) {
    const char* command = std::getenv("BROWSER");
    if (command && *command && StartBrowser(command, target))
        return true;
    return BackendOpenWithDesktop(target);
}
