#include "core/project/CXmlDoc.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/project/TextCodec.h"

namespace varnel {

namespace {

constexpr std::size_t NPOS = static_cast<std::size_t>(-1);
// Offsets and lengths are 32-bit: a document must stay below 4 GiB.
constexpr std::size_t MAX_DOCUMENT = 0xFFFFFFFEu;

inline bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The first byte of a tag name: an upper-case letter, "_", ":" or any byte
// from 0x61 up (lower-case letters and every byte of a multi-byte character).
inline bool IsNameStart(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || u == '_' || u == ':' || u >= 0x61;
}

// Classes of bytes for the scanners of names and attributes.
enum : std::uint8_t {
    SPACE = 1,         // " \t\n\r"
    QUOTE = 2,         // '"' and "'"
    EQUALS = 4,        // "="
    NAME_END = 8,      // ends a tag name: white space, "/", ">" and the quotes
    NAME_STOP = 16,    // may follow a name that a wanted name starts with: " =/[]"
    NOT_IN_NAME = 32,  // never part of a tag name a search can match (" \t\n\r=/[]>\"'")
    ESCAPED = 64,      // written as a reference in text or values: "<&>'\""
};
struct ByteClasses {
    std::uint8_t of[256] = {};
    constexpr ByteClasses()
    {
        for (const char c : {' ', '\t', '\n', '\r'})
            of[static_cast<unsigned char>(c)] = SPACE | NAME_END;
        for (const char c : {'"', '\''}) of[static_cast<unsigned char>(c)] = QUOTE | NAME_END;
        of[static_cast<unsigned char>('=')] = EQUALS;
        of[static_cast<unsigned char>('/')] = NAME_END;
        of[static_cast<unsigned char>('>')] = NAME_END;
        for (const char c : {' ', '=', '/', '[', ']'})
            of[static_cast<unsigned char>(c)] |= NAME_STOP;
        for (const char c : {' ', '\t', '\n', '\r', '=', '/', '[', ']', '>', '"', '\''})
            of[static_cast<unsigned char>(c)] |= NOT_IN_NAME;
        for (const char c : {'<', '&', '>', '\'', '"'})
            of[static_cast<unsigned char>(c)] |= ESCAPED;
    }
    bool Is(char c, std::uint8_t mask) const
    {
        return (of[static_cast<unsigned char>(c)] & mask) != 0;
    }
};
constexpr ByteClasses BYTES;

// The first offset in [from, to) holding a, b or c; `to` when there is none.
// Runs between markup are short, so this beats a library call per run.
inline std::size_t FindAny(const char* s, std::size_t from, std::size_t to, char a, char b, char c)
{
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    const __m128i vc = _mm_set1_epi8(c);
    for (; from + 16 <= to; from += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
        const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)),
                                         _mm_cmpeq_epi8(x, vc));
        const int mask = _mm_movemask_epi8(hit);
        if (mask != 0)
            return from + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    while (from < to && s[from] != a && s[from] != b && s[from] != c) ++from;
    return from;
}

// The end of a run of bytes that are neither white space, "=" nor a quote.
inline std::size_t NameRunEnd(const char* s, std::size_t from, std::size_t to)
{
#if defined(__SSE2__)
    // Candidates: "=", the quotes and every byte up to " " (signed compare,
    // so bytes from 0x80 up are candidates too); the table then decides.
    const __m128i eq = _mm_set1_epi8('=');
    const __m128i dq = _mm_set1_epi8('"');
    const __m128i sq = _mm_set1_epi8('\'');
    const __m128i blank = _mm_set1_epi8(' ' + 1);
    while (from + 16 <= to) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, eq), _mm_cmpeq_epi8(x, dq)),
                         _mm_or_si128(_mm_cmpeq_epi8(x, sq), _mm_cmplt_epi8(x, blank)));
        const int mask = _mm_movemask_epi8(hit);
        if (mask == 0) {
            from += 16;
            continue;
        }
        from += static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        if (BYTES.Is(s[from], SPACE | EQUALS | QUOTE)) return from;
        ++from;  // a byte that only looked like one
    }
#endif
    while (from < to && !BYTES.Is(s[from], SPACE | EQUALS | QUOTE)) ++from;
    return from;
}

// Whether [from, to) holds no white space and no "=" (the caller has made
// sure it holds no quote); `n` bounds what may be read.
inline bool PlainName(const char* s, std::size_t from, std::size_t to, std::size_t n)
{
#if defined(__SSE2__)
    if (to - from <= 16 && from + 16 <= n) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from));
        const __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('=')),
                                         _mm_cmplt_epi8(x, _mm_set1_epi8(' ' + 1)));
        const unsigned mask =
            static_cast<unsigned>(_mm_movemask_epi8(hit)) & ((1u << (to - from)) - 1u);
        if (mask == 0) return true;
    }
#endif
    return NameRunEnd(s, from, to) == to;
}

// memcmp for the short names of tags and attributes, without a call.
inline bool SameBytes(const char* a, const char* b, std::size_t n)
{
    if (n < 8) {
        for (std::size_t k = 0; k < n; ++k)
            if (a[k] != b[k]) return false;
        return true;
    }
    std::uint64_t x;
    std::uint64_t y;
    for (std::size_t k = 0; k + 8 <= n; k += 8) {
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        if (x != y) return false;
    }
    std::memcpy(&x, a + n - 8, 8);
    std::memcpy(&y, b + n - 8, 8);
    return x == y;
}

// The offsets of ">", the quotes and "&" from some offset on, found 64 bytes
// at a time: a start tag's attributes then cost a few instructions each
// instead of a search per quote.
class TagBytes {
public:
    TagBytes(const char* text, std::size_t size) : s(text), n(size) {}

    // The first offset from `from` on holding one of those bytes, or n.
    std::size_t Next(std::size_t from)
    {
        for (;;) {
            if (from >= n) return n;
            if (from < base || from >= base + 64) Load(from);
            const std::uint64_t m = mask & (~std::uint64_t{0} << (from - base));
            if (m != 0) return base + static_cast<std::size_t>(__builtin_ctzll(m));
            from = base + 64;
        }
    }

private:
    void Load(std::size_t from)
    {
        base = from;
        mask = 0;
#if defined(__SSE2__)
        if (from + 64 <= n) {
            for (int k = 0; k < 4; ++k) {
                const __m128i x =
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + from + 16 * k));
                const __m128i hit =
                    _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('>')),
                                              _mm_cmpeq_epi8(x, _mm_set1_epi8('"'))),
                                 _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\'')),
                                              _mm_cmpeq_epi8(x, _mm_set1_epi8('&'))));
                mask |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(hit))}
                        << (16 * k);
            }
            return;
        }
#endif
        const std::size_t to = std::min(n, from + 64);
        for (std::size_t k = from; k < to; ++k) {
            const char c = s[k];
            if (c == '>' || c == '"' || c == '\'' || c == '&')
                mask |= std::uint64_t{1} << (k - from);
        }
    }

    const char* s;
    std::size_t n;
    std::size_t base = NPOS / 2;  // nothing loaded yet
    std::uint64_t mask = 0;
};

inline std::size_t FindByte(const char* s, std::size_t from, std::size_t to, char a)
{
    return FindAny(s, from, to, a, a, a);
}

std::size_t FindText(const std::string& s, std::size_t from, const char* what)
{
    return from > s.size() ? NPOS : s.find(what, from);
}

std::string Offset(std::size_t offset)
{
    return std::to_string(offset);
}

// Byte by byte: every byte that is escaped lies below 0x40, where no byte of a
// double-byte character does, so a character is never split.
std::string_view EntityOf(char c, bool attribute)
{
    switch (c) {
        case '<': return "&lt;";
        case '&': return "&amp;";
        case '>': return "&gt;";
        case '\'': return attribute ? "&apos;" : "";
        case '"': return attribute ? "&quot;" : "";
        default: return {};
    }
}

std::size_t EscapedSize(std::string_view text, bool attribute)
{
    std::size_t size = text.size();
    for (const char c : text)
        if (BYTES.Is(c, ESCAPED))
            size += std::max<std::size_t>(EntityOf(c, attribute).size(), 1) - 1;
    return size;
}

// Writes the escaped text (EscapedSize gave its `size`) at `out` and gives the
// end of what it wrote.
char* WriteEscaped(char* out, std::string_view text, bool attribute, std::size_t size)
{
    if (size == text.size()) {  // nothing to escape
        std::memcpy(out, text.data(), size);
        return out + size;
    }
    for (const char c : text) {
        const std::string_view entity = BYTES.Is(c, ESCAPED) ? EntityOf(c, attribute) : "";
        if (entity.empty()) {
            *out++ = c;
        } else {
            std::memcpy(out, entity.data(), entity.size());
            out += entity.size();
        }
    }
    return out;
}

}  // namespace

CXmlDoc::CXmlDoc()
{
    ResetTable(8);
}

CXmlDoc::~CXmlDoc() = default;

// ---------------------------------------------------------------------------
// The element table

void CXmlDoc::ResetTable(std::uint32_t wanted)
{
    segments.clear();
    capacity = 0;
    Reserve(wanted);
    nextFree = 1;
    startBound = 0;
    Rec(0) = ElemRecord{};
    levelsDirty = false;
}

void CXmlDoc::Reserve(std::uint32_t wanted)
{
    while (capacity < wanted) {
        if (!segments.empty() && segments.back().size < SEGMENT_SIZE) {
            // Fill the last segment up to a full segment before starting the next.
            Segment& last = segments.back();
            const std::uint32_t size = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                SEGMENT_SIZE, std::uint64_t{last.size} + wanted - capacity));
            auto fresh = std::make_unique_for_overwrite<ElemRecord[]>(size);
            std::copy(last.records.get(), last.records.get() + last.size, fresh.get());
            capacity += size - last.size;
            last.records = std::move(fresh);
            last.size = size;
        } else {
            if (segments.size() == segments.capacity()) segments.reserve(2 * segments.size() + 4);
            const std::uint32_t size = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(SEGMENT_SIZE, wanted - capacity));
            segments.push_back(Segment{std::make_unique_for_overwrite<ElemRecord[]>(size), size});
            capacity += size;
        }
    }
    head = segments.empty() ? nullptr : segments.front().records.get();
}

CXmlDoc::Pos CXmlDoc::NewRecord()
{
    if (nextFree >= capacity)
        Reserve(std::max<std::uint32_t>(nextFree + 1, nextFree + nextFree / 2));
    const Pos pos = nextFree++;
    Rec(pos) = ElemRecord{};
    return pos;
}

void CXmlDoc::ResetCursor()
{
    parentPos = current = childPos = 0;
    nodeType = nodeOffset = nodeLength = 0;
}

void CXmlDoc::Note(const std::string& diagnostic)
{
    if (result.empty()) result = diagnostic;
}

// ---------------------------------------------------------------------------
// Parsing

bool CXmlDoc::SetDocument(std::string text)
{
    doc = std::move(text);
    indexed = 0;
    spansValid = false;
    ampersands = -1;
    previousResult = std::move(result);
    result.clear();
    ResetCursor();
    if (doc.size() > MAX_DOCUMENT) {
        ResetTable(8);
        Rec(0).flags |= MARK_ILL_FORMED;
        Note("Document too large");
        return false;
    }
    ResetTable(static_cast<std::uint32_t>(doc.size() / 64 + 8));
    if (doc.empty()) {
        Note("Empty document");
        return false;
    }
    spans.clear();
    spanBegin.clear();
    spanBegin.reserve(doc.size() / 64 + 8);
    spans.reserve(doc.size() / 16);
    spanBegin.push_back(NOT_PLAIN);  // the document itself
    Parse();
    spanBegin.push_back(static_cast<std::uint32_t>(spans.size()));
    spansValid = true;
    ElemRecord& root = Rec(0);
    root.length = static_cast<std::uint32_t>(doc.size());
    bool wellFormed = (root.flags & MARK_ILL_FORMED) == 0;
    if (root.firstChild == 0) {
        Note("No root element");
        wellFormed = false;
    } else if (Rec(root.firstChild).next != 0) {
        Note("Root element has sibling");
        wellFormed = false;
    }
    ResetCursor();
    return wellFormed;
}

void CXmlDoc::TokenError(std::string message, Pos inside)
{
    Rec(0).flags |= MARK_ILL_FORMED;
    Rec(inside).flags |= MARK_ILL_DATA;
    Note(message);
}

// The parse's stack of open elements. Names of the open elements are counted
// only once an end tag has failed to match the innermost element, so that a
// file full of stray end tags stays linear to parse while a well-formed one
// pays nothing.
struct CXmlDoc::ParseState {
    struct Open {
        Pos pos;
        std::uint32_t nameStart;
        std::uint32_t nameLength;
    };
    std::vector<Open> open;
    std::unordered_map<std::string_view, std::uint32_t> openNames;
    bool trackNames = false;

    Pos Inside() const { return open.empty() ? 0 : open.back().pos; }
};

std::string_view CXmlDoc::OpenName(const ParseState& state, std::size_t k) const
{
    const ParseState::Open& o = state.open[k];
    return std::string_view(doc.data() + o.nameStart, o.nameLength);
}

bool CXmlDoc::SameName(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size()) return false;
    if (docFlags & FLAG_IGNORE_CASE) return strncasecmp(a.data(), b.data(), a.size()) == 0;
    return a == b;
}

void CXmlDoc::PopOpen(ParseState& state)
{
    if (state.trackNames) --state.openNames[OpenName(state, state.open.size() - 1)];
    state.open.pop_back();
}

void CXmlDoc::Parse()
{
    ParseState state;
    state.open.reserve(64);
    const char* s = doc.data();
    const std::size_t n = doc.size();
    std::size_t i = 0;
    while (i < n) {
        i = FindByte(s, i, n, '<');
        if (i == n) break;  // text or white space up to the end
        if (i + 1 >= n) {
            TokenError("tag at offset " + Offset(i) + " unterminated", state.Inside());
            break;
        }
        const char c = s[i + 1];
        if (c == '/')
            i = ParseEndTag(state, i);
        else if (c == '?')
            i = ParseProcessingInstruction(state, i);
        else if (c == '!')
            i = ParseMarkupDeclaration(state, i);
        else if (IsNameStart(c))
            i = ParseStartTag(state, i);
        else {
            TokenError("Incorrect tag name character at offset " + Offset(i), state.Inside());
            ++i;
        }
    }
    if (!state.open.empty()) {
        const ParseState::Open& inner = state.open.back();
        Rec(0).flags |= MARK_ILL_FORMED;
        if (result.empty())
            Note("Element '" + std::string(OpenName(state, state.open.size() - 1)) +
                 "' at offset " + Offset(Rec(inner.pos).start) + " not ended");
        for (const ParseState::Open& o : state.open) Flatten(o.pos);
    }
    if (levelsDirty) RecomputeLevels();
}

// The open element an end tag closes (NPOS when none has its name).
std::size_t CXmlDoc::MatchEndTag(ParseState& state, std::string_view endName)
{
    auto& open = state.open;
    if (open.empty()) return NPOS;
    if (SameName(OpenName(state, open.size() - 1), endName)) return open.size() - 1;
    if (!state.trackNames) {
        state.trackNames = true;
        for (std::size_t k = 0; k < open.size(); ++k) ++state.openNames[OpenName(state, k)];
    }
    if (!(docFlags & FLAG_IGNORE_CASE)) {
        const auto found = state.openNames.find(endName);
        if (found == state.openNames.end() || found->second == 0) return NPOS;
    }
    for (std::size_t k = open.size() - 1; k-- > 0;)
        if (SameName(OpenName(state, k), endName)) return k;
    return NPOS;
}

std::size_t CXmlDoc::ParseEndTag(ParseState& state, std::size_t i)
{
    const char* s = doc.data();
    const std::size_t n = doc.size();
    const void* gt = std::memchr(s + i + 2, '>', n - i - 2);
    if (gt == nullptr) {
        TokenError("Element end tag at offset " + Offset(i) + " unterminated", state.Inside());
        return NPOS;
    }
    const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(gt) - s) + 1;
    std::size_t nameEnd = i + 2;
    while (nameEnd < end - 1 && !IsSpace(s[nameEnd])) ++nameEnd;
    const std::string_view endName(s + i + 2, nameEnd - i - 2);
    if (end - i > MAX_END_TAG) {
        TokenError("Incorrect tag at offset " + Offset(i), state.Inside());
        return end;
    }
    const std::size_t match = MatchEndTag(state, endName);
    if (match == NPOS) {
        Rec(0).flags |= MARK_ILL_FORMED;
        Note("No start tag for end tag '" + std::string(endName) + "' at offset " + Offset(i));
        return end;
    }
    auto& open = state.open;
    if (match != open.size() - 1) {
        Rec(0).flags |= MARK_ILL_FORMED;
        if (result.empty()) {
            Note("End tag '" + std::string(endName) + "' at offset " + Offset(i) +
                 " does not match start tag '" + std::string(OpenName(state, open.size() - 1)) +
                 "' at offset " + Offset(Rec(open.back().pos).start));
        }
        // Outermost first, so every child moves only once.
        for (std::size_t k = match + 1; k < open.size(); ++k) Flatten(open[k].pos);
        while (open.size() > match + 1) PopOpen(state);
    }
    ElemRecord& r = Rec(open.back().pos);
    r.length = static_cast<std::uint32_t>(end - r.start);
    r.tagLengths |= static_cast<std::uint32_t>(end - i) << 22;
    PopOpen(state);
    return end;
}

std::size_t CXmlDoc::ParseProcessingInstruction(ParseState& state, std::size_t i)
{
    const std::size_t close = FindText(doc, i + 2, "?>");
    if (close == NPOS) {
        TokenError("Processing instruction at offset " + Offset(i) + " unterminated",
                   state.Inside());
        return NPOS;
    }
    return close + 2;
}

// "<!": a comment, a CDATA section or a document type.
std::size_t CXmlDoc::ParseMarkupDeclaration(ParseState& state, std::size_t i)
{
    const char* s = doc.data();
    const std::size_t n = doc.size();
    const char d = i + 2 < n ? s[i + 2] : '\0';
    if (d == 'D') return ParseDoctype(state, i);
    if (d != '-' && d != '[') {
        if (i + 2 >= n) {
            TokenError("tag at offset " + Offset(i) + " unterminated", state.Inside());
            return NPOS;
        }
        TokenError("Incorrect ! tag at offset " + Offset(i), state.Inside());
        return i + 2;
    }
    if (i + 3 >= n) {
        TokenError("tag at offset " + Offset(i) + " unterminated", state.Inside());
        return NPOS;
    }
    const bool comment = d == '-';
    if (s[i + 3] != (comment ? '-' : 'C')) {
        TokenError(std::string(comment ? "Incorrect comment tag" : "Incorrect tag") +
                       " at offset " + Offset(i),
                   state.Inside());
        return i + 3;
    }
    const std::size_t close = FindText(doc, comment ? i + 4 : i + 3, comment ? "-->" : "]]>");
    if (close == NPOS) {
        TokenError(std::string(comment ? "Comment" : "CDATA Section") + " at offset " + Offset(i) +
                       " unterminated",
                   state.Inside());
        return NPOS;
    }
    return close + 3;
}

// The end of a declaration inside a document type ("<!" then E, A or N),
// quotes honoured; NPOS when the text ends first.
std::size_t CXmlDoc::SkipDeclaration(std::size_t k) const
{
    const std::size_t n = doc.size();
    char q = 0;
    while (k < n && (q != 0 || doc[k] != '>')) {
        if (q != 0 && doc[k] == q)
            q = 0;
        else if (q == 0 && (doc[k] == '"' || doc[k] == '\''))
            q = doc[k];
        ++k;
    }
    return k >= n ? NPOS : k + 1;
}

// A document type with its internal declarations and comments.
std::size_t CXmlDoc::ParseDoctype(ParseState& state, std::size_t i)
{
    const char* s = doc.data();
    const std::size_t n = doc.size();
    std::size_t j = i + 2;
    int depth = 0;
    char quote = 0;
    while (j < n) {
        const char ch = s[j];
        if (quote != 0) {
            if (ch == quote) quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
        } else if (ch == '[') {
            ++depth;
        } else if (ch == ']') {
            depth = depth > 0 ? depth - 1 : 0;
        } else if (ch == '>' && depth == 0) {
            return j + 1;
        } else if (ch == '<' && depth > 0 && j + 1 < n && s[j + 1] == '!') {
            const char e = j + 2 < n ? s[j + 2] : '\0';
            if (e == '-' && j + 3 < n && s[j + 3] == '-') {
                const std::size_t close = FindText(doc, j + 4, "-->");
                j = close == NPOS ? n : close + 3;
            } else if (e == 'E' || e == 'A' || e == 'N') {
                j = SkipDeclaration(j + 2);
                if (j == NPOS) j = n;
            } else if (j + 2 >= n) {
                j = n;
            } else {
                TokenError("Incorrect ! tag at offset " + Offset(j), state.Inside());
                return j + 2;
            }
            continue;
        }
        ++j;
    }
    TokenError("Doctype at offset " + Offset(i) + " unterminated", state.Inside());
    return NPOS;
}

// A start tag: up to the first ">" outside quotes.
std::size_t CXmlDoc::ParseStartTag(ParseState& state, std::size_t i)
{
    const char* s = doc.data();
    const std::size_t n = doc.size();
    const std::size_t nameEnd = TagNameEnd(i + 1);
    std::size_t j = nameEnd;
    std::size_t lastQuoteEnd = NPOS;
    // Attributes written as ` name="value"` are kept as they pass by; the
    // tag counts as plain while every one has that form.
    const std::size_t firstSpan = spans.size();
    bool plain = true;
    TagBytes bytes(s, n);
    for (;;) {
        const std::size_t from = j;
        j = bytes.Next(j);
        while (j < n && s[j] == '&') j = bytes.Next(j + 1);  // outside quotes it is text
        if (j < n && s[j] == '>') break;
        bool reference = false;
        std::size_t q = n;
        if (j < n) {
            for (q = bytes.Next(j + 1); q < n && s[q] != s[j]; q = bytes.Next(q + 1))
                reference = reference || s[q] == '&';
        }
        if (q == n) {
            spans.resize(firstSpan);
            TokenError("Element tag at offset " + Offset(i) + " unterminated", state.Inside());
            return NPOS;
        }
        if (plain) {
            const std::size_t nameLength = j - 2 - from;
            plain = s[j] == '"' && s[from] == ' ' && j >= from + 3 && s[j - 1] == '=' &&
                    nameLength <= MAX_PLAIN_NAME && q - j - 1 <= MAX_PLAIN_VALUE &&
                    PlainName(s, from + 1, j - 1, n);
            if (plain)
                spans.push_back(PlainSpan{
                    static_cast<std::uint32_t>(j + 1), static_cast<std::uint16_t>(q - j - 1),
                    static_cast<std::uint8_t>(nameLength),
                    static_cast<std::uint8_t>((s[j - 2] & 0x7F) | (reference ? REFERENCE : 0))});
        }
        j = q + 1;
        lastQuoteEnd = j;
    }
    const std::size_t end = j + 1;
    if (end - i > MAX_START_TAG) {
        spans.resize(firstSpan);
        TokenError("Incorrect tag at offset " + Offset(i), state.Inside());
        return end;
    }
    // "/" before ">" right after the name, white space or a closing quote;
    // a "/" that ends an unquoted value belongs to the value.
    const std::size_t slash = j - 1;
    const bool empty = s[slash] == '/' && slash >= nameEnd &&
                       (slash == nameEnd || IsSpace(s[slash - 1]) || slash == lastQuoteEnd);
    // After the last attribute only the ">" (or the "/>" of an empty tag).
    const std::size_t afterLast = lastQuoteEnd == NPOS ? nameEnd : lastQuoteEnd;
    plain = plain && (afterLast == j || (empty && afterLast + 1 == j));
    if (!plain) spans.resize(firstSpan);
    spanBegin.push_back(static_cast<std::uint32_t>(firstSpan) | (plain ? 0 : NOT_PLAIN));

    const Pos parent = state.Inside();
    const Pos pos = NewRecord();
    ElemRecord& r = Rec(pos);
    r.start = static_cast<std::uint32_t>(i);
    startBound = i;  // records are taken in document order
    r.length = static_cast<std::uint32_t>(end - i);
    r.tagLengths = static_cast<std::uint32_t>(end - i);
    r.flags = static_cast<std::uint32_t>(state.open.size()) & 0xFFFF;
    r.parent = parent;
    LinkAfter(parent, 0, pos);
    if (!empty) {
        state.open.push_back(ParseState::Open{pos, static_cast<std::uint32_t>(i + 1),
                                              static_cast<std::uint32_t>(nameEnd - i - 1)});
        if (state.trackNames) ++state.openNames[OpenName(state, state.open.size() - 1)];
    }
    return end;
}

void CXmlDoc::Flatten(Pos pos)
{
    ElemRecord& r = Rec(pos);
    r.flags |= MARK_NOT_ENDED;
    r.length = r.StartTagLength();
    const Pos first = r.firstChild;
    if (first == 0) return;
    // The element is the last child of its parent (everything after it was
    // inside it), so its children simply follow it.
    const Pos parent = r.parent;
    const Pos last = Rec(first).prev;
    r.next = first;
    r.firstChild = 0;
    Rec(first).prev = pos;
    Rec(first).flags &= ~MARK_FIRST;
    Rec(Rec(parent).firstChild).prev = last;
    for (Pos c = first; c != 0; c = Rec(c).next) Rec(c).parent = parent;
    levelsDirty = true;
}

void CXmlDoc::RecomputeLevels()
{
    // Records are taken in document order while parsing, so a parent always
    // comes before its children.
    for (Pos p = 1; p < nextFree; ++p) {
        ElemRecord& r = Rec(p);
        const std::uint32_t level = r.parent == 0 ? 0 : (Rec(r.parent).Level() + 1) & 0xFFFF;
        r.flags = (r.flags & ~0xFFFFu) | level;
    }
    levelsDirty = false;
}

void CXmlDoc::LinkAfter(Pos parent, Pos after, Pos pos)
{
    ElemRecord& p = Rec(parent);
    ElemRecord& r = Rec(pos);
    if (p.firstChild == 0) {
        p.firstChild = pos;
        r.prev = pos;
        r.next = 0;
        r.flags |= MARK_FIRST;
        return;
    }
    ElemRecord& first = Rec(p.firstChild);
    if (after == 0) {
        const Pos last = first.prev;
        Rec(last).next = pos;
        r.prev = last;
        r.next = 0;
        first.prev = pos;
        return;
    }
    const Pos following = Rec(after).next;
    r.prev = after;
    r.next = following;
    Rec(after).next = pos;
    if (following != 0)
        Rec(following).prev = pos;
    else
        first.prev = pos;
}

// ---------------------------------------------------------------------------
// Names and attributes

std::size_t CXmlDoc::TagNameEnd(std::size_t from) const
{
    const std::size_t n = doc.size();
    const char* s = doc.data();
    while (from < n && !BYTES.Is(s[from], NAME_END)) ++from;
    return from;
}

std::string_view CXmlDoc::TagName(Pos pos) const
{
    if (pos == 0 || pos >= nextFree) return {};
    const ElemRecord& r = Rec(pos);
    const std::size_t from = r.start + 1;
    const std::size_t to = std::min<std::size_t>(TagNameEnd(from), r.start + r.StartTagLength());
    return std::string_view(doc).substr(from, to - from);
}

bool CXmlDoc::NameMatches(std::size_t nameStart, std::size_t nameEnd, std::string_view wanted) const
{
    const std::size_t length = nameEnd - nameStart;
    if (wanted.size() < length || length == 0) return false;
    const bool same = (docFlags & FLAG_IGNORE_CASE)
                          ? strncasecmp(doc.data() + nameStart, wanted.data(), length) == 0
                          : std::memcmp(doc.data() + nameStart, wanted.data(), length) == 0;
    if (!same) return false;
    if (wanted.size() == length) return true;
    const char c = wanted[length];
    return c == ' ' || c == '=' || c == '/' || c == '[' || c == ']';
}

bool CXmlDoc::IsEmptyElement(Pos pos) const
{
    const ElemRecord& r = Rec(pos);
    return pos != 0 && r.EndTagLength() == 0 && (r.flags & MARK_NOT_ENDED) == 0;
}

std::size_t CXmlDoc::ContentEnd(Pos pos) const
{
    if (pos == 0) return doc.size();
    const ElemRecord& r = Rec(pos);
    return std::size_t{r.start} + r.length - r.EndTagLength();
}

// Walks the attributes of the start tag at `pos` in order, calling
// visit(attribute) until it returns true; gives the end of the last
// attribute seen (or of the tag name).
template <typename Visit>
std::size_t CXmlDoc::ScanAttributes(Pos pos, Visit&& visit) const
{
    const ElemRecord& r = Rec(pos);
    const char* s = doc.data();
    // The attributes lie between the name and the ">" (or the "/>" of an
    // empty-element tag).
    std::size_t limit = std::size_t{r.start} + r.StartTagLength() - 1;
    if (IsEmptyElement(pos) && limit > r.start && s[limit - 1] == '/') --limit;
    // A quote anywhere opens a quoted run up to the same quote, as the
    // tokeniser saw it, so both agree on where the tag's quoted text lies.
    auto skip = [&](std::size_t at) -> std::size_t {
        if (s[at] != '"' && s[at] != '\'') return at + 1;
        const void* q = std::memchr(s + at + 1, s[at], limit - at - 1);
        return q == nullptr ? limit : static_cast<std::size_t>(static_cast<const char*>(q) - s) + 1;
    };
    std::size_t j = std::min(TagNameEnd(r.start + 1), limit);
    for (;;) {
        const std::size_t lastEnd = j;
        while (j < limit && IsSpace(s[j])) ++j;
        if (j >= limit) return lastEnd;
        Attribute a;
        a.nameStart = j;
        while (j < limit && !BYTES.Is(s[j], SPACE | EQUALS)) {
            j = NameRunEnd(s, j, limit);
            if (j < limit && BYTES.Is(s[j], QUOTE)) j = skip(j);
        }
        a.nameEnd = j;
        if (a.nameEnd == a.nameStart) {  // a stray "="
            ++j;
            continue;
        }
        std::size_t k = j;
        while (k < limit && IsSpace(s[k])) ++k;
        if (k < limit && s[k] == '=') {
            ++k;
            // Blanks after "=" may only precede a quoted value; "a= b" is an
            // empty a followed by b, so an attribute appended after an empty
            // unquoted value never becomes that value.
            std::size_t v = k;
            while (v < limit && IsSpace(s[v])) ++v;
            if (v < limit && (s[v] == '"' || s[v] == '\'')) k = v;
            a.hasValue = true;
            a.tokenStart = k;
            if (k < limit && (s[k] == '"' || s[k] == '\'')) {
                const std::size_t close = FindByte(s, k + 1, limit, s[k]);
                a.innerStart = k + 1;
                a.innerEnd = close;
                a.tokenEnd = close == limit ? limit : close + 1;
            } else {
                while (k < limit && !BYTES.Is(s[k], SPACE)) {
                    while (k < limit && !BYTES.Is(s[k], SPACE | QUOTE)) ++k;
                    if (k < limit && BYTES.Is(s[k], QUOTE)) k = skip(k);
                }
                a.innerStart = a.tokenStart;
                a.innerEnd = a.tokenEnd = k;
            }
            j = a.tokenEnd;
        }
        if (visit(a)) return j;
    }
}

bool CXmlDoc::FindAttribute(Pos pos, std::string_view name, Attribute& out,
                            std::size_t* lastEnd) const
{
    bool found = false;
    const std::size_t end = ScanAttributes(pos, [&](const Attribute& a) {
        if (!NameMatches(a.nameStart, a.nameEnd, name)) return false;
        out = a;
        return found = true;
    });
    if (lastEnd != nullptr) *lastEnd = end;
    return found;
}

bool CXmlDoc::HasReference(std::string_view value) const
{
    return HasAmpersand() && value.find('&') != std::string_view::npos;
}

bool CXmlDoc::HasAmpersand() const
{
    if (ampersands < 0) ampersands = std::memchr(doc.data(), '&', doc.size()) != nullptr ? 1 : 0;
    return ampersands != 0;
}

// The attributes of the start tag at `pos` when it has the form the program
// writes, ` name="value"` after ` name="value"`, found in one pass; false for
// any other form, which the general scan then reads (it agrees on this one).
bool CXmlDoc::IndexPlainTag(Pos pos) const
{
    const ElemRecord& r = Rec(pos);
    const char* s = doc.data();
    std::size_t limit = std::size_t{r.start} + r.StartTagLength() - 1;
    if (IsEmptyElement(pos) && limit > r.start && s[limit - 1] == '/') --limit;
    std::size_t j = std::min(TagNameEnd(r.start + 1), limit);
    while (j < limit) {
        if (s[j] != ' ') return false;
        const std::size_t nameStart = j + 1;
        const std::size_t equals = NameRunEnd(s, nameStart, limit);
        if (equals == nameStart || equals + 1 >= limit || s[equals] != '=' || s[equals + 1] != '"')
            return false;
        const std::size_t close = FindByte(s, equals + 2, limit, '"');
        if (close == limit) return false;
        attributes.push_back(AttributeSpan{static_cast<std::uint32_t>(nameStart),
                                           static_cast<std::uint32_t>(equals - nameStart),
                                           static_cast<std::uint32_t>(equals + 2),
                                           static_cast<std::uint32_t>(close - equals - 2)});
        j = close + 1;
    }
    return true;
}

// Builds the index of the attributes of the start tag at `pos` unless it is
// built already; true when the tag has the plain form.
bool CXmlDoc::IndexAttributes(Pos pos) const
{
    if (indexed == pos) return indexedPlain;
    attributes.clear();
    indexedPlain = IndexPlainTag(pos);
    if (!indexedPlain) {
        attributes.clear();
        ScanAttributes(pos, [this](const Attribute& a) {
            const std::size_t length = a.innerEnd - a.innerStart;
            attributes.push_back(AttributeSpan{static_cast<std::uint32_t>(a.nameStart),
                                               static_cast<std::uint32_t>(a.nameEnd - a.nameStart),
                                               static_cast<std::uint32_t>(a.innerStart),
                                               static_cast<std::uint32_t>(length)});
            return false;
        });
    }
    indexed = pos;
    return indexedPlain;
}

// The first indexed attribute that `name` matches.
const CXmlDoc::AttributeSpan* CXmlDoc::MatchIndexed(std::string_view name) const
{
    const bool exact = (docFlags & FLAG_IGNORE_CASE) == 0;
    for (const AttributeSpan& a : attributes) {
        // Only a name as long as the wanted one, or shorter where the wanted
        // one goes on with one of " =/[]", can match.
        if (exact && (a.nameLength == 0 ||
                      (a.nameLength != name.size() &&
                       (a.nameLength > name.size() || !BYTES.Is(name[a.nameLength], NAME_STOP)))))
            continue;
        if (exact ? SameBytes(doc.data() + a.nameStart, name.data(), a.nameLength)
                  : NameMatches(a.nameStart, std::size_t{a.nameStart} + a.nameLength, name))
            return &a;
    }
    return nullptr;
}

// The value of the first attribute of the current element that `name`
// matches. Plain tags are read from what the parse kept, the names compared in
// place; any other tag through its index.
inline CXmlDoc::Found CXmlDoc::LookUp(std::string_view name) const
{
    if (current == 0 || current >= nextFree || name.empty()) return {};
    if (!spansValid || (spanBegin[current] & NOT_PLAIN) != 0 || (docFlags & FLAG_IGNORE_CASE))
        return LookUpIndexed(name);
    const char* s = doc.data();
    const std::size_t size = name.size();
    const auto lastByte = static_cast<std::uint8_t>(name.back() & 0x7F);
    const PlainSpan* last = spans.data() + (spanBegin[current + 1] & ~NOT_PLAIN);
    for (const PlainSpan* at = spans.data() + spanBegin[current]; at != last; ++at) {
        const std::size_t length = at->nameLength;
        const char* atName = s + at->valueStart - 2 - length;
        // The mark holds the name's last byte: most others fail without a read.
        // A shorter name matches only where the wanted one goes on with one of
        // " =/[]".
        if (length == size ? (at->mark & 0x7F) == lastByte && SameBytes(atName, name.data(), size)
                           : length < size && BYTES.Is(name[length], NAME_STOP) &&
                                 SameBytes(atName, name.data(), length))
            return {std::string_view(s + at->valueStart, at->valueLength),
                    (at->mark & REFERENCE) != 0};
    }
    return {};
}

CXmlDoc::Found CXmlDoc::LookUpIndexed(std::string_view name) const
{
    IndexAttributes(current);
    const AttributeSpan* a = MatchIndexed(name);
    if (a == nullptr) return {};
    const std::string_view value(doc.data() + a->valueStart, a->valueLength);
    return {value, HasReference(value)};
}

bool CXmlDoc::TagIs(const ElemRecord& r, std::string_view wanted, bool plain) const
{
    const std::size_t from = r.start + 1;
    const std::size_t limit = std::size_t{r.start} + r.StartTagLength();
    if (plain) {
        const std::size_t end = from + wanted.size();
        if (end > limit || !SameBytes(doc.data() + from, wanted.data(), wanted.size()))
            return false;
        if (end == limit) return true;
        const char c = doc[end];
        return IsSpace(c) || c == '/' || c == '>' || c == '"' || c == '\'';
    }
    return NameMatches(from, std::min(TagNameEnd(from), limit), wanted);
}

bool CXmlDoc::FindElement(std::string_view name)
{
    if (parentPos >= nextFree) return false;
    bool plain = !name.empty() && (docFlags & FLAG_IGNORE_CASE) == 0;
    for (std::size_t k = 0; plain && k < name.size(); ++k) plain = !BYTES.Is(name[k], NOT_IN_NAME);
    Pos p = current != 0 ? Rec(current).next : Rec(parentPos).firstChild;
    while (p != 0) {
        const ElemRecord& r = Rec(p);
        if (TagIs(r, name, plain)) {
            current = p;
            parentPos = r.parent;
            childPos = 0;
            nodeType = 1;
            nodeOffset = nodeLength = 0;
            return true;
        }
        p = r.next;
    }
    return false;
}

bool CXmlDoc::IntoElement()
{
    if (current == 0) return false;
    parentPos = current;
    current = childPos;
    childPos = 0;
    return true;
}

bool CXmlDoc::OutOfElement()
{
    if (parentPos == 0) return false;
    childPos = current;
    current = parentPos;
    parentPos = Rec(current).parent;
    return true;
}

std::string CXmlDoc::ContentText(std::size_t from, std::size_t to) const
{
    std::string out;
    const std::string_view s(doc);
    while (from < to) {
        const std::size_t lt = s.find('<', from);
        const std::size_t textEnd = lt == std::string_view::npos || lt > to ? to : lt;
        out += Unescape(s.substr(from, textEnd - from));
        from = textEnd;
        if (from >= to) break;
        const std::string_view rest = s.substr(from, to - from);
        auto skip = [&](std::size_t open, const char* close, bool keep) {
            const std::size_t end = rest.find(close, open);
            const std::size_t stop = end == std::string_view::npos ? rest.size() : end;
            if (keep) out += rest.substr(open, stop - open);
            from += end == std::string_view::npos ? rest.size() : end + std::strlen(close);
        };
        if (rest.starts_with("<![CDATA["))
            skip(9, "]]>", true);
        else if (rest.starts_with("<!--"))
            skip(4, "-->", false);
        else if (rest.starts_with("<?"))
            skip(2, "?>", false);
        else {
            out += '<';
            ++from;
        }
    }
    return out;
}

std::string CXmlDoc::GetData(Pos pos) const
{
    if (pos >= nextFree) return {};
    const ElemRecord& r = Rec(pos);
    if (r.firstChild != 0) return {};
    if (pos == 0) return ContentText(0, doc.size());
    if ((r.flags & MARK_NOT_ENDED) || r.EndTagLength() == 0) return {};
    return ContentText(std::size_t{r.start} + r.StartTagLength(), ContentEnd(pos));
}

std::string CXmlDoc::GetAttribute(std::string_view name) const
{
    const Found found = LookUp(name);
    return found.reference ? Unescape(found.value) : std::string(found.value);
}

std::string_view CXmlDoc::GetAttributeView(std::string_view name) const
{
    const Found found = LookUp(name);
    if (!found.reference) return found.value;
    resolved = Unescape(found.value);
    return resolved;
}

// ---------------------------------------------------------------------------
// Building

bool CXmlDoc::Splice(std::size_t offset, std::size_t erase, std::string_view text, Pos grow)
{
    const std::int64_t delta =
        static_cast<std::int64_t>(text.size()) - static_cast<std::int64_t>(erase);
    if (static_cast<std::int64_t>(doc.size()) + delta > static_cast<std::int64_t>(MAX_DOCUMENT))
        return false;
    if (text.size() >= erase) {
        // Growing (building always grows): widen the text, move the tail, copy.
        const std::size_t tail = doc.size() - offset - erase;
        doc.append(text.size() - erase, '\0');
        char* d = doc.data();
        std::memmove(d + offset + text.size(), d + offset + erase, tail);
        std::memcpy(d + offset, text.data(), text.size());
    } else {
        doc.replace(offset, erase, text);
    }
    indexed = 0;
    spansValid = false;
    ampersands = -1;
    // Records behind the change move; the element holding it and its
    // ancestors grow.
    const std::size_t behind = offset + erase;
    // Building appends at the end of the text: then no record lies behind.
    for (std::size_t seg = 0; behind <= startBound && seg < segments.size(); ++seg) {
        ElemRecord* records = segments[seg].records.get();
        const std::uint32_t first = seg == 0 ? 1 : 0;
        const std::uint64_t used = std::min<std::uint64_t>(
            segments[seg].size, std::uint64_t{nextFree} - std::uint64_t{seg} * SEGMENT_SIZE);
        if (std::uint64_t{nextFree} <= std::uint64_t{seg} * SEGMENT_SIZE) break;
        for (std::uint32_t k = first; k < used; ++k)
            if (records[k].start >= behind)
                records[k].start = static_cast<std::uint32_t>(records[k].start + delta);
    }
    if (behind <= startBound && delta > 0) startBound += static_cast<std::size_t>(delta);
    for (Pos p = grow; p != 0; p = Rec(p).parent)
        Rec(p).length = static_cast<std::uint32_t>(Rec(p).length + delta);
    Rec(0).length = static_cast<std::uint32_t>(doc.size());
    return true;
}

bool CXmlDoc::AddElement(std::string_view name, std::string_view text)
{
    const Pos parent = parentPos;
    if (parent >= nextFree || current >= nextFree || name.empty()) return false;
    if (parent != 0 && (Rec(parent).flags & MARK_NOT_ENDED))
        return false;  // an element without an end tag cannot take content
    if (name.size() + 3 > MAX_END_TAG) return false;
    std::string& element = scratch;
    element.assign("<");
    element += name;
    std::uint32_t tagLengths;
    if (text.empty()) {
        element += "/>";
        tagLengths = static_cast<std::uint32_t>(element.size());
    } else {
        element += '>';
        const std::uint32_t startLength = static_cast<std::uint32_t>(element.size());
        AppendEscaped(element, text, false);
        element += "</";
        element += name;
        element += '>';
        tagLengths = startLength | static_cast<std::uint32_t>(name.size() + 3) << 22;
    }
    const std::uint32_t length = static_cast<std::uint32_t>(element.size());
    element += "\r\n";

    std::size_t start;
    if (parent != 0 && IsEmptyElement(parent)) {
        // Open <X/>: it becomes <X>, CR LF, the new element, </X>.
        ElemRecord& p = Rec(parent);
        const std::string parentName(TagName(parent));
        const std::size_t slash = std::size_t{p.start} + p.StartTagLength() - 2;
        if (doc.compare(slash, 2, "/>") != 0) return false;
        std::string opened = ">\r\n" + element + "</" + parentName + ">";
        if (!Splice(slash, 2, opened, parent)) return false;
        ElemRecord& q = Rec(parent);
        q.tagLengths = (q.StartTagLength() - 1) | static_cast<std::uint32_t>(parentName.size() + 3)
                                                      << 22;
        start = slash + 3;
    } else {
        std::size_t point = current != 0 ? std::size_t{Rec(current).start} + Rec(current).length
                                         : ContentEnd(parent);
        const std::size_t limit = ContentEnd(parent);
        std::size_t j = point;
        while (j < limit && IsSpace(doc[j])) ++j;
        if (j == limit || doc[j] == '<') point = j;
        if (parent != 0 && current == 0 && Rec(parent).firstChild == 0 &&
            ContentEnd(parent) == std::size_t{Rec(parent).start} + Rec(parent).StartTagLength())
            element.insert(0, "\r\n");
        start = point + (element[0] == '\r' ? 2 : 0);
        if (!Splice(point, 0, element, parent)) return false;
    }

    const Pos pos = NewRecord();
    ElemRecord& r = Rec(pos);
    r.start = static_cast<std::uint32_t>(start);
    startBound = std::max(startBound, start);
    r.length = length;
    r.tagLengths = tagLengths;
    r.flags = parent == 0 ? 0 : (Rec(parent).Level() + 1) & 0xFFFF;
    r.parent = parent;
    LinkAfter(parent, current, pos);
    current = pos;
    childPos = 0;
    nodeType = 1;
    return true;
}

bool CXmlDoc::SetAttribute(std::string_view name, std::string_view value)
{
    if (current == 0 || current >= nextFree || name.empty()) return false;
    const Pos pos = current;
    std::size_t offset;
    std::size_t erase = 0;
    // What goes before the quoted value: ` name=` when the attribute is
    // appended, "=" after a name that has no value yet, or nothing.
    enum { VALUE, EQUALS_VALUE, APPEND } form = VALUE;
    const bool plainTag = IndexAttributes(pos);
    if (plainTag) {
        // The program's own form: the index says where the value or the end is.
        const AttributeSpan* a = MatchIndexed(name);
        if (a != nullptr) {
            offset = a->valueStart - 1;
            erase = std::size_t{a->valueLength} + 2;
        } else {
            const ElemRecord& r = Rec(pos);
            offset = std::size_t{r.start} + r.StartTagLength() - 1;
            if (IsEmptyElement(pos) && doc[offset - 1] == '/') --offset;
            form = APPEND;
        }
    } else {
        Attribute a;
        std::size_t lastEnd = 0;
        if (FindAttribute(pos, name, a, &lastEnd)) {
            offset = a.hasValue ? a.tokenStart : a.nameEnd;
            erase = a.hasValue ? a.tokenEnd - a.tokenStart : 0;
            form = a.hasValue ? VALUE : EQUALS_VALUE;
        } else {
            offset = lastEnd;
            form = APPEND;
        }
    }
    const std::size_t head = form == APPEND ? name.size() + 2 : form == EQUALS_VALUE ? 1 : 0;
    std::string& text = scratch;
    const std::size_t valueSize = EscapedSize(value, true);
    text.resize(head + valueSize + 2);
    char* out = text.data();
    if (form == APPEND) {
        *out++ = ' ';
        std::memcpy(out, name.data(), name.size());
        out += name.size();
    }
    if (form != VALUE) *out++ = '=';
    *out++ = '"';
    *WriteEscaped(out, value, true, valueSize) = '"';
    const std::size_t valueStart = offset + head + 1;
    const std::int64_t newStartTag = std::int64_t{Rec(pos).StartTagLength()} +
                                     static_cast<std::int64_t>(text.size()) -
                                     static_cast<std::int64_t>(erase);
    if (newStartTag > MAX_START_TAG) return false;
    if (!Splice(offset, erase, text, pos)) return false;
    ElemRecord& q = Rec(pos);
    q.tagLengths = (q.tagLengths & ~MAX_START_TAG) | static_cast<std::uint32_t>(newStartTag);
    // An appended ` name="value"` keeps the tag in its form when the name has
    // no blank, "=" or quote: the index then only grows.
    if (plainTag && form == APPEND && NameRunEnd(name.data(), 0, name.size()) == name.size()) {
        attributes.push_back(AttributeSpan{static_cast<std::uint32_t>(offset + 1),
                                           static_cast<std::uint32_t>(name.size()),
                                           static_cast<std::uint32_t>(valueStart),
                                           static_cast<std::uint32_t>(text.size() - head - 2)});
        indexed = pos;
    }
    return true;
}

bool CXmlDoc::SetAttributes(std::span<const NameValue> values)
{
    if (AppendAttributes(values)) return true;
    bool all = true;
    for (const NameValue& v : values) all = SetAttribute(v.name, v.value) && all;
    return all;
}

// SetAttributes in one insertion: only when the current tag has the plain
// form, every name is new to it and to the names before it, and each keeps
// the form. False, with nothing changed, otherwise.
bool CXmlDoc::AppendAttributes(std::span<const NameValue> values)
{
    if (current == 0 || current >= nextFree || (docFlags & FLAG_IGNORE_CASE) ||
        !IndexAttributes(current))
        return false;
    // An earlier attribute named `have` would take a value meant for `wanted`.
    auto takes = [](std::string_view have, std::string_view wanted) {
        return (have.size() == wanted.size() ||
                (have.size() < wanted.size() && BYTES.Is(wanted[have.size()], NAME_STOP))) &&
               SameBytes(have.data(), wanted.data(), have.size());
    };
    std::size_t most = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const std::string_view name = values[k].name;
        if (name.empty() || NameRunEnd(name.data(), 0, name.size()) != name.size() ||
            MatchIndexed(name) != nullptr)
            return false;
        for (std::size_t e = 0; e < k; ++e)
            if (takes(values[e].name, name)) return false;
        most += name.size() + 4 + 6 * values[k].value.size();
    }
    const Pos pos = current;
    const ElemRecord& r = Rec(pos);
    std::size_t offset = std::size_t{r.start} + r.StartTagLength() - 1;
    if (IsEmptyElement(pos) && doc[offset - 1] == '/') --offset;
    std::string& text = scratch;
    text.resize(most);
    char* out = text.data();
    const std::size_t indexedBefore = attributes.size();
    for (const NameValue& v : values) {
        *out++ = ' ';
        const std::size_t nameStart = offset + static_cast<std::size_t>(out - text.data());
        std::memcpy(out, v.name.data(), v.name.size());
        out += v.name.size();
        *out++ = '=';
        *out++ = '"';
        const std::size_t size = EscapedSize(v.value, true);
        out = WriteEscaped(out, v.value, true, size);
        *out++ = '"';
        attributes.push_back(AttributeSpan{
            static_cast<std::uint32_t>(nameStart), static_cast<std::uint32_t>(v.name.size()),
            static_cast<std::uint32_t>(nameStart + v.name.size() + 2),
            static_cast<std::uint32_t>(size)});
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    const std::size_t newStartTag = r.StartTagLength() + text.size();
    if (newStartTag > MAX_START_TAG || !Splice(offset, 0, text, pos)) {
        attributes.resize(indexedBefore);
        return false;
    }
    ElemRecord& q = Rec(pos);
    q.tagLengths = (q.tagLengths & ~MAX_START_TAG) | static_cast<std::uint32_t>(newStartTag);
    indexed = pos;
    return true;
}

bool CXmlDoc::SetData(Pos pos, std::string_view text)
{
    if (pos == 0 || pos >= nextFree) return false;
    const ElemRecord& r = Rec(pos);
    if (r.firstChild != 0 || (r.flags & MARK_NOT_ENDED)) return false;
    const std::string escaped = Escape(text, false);
    if (IsEmptyElement(pos)) {
        const std::string name(TagName(pos));
        const std::size_t slash = std::size_t{r.start} + r.StartTagLength() - 2;
        if (doc.compare(slash, 2, "/>") != 0 || name.size() + 3 > MAX_END_TAG) return false;
        if (!Splice(slash, 2, ">" + escaped + "</" + name + ">", pos)) return false;
        ElemRecord& q = Rec(pos);
        q.tagLengths = (q.StartTagLength() - 1) | static_cast<std::uint32_t>(name.size() + 3) << 22;
    } else {
        const std::size_t from = std::size_t{r.start} + r.StartTagLength();
        if (!Splice(from, ContentEnd(pos) - from, escaped, pos)) return false;
    }
    Rec(pos).flags &= ~MARK_ILL_DATA;
    return true;
}

// ---------------------------------------------------------------------------
// Escaping

std::string CXmlDoc::Escape(std::string_view text, bool attribute)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    AppendEscaped(out, text, attribute);
    return out;
}

void CXmlDoc::AppendEscaped(std::string& out, std::string_view text, bool attribute)
{
    const std::size_t at = out.size();
    const std::size_t size = EscapedSize(text, attribute);
    out.resize(at + size);
    WriteEscaped(out.data() + at, text, attribute, size);
}

std::string CXmlDoc::Unescape(std::string_view text)
{
    if (text.find('&') == std::string_view::npos) return std::string(text);
    static constexpr struct {
        std::string_view name;
        char c;
    } NAMED[] = {{"&lt;", '<'}, {"&amp;", '&'}, {"&gt;", '>'}, {"&apos;", '\''}, {"&quot;", '"'}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '&') {
            const std::size_t length = TextCodec::GbkCharLength(text.data() + i, text.size() - i);
            out.append(text.data() + i, length);
            i += length;
            continue;
        }
        const std::string_view rest = text.substr(i);
        bool done = false;
        for (const auto& named : NAMED) {
            if (rest.starts_with(named.name)) {
                out += named.c;
                i += named.name.size();
                done = true;
                break;
            }
        }
        if (done) continue;
        if (rest.size() > 2 && rest[1] == '#') {
            const bool hex = rest[2] == 'x';
            std::size_t j = hex ? 3 : 2;
            std::uint32_t value = 0;
            std::size_t digits = 0;
            while (j < rest.size() && digits < 7) {
                const char c = rest[j];
                int d;
                if (c >= '0' && c <= '9')
                    d = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    d = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    d = c - 'A' + 10;
                else
                    break;
                value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
                ++digits;
                ++j;
            }
            if (digits > 0 && j < rest.size() && rest[j] == ';' &&
                TextCodec::AppendGbk(value, out)) {
                i += j + 1;
                continue;
            }
        }
        out += '&';  // starts nothing known: a literal ampersand
        ++i;
    }
    return out;
}

std::string CXmlDoc::DeclaredEncoding(std::string_view text)
{
    const std::size_t lt = text.find('<');
    if (lt == std::string_view::npos || lt + 1 >= text.size() || text[lt + 1] != '?') return {};
    const std::size_t close = text.find("?>", lt + 2);
    const std::string_view pi =
        text.substr(lt, close == std::string_view::npos ? close : close - lt);
    std::size_t at = pi.find("encoding");
    while (at != std::string_view::npos) {
        std::size_t k = at + 8;
        while (k < pi.size() && IsSpace(pi[k])) ++k;
        if (k < pi.size() && pi[k] == '=') {
            ++k;
            while (k < pi.size() && IsSpace(pi[k])) ++k;
            if (k < pi.size() && (pi[k] == '"' || pi[k] == '\'')) {
                const std::size_t end = pi.find(pi[k], k + 1);
                if (end != std::string_view::npos)
                    return std::string(pi.substr(k + 1, end - k - 1));
            }
            return {};
        }
        at = pi.find("encoding", at + 8);
    }
    return {};
}

}  // namespace varnel
