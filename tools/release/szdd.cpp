// SZDD: a 14-byte header (signature, 'A', the replaced name character, the
// expanded length), then LZSS over a 4096-byte ring that starts filled with
// spaces at position 4080. Each flag byte governs eight items, lowest bit
// first: 1 is a literal byte, 0 a two-byte reference of 12 bits of ring
// position and 4 bits of length minus 3.
#include "szdd.h"

#include <cstdint>
#include <vector>

namespace {

const char SIGNATURE[8] = { 'S', 'Z', 'D', 'D', '\x88', '\xF0', '\x27', '\x33' };
const size_t HEADER_SIZE = 14;
const unsigned RING_SIZE = 4096;
const unsigned RING_START = 4080;
const unsigned MIN_MATCH = 3;
const unsigned MAX_MATCH = 18;
// A reference may reach back at most this far, so the ring bytes it names
// have not been overwritten when the decoder reads them.
const size_t MAX_DISTANCE = RING_SIZE - MAX_MATCH;
const unsigned HASH_SIZE = 1 << 14;
const int MAX_CHAIN = 48;

unsigned Hash(const std::string& data, size_t i)
{
    unsigned h = (static_cast<unsigned char>(data[i]) << 10) ^
                 (static_cast<unsigned char>(data[i + 1]) << 5) ^
                 static_cast<unsigned char>(data[i + 2]);
    return h & (HASH_SIZE - 1);
}

}  // namespace

std::string SzddCompress(const std::string& data)
{
    std::string out(SIGNATURE, sizeof SIGNATURE);
    out.push_back('A');
    out.push_back('\0');
    uint32_t length = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));

    std::vector<long> head(HASH_SIZE, -1), previous(data.size(), -1);
    auto insert = [&](size_t i) {
        if (i + MIN_MATCH <= data.size()) {
            unsigned h = Hash(data, i);
            previous[i] = head[h];
            head[h] = static_cast<long>(i);
        }
    };

    size_t i = 0;
    while (i < data.size()) {
        size_t flagAt = out.size();
        out.push_back('\0');
        unsigned char flags = 0;
        for (int item = 0; item < 8 && i < data.size(); ++item) {
            size_t bestLength = 0, bestFrom = 0;
            if (i + MIN_MATCH <= data.size()) {
                long candidate = head[Hash(data, i)];
                for (int chain = 0; candidate >= 0 && chain < MAX_CHAIN;
                     ++chain, candidate = previous[candidate]) {
                    size_t from = static_cast<size_t>(candidate);
                    if (i - from > MAX_DISTANCE)
                        break;
                    size_t n = 0;
                    while (n < MAX_MATCH && i + n < data.size() && data[from + n] == data[i + n])
                        ++n;
                    if (n > bestLength) {
                        bestLength = n;
                        bestFrom = from;
                        if (n == MAX_MATCH)
                            break;
                    }
                }
            }
            if (bestLength >= MIN_MATCH) {
                unsigned position = (RING_START + bestFrom) & (RING_SIZE - 1);
                out.push_back(static_cast<char>(position & 0xFF));
                out.push_back(static_cast<char>(((position >> 4) & 0xF0) | (bestLength - MIN_MATCH)));
                for (size_t k = 0; k < bestLength; ++k)
                    insert(i + k);
                i += bestLength;
            } else {
                flags |= static_cast<unsigned char>(1u << item);
                out.push_back(data[i]);
                insert(i);
                ++i;
            }
        }
        out[flagAt] = static_cast<char>(flags);
    }
    return out;
}

bool IsSzdd(const std::string& file)
{
    return file.size() >= sizeof SIGNATURE && file.compare(0, sizeof SIGNATURE, SIGNATURE, sizeof SIGNATURE) == 0;
}

bool SzddExpand(const std::string& file, std::string* out)
{
    if (file.size() < HEADER_SIZE || !IsSzdd(file) || file[8] != 'A')
        return false;
    uint32_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= static_cast<uint32_t>(static_cast<unsigned char>(file[10 + i])) << (8 * i);
    std::vector<unsigned char> ring(RING_SIZE, ' ');
    unsigned position = RING_START;
    out->clear();
    size_t i = HEADER_SIZE;
    while (i < file.size() && out->size() < length) {
        unsigned flags = static_cast<unsigned char>(file[i++]);
        for (int item = 0; item < 8 && i < file.size() && out->size() < length; ++item) {
            if (flags & (1u << item)) {
                unsigned char c = static_cast<unsigned char>(file[i++]);
                out->push_back(static_cast<char>(c));
                ring[position] = c;
                position = (position + 1) & (RING_SIZE - 1);
            } else {
                if (i + 1 >= file.size())
                    return false;
                unsigned low = static_cast<unsigned char>(file[i]);
                unsigned high = static_cast<unsigned char>(file[i + 1]);
                i += 2;
                unsigned from = low | ((high & 0xF0) << 4);
                unsigned count = (high & 0x0F) + MIN_MATCH;
                for (unsigned k = 0; k < count; ++k) {
                    unsigned char c = ring[(from + k) & (RING_SIZE - 1)];
                    out->push_back(static_cast<char>(c));
                    ring[position] = c;
                    position = (position + 1) & (RING_SIZE - 1);
                }
            }
        }
    }
    return out->size() == length && i == file.size();
}
