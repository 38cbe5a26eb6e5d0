// Writes the example configuration into the file named by its argument, with
// @LOCMAIL_STATE_DIR@ for the installation directory (filled in when installing).
#include "host/ConfigText.h"
#include "suite/platform/Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 64;
    }
    const std::string text = locmail::host::ConfigText("@LOCMAIL_STATE_DIR@", "postmaster@localhost");
    if (!locmail::WriteFileAtomic(argv[1], text)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], std::strerror(errno));
        return 73;
    }
    return 0;
}
