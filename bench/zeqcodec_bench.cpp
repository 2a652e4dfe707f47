// The libraries under the field file, on the 40 MB record held in memory:
// CRC-32 (zlib against libdeflate) and Twofish-256 in counter mode (nettle
// against libgcrypt). The argument is the byte count; memcpy is the baseline.

#include <cstdint>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>
#include <gcrypt.h>
#include <libdeflate.h>
#include <nettle/ctr.h>
#include <nettle/twofish.h>
#include <zlib.h>

namespace {

std::vector<std::uint8_t> Data(std::size_t n) {
    std::vector<std::uint8_t> data(n);
    std::uint32_t x = 12345;
    for (auto& b : data) b = static_cast<std::uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
    return data;
}

void Report(benchmark::State& state, std::size_t n) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}

void BM_Memcpy(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const auto data = Data(n);
    std::vector<std::uint8_t> out(n);
    for (auto _ : state) {
        std::memcpy(out.data(), data.data(), n);
        benchmark::ClobberMemory();
    }
    Report(state, n);
}

void BM_Crc32Zlib(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const auto data = Data(n);
    for (auto _ : state) benchmark::DoNotOptimize(::crc32(0, data.data(), static_cast<uInt>(n)));
    Report(state, n);
}

void BM_Crc32Libdeflate(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    const auto data = Data(n);
    for (auto _ : state) benchmark::DoNotOptimize(libdeflate_crc32(0, data.data(), n));
    Report(state, n);
}

const std::uint8_t kKey[32] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16,
                               17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
const std::uint8_t kNonce[16] = {0xf0, 0xe1, 0xd2, 0xc3, 0xb4, 0xa5, 0x96, 0x87,
                                 0x78, 0x69, 0x5a, 0x4b, 0x3c, 0x2d, 0x1e, 0xff};

void TwofishEncrypt(const void* context, std::size_t length, std::uint8_t* dst, const std::uint8_t* src) {
    twofish_encrypt(static_cast<const twofish_ctx*>(context), length, dst, src);
}

void BM_TwofishCtrNettle(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    auto data = Data(n);
    twofish_ctx ctx;
    twofish_set_key(&ctx, 32, kKey);
    for (auto _ : state) {
        std::uint8_t counter[16];
        std::memcpy(counter, kNonce, 16);
        ctr_crypt(&ctx, &TwofishEncrypt, 16, counter, n, data.data(), data.data());
        benchmark::ClobberMemory();
    }
    Report(state, n);
}

void BM_TwofishCtrGcrypt(benchmark::State& state) {
    const std::size_t n = static_cast<std::size_t>(state.range(0));
    auto data = Data(n);
    gcry_check_version(nullptr);
    gcry_cipher_hd_t h;
    if (gcry_cipher_open(&h, GCRY_CIPHER_TWOFISH, GCRY_CIPHER_MODE_CTR, 0) != 0) {
        state.SkipWithError("no Twofish");
        return;
    }
    gcry_cipher_setkey(h, kKey, 32);
    for (auto _ : state) {
        gcry_cipher_setctr(h, kNonce, 16);
        gcry_cipher_encrypt(h, data.data(), n, nullptr, 0);
        benchmark::ClobberMemory();
    }
    gcry_cipher_close(h);
    Report(state, n);
}

#define ZEQ_CODEC_SIZES ->Arg(1 << 20)->Arg(40000000)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Memcpy) ZEQ_CODEC_SIZES;
BENCHMARK(BM_Crc32Zlib) ZEQ_CODEC_SIZES;
BENCHMARK(BM_Crc32Libdeflate) ZEQ_CODEC_SIZES;
BENCHMARK(BM_TwofishCtrNettle) ZEQ_CODEC_SIZES;
BENCHMARK(BM_TwofishCtrGcrypt) ZEQ_CODEC_SIZES;

}  // namespace
