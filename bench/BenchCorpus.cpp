#include "bench/BenchCorpus.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "vopack/OstrelDecode.h"
#include "vopack/OstrelEncode.h"
#include "vopack/OstrelParallel.h"
#include "vopack/StreamFormat.h"
#include "vopack/internal/OstrelPump.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

Bytes ReadFile(const fs::path& path, std::size_t limit) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return {};
    Bytes data(static_cast<std::size_t>(std::min<std::uintmax_t>(size, limit)));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<std::size_t>(in.gcount()));
    return data;
}

// Regular files of dir (not recursing, and not the symbolic links that name
// another file of it twice), sorted by name so runs compare.
Bytes Concatenate(const fs::path& dir) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec))
        if (entry.is_regular_file() && !entry.is_symlink()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    Bytes all;
    for (const auto& f : files) {
        const Bytes one = ReadFile(f, SIZE_MAX);
        all.insert(all.end(), one.begin(), one.end());
    }
    return all;
}

Bytes LargestProgram() {
    const char* const candidates[] = {"/usr/bin/cmake", "/usr/bin/gdb", "/usr/bin/git", "/usr/bin/perl",
                                      "/usr/bin/bash"};
    fs::path best;
    std::uintmax_t bestSize = 0;
    for (const char* c : candidates) {
        std::error_code ec;
        const auto size = fs::file_size(c, ec);
        if (!ec && size > bestSize) {
            bestSize = size;
            best = c;
        }
    }
    return best.empty() ? Bytes{} : ReadFile(best, std::size_t{4} << 20);
}

std::vector<TCorpus> Load() {
    std::vector<TCorpus> all = {
        {"text", Concatenate("/usr/share/common-licenses")},
        {"cpp", Concatenate("/usr/include/c++/12/bits")},
        {"exe", LargestProgram()},
    };
    std::vector<TCorpus> found;
    for (auto& c : all) {
        if (c.Data.empty())
            std::fprintf(stderr, "corpus %s: no files found, left out\n", c.Name.c_str());
        else
            found.push_back(std::move(c));
    }
    return found;
}

}  // namespace

const std::vector<TCorpus>& Corpora() {
    static const std::vector<TCorpus> corpora = Load();
    return corpora;
}

Bytes OstrelEncode(const Bytes& input, bool exhaustive) {
    TOstrelEncode enc;
    enc.UseReferenceSearch = exhaustive;
    const int size = static_cast<int>(input.size());
    const unsigned char* area = enc.Open(size);
    Bytes stream;
    if (area == nullptr) return stream;
    stream.reserve(static_cast<std::size_t>(ostrel::MaxStreamSize(size)));
    ostrel::PumpEncode(enc, area, size, ostrel::MemorySource(input.data()), [&](const unsigned char* data, int n) {
        stream.insert(stream.end(), data, data + n);
        return true;
    });
    return stream;
}

Bytes OstrelEncodeThreads(const Bytes& input, int threads) {
    const int size = static_cast<int>(input.size());
    Bytes stream;
    stream.reserve(static_cast<std::size_t>(ostrel::MaxStreamSize(size)));
    const auto source = [&input](int offset, int) { return input.data() + offset; };
    const auto sink = [&stream](const unsigned char* data, int n) {
        stream.insert(stream.end(), data, data + n);
        return true;
    };
    if (OstrelEncodeParallel(size, threads, source, sink) != oprDone) stream.clear();
    return stream;
}

Bytes OstrelDecode(const Bytes& stream, int decodedSize) {
    TOstrelDecode dec;
    const unsigned char* area = dec.Open(decodedSize, static_cast<int>(stream.size()));
    Bytes out;
    if (area == nullptr) return out;
    out.reserve(static_cast<std::size_t>(decodedSize));
    ostrel::PumpDecode(dec, area, static_cast<int>(stream.size()), decodedSize, ostrel::MemorySource(stream.data()),
                       [&](const unsigned char* data, int n) {
                           out.insert(out.end(), data, data + n);
                           return true;
                       });
    return out;
}

}  // namespace bench
