#include "MemberAdding.h"

#include <memory>
#include <thread>

#include "ParallelCompress.h"

namespace vopacktool {

int JobCount(const TOptions& options) {
    if (options.Jobs > 0) return options.Jobs;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

bool AddMembers(TPackWriter& writer, const std::vector<TNewMember>& members, const TOptions& options) {
    const int jobs = JobCount(options);
    // One thread, or nothing to compress: the pack's own streaming addition.
    std::unique_ptr<TCompressionPool> pool;
    if (jobs > 1 && !options.Store && members.size() > 1) pool = std::make_unique<TCompressionPool>(members, jobs, writer.Path());
    for (std::size_t i = 0; i < members.size(); ++i) {
        TPreparedMember prepared;
        const bool added = pool && pool->Take(i, prepared) ? writer.AddPrepared(members[i], prepared)
                                                           : writer.AddFile(members[i], !options.Store);
        if (!added) return false;
    }
    return true;
}

}  // namespace vopacktool
