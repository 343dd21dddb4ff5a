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

std::vector<std::string> SplitBrowserList(const char* list) {
    std::vector<std::string> entries;
    std::string entry;
    for (const char* p = list;; ++p) {
        if (*p == ':' || *p == 0) {
            if (!entry.empty())
                entries.push_back(entry);
            entry.clear();
            if (*p == 0)
                break;
        } else {
            entry += *p;
        }
    }
    return entries;
}

std::vector<std::string> BrowserArguments(const std::string& entry, const std::string& target) {
    std::vector<std::string> words = SplitCommandLine(entry.c_str());
    bool placed = false;
    for (std::string& word : words) {
        std::string out;
        for (size_t i = 0; i < word.size(); ++i) {
            if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == 's') {
                out += target;
                placed = true;
                ++i;
            } else if (word[i] == '%' && i + 1 < word.size() && word[i + 1] == '%') {
                out += '%';
                ++i;
            } else {
                out += word[i];
            }
        }
        word = out;
    }
    if (!words.empty() && !placed)
        words.push_back(target);
    return words;
}

namespace {

// Starts the command without a shell, so nothing in the target is
// interpreted. The child is reaped in the background once it ends.
bool StartBrowser(std::vector<std::string> words) {
    if (words.empty())
        return false;
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

// The desktop's choice comes first: it knows whether a browser needs a
// terminal and brings the window to the front. $BROWSER is for sessions
// without one.
bool OpenInBrowser(const String& target) {
    if (BackendOpenWithDesktop(target))
        return true;
    const char* list = std::getenv("BROWSER");
    if (!list)
        return false;
    for (const std::string& entry : SplitBrowserList(list)) {
        if (StartBrowser(BrowserArguments(entry, target.str())))
            return true;
    }
    return false;
}
