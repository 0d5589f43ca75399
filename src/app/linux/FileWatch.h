// Tells when one file was saved, polled once per frame without blocking.
// It watches the file's folder, as editors save by writing a new file and
// renaming it over the old one, which a watch on the file itself would lose.
#pragma once

#include <string>

struct FileWatch {
    int fd;            // inotify, non-blocking; -1 when not watching
    std::string name;  // the file's name inside the folder
};

// False with one line in `error` when the folder cannot be watched.
bool fileWatchOpen(FileWatch& watch, const char* path, std::string& error);
// True when the file was written and closed, or renamed into
// place, since the last poll. One read that returns at once when nothing happened.
bool fileWatchPoll(FileWatch& watch);
void fileWatchClose(FileWatch& watch);
