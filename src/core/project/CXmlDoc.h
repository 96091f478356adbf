#pragma once
// The program's own small, tolerant XML engine, used for the project file and
// the option file. The whole document is one text (bytes of the tool's code
// page, GBK); beside it a table of element records points into that text.
// Parsing builds the table, navigation moves a cursor over it, and building
// inserts text in place and shifts the offsets of the records behind the
// insertion. A document that is not well-formed still yields every element
// the parser recognised.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace varnel {

class CXmlDoc {
public:
    // An element position: segment << 16 | index. 0 is the document itself
    // (the parent of the top-level elements) and, as a result, "none".
    using Pos = std::uint32_t;

    // One element record; all offsets are byte offsets into the document.
    struct ElemRecord {
        // No member initialisers: segments are allocated without clearing,
        // and every record is written in full when it is taken.
        std::uint32_t start;       // offset of the element's "<"
        std::uint32_t length;      // from "<" to the end of its end tag
        std::uint32_t tagLengths;  // start tag length (low 22 bits), end tag (high 10)
        std::uint32_t flags;       // level (low 16 bits) and the marks below
        Pos parent;
        Pos firstChild;
        Pos next;
        Pos prev;  // the first child holds the last child here

        std::uint32_t StartTagLength() const { return tagLengths & 0x3FFFFF; }
        std::uint32_t EndTagLength() const { return tagLengths >> 22; }
        std::uint32_t Level() const { return flags & 0xFFFF; }
    };

    // Marks in ElemRecord::flags.
    static constexpr std::uint32_t MARK_FIRST = 0x10000;       // first child of its parent
    static constexpr std::uint32_t MARK_NOT_ENDED = 0x20000;   // end tag never found
    static constexpr std::uint32_t MARK_ILL_DATA = 0x40000;    // something inside not well-formed
    static constexpr std::uint32_t MARK_ILL_FORMED = 0x80000;  // record 0: document not well-formed
    // Document flag: compare names case-insensitively (this program never sets it).
    static constexpr std::uint32_t FLAG_IGNORE_CASE = 8;

    static constexpr std::uint32_t SEGMENT_SIZE = 65536;
    static constexpr std::uint32_t MAX_START_TAG = 0x3FFFFF;
    static constexpr std::uint32_t MAX_END_TAG = 0x3FF;

    CXmlDoc();
    ~CXmlDoc();
    CXmlDoc(const CXmlDoc&) = delete;
    CXmlDoc& operator=(const CXmlDoc&) = delete;

    // Replaces the document text and parses it; true if it is well-formed with
    // exactly one root element. The cursor goes back to the top level.
    // Reading and writing files is XmlFile's part.
    bool SetDocument(std::string text);

    // Searches the siblings after the current position (or the children of the
    // parent position from the first) for an element named `name`.
    bool FindElement(std::string_view name);
    // Steps into the current element: its children are searched next.
    bool IntoElement();
    // Steps out to the parent, which becomes the current element again.
    bool OutOfElement();

    // The unescaped content text of the element at `pos`; empty for an
    // element with child elements and for an empty element.
    std::string GetData(Pos pos) const;
    std::string GetData() const { return GetData(current); }
    // The unescaped value of an attribute of the current element, or empty.
    std::string GetAttribute(std::string_view name) const;
    // The same value without a copy: a view into the document where no
    // reference needs resolving, otherwise into a buffer of this object. It
    // stays valid until the next read of an attribute or any change.
    std::string_view GetAttributeView(std::string_view name) const;

    // Inserts an element after the current one (or at the end of the parent's
    // content) and makes it current. An empty text gives "<name/>".
    bool AddElement(std::string_view name, std::string_view text = {});
    // Replaces the value of an attribute of the current element or appends it.
    bool SetAttribute(std::string_view name, std::string_view value);
    // Sets attributes of the current element as SetAttribute would one after
    // the other; true when every one was set. New names on a tag of the form
    // the program writes go in with one insertion.
    struct NameValue {
        std::string_view name;
        std::string_view value;
    };
    bool SetAttributes(std::span<const NameValue> values);
    // Replaces the content of an element without child elements by `text`.
    bool SetData(Pos pos, std::string_view text);
    bool SetData(std::string_view text) { return SetData(current, text); }

    const std::string& Document() const { return doc; }
    // Diagnostics of the last parse.
    const std::string& Result() const { return result; }
    // The result text that the last parse replaced.
    const std::string& PreviousResult() const { return previousResult; }

    Pos ParentPosition() const { return parentPos; }
    Pos CurrentPosition() const { return current; }
    Pos ChildPosition() const { return childPos; }
    std::uint32_t NodeType() const { return nodeType; }
    // The record of an element position (position 0 is the document).
    const ElemRecord& Record(Pos pos) const { return Rec(pos); }
    // Records in use, the document's record included.
    std::uint32_t RecordCount() const { return nextFree; }
    std::uint32_t RecordCapacity() const { return capacity; }
    std::size_t SegmentCount() const { return segments.size(); }
    // The tag name of the element at `pos`.
    std::string_view TagName(Pos pos) const;

    // Escapes `<`, `&`, `>` (and in attribute values also `'` and `"`).
    static std::string Escape(std::string_view text, bool attribute);
    // Resolves the five named references and numeric ones; anything else
    // starting with "&" stays a literal "&".
    static std::string Unescape(std::string_view text);
    // The encoding named in the leading declaration, or empty.
    static std::string DeclaredEncoding(std::string_view text);

private:
    struct Segment {
        std::unique_ptr<ElemRecord[]> records;
        std::uint32_t size = 0;
    };
    struct Attribute {
        std::size_t nameStart = 0;
        std::size_t nameEnd = 0;
        std::size_t tokenStart = 0;  // the value as written, quotes included
        std::size_t tokenEnd = 0;
        std::size_t innerStart = 0;  // the value without its quotes
        std::size_t innerEnd = 0;
        bool hasValue = false;
    };

    // One attribute of a plain start tag as the parse met it: its name lies
    // right before `="` and the value.
    struct PlainSpan {
        std::uint32_t valueStart;
        std::uint16_t valueLength;
        std::uint8_t nameLength;
        std::uint8_t mark;  // the name's last byte (low 7 bits) and REFERENCE
    };
    static constexpr std::uint8_t REFERENCE = 0x80;  // the value holds an "&"
    static constexpr std::size_t MAX_PLAIN_NAME = 0xFF;
    static constexpr std::size_t MAX_PLAIN_VALUE = 0xFFFF;

    // One attribute of an indexed start tag.
    struct AttributeSpan {
        std::uint32_t nameStart;
        std::uint32_t nameLength;
        std::uint32_t valueStart;  // without its quotes
        std::uint32_t valueLength;
    };

    // The first segment's records are reached directly, so a walk up the
    // parents costs one load per step.
    ElemRecord& Rec(Pos pos)
    {
        return pos < SEGMENT_SIZE ? head[pos] : segments[pos >> 16].records[pos & 0xFFFF];
    }
    const ElemRecord& Rec(Pos pos) const
    {
        return pos < SEGMENT_SIZE ? head[pos] : segments[pos >> 16].records[pos & 0xFFFF];
    }
    void ResetTable(std::uint32_t wanted);
    void Reserve(std::uint32_t wanted);
    Pos NewRecord();
    void ResetCursor();
    void Note(const std::string& diagnostic);

    struct ParseState;
    void Parse();
    std::size_t ParseEndTag(ParseState& state, std::size_t at);
    std::size_t ParseProcessingInstruction(ParseState& state, std::size_t at);
    std::size_t ParseMarkupDeclaration(ParseState& state, std::size_t at);
    std::size_t ParseDoctype(ParseState& state, std::size_t at);
    std::size_t ParseStartTag(ParseState& state, std::size_t at);
    std::size_t MatchEndTag(ParseState& state, std::string_view endName);
    std::size_t SkipDeclaration(std::size_t at) const;
    std::string_view OpenName(const ParseState& state, std::size_t k) const;
    bool SameName(std::string_view a, std::string_view b) const;
    void PopOpen(ParseState& state);
    void TokenError(std::string message, Pos inside);
    void Flatten(Pos pos);
    void RecomputeLevels();
    std::string ContentText(std::size_t from, std::size_t to) const;

    bool NameMatches(std::size_t nameStart, std::size_t nameEnd, std::string_view wanted) const;
    std::size_t TagNameEnd(std::size_t from) const;
    template <typename Visit>
    std::size_t ScanAttributes(Pos pos, Visit&& visit) const;
    bool FindAttribute(Pos pos, std::string_view name, Attribute& out,
                       std::size_t* lastEnd = nullptr) const;
    // An attribute's value as written (empty when there is none); `reference`:
    // it holds an "&" to resolve.
    struct Found {
        std::string_view value;
        bool reference = false;
    };
    [[gnu::always_inline]] inline Found LookUp(std::string_view name) const;
    Found LookUpIndexed(std::string_view name) const;
    bool IndexAttributes(Pos pos) const;
    bool AppendAttributes(std::span<const NameValue> values);
    const AttributeSpan* MatchIndexed(std::string_view name) const;
    static void AppendEscaped(std::string& out, std::string_view text, bool attribute);
    bool IndexPlainTag(Pos pos) const;
    bool HasAmpersand() const;
    bool HasReference(std::string_view value) const;
    bool TagIs(const ElemRecord& r, std::string_view wanted, bool plain) const;
    bool IsEmptyElement(Pos pos) const;
    std::size_t ContentEnd(Pos pos) const;
    bool Splice(std::size_t offset, std::size_t erase, std::string_view text, Pos grow);
    void LinkAfter(Pos parent, Pos after, Pos pos);

    std::string doc;
    std::string result;
    std::string previousResult;
    Pos parentPos = 0;
    Pos current = 0;
    Pos childPos = 0;
    std::uint32_t nextFree = 1;
    std::uint32_t nodeType = 0;
    std::uint32_t nodeOffset = 0;
    std::uint32_t nodeLength = 0;
    std::uint32_t docFlags = 0;
    std::vector<Segment> segments;
    ElemRecord* head = nullptr;  // the records of the first segment
    std::uint32_t capacity = 0;
    bool levelsDirty = false;
    std::size_t startBound = 0;  // no record starts after this offset
    // The attributes of one start tag, found in one pass on the first read and
    // kept until the cursor moves to another element or the text changes.
    mutable std::vector<AttributeSpan> attributes;
    // The attributes of the plain start tags (every attribute ` name="value"`)
    // as the parse met them; spanBegin[pos] is the first of element pos's,
    // NOT_PLAIN marking a tag left to the index above. Valid until the text
    // changes.
    static constexpr std::uint32_t NOT_PLAIN = 0x80000000u;
    std::vector<PlainSpan> spans;
    std::vector<std::uint32_t> spanBegin;
    bool spansValid = false;
    mutable Pos indexed = 0;            // 0: no index
    mutable bool indexedPlain = false;  // the indexed tag has the plain form
    std::string scratch;                // text being inserted
    mutable int ampersands = -1;        // whether the text holds an "&" (-1: not known yet)
    mutable std::string resolved;
};

}  // namespace varnel
