// Shared helpers for the RAR tests: reading fixture files, the real-archive folder, and a
// deterministic corpus of the kinds of data our packer must handle (text, noise, image-like
// gradients, silent and noisy 16-bit sound, tiny and empty files, nested folders).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace VornTest {

inline bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes)
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

inline std::string RarTestDataDir()
{
    return std::string(VORN_SHARED_DIR) + "/testdata/rar20";
}

class TestRandom {
public:
    explicit TestRandom(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
    uint32_t Next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return uint32_t((state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    uint32_t Below(uint32_t bound) { return Next() % bound; }

private:
    uint64_t state;
};

inline std::vector<uint8_t> MakeText(size_t size, uint64_t seed)
{
    static const char* words[] = {"the", "town", "square", "lamp", "water", "reflects", "a", "clock", "tower",
                                  "slowly", "camera", "moves", "over", "roofs", "and", "shadows", "of", "trees",
                                  "sway", "in", "evening", "wind", "while", "old", "film", "flickers"};
    TestRandom random(seed);
    std::vector<uint8_t> text;
    while (text.size() < size) {
        int sentence = 4 + int(random.Below(10));
        for (int w = 0; w < sentence; ++w) {
            std::string word = words[random.Below(sizeof words / sizeof words[0])];
            if (w == 0)
                word[0] = char(word[0] - 'a' + 'A');
            text.insert(text.end(), word.begin(), word.end());
            text.push_back(w + 1 == sentence ? '.' : ' ');
        }
        text.push_back(random.Below(5) == 0 ? '\n' : ' ');
    }
    text.resize(size);
    return text;
}

inline std::vector<uint8_t> MakeNoise(size_t size, uint64_t seed)
{
    TestRandom random(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes)
        byte = uint8_t(random.Next() >> 24);
    return bytes;
}

// 24-bit pixels: smooth gradients with a little noise, as in a photo's sky.
inline std::vector<uint8_t> MakeImage(int width, int height, uint64_t seed)
{
    TestRandom random(seed);
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels.push_back(uint8_t(x / 3 + y / 5 + int(random.Below(3))));
            pixels.push_back(uint8_t(y / 2 + int(random.Below(3))));
            pixels.push_back(uint8_t((x + y) / 4));
        }
    return pixels;
}

// 16-bit little-endian stereo PCM; amplitude 0 gives digital silence.
inline std::vector<uint8_t> MakeSound(size_t frames, int amplitude, int noise, uint64_t seed)
{
    TestRandom random(seed);
    std::vector<uint8_t> pcm;
    for (size_t i = 0; i < frames; ++i) {
        double t = double(i);
        int left = int(amplitude * std::sin(t * 0.031) + amplitude * 0.3 * std::sin(t * 0.0071));
        int right = int(amplitude * 0.8 * std::sin(t * 0.023));
        if (noise) {
            left += int(random.Below(uint32_t(2 * noise + 1))) - noise;
            right += int(random.Below(uint32_t(2 * noise + 1))) - noise;
        }
        for (int sample : {left, right}) {
            pcm.push_back(uint8_t(sample & 0xFF));
            pcm.push_back(uint8_t((sample >> 8) & 0xFF));
        }
    }
    return pcm;
}

struct CorpusFile {
    std::string name; // '/' separated
    bool directory;
    std::vector<uint8_t> data;
};

// Folders come before their contents, in the order an archive must list them.
inline std::vector<CorpusFile> MakeCorpus(bool includeLargeFile)
{
    std::vector<CorpusFile> files;
    files.push_back({"docs", true, {}});
    files.push_back({"docs/readme.txt", false, MakeText(70000, 1)});
    files.push_back({"docs/notes", true, {}});
    files.push_back({"docs/notes/deep", true, {}});
    files.push_back({"docs/notes/deep/tiny.txt", false, {'x'}});
    files.push_back({"docs/notes/deep/three.bin", false, {1, 2, 3}});
    files.push_back({"empty.dat", false, {}});
    files.push_back({"emptyfolder", true, {}});
    files.push_back({"media", true, {}});
    files.push_back({"media/noise.bin", false, MakeNoise(50000, 2)});
    files.push_back({"media/sky.rgb", false, MakeImage(300, 200, 3)});
    files.push_back({"media/silence.pcm", false, MakeSound(40000, 0, 0, 4)});
    files.push_back({"media/wind.pcm", false, MakeSound(60000, 9000, 300, 5)});
    if (includeLargeFile) {
        // Several megabytes that cross many blocks and the whole dictionary span.
        std::vector<uint8_t> large = MakeText(1200000, 6);
        std::vector<uint8_t> sound = MakeSound(300000, 7000, 100, 7);
        std::vector<uint8_t> noise = MakeNoise(300000, 8);
        std::vector<uint8_t> image = MakeImage(640, 300, 9);
        large.insert(large.end(), sound.begin(), sound.end());
        large.insert(large.end(), noise.begin(), noise.end());
        large.insert(large.end(), image.begin(), image.end());
        large.insert(large.end(), large.begin(), large.begin() + 400000);
        files.push_back({"media/large.bin", false, large});
    }
    return files;
}

} // namespace VornTest
