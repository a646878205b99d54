// Runs the fuzz target where libFuzzer is not available: on each file given, and
// on deterministic mutants of it (cut short at many lengths, bytes overwritten),
// so that the normal and sanitizer builds keep the input path safe on bad data.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void Run(const std::string &bytes)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        std::string seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (seed.empty()) {
            fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        Run(seed);
        ++runs;
        // Cut short: inside the header, at and around packet boundaries.
        for (size_t len = 0; len < seed.size(); len += len < 2048 ? 97 : 1601, ++runs)
            Run(seed.substr(0, len));
        // Overwritten bytes, spread over header and packets.
        uint32_t state = 12345;
        for (int m = 0; m < 300; ++m, ++runs) {
            std::string mutant = seed;
            for (int k = 0; k < 8; ++k) {
                state = state * 1103515245u + 12345u;
                size_t pos = (state >> 8) % mutant.size();
                state = state * 1103515245u + 12345u;
                mutant[pos] = static_cast<char>(state >> 16);
            }
            Run(mutant);
        }
    }
    printf("%d inputs run\n", runs);
    return 0;
}
