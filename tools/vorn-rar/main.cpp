// vorn-rar: lists, extracts and packs the RAR 2.0 archives the engine mounts, with the
// engine's own reader and packer, so archives can be checked and built on a developer box.
//   vorn-rar list ARCHIVE
//   vorn-rar extract ARCHIVE DIR [PASSWORD]
//   vorn-rar pack ARCHIVE DIR
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "engine/resources/RarArchive.h"
#include "engine/resources/RarWriter.h"

using namespace Vorn;

namespace {

const uint8_t rarMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
const uint8_t oldRarMarker[7] = {0x55, 0x6E, 0x69, 0x71, 0x75, 0x45, 0x21};

void PrintError(const char* format, const std::string& subject, const char* detail = nullptr)
{
    std::fprintf(stderr, "vorn-rar: ");
    std::fprintf(stderr, format, subject.c_str());
    if (detail)
        std::fprintf(stderr, ": %s", detail);
    std::fputc('\n', stderr);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        PrintError("cannot open %s", path, std::strerror(errno));
        return false;
    }
    bytes.clear();
    uint8_t chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        PrintError("cannot read %s", path);
    return !failed;
}

// Writes through a temporary file in the same folder and renames it into place, so a
// failure never leaves a half-written file under the real name.
bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t size)
{
    std::string folder = ".";
    std::string base = path;
    size_t slash = path.rfind('/');
    if (slash != std::string::npos) {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        base = path.substr(slash + 1);
    }
    std::string temporary = folder + "/." + base + ".vorn-rar-XXXXXX";
    std::vector<char> name(temporary.begin(), temporary.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) {
        PrintError("cannot create a temporary file for %s", path, std::strerror(errno));
        return false;
    }
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        ssize_t wrote = write(fd, data + done, size - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            ok = false;
        else
            done += size_t(wrote);
    }
    ok = fchmod(fd, 0644) == 0 && ok;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(name.data(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        PrintError("cannot write %s", path, std::strerror(errno));
        unlink(name.data());
    }
    return ok;
}

bool LooksLikeArchive(const std::vector<uint8_t>& bytes)
{
    return bytes.size() >= 7 &&
           (std::memcmp(bytes.data(), rarMarker, 7) == 0 || std::memcmp(bytes.data(), oldRarMarker, 7) == 0);
}

bool IsDirectoryEntry(const RarEntry& entry)
{
    if ((entry.flags & RarFormat::FileDictionaryMask) == RarFormat::FileDirectory)
        return true;
    // For Unix hosts the attributes are a file mode, where 0x10 means group-writable.
    return entry.hostSystem <= 2 && (entry.attributes & RarFormat::DirectoryAttribute);
}

// ---- list ------------------------------------------------------------------------------

int List(const std::string& archivePath)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(archivePath, bytes))
        return 1;
    if (!LooksLikeArchive(bytes)) {
        PrintError("%s is not a RAR archive", archivePath);
        return 1;
    }
    RarEntry* list = nullptr;
    int count = ListArchive(bytes.data(), bytes.size(), &list);
    std::printf("%10s %10s %8s %3s %4s %8s %s\n", "packed", "unpacked", "crc32", "ver", "meth", "attr", "name");
    for (RarEntry* entry = list; entry; entry = entry->next) {
        std::printf("%10u %10u %08x %3u 0x%02x %08x %s%s%s\n", entry->packedSize, entry->unpackedSize, entry->crc,
                    entry->version, entry->method, entry->attributes, entry->name,
                    IsDirectoryEntry(*entry) ? " [dir]" : "",
                    (entry->flags & RarFormat::FileEncrypted) ? " [encrypted]" : "");
    }
    std::printf("%d entries\n", count);
    FreeListing(list);
    return 0;
}

// ---- extract ---------------------------------------------------------------------------

// Turns an archive name into a relative path below the output folder, or refuses it:
// absolute paths, drive letters and ".." components could reach outside that folder.
bool MakeSafePath(const char* name, std::vector<std::string>& components)
{
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.empty() || path[0] == '/')
        return false;
    if (path.size() >= 2 && path[1] == ':')
        return false;
    components.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        std::string component = path.substr(start, end - start);
        if (component == "..")
            return false;
        if (!component.empty() && component != ".")
            components.push_back(component);
        start = end + 1;
    }
    return !components.empty();
}

// Creates the folders of a path one by one; an existing symbolic link or file in the way
// is refused rather than followed.
bool MakeFolders(const std::string& root, const std::vector<std::string>& components, size_t count)
{
    std::string path = root;
    for (size_t i = 0; i < count; ++i) {
        path += "/" + components[i];
        struct stat info;
        if (lstat(path.c_str(), &info) == 0) {
            if (!S_ISDIR(info.st_mode)) {
                PrintError("%s exists and is not a folder", path);
                return false;
            }
            continue;
        }
        if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            PrintError("cannot create folder %s", path, std::strerror(errno));
            return false;
        }
    }
    return true;
}

int Extract(const std::string& archivePath, const std::string& outputRoot, const char* password)
{
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(archivePath, bytes))
        return 1;
    if (!LooksLikeArchive(bytes)) {
        PrintError("%s is not a RAR archive", archivePath);
        return 1;
    }
    if (mkdir(outputRoot.c_str(), 0755) != 0 && errno != EEXIST) {
        PrintError("cannot create folder %s", outputRoot, std::strerror(errno));
        return 1;
    }

    RarEntry* list = nullptr;
    ListArchive(bytes.data(), bytes.size(), &list);
    int failures = 0;
    for (RarEntry* entry = list; entry; entry = entry->next) {
        std::vector<std::string> components;
        if (!MakeSafePath(entry->name, components)) {
            PrintError("refusing unsafe name %s", entry->name);
            ++failures;
            continue;
        }
        bool directory = IsDirectoryEntry(*entry);
        if (!MakeFolders(outputRoot, components, directory ? components.size() : components.size() - 1)) {
            ++failures;
            continue;
        }
        if (directory)
            continue;
        uint8_t* data = nullptr;
        uint32_t size = 0;
        if (!ExtractEntry(bytes.data(), bytes.size(), entry->name, password, &data, &size)) {
            const char* reason = (entry->flags & RarFormat::FileEncrypted) && !*password
                                     ? "encrypted, no password given"
                                     : "damaged, unsupported or wrong password";
            PrintError("cannot extract %s", entry->name, reason);
            ++failures;
            continue;
        }
        std::string path = outputRoot;
        for (const std::string& component : components)
            path += "/" + component;
        if (!WriteFileAtomically(path, data, size))
            ++failures;
        delete[] data;
    }
    FreeListing(list);
    if (failures)
        std::fprintf(stderr, "vorn-rar: %d entr%s failed\n", failures, failures == 1 ? "y" : "ies");
    return failures ? 1 : 0;
}

// ---- pack ------------------------------------------------------------------------------

struct PackItem {
    std::string name; // relative, '\' separated
    std::string path;
    bool directory;
    uint32_t fileTime;
    std::vector<uint8_t> data;
};

uint32_t DosTime(time_t when)
{
    struct tm local;
    if (!localtime_r(&when, &local) || local.tm_year < 80)
        return (1u << 21) | (1u << 16); // 1980-01-01
    return uint32_t(local.tm_year - 80) << 25 | uint32_t(local.tm_mon + 1) << 21 | uint32_t(local.tm_mday) << 16 |
           uint32_t(local.tm_hour) << 11 | uint32_t(local.tm_min) << 5 | uint32_t(local.tm_sec / 2);
}

// Depth first with names in byte order, each folder before its contents, so the same
// tree always packs to the same archive.
bool CollectTree(const std::string& folder, const std::string& prefix, std::vector<PackItem>& items)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir) {
        PrintError("cannot open folder %s", folder, std::strerror(errno));
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    closedir(dir);
    std::sort(names.begin(), names.end());

    for (const std::string& name : names) {
        PackItem item;
        item.path = folder + "/" + name;
        item.name = prefix.empty() ? name : prefix + "\\" + name;
        struct stat info;
        if (lstat(item.path.c_str(), &info) != 0) {
            PrintError("cannot read %s", item.path, std::strerror(errno));
            return false;
        }
        item.fileTime = DosTime(info.st_mtime);
        if (S_ISDIR(info.st_mode)) {
            item.directory = true;
            items.push_back(item);
            if (!CollectTree(item.path, item.name, items))
                return false;
        } else if (S_ISREG(info.st_mode)) {
            if (info.st_size > 0xFFFFFFFFLL) {
                PrintError("%s is too large for a RAR 2.0 archive", item.path);
                return false;
            }
            item.directory = false;
            items.push_back(item);
        } else {
            PrintError("skipping %s: not a regular file or folder", item.path);
        }
    }
    return true;
}

int Pack(const std::string& archivePath, const std::string& sourceRoot)
{
    std::vector<PackItem> items;
    if (!CollectTree(sourceRoot, "", items))
        return 1;
    std::vector<RarWriterEntry> entries;
    for (PackItem& item : items) {
        if (!item.directory && !ReadWholeFile(item.path, item.data))
            return 1;
        if (item.name.size() > size_t(RarFormat::MaxNameSize)) {
            PrintError("name too long for the archive: %s", item.name);
            return 1;
        }
        RarWriterEntry entry;
        entry.name = item.name.c_str();
        entry.data = item.data.empty() ? nullptr : item.data.data();
        entry.size = uint32_t(item.data.size());
        entry.isDirectory = item.directory;
        entry.fileTime = item.fileTime;
        entry.attributes = 0;
        entries.push_back(entry);
    }
    uint8_t* archive = nullptr;
    size_t archiveSize = 0;
    int status = WriteRarArchive(entries.data(), int(entries.size()), &archive, &archiveSize);
    if (status) {
        PrintError("cannot build %s", archivePath, status == 2 ? "out of memory" : "an entry cannot be stored");
        return 1;
    }
    bool ok = WriteFileAtomically(archivePath, archive, archiveSize);
    delete[] archive;
    return ok ? 0 : 1;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: vorn-rar list ARCHIVE\n"
                 "       vorn-rar extract ARCHIVE DIR [PASSWORD]\n"
                 "       vorn-rar pack ARCHIVE DIR\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    std::string command = argv[1];
    if (command == "list" && argc == 3)
        return List(argv[2]);
    if (command == "extract" && (argc == 4 || argc == 5))
        return Extract(argv[2], argv[3], argc == 5 ? argv[4] : "");
    if (command == "pack" && argc == 4)
        return Pack(argv[2], argv[3]);
    return Usage();
}
