#include "core/project/TextCodec.h"

#include <iconv.h>

#include <vector>

namespace varnel {

namespace {

// Both directions of the GBK table for the Basic Multilingual Plane. A zero
// entry means "no such character". GBK double-byte codes are indexed by
// (lead - 0x81) * 192 + (trail - 0x40).
struct GbkTables {
    std::vector<std::uint16_t> toGbk;    // code point -> GBK code (ASCII below 0x80)
    std::vector<std::uint16_t> fromGbk;  // double-byte index -> code point

    GbkTables() : toGbk(0x10000, 0), fromGbk(126 * 192, 0)
    {
        for (std::uint32_t c = 1; c < 0x80; ++c) toGbk[c] = static_cast<std::uint16_t>(c);
        iconv_t decode = iconv_open("UTF-32LE", "GBK");
        if (decode == reinterpret_cast<iconv_t>(-1)) return;
        // Every double-byte code, decoded one at a time; the encode table is the
        // inverse, and where two codes decode to one character the first wins,
        // which is the code iconv itself encodes to for every such pair in glibc.
        for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (trail == 0x7F) continue;
                char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                char out[8];
                char* inp = in;
                char* outp = out;
                std::size_t inLeft = 2;
                std::size_t outLeft = sizeof out;
                iconv(decode, nullptr, nullptr, nullptr, nullptr);
                if (iconv(decode, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) ||
                    outLeft != sizeof out - 4)
                    continue;
                std::uint32_t cp =
                    static_cast<std::uint8_t>(out[0]) | static_cast<std::uint8_t>(out[1]) << 8 |
                    static_cast<std::uint8_t>(out[2]) << 16 |
                    static_cast<std::uint32_t>(static_cast<std::uint8_t>(out[3])) << 24;
                if (cp < 0x80 || cp > 0xFFFF) continue;
                fromGbk[(lead - 0x81) * 192 + (trail - 0x40)] = static_cast<std::uint16_t>(cp);
                if (toGbk[cp] == 0) toGbk[cp] = static_cast<std::uint16_t>(lead << 8 | trail);
            }
        }
        iconv_close(decode);
        // Keep the encode direction exactly as iconv has it.
        iconv_t encode = iconv_open("GBK", "UTF-32LE");
        if (encode == reinterpret_cast<iconv_t>(-1)) return;
        for (std::uint32_t cp = 0x80; cp < 0x10000; ++cp) {
            if (toGbk[cp] == 0) continue;
            char in[4] = {static_cast<char>(cp & 0xFF), static_cast<char>(cp >> 8), 0, 0};
            char out[8];
            char* inp = in;
            char* outp = out;
            std::size_t inLeft = 4;
            std::size_t outLeft = sizeof out;
            iconv(encode, nullptr, nullptr, nullptr, nullptr);
            if (iconv(encode, &inp, &inLeft, &outp, &outLeft) == static_cast<std::size_t>(-1) ||
                outLeft != sizeof out - 2) {
                toGbk[cp] = 0;
                continue;
            }
            toGbk[cp] = static_cast<std::uint16_t>(static_cast<std::uint8_t>(out[0]) << 8 |
                                                   static_cast<std::uint8_t>(out[1]));
        }
        iconv_close(encode);
    }
};

const GbkTables& Tables()
{
    static const GbkTables tables;
    return tables;
}

void AppendUtf8(std::uint32_t cp, std::string& out)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool TextCodec::AppendGbk(std::uint32_t codePoint, std::string& out)
{
    if (codePoint == 0 || codePoint > 0xFFFF) return false;
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
        return true;
    }
    std::uint16_t code = Tables().toGbk[codePoint];
    if (code == 0) return false;
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
    return true;
}

std::string TextCodec::Utf8ToGbk(std::string_view utf8)
{
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n && static_cast<unsigned char>(utf8[i]) < 0x80) ++i;
    if (i == n) return std::string(utf8);  // ASCII is the same in both
    std::string out;
    out.reserve(n);
    out.assign(utf8.data(), i);
    while (i < n) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        std::size_t need;
        std::uint32_t cp;
        std::uint32_t least;
        if ((lead & 0xE0) == 0xC0) {
            need = 1, cp = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            need = 2, cp = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            need = 3, cp = lead & 0x07, least = 0x10000;
        } else {
            out += '?';  // a stray continuation byte or an impossible lead byte
            ++i;
            continue;
        }
        ++i;
        std::size_t got = 0;
        while (got < need && i < n && (static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80) {
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
            ++i;
            ++got;
        }
        const bool valid = got == need && cp >= least && !(cp >= 0xD800 && cp <= 0xDFFF);
        if (!valid || !AppendGbk(cp, out)) out += '?';
    }
    return out;
}

std::string TextCodec::GbkToUtf8(std::string_view gbk)
{
    std::string out;
    out.reserve(gbk.size() + gbk.size() / 2);
    const std::size_t n = gbk.size();
    std::size_t i = 0;
    while (i < n) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        if (GbkCharLength(gbk.data() + i, n - i) == 2) {
            const auto trail = static_cast<unsigned char>(gbk[i + 1]);
            std::uint16_t cp = Tables().fromGbk[(lead - 0x81) * 192 + (trail - 0x40)];
            i += 2;
            if (cp != 0)
                AppendUtf8(cp, out);
            else
                out += '?';
            continue;
        }
        out += '?';
        ++i;
    }
    return out;
}

std::string TextCodec::Utf16LeToGbk(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                          static_cast<unsigned char>(bytes[2 * k + 1]) << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        std::uint32_t u = unit(k);
        if (u < 0x80) {
            out += static_cast<char>(u);
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
            unit(k + 1) <= 0xDFFF) {
            ++k;  // a pair: a code point above 0xFFFF, which GBK cannot hold
            out += '?';
            continue;
        }
        if ((u >= 0xD800 && u <= 0xDFFF) || !AppendGbk(u, out)) out += '?';
    }
    return out;
}

}  // namespace varnel
