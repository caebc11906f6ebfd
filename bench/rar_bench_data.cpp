// Writes the RAR benchmark's input: about 20 MB of mixed files, the same bytes on every run.
// Text with a Zipf-like vocabulary, structured binary records with code-like sections,
// 24-bit gradient images with noise and shapes, and 16-bit stereo sound.
//   rar_bench_data OUTPUT_DIR
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

class Random {
public:
    explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 7) {}
    uint32_t Next()
    {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return uint32_t((state * 0x2545F4914F6CDD1Dull) >> 32);
    }
    uint32_t Below(uint32_t bound) { return Next() % bound; }
    double Unit() { return Next() / 4294967296.0; }

private:
    uint64_t state;
};

bool Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::vector<uint8_t> MakeText(size_t size, uint64_t seed)
{
    Random random(seed);
    static const char* syllables[] = {"ka", "to", "ri", "ve", "lan", "dor", "mi", "su", "ne", "ol", "an", "ter",
                                      "ing", "ed", "th", "er", "st", "ou", "ch", "al", "re", "de", "co", "pa"};
    std::vector<std::string> words;
    for (int i = 0; i < 3000; ++i) {
        std::string word;
        int parts = 1 + int(random.Below(3)) + (i > 300 ? 1 : 0);
        for (int p = 0; p < parts; ++p)
            word += syllables[random.Below(24)];
        words.push_back(word);
    }
    std::vector<uint8_t> text;
    while (text.size() < size) {
        int length = 5 + int(random.Below(14));
        for (int w = 0; w < length; ++w) {
            // Zipf-like: small indices far more often.
            double u = random.Unit();
            size_t index = size_t(std::pow(double(words.size()), u * u)) - 1;
            std::string word = words[index];
            if (w == 0)
                word[0] = char(word[0] - 32);
            text.insert(text.end(), word.begin(), word.end());
            if (random.Below(40) == 0) {
                std::string number = " " + std::to_string(random.Below(100000));
                text.insert(text.end(), number.begin(), number.end());
            }
            text.push_back(w + 1 == length ? (random.Below(6) ? '.' : '?') : (random.Below(9) ? ' ' : ','));
            if (w + 1 != length && text.back() == ',')
                text.push_back(' ');
        }
        text.push_back(random.Below(7) ? ' ' : '\n');
    }
    text.resize(size);
    return text;
}

std::vector<uint8_t> MakeBinary(size_t size, uint64_t seed)
{
    Random random(seed);
    std::vector<uint8_t> bytes;
    uint32_t id = 1000;
    while (bytes.size() < size) {
        if (random.Below(4) == 0) {
            // A "code" section: opcodes from a small skewed set with random operands.
            size_t length = 2000 + random.Below(20000);
            for (size_t i = 0; i < length; ++i) {
                uint32_t r = random.Below(100);
                bytes.push_back(r < 40 ? uint8_t(0x48 + random.Below(4)) : r < 70 ? uint8_t(random.Below(16))
                                                                              : uint8_t(random.Next()));
            }
        } else {
            // A table of fixed-size records.
            size_t records = 100 + random.Below(1000);
            for (size_t i = 0; i < records; ++i) {
                id += 1 + random.Below(3);
                float value = float(std::sin(id * 0.01) * 1000.0);
                uint8_t record[32] = {};
                for (int b = 0; b < 4; ++b)
                    record[b] = uint8_t(id >> (8 * b));
                std::memcpy(record + 4, &value, 4);
                record[8] = uint8_t(random.Below(8));
                for (int b = 12; b < 12 + int(random.Below(12)); ++b)
                    record[b] = uint8_t('a' + random.Below(26));
                bytes.insert(bytes.end(), record, record + 32);
            }
        }
    }
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> MakeImage(int width, int height, uint64_t seed)
{
    Random random(seed);
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(width) * height * 3);
    int cx = int(random.Below(uint32_t(width)));
    int cy = int(random.Below(uint32_t(height)));
    int radius = 40 + int(random.Below(uint32_t(height / 2)));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool inside = (x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius;
            int r = inside ? 200 - y / 8 : x * 255 / width;
            int g = inside ? 60 + x / 16 : y * 255 / height;
            int b = inside ? 40 : 128 + int(60 * std::sin((x + y) * 0.01));
            int noise = int(random.Below(7)) - 3;
            pixels.push_back(uint8_t(std::min(255, std::max(0, r + noise))));
            pixels.push_back(uint8_t(std::min(255, std::max(0, g + noise))));
            pixels.push_back(uint8_t(std::min(255, std::max(0, b + noise))));
        }
    return pixels;
}

std::vector<uint8_t> MakeSound(size_t frames, uint64_t seed)
{
    Random random(seed);
    std::vector<uint8_t> pcm;
    pcm.reserve(frames * 4);
    double phase[3] = {0, 0, 0};
    double pitch[3] = {0.031, 0.047, 0.0123};
    for (size_t i = 0; i < frames; ++i) {
        if (i % 11025 == 0)
            for (double& p : pitch)
                p = 0.005 + random.Unit() * 0.06;
        double envelope = 0.5 + 0.5 * std::sin(double(i) * 0.0002);
        double mix = 0;
        for (int k = 0; k < 3; ++k) {
            phase[k] += pitch[k];
            mix += std::sin(phase[k]) / (k + 1);
        }
        int left = int(9000 * envelope * mix) + int(random.Below(161)) - 80;
        int right = int(7000 * envelope * mix * 0.8) + int(random.Below(161)) - 80;
        for (int sample : {left, right}) {
            pcm.push_back(uint8_t(sample & 0xFF));
            pcm.push_back(uint8_t((sample >> 8) & 0xFF));
        }
    }
    return pcm;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: rar_bench_data OUTPUT_DIR\n");
        return 2;
    }
    std::string root = argv[1];
    for (const char* folder : {"", "/Text", "/Data", "/Textures", "/Sounds"})
        mkdir((root + folder).c_str(), 0755);
    struct File {
        std::string name;
        std::vector<uint8_t> bytes;
    };
    std::vector<File> files;
    files.push_back({"/Text/story.txt", MakeText(3000000, 1)});
    files.push_back({"/Text/manual.txt", MakeText(2000000, 2)});
    files.push_back({"/Text/notes.txt", MakeText(200000, 3)});
    files.push_back({"/Data/scene.bin", MakeBinary(3000000, 4)});
    files.push_back({"/Data/tables.bin", MakeBinary(2000000, 5)});
    files.push_back({"/Textures/sky.rgb", MakeImage(1280, 600, 6)});
    files.push_back({"/Textures/wall.rgb", MakeImage(1024, 700, 7)});
    files.push_back({"/Textures/ground.rgb", MakeImage(800, 400, 8)});
    files.push_back({"/Sounds/music.pcm", MakeSound(700000, 9)});
    files.push_back({"/Sounds/wind.pcm", MakeSound(300000, 10)});
    files.push_back({"/readme.txt", MakeText(3000, 11)});
    size_t total = 0;
    for (const File& file : files) {
        if (!Save(root + file.name, file.bytes)) {
            std::fprintf(stderr, "rar_bench_data: cannot write %s%s\n", root.c_str(), file.name.c_str());
            return 1;
        }
        total += file.bytes.size();
    }
    std::printf("%zu files, %zu bytes\n", files.size(), total);
    return 0;
}
