// Replays every file of a corpus folder through a fuzz target, so that the kept inputs
// run as ordinary regression tests in the sanitizer build.
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <vector>
#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    bytes.clear();
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return true;
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR...\n", argv[0]);
        return 2;
    }
    int replayed = 0;
    for (int arg = 1; arg < argc; ++arg) {
        DIR* dir = opendir(argv[arg]);
        if (!dir) {
            std::fprintf(stderr, "cannot open corpus %s\n", argv[arg]);
            return 1;
        }
        std::vector<std::string> names;
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                names.push_back(entry->d_name);
        closedir(dir);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            std::vector<uint8_t> bytes;
            if (!ReadWholeFile(std::string(argv[arg]) + "/" + name, bytes))
                continue;
            LLVMFuzzerTestOneInput(bytes.empty() ? nullptr : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    std::printf("replayed %d inputs\n", replayed);
    return replayed > 0 ? 0 : 1;
}
