#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/kfilereplacement.h"
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

// A small file replaced as the writers do: Begin, write through the stream on the
// temporary, Commit (alone, or with two companions). The syncs dominate; what is
// measured beyond them is the replacement's own work.
void BM_FileReplacement(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zeq-bench-replace-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string content(4096, 'x');
    for (auto _ : state) {
        std::vector<KFileReplacement> group(static_cast<std::size_t>(files));
        std::vector<KFileReplacement*> pointers;
        for (int i = 0; i < files; ++i) {
            KFileReplacement& file = group[static_cast<std::size_t>(i)];
            const std::string path = (folder / ("file" + std::to_string(i) + ".out")).string();
            std::FILE* stream = file.Begin(path.c_str()) ? file.OpenStream("wb") : nullptr;
            const bool written = stream && std::fwrite(content.data(), 1, content.size(), stream) == content.size();
            if (!stream || std::fclose(stream) != 0 || !written) {
                state.SkipWithError("cannot write");
                break;
            }
            pointers.push_back(&file);
        }
        if (KFileReplacement::CommitTogether(pointers.data(), pointers.size())) state.SkipWithError("cannot commit");
    }
    state.SetItemsProcessed(state.iterations() * files);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_FileReplacement)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
