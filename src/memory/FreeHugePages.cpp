#include "FreeHugePages.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {

namespace {

std::string_view nextWord(std::string_view& line) {
    std::size_t start = 0;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    std::size_t end = start;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t')
        ++end;
    const std::string_view word = line.substr(start, end - start);
    line.remove_prefix(end);
    return word;
}

bool readCount(std::string_view word, std::uint64_t& count) {
    if (word.empty()) return false;
    count = 0;
    for (char c : word) {
        if (c < '0' || c > '9' || count > (UINT64_MAX - 9) / 10) return false;
        count = count * 10 + std::uint64_t(c - '0');
    }
    return true;
}

// Nothing for a line that is not a zone's.
std::optional<std::size_t> runsOfLine(std::string_view line, int hugeOrder) {
    // "Node 0, zone   Normal  c0 c1 ...": the counts follow the zone's name.
    const std::size_t zone = line.find("zone");
    if (zone == std::string_view::npos) return std::nullopt;
    line.remove_prefix(zone + 4);
    if (nextWord(line) == "DMA") return 0;
    std::uint64_t runs = 0;
    std::uint64_t count = 0;
    for (int order = 0; readCount(nextWord(line), count); ++order) {
        if (order < hugeOrder) continue;
        const int shift = order - hugeOrder;
        if (shift >= 32 || count > (UINT64_MAX - runs) >> shift) return SIZE_MAX; // plenty
        runs += count << shift;
    }
    return std::size_t(std::min<std::uint64_t>(runs, SIZE_MAX));
}

} // namespace

std::optional<std::size_t> freeHugePageRuns(std::string_view buddyinfo, int hugeOrder) {
    std::optional<std::size_t> runs;
    while (!buddyinfo.empty()) {
        const std::size_t end = buddyinfo.find('\n');
        if (const auto lineRuns = runsOfLine(buddyinfo.substr(0, end), hugeOrder)) {
            const std::size_t before = runs.value_or(0);
            runs = *lineRuns > SIZE_MAX - before ? SIZE_MAX : before + *lineRuns;
        }
        if (end == std::string_view::npos) break;
        buddyinfo.remove_prefix(end + 1);
    }
    return runs;
}

} // namespace vistrel
