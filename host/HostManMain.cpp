// tidebloom-host-manpage FILE: writes tidebloom-host's manual page, at build time.
#include "host/HostUsage.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tidebloom-host-manpage FILE\n");
        return 2;
    }
    const std::string page = HostManPage();
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(page.data(), 1, page.size(), f) == page.size();
    if (std::fclose(f) != 0 || !written) {
        std::fprintf(stderr, "tidebloom-host-manpage: could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
