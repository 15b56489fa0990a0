// Peer process that plays the host of a settings buffer: it opens the buffer named on its command
// line as the writer, publishes the sample definitions lists in it, prints "READY published" (or
// "FAIL"), and keeps the buffer open until its standard input closes.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>

#include "tests/support/definition_samples.h"

int main(int argc, char** argv) {
    ::alarm(60);
    if (argc != 2) return 2;
    try {
        IpcBufferHandle writer(argv[1], 1);
        if (Vok::Test::PublishSampleSettings(writer) != 1) {
            std::cout << "FAIL publish" << std::endl;
            return 2;
        }
        std::cout << "READY published" << std::endl;
        std::string line;
        std::getline(std::cin, line);
    } catch (const std::exception& e) {
        std::cout << "FAIL " << e.what() << std::endl;
        return 2;
    }
    return 0;
}
