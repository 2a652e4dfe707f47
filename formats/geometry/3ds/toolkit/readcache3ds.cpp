#include "formats/geometry/3ds/toolkit/readcache3ds.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "formats/geometry/3ds/toolkit/filecontext3ds.h"

namespace zeqsdk_400 {

namespace {

constexpr std::size_t kWindow = 64 * 1024;

readcache3ds* CacheOf(file3ds* ctx) {
    if (!ctx->readcache) ctx->readcache = new readcache3ds;
    return static_cast<readcache3ds*>(ctx->readcache);
}

bool Fill(file3ds* ctx, readcache3ds* cache, std::uint64_t at) {
    cache->bytes.resize(kWindow);
    cache->length = 0;
    cache->start = at;
    if (!ctx->stream || at >= ctx->filesize) return false;
    if (std::fseek(ctx->stream, static_cast<long>(at), SEEK_SET) != 0) return false;
    const std::uint64_t left = ctx->filesize - at;
    const std::size_t want = left < kWindow ? static_cast<std::size_t>(left) : kWindow;
    cache->length = std::fread(cache->bytes.data(), 1, want, ctx->stream);
    return cache->length > 0;
}

}  // namespace

bool ReadAt3ds(file3ds* ctx, std::uint64_t at, void* dst, std::size_t n) {
    if (!ctx || !ctx->stream) return false;
    if (n == 0) return true;
    if (at + n > ctx->filesize) return false;
    readcache3ds* cache = CacheOf(ctx);
    auto* out = static_cast<std::uint8_t*>(dst);
    if (n >= kWindow) {
        // Big arrays go straight to their destination.
        if (std::fseek(ctx->stream, static_cast<long>(at), SEEK_SET) != 0) return false;
        return std::fread(out, n, 1, ctx->stream) == 1;
    }
    while (n > 0) {
        if (at < cache->start || at >= cache->start + cache->length) {
            if (!Fill(ctx, cache, at)) return false;
        }
        const std::size_t offset = static_cast<std::size_t>(at - cache->start);
        const std::size_t take = n < cache->length - offset ? n : cache->length - offset;
        std::memcpy(out, cache->bytes.data() + offset, take);
        out += take;
        at += take;
        n -= take;
    }
    return true;
}

const std::uint8_t* ViewAtSlow3ds(file3ds* ctx, std::uint64_t at, std::size_t n) {
    if (!ctx || !ctx->stream || n == 0 || n > kWindow || at + n > ctx->filesize) return nullptr;
    readcache3ds* cache = CacheOf(ctx);
    if (at < cache->start || at + n > cache->start + cache->length) {
        if (!Fill(ctx, cache, at) || cache->length < n) return nullptr;
    }
    return cache->bytes.data() + (at - cache->start);
}

int ByteAt3ds(file3ds* ctx, std::uint64_t at) {
    std::uint8_t b;
    return ReadAt3ds(ctx, at, &b, 1) ? b : -1;
}

void ReleaseReadCache3ds(file3ds* ctx) {
    if (!ctx) return;
    delete static_cast<readcache3ds*>(ctx->readcache);
    ctx->readcache = nullptr;
}

}  // namespace zeqsdk_400
