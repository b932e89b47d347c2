// Feeds arbitrary bytes to the help printer (F1) as helpfile.txt: no fault,
// and every console line it makes from a chunk fits the chunk's buffer and
// is no longer than the chunk plus its line end.
#include "frontend/text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

char inputPath[512];

void require(bool condition) {
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The printer logs each line of the file; keep the fuzzer's own report
    // readable unless the log is asked for.
    if (!std::getenv("OMBRANE_FUZZ_LOG")) {
        int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0)
            ::dup2(null, 1);
    }
    const char* folder = std::getenv("TMPDIR");
    std::snprintf(inputPath, sizeof inputPath, "%s/ombrane-help-fuzz-%d.txt",
                  folder && *folder ? folder : "/tmp", int(::getpid()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    // Each chunk as the printer reads it: at most HelpChunkLimit - 1 bytes.
    for (std::size_t at = 0; at < size; at += HelpChunkLimit - 1) {
        char chunk[HelpChunkLimit] = {};
        std::size_t n = size - at < HelpChunkLimit - 1 ? size - at : HelpChunkLimit - 1;
        std::memcpy(chunk, data + at, n);
        char out[HelpChunkLimit + 4];
        std::memset(out, 'x', sizeof out);
        if (helpChunkText(chunk, out, sizeof out)) {
            require(std::memchr(out, 0, sizeof out) != nullptr);
            require(std::strlen(out) <= std::strlen(chunk) + 2);
        }
    }
    std::FILE* file = std::fopen(inputPath, "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    require(PrintHelpFile(inputPath) == 1);
    std::remove(inputPath);
    return 0;
}
