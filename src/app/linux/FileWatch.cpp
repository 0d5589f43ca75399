#include "app/linux/FileWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

bool fileWatchOpen(FileWatch& watch, const char* path, std::string& error) {
    watch.fd = -1;
    watch.path = path;
    watch.ownWrite = false;
    const char* slash = std::strrchr(path, '/');
    const std::string folder = slash ? (slash == path ? std::string("/") : std::string(path, slash)) : ".";
    watch.name = slash ? slash + 1 : path;
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) {
        error = std::string("cannot watch ") + path + ": " + std::strerror(errno);
        return false;
    }
    if (inotify_add_watch(fd, folder.c_str(), IN_CLOSE_WRITE | IN_MOVED_TO) < 0) {
        error = std::string("cannot watch ") + folder + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    watch.fd = fd;
    return true;
}

bool fileWatchPoll(FileWatch& watch) {
    if (watch.fd < 0) return false;
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(watch.fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const bool finished = event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO);
            if (finished && event->len > 0 && watch.name == event->name) changed = true;
            at += ssize_t(sizeof(inotify_event)) + event->len;
        }
    }
    if (changed && watch.ownWrite) {
        struct stat now;
        const struct stat& was = watch.written;
        if (stat(watch.path.c_str(), &now) == 0 && now.st_dev == was.st_dev && now.st_ino == was.st_ino &&
            now.st_size == was.st_size && now.st_mtim.tv_sec == was.st_mtim.tv_sec &&
            now.st_mtim.tv_nsec == was.st_mtim.tv_nsec)
            changed = false;
    }
    return changed;
}

void fileWatchOwnWrite(FileWatch& watch) { watch.ownWrite = stat(watch.path.c_str(), &watch.written) == 0; }

void fileWatchClose(FileWatch& watch) {
    if (watch.fd >= 0) close(watch.fd);
    watch.fd = -1;
}
