// Arbitrary bytes as the file image of a list of computation set-ups. The first input byte says
// whether the image begins with its version byte (bit 0); the rest is the file. A read never
// reads past the file or allocates for counts that the file cannot hold; a read that succeeds
// gives a list whose own image reads back into a list of the same image.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "definitions/lists/adj_def_list.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/adjust_samples.h"
#include "host/definition_samples.h"

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

// Kept until the process ends, when the exit handler removes it.
const std::string& Folder() {
    static const std::string* folder = [] {
        char path[] = "/dev/shm/vok-fuzz-adjust-XXXXXX";
        if (::mkdtemp(path) == nullptr) std::abort();
        auto* made = new std::string(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(Folder(), ignored);
        });
        return made;
    }();
    return *folder;
}

struct sSample {
    CObsDefList obs;
    CNodeDefList nodes;
    sSample() {
        Vok::Test::FillSampleObsDefs(obs);
        Vok::Test::FillSampleNodeDefs(nodes);
    }
};

sSample& Sample() {
    static sSample s;
    return s;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite)) std::abort();
    if (size > 0) file.Write(data, static_cast<UINT>(size));
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) std::abort();
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<char>(c));
    std::fclose(f);
    return bytes;
}

void WriteImage(const std::string& path, const CAdjDefList& list) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite)) std::abort();
    list.WriteToFile(file);
}

int ReadList(const std::string& path, CAdjDefList& list, bool hasVersion) {
    CFile file;
    if (!file.Open(path.c_str(), CFile::modeRead)) std::abort();
    return list.ReadFromFile(file, &Sample().nodes, &Sample().obs, hasVersion);
}

}  // namespace

// Seeds: the sample list's image with its version byte.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (Vok::Fuzz::SeedFolder() == nullptr) return 0;
    CAdjDefList list;
    Vok::Test::FillSampleAdjDefs(list, Sample().obs, Sample().nodes);
    const std::string path = Folder() + "/seed";
    {
        CFile file;
        if (!file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite)) std::abort();
        const uint8_t hasVersion = 1;
        file.Write(&hasVersion, 1);
        list.WriteToFile(file);
    }
    Vok::Fuzz::WriteSeed("sample", ReadBytes(path));
    std::exit(0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool hasVersion = (data[0] & 1) != 0;
    const std::string input = Folder() + "/input";
    WriteFile(input, data + 1, size - 1);
    CAdjDefList list;
    if (ReadList(input, list, hasVersion) != 1) return 0;

    const std::string first = Folder() + "/first";
    const std::string second = Folder() + "/second";
    WriteImage(first, list);
    CAdjDefList back;
    Check(ReadList(first, back, true) == 1);
    WriteImage(second, back);
    Check(ReadBytes(first) == ReadBytes(second));
    return 0;
}
