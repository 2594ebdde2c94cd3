#include "deflate.h"

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr size_t LITERAL_SYMBOLS = 286;  // bytes, the block's end, 29 lengths
constexpr uint16_t END_OF_BLOCK = 256;
constexpr size_t MIN_RUN = 3, MAX_RUN = 258;
constexpr int CODE_BITS = 15;        // at most, of a byte's or a length's code
constexpr int LENGTH_CODE_BITS = 7;  // of the code that sends the code lengths

// A match's length as deflate sends it: a symbol and extra bits after it.
struct RunLength {
    uint16_t symbol;
    uint8_t extraBits;
    uint8_t extra;
};

const std::array<RunLength, MAX_RUN + 1>& RunLengths() {
    static const std::array<RunLength, MAX_RUN + 1> table = [] {
        // Each symbol's first length and extra bits, from 257 on.
        constexpr uint16_t FIRST[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
        constexpr uint8_t EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
        std::array<RunLength, MAX_RUN + 1> lengths{};
        for (size_t s = 0; s < 29; ++s) {
            // 258 has a symbol of its own, though the one before could reach it.
            const size_t last = s == 28 ? MAX_RUN : size_t(FIRST[s + 1]) - 1;
            for (size_t length = FIRST[s]; length <= last; ++length)
                lengths[length] = {uint16_t(257 + s), EXTRA[s], uint8_t(length - FIRST[s])};
        }
        return lengths;
    }();
    return table;
}

// The lengths of a prefix code for the symbols' frequencies, none longer
// than limit: Huffman's, the frequencies halved until it fits. A symbol of
// no frequency has none, a lone symbol one bit; two or more make a code
// with no gaps.
std::vector<uint8_t> CodeLengths(std::vector<uint32_t> frequency, int limit) {
    std::vector<uint8_t> lengths(frequency.size(), 0);
    std::vector<uint32_t> used;
    for (size_t s = 0; s < frequency.size(); ++s)
        if (frequency[s] > 0) used.push_back(uint32_t(s));
    if (used.size() == 1) lengths[used[0]] = 1;
    if (used.size() < 2) return lengths;
    const size_t count = used.size(), nodes = 2 * count - 1;
    for (;;) {
        // The leaves by frequency, then the nodes in the order they are made,
        // which is by weight too: each joins the two lightest of either.
        std::vector<uint32_t> leaves = used;
        std::stable_sort(leaves.begin(), leaves.end(),
                         [&frequency](uint32_t a, uint32_t b) { return frequency[a] < frequency[b]; });
        std::vector<uint64_t> weight(nodes);
        std::vector<size_t> parent(nodes, 0);
        for (size_t i = 0; i < count; ++i) weight[i] = frequency[leaves[i]];
        size_t leaf = 0, node = count, made = count;
        const auto lightest = [&] {
            return leaf < count && (node == made || weight[leaf] <= weight[node]) ? leaf++ : node++;
        };
        for (; made < nodes; ++made) {
            const size_t a = lightest(), b = lightest();
            weight[made] = weight[a] + weight[b];
            parent[a] = parent[b] = made;
        }
        // A node's parent is made after it: depths from the root down.
        std::vector<int> depth(nodes, 0);
        int deepest = 0;
        for (size_t i = nodes - 1; i-- > 0;) {
            depth[i] = depth[parent[i]] + 1;
            deepest = std::max(deepest, depth[i]);
        }
        if (deepest <= limit) {
            for (size_t i = 0; i < count; ++i) lengths[leaves[i]] = uint8_t(depth[i]);
            return lengths;
        }
        for (const uint32_t s : used) frequency[s] = (frequency[s] + 1) / 2;
    }
}

// The canonical code of each symbol that has a length, its bits reversed,
// since deflate sends a code from its first bit.
std::vector<uint32_t> Codes(const std::vector<uint8_t>& lengths) {
    uint32_t count[CODE_BITS + 1] = {};
    for (const uint8_t length : lengths)
        if (length > 0) ++count[length];
    uint32_t next[CODE_BITS + 1] = {};
    uint32_t code = 0;
    for (int bits = 1; bits <= CODE_BITS; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size(), 0);
    for (size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] == 0) continue;
        const uint32_t canonical = next[lengths[s]]++;
        uint32_t reversed = 0;
        for (int bit = 0; bit < lengths[s]; ++bit) reversed |= (canonical >> bit & 1) << (lengths[s] - 1 - bit);
        codes[s] = reversed;
    }
    return codes;
}

// Bits appended from each byte's lowest up, a 32-bit word at a time, in
// 32-bit registers, which a 32-bit machine shifts in one step.
class BitWriter {
public:
    explicit BitWriter(std::string& out_) : out(out_) {}

    // The lowest count bits of value, count at most 24.
    void Put(uint32_t value, int count) {
        buffer |= value << filled;
        filled += count;
        if (filled < 32) return;
        const char word[4] = {char(buffer), char(buffer >> 8), char(buffer >> 16), char(buffer >> 24)};
        out.append(word, 4);
        filled -= 32;
        // The bits of value past the word; filled was at least 8 before.
        buffer = filled > 0 ? value >> (count - filled) : 0;
    }
    // The last bits, the rest of their byte zero.
    void Finish() {
        for (; filled > 0; filled -= std::min(filled, 8), buffer >>= 8) out.push_back(char(buffer));
    }

private:
    std::string& out;
    uint32_t buffer = 0;
    int filled = 0;  // bits in the buffer, fewer than 32 between calls
};

void AppendWord(std::string& out, uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(char(word >> shift & 0xFF));
}

__m128i Load(const uint8_t* bytes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }

uint32_t Sum32(__m128i lanes) {
    alignas(16) uint32_t lane[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lane), lanes);
    return lane[0] + lane[1] + lane[2] + lane[3];
}

// RFC 1950's Adler-32 of the bytes, sixteen at a time with SSE2: of a run
// of bytes, the sum a is the bytes', and the sum b gains each byte times
// the bytes from it to the run's end, plus the run's length times the a
// before it. Runs are short enough that no lane of a sum passes 32 bits.
uint32_t Adler32(const uint8_t* bytes, size_t size) {
    constexpr uint32_t BASE = 65521;
    constexpr size_t CHUNK = 16;
    constexpr size_t RUN = 5536;  // bytes: 346 chunks
    const __m128i zero = _mm_setzero_si128();
    // Each byte's distance to the chunk's end, counting itself.
    const __m128i firstHalf = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
    const __m128i secondHalf = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
    uint64_t a = 1, b = 0;
    while (size >= CHUNK) {
        const size_t chunks = std::min(size, RUN) / CHUNK;
        __m128i sum = zero, weighted = zero, before = zero;  // before: the chunks' a before each, summed
        for (size_t n = 0; n < chunks; ++n, bytes += CHUNK) {
            const __m128i chunk = Load(bytes);
            before = _mm_add_epi32(before, sum);
            sum = _mm_add_epi32(sum, _mm_sad_epu8(chunk, zero));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(chunk, zero), firstHalf));
            weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(chunk, zero), secondHalf));
        }
        size -= chunks * CHUNK;
        b = (b + chunks * CHUNK * a + uint64_t(CHUNK) * Sum32(before) + Sum32(weighted)) % BASE;
        a = (a + Sum32(sum)) % BASE;
    }
    for (; size > 0; --size, ++bytes) {
        a += *bytes;
        b += a;
    }
    return uint32_t((b % BASE) << 16 | a % BASE);
}

// How many bytes from the first are the same as value, of at most most:
// sixteen compared at once while that many are left.
size_t RunOf(const uint8_t* bytes, uint8_t value, size_t most) {
    const __m128i fill = _mm_set1_epi8(char(value));
    size_t run = 0;
    for (; run + 16 <= most; run += 16) {
        const uint32_t same = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(Load(bytes + run), fill)));
        if (same != 0xFFFF) return run + uint32_t(__builtin_ctz(~same));
    }
    while (run < most && bytes[run] == value) ++run;
    return run;
}

// Both codes' lengths, the bytes' and lengths' then the distances', as
// deflate sends them: a symbol each, runs of zeros as one (17 and 18).
struct LengthSymbol {
    uint8_t symbol;
    uint8_t extra;
};

std::vector<LengthSymbol> LengthSequence(const std::vector<uint8_t>& lengths) {
    std::vector<LengthSymbol> sequence;
    for (size_t i = 0; i < lengths.size();) {
        size_t zeros = 0;
        while (i + zeros < lengths.size() && lengths[i + zeros] == 0 && zeros < 138) ++zeros;
        if (zeros >= 11) sequence.push_back({18, uint8_t(zeros - 11)});
        else if (zeros >= 3) sequence.push_back({17, uint8_t(zeros - 3)});
        else zeros = 0;
        if (zeros > 0) {
            i += zeros;
            continue;
        }
        sequence.push_back({lengths[i], 0});
        ++i;
    }
    return sequence;
}

}  // namespace

std::string ZlibStream(const uint8_t* bytes, size_t size) {
    // Each byte as itself (below 256), each run of the byte before as 256 +
    // its length, which is all that matches one back can say.
    const std::array<RunLength, MAX_RUN + 1>& runLengths = RunLengths();
    std::vector<uint16_t> symbols;
    symbols.reserve(size);
    std::vector<uint32_t> frequency(LITERAL_SYMBOLS, 0);
    for (size_t i = 0; i < size;) {
        // A run is worth a match from three bytes like the one before: all
        // four at once in one word, then byte by byte.
        size_t run = 0;
        if (i > 0 && i + MIN_RUN <= size) {
            uint32_t word;
            std::memcpy(&word, bytes + i - 1, sizeof word);
            if (word == bytes[i - 1] * 0x01010101u)
                run = MIN_RUN + RunOf(bytes + i + MIN_RUN, bytes[i - 1], std::min(MAX_RUN, size - i) - MIN_RUN);
        }
        if (run >= MIN_RUN) {
            symbols.push_back(uint16_t(256 + run));
            ++frequency[runLengths[run].symbol];
            i += run;
        } else {
            symbols.push_back(bytes[i]);
            ++frequency[bytes[i]];
            ++i;
        }
    }
    ++frequency[END_OF_BLOCK];
    const std::vector<uint8_t> literalLengths = CodeLengths(frequency, CODE_BITS);
    const std::vector<uint32_t> literalCodes = Codes(literalLengths);

    // One distance, 1, of a one-bit code: its length follows the others'.
    size_t literalCount = LITERAL_SYMBOLS;
    while (literalCount > 257 && literalLengths[literalCount - 1] == 0) --literalCount;
    std::vector<uint8_t> lengths(literalLengths.begin(), literalLengths.begin() + std::ptrdiff_t(literalCount));
    lengths.push_back(1);
    const std::vector<LengthSymbol> sequence = LengthSequence(lengths);
    std::vector<uint32_t> lengthFrequency(19, 0);
    for (const LengthSymbol& s : sequence) ++lengthFrequency[s.symbol];
    // The code of the lengths must have no gaps: two symbols at least.
    if (std::count(lengthFrequency.begin(), lengthFrequency.end(), 0u) > 17)
        ++lengthFrequency[lengthFrequency[0] > 0 ? 1 : 0];
    const std::vector<uint8_t> lengthLengths = CodeLengths(lengthFrequency, LENGTH_CODE_BITS);
    const std::vector<uint32_t> lengthCodes = Codes(lengthLengths);
    constexpr uint8_t ORDER[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    size_t orderCount = 19;
    while (orderCount > 4 && lengthLengths[ORDER[orderCount - 1]] == 0) --orderCount;

    std::string out;
    out.reserve(size / 2 + 1024);
    out += "\x78\x01";  // deflate, a 32 KB window, no dictionary
    BitWriter bits(out);
    bits.Put(1, 1);  // the last block
    bits.Put(2, 2);  // with codes of its own
    bits.Put(uint32_t(literalCount - 257), 5);
    bits.Put(0, 5);  // one distance code
    bits.Put(uint32_t(orderCount - 4), 4);
    for (size_t k = 0; k < orderCount; ++k) bits.Put(lengthLengths[ORDER[k]], 3);
    constexpr int EXTRA_BITS[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
    for (const LengthSymbol& s : sequence) {
        bits.Put(lengthCodes[s.symbol], lengthLengths[s.symbol]);
        if (EXTRA_BITS[s.symbol] > 0) bits.Put(s.extra, EXTRA_BITS[s.symbol]);
    }
    for (const uint16_t symbol : symbols) {
        if (symbol < 256) {
            bits.Put(literalCodes[symbol], literalLengths[symbol]);
            continue;
        }
        // The length, its extra bits and distance 1's code, 0, at once.
        const RunLength& run = runLengths[symbol - 256];
        const int length = literalLengths[run.symbol];
        bits.Put(literalCodes[run.symbol] | uint32_t(run.extra) << length, length + run.extraBits + 1);
    }
    bits.Put(literalCodes[END_OF_BLOCK], literalLengths[END_OF_BLOCK]);
    bits.Finish();
    AppendWord(out, Adler32(bytes, size));
    return out;
}
