// The benchmark data: real files of this machine, read once per program.
#pragma once

#include <string>
#include <vector>

namespace bench {

using Bytes = std::vector<unsigned char>;

struct TCorpus {
    std::string Name;
    Bytes Data;
};

// text: /usr/share/common-licenses/* concatenated; cpp: the headers under
// /usr/include/c++/12/bits/ concatenated; exe: the first 4 MiB of the
// largest of a few well-known programs in /usr/bin. A corpus whose files are
// missing is left out (and said so on stderr).
const std::vector<TCorpus>& Corpora();

// Encodes or decodes a whole buffer through the chunk protocol of the stream
// classes, as the buffer codec and the pack do.
Bytes OstrelEncode(const Bytes& input, bool exhaustive = false);
Bytes OstrelDecode(const Bytes& stream, int decodedSize);
// The same stream through OstrelEncodeParallel on threads threads.
Bytes OstrelEncodeThreads(const Bytes& input, int threads);

}  // namespace bench
