#include "PlatformPrefs.h"

#include "PlatformFiles.h"

#include <plist/plist.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// What identifies one version of a file on disk.
struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    bool operator==(const FileStamp& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

struct Domain {
    Plist dict;          // the file as last read (a dictionary)
    bool read = false;   // dict reflects `stamp`
    bool broken = false; // the file at `stamp` could not be read or parsed
    FileStamp stamp;
    std::map<std::string, Plist> pending; // set since the last write; null: removed
};

std::map<std::string, Domain> domains;

// The folder FSFindFolder gives, made when missing so that a first write has a place to go.
std::string preferencesFolder() {
    FSRef folder;
    if (FSFindFolder(kOnAppropriateDisk, kPreferencesFolderType, true, &folder) != noErr) return {};
    UInt8 path[4096];
    if (FSRefMakePath(&folder, path, sizeof path) != noErr) return {};
    return reinterpret_cast<const char*>(path);
}

bool validDomain(const std::string& d) {
    return !d.empty() && d != "." && d != ".." && d.find('/') == std::string::npos &&
           d.find('\0') == std::string::npos;
}

FileStamp stampOf(const std::string& path, int* error) {
    FileStamp s;
    struct stat st;
    *error = 0;
    if (stat(path.c_str(), &st) != 0) {
        *error = errno;
        return s;
    }
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    return s;
}

bool readWhole(const std::string& path, std::string* out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[8192];
    ssize_t n;
    out->clear();
    while ((n = read(fd, buf, sizeof buf)) != 0) {
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        out->append(buf, size_t(n));
    }
    close(fd);
    return true;
}

// Brings the domain up to date with its file; false when the file is there but unusable.
bool refresh(const std::string& name, Domain& d) {
    std::string path = platformPreferencesFile(name);
    if (path.empty()) {
        d.read = true;
        if (!d.dict) d.dict.reset(plist_new_dict());
        return true;
    }
    int error;
    FileStamp now = stampOf(path, &error);
    if (d.read && now == d.stamp) return !d.broken;

    d.stamp = now;
    d.read = true;
    d.broken = false;
    if (!now.exists) {
        if (error != ENOENT) {
            fprintf(stderr, "preferences: cannot read %s: %s\n", path.c_str(), strerror(error));
            d.broken = true;
        } else {
            d.dict.reset(plist_new_dict());
        }
        if (!d.dict) d.dict.reset(plist_new_dict());
        return !d.broken;
    }

    std::string bytes;
    if (!readWhole(path, &bytes)) {
        fprintf(stderr, "preferences: cannot read %s: %s; it is left as it is\n", path.c_str(),
                strerror(errno));
        d.broken = true;
    } else if (bytes.empty()) {
        d.dict.reset(plist_new_dict()); // an empty file holds nothing to lose
    } else {
        plist_t root = nullptr;
        plist_from_memory(bytes.data(), uint32_t(bytes.size()), &root);
        if (!root || plist_get_node_type(root) != PLIST_DICT) {
            if (root) plist_free(root);
            fprintf(stderr,
                    "preferences: %s is not a property list of keys and values; it is left as "
                    "it is and not written\n",
                    path.c_str());
            d.broken = true;
        } else {
            d.dict.reset(root);
        }
    }
    if (!d.dict) d.dict.reset(plist_new_dict());
    return !d.broken;
}

CFTypeRef objectFromNode(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        if (!text) return nullptr;
        CFStringRef s = platformStringCreateUTF8(text);
        free(text);
        return s;
    }
    case PLIST_ARRAY: {
        CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
        uint32_t n = plist_array_get_size(node);
        for (uint32_t i = 0; i < n; ++i) {
            CFTypeRef v = objectFromNode(plist_array_get_item(node, i));
            if (!v) {
                CFRelease(array);
                return nullptr;
            }
            CFArrayAppendValue(array, v);
            CFRelease(v);
        }
        array->isMutable = false;
        return array;
    }
    default:
        return nullptr;
    }
}

plist_t nodeFromObject(CFTypeRef object) {
    if (!object) return nullptr;
    if (CFGetTypeID(object) == CFStringGetTypeID())
        return plist_new_string(platformStringUTF8(static_cast<CFStringRef>(object)).c_str());
    const PlatformArray* array = platformArrayCast(object);
    if (!array) return nullptr;
    plist_t node = plist_new_array();
    for (CFTypeRef v : array->values) {
        plist_t item = nodeFromObject(v);
        if (!item) {
            plist_free(node);
            return nullptr;
        }
        plist_array_append_item(node, item);
    }
    return node;
}

Domain* domainFor(CFStringRef applicationID, std::string* name) {
    if (!applicationID) return nullptr;
    *name = platformStringUTF8(applicationID);
    if (!validDomain(*name)) return nullptr;
    return &domains[*name];
}

bool makeFolders(const std::string& folder) {
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') continue;
        std::string part = folder.substr(0, pos);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}

// Writes `dict` to `path` through a temporary file renamed over it.
bool writeFile(const std::string& path, plist_t dict) {
    std::string folder = path.substr(0, path.rfind('/'));
    if (!makeFolders(folder)) {
        fprintf(stderr, "preferences: cannot create %s: %s\n", folder.c_str(), strerror(errno));
        return false;
    }
    char* xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(dict, &xml, &length);
    if (!xml) return false;

    std::string tmp = path + ".XXXXXX";
    int fd = mkstemp(tmp.data());
    bool ok = fd >= 0;
    if (ok) {
        ok = writeAll(fd, xml, length) && fsync(fd) == 0;
        ok = (close(fd) == 0) && ok;
        ok = ok && rename(tmp.c_str(), path.c_str()) == 0;
        if (!ok) unlink(tmp.c_str());
    }
    int error = errno;
    plist_to_xml_free(xml);
    if (!ok) {
        fprintf(stderr, "preferences: cannot write %s: %s\n", path.c_str(), strerror(error));
        return false;
    }
    int dirFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd); // makes the rename itself durable
        close(dirFd);
    }
    return true;
}

} // namespace

std::string platformPreferencesFile(const std::string& domain) {
    if (!validDomain(domain)) return {};
    std::string folder = preferencesFolder();
    if (folder.empty()) return {};
    return folder + "/" + domain + ".plist";
}

CFPropertyListRef CFPreferencesCopyAppValue(CFStringRef key, CFStringRef applicationID) {
    std::string name;
    Domain* d = domainFor(applicationID, &name);
    if (!d || !key) return nullptr;
    refresh(name, *d);
    std::string k = platformStringUTF8(key);
    if (auto it = d->pending.find(k); it != d->pending.end())
        return it->second ? objectFromNode(static_cast<plist_t>(it->second.get())) : nullptr;
    plist_t node = plist_dict_get_item(d->dict.get(), k.c_str());
    return node ? objectFromNode(node) : nullptr;
}

void CFPreferencesSetAppValue(CFStringRef key, CFPropertyListRef value, CFStringRef applicationID) {
    std::string name;
    Domain* d = domainFor(applicationID, &name);
    if (!d || !key) return;
    std::string k = platformStringUTF8(key);
    if (!value) {
        d->pending[k].reset();
        return;
    }
    plist_t node = nodeFromObject(value);
    if (!node) {
        fprintf(stderr,
                "preferences: the value for \"%s\" is not a string or an array of strings and "
                "arrays; it is not stored\n",
                k.c_str());
        return;
    }
    d->pending[k].reset(node);
}

Boolean CFPreferencesAppSynchronize(CFStringRef applicationID) {
    std::string name;
    Domain* d = domainFor(applicationID, &name);
    if (!d) return false;
    if (!refresh(name, *d)) {
        fprintf(stderr, "preferences: changes to %s are not written\n", name.c_str());
        return false;
    }
    if (d->pending.empty()) return true;
    std::string path = platformPreferencesFile(name);
    if (path.empty()) return false;

    Plist merged(plist_copy(d->dict.get()));
    for (const auto& [k, node] : d->pending) {
        if (node)
            plist_dict_set_item(merged.get(), k.c_str(),
                                plist_copy(static_cast<plist_t>(node.get())));
        else if (plist_dict_get_item(merged.get(), k.c_str()))
            plist_dict_remove_item(merged.get(), k.c_str());
    }
    if (!writeFile(path, merged.get())) return false;

    int error;
    d->dict = std::move(merged);
    d->pending.clear();
    d->stamp = stampOf(path, &error);
    return true;
}

void resetPreferencesForTesting() {
    domains.clear();
}
