#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace trv::fuzz {

namespace {

struct Scratch {
    std::string path;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/trelvane-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        path = pattern;
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void writeBytes(const std::string& path, const char* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data, static_cast<std::streamsize>(size));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::abort();
    }
}

} // namespace

const std::string& freshFolder() {
    const std::string& root = scratch().path;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec))
        fs::remove_all(entry.path(), ec);
    return root;
}

std::string writeInput(const std::string& name, const uint8_t* data, size_t size) {
    const std::string path = scratch().path + "/" + name;
    writeBytes(path, reinterpret_cast<const char*>(data), size);
    return path;
}

std::string writeInput(const std::string& name, const std::string& bytes) {
    return writeInput(name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string shippedFile(const std::string& name) {
    std::ifstream in(std::string(TRELVANE_SOURCE_DIR) + "/data/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void require(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

} // namespace trv::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("TRELVANE_FUZZ_SEEDS");
    if (!dir || !*dir) return 0;
    const std::vector<std::string> seeds = trv::fuzz::fuzzSeeds();
    std::error_code ec;
    fs::create_directories(dir, ec);
    int n = 0;
    for (const std::string& seed : seeds) {
        std::ostringstream name;
        name << dir << "/seed-" << n++;
        trv::fuzz::writeBytes(name.str(), seed.data(), seed.size());
    }
    std::printf("%d seeds written to %s\n", n, dir);
    std::exit(0);
}
