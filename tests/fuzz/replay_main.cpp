// Runs a fuzz target once over each file named on the command line, so the normal build keeps
// the targets compiling and the test run feeds them the sample pictures; libFuzzer's own
// driver takes over in the fuzz build.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in.eof() && !in.good())
            return std::fprintf(stderr, "cannot read %s\n", argv[i]), 2;
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size()); // aborts on a broken property
    }
    return 0;
}
