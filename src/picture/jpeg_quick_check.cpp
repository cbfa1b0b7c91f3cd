#include "picture/jpeg_quick_check.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Over this side the sums of the DC differences could grow past what libjpeg checks
// for; the check is meant for the stored pictures, a few hundred points a side.
constexpr int kLargestSide = 1024;
constexpr int kFastBits = 10;
// A fast entry's flag: the bits after the code (as many as the symbol's low four bits
// say) are counted in its length.
constexpr std::uint16_t kWithExtra = 0x4000;

// Set bits of a coefficient mask, without a library call on processors where the
// instruction is not assumed.
int CountBits(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return int((x * 0x0101010101010101) >> 56);
}

// Thrown inside the walk for anything it cannot vouch for.
struct Unsure
{
};

[[noreturn]] void Doubt()
{
    throw Unsure {};
}

struct RawTable
{
    bool defined = false;
    std::array<std::uint8_t, 17> counts {}; // codes of each length, 1..16
    std::array<std::uint8_t, 256> symbols {};
};

// Canonical Huffman decoding as libjpeg builds it, including its refusals (a table
// whose codes overflow their length, a DC symbol over 15).
struct HuffmanTable
{
    // By the next kFastBits bits: the bits to skip << 8 | symbol (with kWithExtra when
    // they include the extra bits); 0 for a longer code.
    std::array<std::uint16_t, 1 << kFastBits> fast {};
    std::array<std::int32_t, 18> maxCode {};
    std::array<std::int32_t, 17> offset {};
    std::array<std::uint8_t, 256> symbols {};

    void build(const RawTable &raw, bool dc)
    {
        if (!raw.defined)
            Doubt();
        symbols = raw.symbols;
        fast.fill(0);
        std::int32_t code = 0;
        int p = 0;
        for (int length = 1; length <= 16; ++length) {
            const int count = raw.counts[std::size_t(length)];
            offset[std::size_t(length)] = p - code;
            for (int i = 0; i < count; ++i, ++p, ++code) {
                // libjpeg refuses a DC symbol over 15 and a table that uses the code
                // of all ones.
                if ((dc && symbols[std::size_t(p)] > 15) || code >= (1 << length) - 1)
                    Doubt();
                if (length <= kFastBits) {
                    const int symbol = symbols[std::size_t(p)];
                    const int whole = length + (symbol & 15);
                    const auto entry = whole <= kFastBits
                        ? std::uint16_t(kWithExtra | whole << 8 | symbol)
                        : std::uint16_t(length << 8 | symbol);
                    const int shift = kFastBits - length;
                    for (int fill = 0; fill < (1 << shift); ++fill)
                        fast[std::size_t((code << shift) | fill)] = entry;
                }
            }
            maxCode[std::size_t(length)] = count > 0 ? code - 1 : -1;
            code <<= 1;
        }
        maxCode[17] = 0x7FFFFFFF;
    }
};

// Reads the entropy-coded data of a scan as libjpeg does: a 0xFF byte is followed by
// 0x00 when it is data; fill bytes 0xFF are skipped; any other byte is a marker, where
// the data ends. Past the end it gives zero bits and remembers that it did.
class BitReader
{
public:
    BitReader(const std::uint8_t *data, std::size_t size, std::size_t at)
        : data_(data)
        , size_(size)
        , at_(at)
    { }

    std::uint32_t take(int count)
    {
        if (count == 0)
            return 0;
        if (bits_ < count)
            fill();
        const auto value = std::uint32_t(buffer_ >> (64 - count));
        buffer_ <<= count;
        bits_ -= count;
        return value;
    }

    // Skips up to 63 bits (a refinement's correction bits): filling leaves at least 57
    // in the buffer.
    void skipBits(int count)
    {
        if (count > 56) {
            take(16);
            count -= 16;
        }
        if (bits_ < count)
            fill();
        buffer_ <<= count;
        bits_ -= count;
    }

    // Reads a code and the bits that follow it (as many as the symbol's low four bits
    // say: a DC difference, an AC coefficient, a refinement's sign). Returns the symbol.
    int decode(const HuffmanTable &table)
    {
        if (bits_ < 16)
            fill();
        const auto look = std::uint32_t(buffer_ >> 48);
        const std::uint16_t quick = table.fast[look >> (16 - kFastBits)];
        if (quick != 0) {
            const int length = (quick >> 8) & 0x3F;
            buffer_ <<= length;
            bits_ -= length;
            if ((quick & kWithExtra) == 0)
                take(quick & 15);
            return quick & 0xFF;
        }
        for (int length = kFastBits + 1; length <= 16; ++length) {
            const auto code = std::int32_t(look >> (16 - length));
            if (code <= table.maxCode[std::size_t(length)]) {
                buffer_ <<= length;
                bits_ -= length;
                const int symbol
                    = table.symbols[std::size_t(code + table.offset[std::size_t(length)])];
                take(symbol & 15);
                return symbol;
            }
        }
        Doubt(); // libjpeg warns of a bad code here
    }

    // After a scan or a restart interval: nothing but the padding of the last byte may
    // be left before the marker. Returns the marker and where its segment starts.
    std::uint8_t finish(std::size_t &next)
    {
        while (!marker_) {
            if (bits_ > 56)
                Doubt();
            fill();
        }
        // Zeros past the marker that were read as data: libjpeg warns that the data
        // ended too soon. (Reading on past the marker only adds zeros, so a deficit
        // once there stays.)
        if (bits_ < padded_ || bits_ - padded_ >= 8)
            Doubt(); // whole bytes of data nobody read
        next = at_;
        return marker_;
    }

private:
    void fill()
    {
        // Whole bytes at a time while no 0xFF is near.
        if (!marker_ && size_ - at_ >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, data_ + at_, sizeof word);
            if constexpr (std::endian::native == std::endian::little)
                word = __builtin_bswap64(word);
            const std::uint64_t inverse = ~word;
            const bool anyFF
                = ((inverse - 0x0101010101010101) & ~inverse & 0x8080808080808080) != 0;
            if (!anyFF) {
                const int bytes = (64 - bits_) >> 3;
                buffer_ |= (word >> (64 - 8 * bytes)) << (64 - bits_ - 8 * bytes);
                bits_ += 8 * bytes;
                at_ += std::size_t(bytes);
                return;
            }
        }
        while (bits_ <= 56) {
            std::uint64_t byte = 0;
            if (!marker_) {
                if (at_ >= size_)
                    Doubt(); // the file ends inside a scan
                byte = data_[at_++];
                if (byte == 0xFF) {
                    std::uint8_t next = 0;
                    do {
                        if (at_ >= size_)
                            Doubt();
                        next = data_[at_++];
                    } while (next == 0xFF);
                    if (next != 0)
                        marker_ = next;
                }
            }
            if (marker_) {
                padded_ += 8;
                byte = 0;
            }
            buffer_ |= byte << (56 - bits_);
            bits_ += 8;
        }
    }

    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t at_;
    std::uint64_t buffer_ = 0;
    int bits_ = 0;
    int padded_ = 0; // of bits_, the zeros put in past the marker
    std::uint8_t marker_ = 0;
};

struct Component
{
    int id = 0;
    int h = 1;
    int v = 1;
    int quantTable = 0;
    bool latched = false;
    int widthBlocks = 0;
    int heightBlocks = 0;
    std::array<int, 64> coefBits {}; // -1 before any scan
    std::vector<std::uint64_t> nonzero; // bit k: coefficient k in zigzag order
};

struct ScanPart
{
    Component *component;
    const HuffmanTable *dc;
    const HuffmanTable *ac;
    int blocks; // of the component in one MCU
};

class Walk
{
public:
    Walk(const QByteArray &jpeg, int maxSide, int maxScans)
        : data_(reinterpret_cast<const std::uint8_t *>(jpeg.constData()))
        , size_(std::size_t(jpeg.size()))
        , maxSide_(std::min(maxSide, kLargestSide))
        , maxScans_(maxScans)
    { }

    QuickJpegCheck run()
    {
        if (size_ < 4 || data_[0] != 0xFF || data_[1] != 0xD8)
            Doubt();
        std::size_t at = 2;
        std::uint8_t marker = nextMarker(at);
        for (;;) {
            switch (marker) {
            case 0xC0:
            case 0xC1:
            case 0xC2:
                frame(segment(at), marker == 0xC2);
                break;
            case 0xC4:
                huffmanTables(segment(at));
                break;
            case 0xDB:
                quantTables(segment(at));
                break;
            case 0xDD: {
                const Segment dri = segment(at);
                if (dri.size != 2)
                    Doubt();
                restartInterval_ = dri.data[0] << 8 | dri.data[1];
                break;
            }
            case 0xDA:
                marker = scan(segment(at), at);
                continue; // the scan ends at the next marker
            case 0xD9:
                if (scans_ == 0)
                    Doubt();
                return { true, width_, height_ };
            default:
                if ((marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE)
                    segment(at);
                else
                    Doubt(); // other coding processes, restart markers out of place, ...
            }
            marker = nextMarker(at);
        }
    }

private:
    struct Segment
    {
        const std::uint8_t *data;
        std::size_t size;
    };

    // The marker at data_[at], after any fill bytes; no stray byte may come before it.
    std::uint8_t nextMarker(std::size_t &at)
    {
        if (at >= size_ || data_[at] != 0xFF)
            Doubt();
        while (at < size_ && data_[at] == 0xFF)
            ++at;
        if (at >= size_ || data_[at] == 0)
            Doubt();
        return data_[at++];
    }

    Segment segment(std::size_t &at)
    {
        if (at + 2 > size_)
            Doubt();
        const std::size_t length = std::size_t(data_[at] << 8 | data_[at + 1]);
        if (length < 2 || at + length > size_)
            Doubt();
        const Segment s { data_ + at + 2, length - 2 };
        at += length;
        return s;
    }

    void frame(const Segment &s, bool progressive)
    {
        if (framed_ || s.size < 6 || s.data[0] != 8)
            Doubt();
        framed_ = true;
        progressive_ = progressive;
        height_ = s.data[1] << 8 | s.data[2];
        width_ = s.data[3] << 8 | s.data[4];
        const int count = s.data[5];
        if (height_ < 1 || width_ < 1 || height_ > maxSide_ || width_ > maxSide_)
            Doubt();
        if ((count != 1 && count != 3) || s.size != std::size_t(6 + 3 * count))
            Doubt();
        components_.resize(std::size_t(count));
        for (int i = 0; i < count; ++i) {
            Component &c = components_[std::size_t(i)];
            const std::uint8_t *d = s.data + 6 + 3 * i;
            c.id = d[0];
            c.h = d[1] >> 4;
            c.v = d[1] & 15;
            c.quantTable = d[2];
            c.coefBits.fill(-1);
            for (int j = 0; j < i; ++j) {
                if (components_[std::size_t(j)].id == c.id)
                    Doubt();
            }
            // The usual subsampling: of the first component only, by at most 2.
            const bool usual
                = i == 0 ? (c.h <= 2 && c.v <= 2 && c.h >= 1 && c.v >= 1) : (c.h == 1 && c.v == 1);
            if (!usual || c.quantTable > 3)
                Doubt();
        }
        maxH_ = components_[0].h;
        maxV_ = components_[0].v;
        for (Component &c : components_) {
            c.widthBlocks = (width_ * c.h + 8 * maxH_ - 1) / (8 * maxH_);
            c.heightBlocks = (height_ * c.v + 8 * maxV_ - 1) / (8 * maxV_);
            if (progressive_)
                c.nonzero.assign(std::size_t(c.widthBlocks) * std::size_t(c.heightBlocks), 0);
        }
    }

    void huffmanTables(Segment s)
    {
        while (s.size > 0) {
            if (s.size < 17)
                Doubt();
            const int index = s.data[0];
            if ((index & 0xEC) != 0)
                Doubt(); // a class other than DC or AC, or a table past the fourth
            RawTable &raw = (index & 0x10 ? ac_ : dc_)[std::size_t(index & 3)];
            std::size_t total = 0;
            for (int l = 1; l <= 16; ++l) {
                raw.counts[std::size_t(l)] = s.data[l];
                total += s.data[l];
            }
            if (total > 256 || s.size < 17 + total)
                Doubt();
            raw.symbols.fill(0);
            std::copy_n(s.data + 17, total, raw.symbols.begin());
            raw.defined = true;
            s.data += 17 + total;
            s.size -= 17 + total;
        }
    }

    void quantTables(Segment s)
    {
        while (s.size > 0) {
            const int precision = s.data[0] >> 4;
            const int index = s.data[0] & 15;
            const std::size_t bytes = 1 + 64 * std::size_t(precision + 1);
            if (precision > 1 || index > 3 || s.size < bytes)
                Doubt();
            quantDefined_[std::size_t(index)] = true;
            s.data += bytes;
            s.size -= bytes;
        }
    }

    // Reads the scan's header, checks it as libjpeg would and decodes its data.
    // Returns the marker that ends the data; at is left after it.
    std::uint8_t scan(const Segment &s, std::size_t &at)
    {
        if (!framed_ || ++scans_ > maxScans_ || (!progressive_ && scans_ > 1))
            Doubt();
        const int count = s.size > 0 ? s.data[0] : 0;
        if (count < 1 || count > 4 || s.size != std::size_t(4 + 2 * count))
            Doubt();
        const int ss = s.data[1 + 2 * count];
        const int se = s.data[2 + 2 * count];
        const int ah = s.data[3 + 2 * count] >> 4;
        const int al = s.data[3 + 2 * count] & 15;
        std::vector<Component *> inScan;
        std::array<int, 4> dcIndex {};
        std::array<int, 4> acIndex {};
        for (int i = 0; i < count; ++i) {
            const int id = s.data[1 + 2 * i];
            const auto found = std::find_if(components_.begin(), components_.end(),
                [id](const Component &c) { return c.id == id; });
            if (found == components_.end()
                || std::find(inScan.begin(), inScan.end(), &*found) != inScan.end())
                Doubt();
            inScan.push_back(&*found);
            dcIndex[std::size_t(i)] = s.data[2 + 2 * i] >> 4;
            acIndex[std::size_t(i)] = s.data[2 + 2 * i] & 15;
            if (dcIndex[std::size_t(i)] > 3 || acIndex[std::size_t(i)] > 3)
                Doubt();
            if (!found->latched) {
                if (!quantDefined_[std::size_t(found->quantTable)])
                    Doubt();
                found->latched = true;
            }
        }

        const bool dcBand = ss == 0;
        if (!progressive_) {
            if (count != int(components_.size()) || ss != 0 || se != 63 || ah != 0 || al != 0)
                Doubt();
        } else {
            const bool bad = (dcBand ? se != 0 : (ss > se || se > 63 || count != 1))
                || (ah != 0 && al != ah - 1) || al > 13;
            if (bad)
                Doubt();
            for (Component *c : inScan) {
                if (!dcBand && c->coefBits[0] < 0)
                    Doubt();
                for (int k = ss; k <= se; ++k) {
                    if (ah != std::max(c->coefBits[std::size_t(k)], 0))
                        Doubt();
                    c->coefBits[std::size_t(k)] = al;
                }
            }
        }

        std::vector<ScanPart> parts;
        for (int i = 0; i < count; ++i) {
            Component *component = inScan[std::size_t(i)];
            ScanPart part { component, nullptr, nullptr,
                count == 1 ? 1 : component->h * component->v };
            const bool needDc = !progressive_ || (dcBand && ah == 0);
            const bool needAc = !progressive_ || !dcBand;
            if (needDc) {
                dcTables_[std::size_t(i)].build(dc_[std::size_t(dcIndex[std::size_t(i)])], true);
                part.dc = &dcTables_[std::size_t(i)];
            }
            if (needAc) {
                acTables_[std::size_t(i)].build(ac_[std::size_t(acIndex[std::size_t(i)])], false);
                part.ac = &acTables_[std::size_t(i)];
            }
            parts.push_back(part);
        }

        // The scan's MCUs: one block each when the scan has one component, else the
        // blocks of every component over the frame's MCU grid.
        int mcus = 0;
        if (count == 1) {
            mcus = inScan[0]->widthBlocks * inScan[0]->heightBlocks;
        } else {
            mcus = ((width_ + 8 * maxH_ - 1) / (8 * maxH_))
                * ((height_ + 8 * maxV_ - 1) / (8 * maxV_));
        }

        BitReader bits(data_, size_, at);
        int restartNumber = 0;
        int eobRun = 0;
        for (int mcu = 0; mcu < mcus; ++mcu) {
            if (restartInterval_ != 0 && mcu != 0 && mcu % restartInterval_ == 0) {
                std::size_t next = 0;
                if (bits.finish(next) != 0xD0 + restartNumber)
                    Doubt();
                restartNumber = (restartNumber + 1) & 7;
                bits = BitReader(data_, size_, next);
                eobRun = 0;
            }
            if (!progressive_ || dcBand) {
                for (const ScanPart &part : parts) {
                    for (int b = 0; b < part.blocks; ++b) {
                        if (!progressive_)
                            sequentialBlock(bits, part);
                        else if (ah == 0)
                            bits.decode(*part.dc); // DC first: a difference
                        else
                            bits.take(1); // DC refinement: one bit
                    }
                }
            } else {
                std::uint64_t &nonzero = parts[0].component->nonzero[std::size_t(mcu)];
                if (ah == 0)
                    eobRun = acFirst(bits, *parts[0].ac, ss, se, eobRun, nonzero);
                else
                    eobRun = acRefine(bits, *parts[0].ac, ss, se, eobRun, nonzero);
            }
        }
        return bits.finish(at);
    }

    static void sequentialBlock(BitReader &bits, const ScanPart &part)
    {
        bits.decode(*part.dc);
        for (int k = 1; k < 64; ++k) {
            const int symbol = bits.decode(*part.ac);
            const int run = symbol >> 4;
            const int size = symbol & 15;
            if (size != 0) {
                k += run;
                if (k > 63)
                    Doubt();
            } else {
                if (run != 15)
                    break;
                k += 15;
            }
        }
    }

    static int acFirst(BitReader &bits, const HuffmanTable &table, int ss, int se, int eobRun,
        std::uint64_t &block)
    {
        if (eobRun > 0)
            return eobRun - 1;
        std::uint64_t nonzero = 0; // a local, as in acRefine
        for (int k = ss; k <= se; ++k) {
            const int symbol = bits.decode(table);
            int run = symbol >> 4;
            const int size = symbol & 15;
            if (size != 0) {
                k += run;
                if (k > se)
                    Doubt();
                nonzero |= std::uint64_t(1) << k;
            } else if (run == 15) {
                k += 15;
            } else {
                eobRun = 1 << run;
                if (run != 0)
                    eobRun += int(bits.take(run));
                block |= nonzero;
                return eobRun - 1;
            }
        }
        block |= nonzero;
        return 0;
    }

    // Bits k and up to last of a coefficient mask.
    static std::uint64_t Band(int k, int last)
    {
        return (~std::uint64_t(0) >> (63 - last)) & (~std::uint64_t(0) << k);
    }

    static int acRefine(BitReader &bits, const HuffmanTable &table, int ss, int se, int eobRun,
        std::uint64_t &block)
    {
        std::uint64_t nonzero = block; // a local: a store to block could touch bits' buffer
        int k = ss;
        if (eobRun == 0) {
            while (k <= se) {
                const int symbol = bits.decode(table);
                const int run = symbol >> 4;
                const int size = symbol & 15;
                if (size != 0) {
                    if (size != 1)
                        Doubt(); // libjpeg warns of a bad code
                } else if (run != 15) {
                    eobRun = 1 << run;
                    if (run != 0)
                        eobRun += int(bits.take(run));
                    break;
                }
                // The run passes over that many zero coefficients, and a correction
                // bit comes for every nonzero one on the way; it ends at the next zero,
                // which a coefficient of size 1 makes nonzero.
                std::uint64_t zeros = ~nonzero & Band(k, se);
                for (int r = run; r > 0 && zeros != 0; --r)
                    zeros &= zeros - 1;
                const int stop = zeros != 0 ? std::countr_zero(zeros) : se + 1;
                if (stop > k)
                    bits.skipBits(CountBits(nonzero & Band(k, stop - 1)));
                k = stop;
                if (size != 0) {
                    if (k > se)
                        Doubt();
                    nonzero |= std::uint64_t(1) << k;
                }
                ++k;
            }
        }
        block = nonzero;
        if (eobRun > 0) {
            if (k <= se)
                bits.skipBits(CountBits(nonzero & Band(k, se)));
            return eobRun - 1;
        }
        return 0;
    }

    const std::uint8_t *data_;
    std::size_t size_;
    int maxSide_;
    int maxScans_;
    bool framed_ = false;
    bool progressive_ = false;
    int width_ = 0;
    int height_ = 0;
    int maxH_ = 1;
    int maxV_ = 1;
    int restartInterval_ = 0;
    int scans_ = 0;
    std::vector<Component> components_;
    std::array<RawTable, 4> dc_ {};
    std::array<RawTable, 4> ac_ {};
    std::array<bool, 4> quantDefined_ {};
    std::array<HuffmanTable, 4> dcTables_ {};
    std::array<HuffmanTable, 4> acTables_ {};
};

} // namespace

QuickJpegCheck CheckJpegQuickly(const QByteArray &jpeg, int maxSide, int maxScans)
{
    try {
        return Walk(jpeg, maxSide, maxScans).run();
    } catch (const Unsure &) {
        return {};
    }
}
