#ifndef ZEQ_BENCH_ZEQCHAIN_BENCH_SUPPORT_H
#define ZEQ_BENCH_ZEQCHAIN_BENCH_SUPPORT_H

// A binary 6.0 Zeq file holding a chain of null models n0 (under the root), n1 under n0, and so on,
// whose connections come in one of four orders, for the benchmarks of reads that must not grow
// faster than n log n whatever the order; the null models of such a file written for others too.

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "fileio/kzeq.h"
#include "io/kzeqfields.h"

namespace zeqchainbench {

enum EChainOrder {
    eTopDown,        // n0 under the root, n1 under n0, ...
    eBottomUpPairs,  // n1 under n0, n3 under n2, ..., then n2 under n1, n4 under n3, ..., then n0 under the root
    eReversed,       // the deepest link first, n0 under the root last
    eRandom,         // shuffled with a fixed seed
    eChainOrderCount
};

inline const char* ChainOrderName(int order) {
    static const char* const kNames[] = {"top-down", "bottom-up pairs", "reversed", "random"};
    return order >= 0 && order < eChainOrderCount ? kNames[order] : "?";
}

// The links as (child, parent) indices, -1 the root.
inline std::vector<std::pair<int, int>> ChainLinks(int depth, int order) {
    std::vector<std::pair<int, int>> links;
    for (int i = 0; i < depth; ++i) links.emplace_back(i, i - 1);
    switch (order) {
        case eBottomUpPairs: {
            std::vector<std::pair<int, int>> pairs;
            for (int i = 1; i < depth; i += 2) pairs.push_back(links[static_cast<std::size_t>(i)]);
            for (int i = 2; i < depth; i += 2) pairs.push_back(links[static_cast<std::size_t>(i)]);
            pairs.push_back(links.front());
            links.swap(pairs);
            break;
        }
        case eReversed:
            std::reverse(links.begin(), links.end());
            break;
        case eRandom: {
            std::mt19937 random(20261208u);
            std::shuffle(links.begin(), links.end(), random);
            break;
        }
        default:
            break;
    }
    return links;
}

// The model n<i>'s name in the file; -1 the root's.
inline std::string NullModelName(int i) { return i < 0 ? std::string("Model::Scene") : "Model::n" + std::to_string(i); }

// The main section's null models n0 .. n(count - 1) and their links (child, parent; -1 the root),
// in that order.
inline void WriteNullModels(zeqsdk_400::KZeq& file, int count, const std::vector<std::pair<int, int>>& links) {
    using namespace zeqsdk_400;
    const auto name = NullModelName;
    ZeqWriteBlockBegin(file, "Definitions");
    ZeqWriteBlockBegin(file, "ObjectType", "Model");
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockBegin(file, "Objects");
    for (int i = 0; i < count; ++i) {
        file.FieldWriteBegin("Model");
        file.FieldWriteC(name(i).c_str()), file.FieldWriteC("Null");
        file.FieldWriteBlockBegin();
        ZeqWriteFieldC(file, "Type", "Null");
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockBegin(file, "Connections");
    for (const auto& link : links) {
        file.FieldWriteBegin("Connect");
        file.FieldWriteC("OO"), file.FieldWriteC(name(link.first).c_str()), file.FieldWriteC(name(link.second).c_str());
        file.FieldWriteEnd();
    }
    ZeqWriteBlockEnd(file);
}

// False when the file could not be written.
inline bool WriteChainFile(const std::string& path, int depth, int order) {
    zeqsdk_400::KZeq file;
    if (!file.ProjectCreate(path.c_str(), true, false)) return false;
    WriteNullModels(file, depth, ChainLinks(depth, order));
    return file.ProjectClose();
}

}  // namespace zeqchainbench

#endif
