#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "fileio/kfilereplacement.h"
#include "fileio/ktextfile.h"

using namespace zeqsdk_400;

namespace {

// A frame table as the text motion formats hold it: rows of numbers.
std::string MakeRows(int rows, int columns) {
    std::string path = zeqbench::ScratchPath("rows-" + std::to_string(rows) + ".txt");
    zeqbench::WriteFileThrough(path, [&](std::FILE* file) {
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) std::fprintf(file, "%.5f ", (r * 31 + c) * 0.001 - 3.0);
            std::fputs("\r\n", file);
        }
    });
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
    state.SetBytesProcessed(state.iterations() * zeqbench::FileSize(path));
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_TextFileReadRows)->Arg(1000)->Arg(20000);

// A small file replaced as the writers do: Begin, write through the stream on the
// temporary, Commit (alone, or with two companions). The syncs dominate; what is
// measured beyond them is the replacement's own work.
void BM_FileReplacement(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    const std::string folder = zeqbench::MakeFolder("replace");
    const std::string content(4096, 'x');
    for (auto _ : state) {
        std::vector<KFileReplacement> group(static_cast<std::size_t>(files));
        std::vector<KFileReplacement*> pointers;
        for (int i = 0; i < files; ++i) {
            KFileReplacement& file = group[static_cast<std::size_t>(i)];
            const std::string path = folder + "/file" + std::to_string(i) + ".out";
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
    zeqbench::RemoveFolder(folder);
}
BENCHMARK(BM_FileReplacement)->Arg(1)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace
