#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "fileio/ktextfile.h"

using namespace zeqsdk_400;

namespace {

// A frame table as the text motion formats hold it: rows of numbers.
std::string MakeRows(int rows, int columns) {
    std::string path = (std::filesystem::temp_directory_path() /
                        ("zeq-bench-rows-" + std::to_string(::getpid()) + "-" + std::to_string(rows) + ".txt"))
                           .string();
    std::FILE* file = std::fopen(path.c_str(), "wb");
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) std::fprintf(file, "%.5f ", (r * 31 + c) * 0.001 - 3.0);
        std::fputs("\r\n", file);
    }
    std::fclose(file);
    return path;
}

void BM_TextFileReadRows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const int columns = 60;
    const std::string path = MakeRows(rows, columns);
    for (auto _ : state) {
        KTextFile file("BENCH", " \t\r\n", "#", true, false);
        if (file.Open(path.c_str(), "r")) {
            state.SkipWithError("cannot open");
            break;
        }
        double sum = 0.0;
        double value = 0.0;
        do {
            while (file.GetDouble(value, 1.0)) sum += value;
        } while (file.NextLine());
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * rows * columns);
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(std::filesystem::file_size(path)));
    std::filesystem::remove(path);
}
BENCHMARK(BM_TextFileReadRows)->Arg(1000)->Arg(20000);

}  // namespace
