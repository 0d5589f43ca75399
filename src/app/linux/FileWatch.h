// Tells when one file was saved, polled once per frame without blocking.
// It watches the file's folder, as editors save by writing a new file and
// renaming it over the old one, which a watch on the file itself would lose.
#pragma once

#include <sys/stat.h>

#include <string>

struct FileWatch {
    int fd;            // inotify, non-blocking; -1 when not watching
    std::string path;
    std::string name;  // the file's name inside the folder
    bool ownWrite;     // `written` is the file as the program itself last wrote it
    struct stat written;
};

// False with one line in `error` when the folder cannot be watched.
bool fileWatchOpen(FileWatch& watch, const char* path, std::string& error);
// True when the file was written and closed, or renamed into
// place, since the last poll, by someone else. One read that returns at once when nothing happened.
bool fileWatchPoll(FileWatch& watch);
// The program has just written the file itself: that write is not news
// (reading it back would drop whatever changed since it was written).
void fileWatchOwnWrite(FileWatch& watch);
void fileWatchClose(FileWatch& watch);
