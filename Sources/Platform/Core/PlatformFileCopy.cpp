#include "PlatformFileCopy.h"
#include "PlatformFiles.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

OSStatus pathOf(const FSRef* ref, std::string* path) {
    UInt8 buf[4096];
    OSStatus s = FSRefMakePath(ref, buf, sizeof buf);
    if (s == noErr) *path = reinterpret_cast<const char*>(buf);
    return s;
}

bool validName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find('/') == std::string::npos &&
           n.find('\0') == std::string::npos;
}

// Copies the bytes of `from` into `to`; 0 or the errno of the failure.
int copyBytes(int from, int to) {
    char buf[65536];
    for (;;) {
        ssize_t n = read(from, buf, sizeof buf);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            ssize_t w = write(to, buf + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += w;
        }
    }
}

} // namespace

OSStatus FSCopyObjectSync(const FSRef* source, const FSRef* destDir, CFStringRef destName,
                          FSRef* target, OptionBits options) {
    if (!source || !destDir) return paramErr;
    std::string from, folder;
    if (OSStatus s = pathOf(source, &from)) return s;
    if (OSStatus s = pathOf(destDir, &folder)) return s;

    std::string name = destName ? platformStringUTF8(destName) : from.substr(from.rfind('/') + 1);
    if (!validName(name)) return bdNamErr;
    const std::string to = (folder == "/" ? "" : folder) + "/" + name;
    const bool overwrite = (options & kFSFileOperationOverwrite) != 0;

    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errnoToStatus(errno);
    struct stat src;
    if (fstat(in, &src) != 0 || !S_ISREG(src.st_mode)) {
        close(in);
        return paramErr;
    }

    struct stat dst;
    if (lstat(to.c_str(), &dst) == 0) {
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
            close(in); // the file itself: copying it would only truncate it
            return overwrite ? OSStatus(noErr) : OSStatus(dupFNErr);
        }
        if (!overwrite || !S_ISREG(dst.st_mode)) {
            close(in);
            return dupFNErr;
        }
    }

    std::string tmp = folder + "/." + name + ".XXXXXX";
    int out = mkstemp(tmp.data());
    if (out < 0) {
        int e = errno;
        close(in);
        return errnoToStatus(e);
    }
    int error = copyBytes(in, out);
    close(in);
    if (!error && fchmod(out, src.st_mode & 07777) != 0) error = errno;
    if (!error && fsync(out) != 0) error = errno;
    if (close(out) != 0 && !error) error = errno;

    bool renamed = false;
    if (!error && !overwrite) {
        // link() never replaces a name that appeared meanwhile. A file system without hard
        // links falls back to rename, after one more look.
        if (link(tmp.c_str(), to.c_str()) != 0) {
            error = errno;
            struct stat now;
            if (error != EEXIST && lstat(to.c_str(), &now) != 0 && errno == ENOENT) error = -1;
        }
    }
    if ((!error && overwrite) || error == -1) {
        error = rename(tmp.c_str(), to.c_str()) == 0 ? 0 : errno;
        renamed = error == 0;
    }
    if (!renamed) unlink(tmp.c_str());
    if (error) return errnoToStatus(error);

    if (target) return FSPathMakeRef(reinterpret_cast<const UInt8*>(to.c_str()), target, nullptr);
    return noErr;
}
