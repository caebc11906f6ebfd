// A private folder under /tmp for tests that need real files, removed with everything in
// it when the test ends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

namespace VornTest {

class TempDirectory {
public:
    TempDirectory()
    {
        char pattern[] = "/tmp/vorn-test-XXXXXX";
        if (mkdtemp(pattern))
            path = pattern;
    }
    ~TempDirectory()
    {
        if (path.empty())
            return;
        if (DIR* dir = opendir(path.c_str())) {
            while (dirent* entry = readdir(dir))
                if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
                    std::remove((path + "/" + entry->d_name).c_str());
            closedir(dir);
        }
        rmdir(path.c_str());
    }
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;

    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    // Empty when the file is missing.
    std::string Read(const std::string& name) const
    {
        std::ifstream in(File(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    bool Exists(const std::string& name) const { return access(File(name).c_str(), F_OK) == 0; }

private:
    std::string path;
};

} // namespace VornTest
