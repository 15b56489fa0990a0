// Peer process that records its arguments, each followed by a zero byte, into the file that
// VOK_ARGV_FILE names, or onto its standard output when that variable is not set.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    const char* path = std::getenv("VOK_ARGV_FILE");
    std::FILE* out = path != nullptr ? std::fopen(path, "wb") : stdout;
    if (out == nullptr) return 2;
    for (int i = 0; i < argc; ++i) std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, out);
    return std::fclose(out) == 0 ? 0 : 2;
}
