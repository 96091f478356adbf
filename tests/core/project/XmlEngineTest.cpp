// The XML engine: building text, tolerant parsing and its diagnostics,
// navigation, unescaping and the element table.
#include <gtest/gtest.h>

#include <string>

#include "core/project/CXmlDoc.h"

using namespace varnel;

namespace {

const std::string DECL = "<?xml version='1.0' encoding='gb2312'?>";

bool Enter(CXmlDoc& xml, const std::string& tag)
{
    return xml.FindElement(tag) && xml.IntoElement();
}

TEST(XmlBuild, InsertionPointsAndTheRecordsBehindThem)
{
    const struct {
        std::string doc, into, after, expected;  // into/after: "" = top level / no current
    } cases[] = {
        {"<R></R>", "R", "", "<R>\r\n<N>t</N>\r\n</R>"},
        {"<R>\r\n<a/>\r\n</R>", "R", "", "<R>\r\n<a/>\r\n<N>t</N>\r\n</R>"},
        {"<R>\r\n<a/>\r\n<b/>\r\n</R>", "R", "a", "<R>\r\n<a/>\r\n<N>t</N>\r\n<b/>\r\n</R>"},
        {"<R><a/>tail</R>", "R", "a", "<R><a/><N>t</N>\r\ntail</R>"},
        {"<R x=\"1\"/>", "R", "", "<R x=\"1\">\r\n<N>t</N>\r\n</R>"},
        {"<A/>", "A", "", "<A>\r\n<N>t</N>\r\n</A>"},
        {"", "", "", "<N>t</N>\r\n"},
        {DECL, "", "", DECL + "<N>t</N>\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.doc);
        CXmlDoc xml;
        xml.SetDocument(c.doc);
        if (!c.into.empty()) {
            ASSERT_TRUE(Enter(xml, c.into));
        }
        if (!c.after.empty()) {
            ASSERT_TRUE(xml.FindElement(c.after));
        }
        ASSERT_TRUE(xml.AddElement("N", "t"));
        EXPECT_EQ(xml.Document(), c.expected);
        ASSERT_TRUE(xml.SetAttribute("k", "v"));  // the records behind still read right
        EXPECT_EQ(xml.GetAttribute("k"), "v");
        EXPECT_EQ(xml.GetData(), "t");
        if (!c.into.empty()) {
            xml.OutOfElement();
            const CXmlDoc::ElemRecord& r = xml.Record(xml.CurrentPosition());
            EXPECT_EQ(xml.Document().compare(r.start + r.length - r.EndTagLength(), 2, "</"), 0);
        }
        CXmlDoc again;  // the table followed the text
        again.SetDocument(xml.Document());
        if (!c.into.empty()) {
            ASSERT_TRUE(Enter(again, c.into));
        }
        ASSERT_TRUE(again.FindElement("N"));
        EXPECT_EQ(again.GetData(), "t");
    }
    CXmlDoc empty;  // no data: an empty-element tag
    empty.SetDocument(DECL);
    ASSERT_TRUE(empty.AddElement("C"));
    EXPECT_EQ(empty.Document(), DECL + "<C/>\r\n");
}

TEST(XmlBuild, SetAttributeAndSetData)
{
    // The start tag after setting a="v&" on odd tags (most from fuzzing).
    const std::pair<std::string, std::string> cases[] = {
        {"<r x='1' />", "<r x='1' a=\"v&amp;\" />"},
        {"<r x=/>", "<r x=/ a=\"v&amp;\">"},                // the "/" is x's value
        {"<r x= y=\"1\">", "<r x= y=\"1\" a=\"v&amp;\">"},  // "x= y" is x empty, then y
        {"<r x = \"1\">", "<r x = \"1\" a=\"v&amp;\">"},
        {"<r b\"c'\"=1 q='a=\"'>", "<r b\"c'\"=1 q='a=\"' a=\"v&amp;\">"},
        {"<r a>", "<r a=\"v&amp;\">"},
        {"<r x=>", "<r x= a=\"v&amp;\">"},
        {"<r a=old/>", "<r a=\"v&amp;\">"},
        {"<r a='1'>", "<r a=\"v&amp;\">"},  // replaced in place, now in double quotes
    };
    for (const auto& [doc, tag] : cases) {
        SCOPED_TRACE(doc);
        CXmlDoc xml;
        xml.SetDocument(doc + "</r>");
        ASSERT_TRUE(xml.FindElement("r"));
        ASSERT_TRUE(xml.SetAttribute("a", "v&"));
        EXPECT_EQ(xml.GetAttribute("a"), "v&");
        EXPECT_EQ(xml.Document().substr(0, tag.size()), tag);
    }
    CXmlDoc xml;
    xml.SetDocument("<a/>");
    ASSERT_TRUE(xml.FindElement("a"));
    ASSERT_TRUE(xml.SetAttribute("y", "\"'<>&"));
    ASSERT_TRUE(xml.SetData(xml.CurrentPosition(), "a<b>&'\""));
    EXPECT_EQ(xml.Document(), "<a y=\"&quot;&apos;&lt;&gt;&amp;\">a&lt;b&gt;&amp;'\"</a>");
    EXPECT_EQ(xml.GetData(), "a<b>&'\"");
    EXPECT_EQ(xml.GetAttribute("z"), "");
    EXPECT_FALSE(xml.SetData(0, "x"));  // the document itself
    xml.SetDocument("<p><c/></p>");
    ASSERT_TRUE(xml.FindElement("p"));
    EXPECT_FALSE(xml.SetData(xml.CurrentPosition(), "x"));  // has a child element
    // A double-byte character ending in 0x5C stays whole; 0x81 0x3C is none.
    EXPECT_EQ(CXmlDoc::Escape("\xD6\xD0\x81\x5C<", true), "\xD6\xD0\x81\x5C&lt;");
    EXPECT_EQ(CXmlDoc::Unescape("\xD6\xD0&amp;\x81\x5C"), "\xD6\xD0&\x81\x5C");
}

TEST(XmlParse, DiagnosticsAndResult)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "Empty document"},
        {"just text", "No root element"},
        {"<?xml version='1.0'?>\r\n", "No root element"},
        {"<a/><b/>", "Root element has sibling"},
        {"<a>", "Element 'a' at offset 0 not ended"},
        {"<a><b>", "Element 'b' at offset 3 not ended"},
        {"</a>", "No start tag for end tag 'a' at offset 0"},
        {"<a></b></a>", "No start tag for end tag 'b' at offset 3"},
        {"<a><b></a>", "End tag 'a' at offset 6 does not match start tag 'b' at offset 3"},
        {"<a>1 < 2</a>", "Incorrect tag name character at offset 5"},
        {"<a><!x></a>", "Incorrect ! tag at offset 3"},
        {"<a><!-x--></a>", "Incorrect comment tag at offset 3"},
        {"<a><![X[y]]></a>", "Incorrect tag at offset 3"},
        {"<!DOCTYPE a [<!Q>]><a/>", "Incorrect ! tag at offset 13"},
        {"<a x='>", "Element tag at offset 0 unterminated"},
        {"<a></a", "Element end tag at offset 3 unterminated"},
        {"<a><![CDATA[x", "CDATA Section at offset 3 unterminated"},
        {"<?xml ", "Processing instruction at offset 0 unterminated"},
        {"<a><!-- x", "Comment at offset 3 unterminated"},
        {"<!DOCTYPE a [", "Doctype at offset 0 unterminated"},
        {"<a><", "tag at offset 3 unterminated"},
        {"<a><!", "tag at offset 3 unterminated"},
        {"<a>< </b>", "Incorrect tag name character at offset 3"},  // only the first is kept
        {"<?xml version='1.0'?><!DOCTYPE a [<!ELEMENT a ANY><!-- c -> -->]>"
         "<a x=\"1>2\" y='&apos;'><!-- note --><![CDATA[<b>]]><?pi x?>t</a>\r\n",
         ""},
    };
    for (const auto& [text, result] : cases) {
        SCOPED_TRACE(text);
        CXmlDoc xml;
        EXPECT_EQ(xml.SetDocument(text), result.empty());
        EXPECT_EQ(xml.Result(), result);
        EXPECT_EQ(xml.Record(0).length, text.size());
        const bool tokenOrTree = !result.empty() && result != "No root element" &&
                                 result != "Root element has sibling" && result != "Empty document";
        EXPECT_EQ((xml.Record(0).flags & CXmlDoc::MARK_ILL_FORMED) != 0, tokenOrTree);
    }
}

// The tree a tolerant parse yields: each element as name, level and marks
// ("!" not ended), in document order of the records.
std::string Tree(const std::string& text)
{
    CXmlDoc xml;
    xml.SetDocument(text);
    std::string out;
    for (CXmlDoc::Pos p = 1; p < xml.RecordCount(); ++p) {
        const auto& r = xml.Record(p);
        out += std::string(xml.TagName(p)) + std::to_string(r.Level()) +
               (r.flags & CXmlDoc::MARK_NOT_ENDED ? "!" : "") + "<" +
               std::string(xml.TagName(r.parent)) + ":" + std::to_string(r.length) + " ";
    }
    return out;
}

TEST(XmlParse, TolerantTreesAndEmptyElementTags)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<a><b></a>", "a0<:10 b1!<a:3 "},
        {"<r><u><v><c/></r>", "r0<:17 u1!<r:3 v1!<r:3 c1<r:4 "},  // children follow as siblings
        {"<a/><b/>", "a0<:4 b0<:4 "},
        {"<r><a x=1/><b x=\"1\"/><c /></r>", "r0<:30 a1!<r:8 b1<r:10 c1<r:5 "},
        {"<r><a/></R></r>", "r0<:15 a1<r:4 "},
    };
    for (const auto& [text, tree] : cases) EXPECT_EQ(Tree(text), tree) << text;
}

TEST(XmlRead, NavigationNamesDataAndUnescaping)
{
    const std::pair<const char*, std::string> values[] = {
        {"a&amp;b&#65;&zz;", "a&bA&zz;"},
        {"&lt;&gt;&apos;&quot;", "<>'\""},
        {"&#x4e2d;&#20013;", "\xD6\xD0\xD6\xD0"},   // U+4E2D in hex and decimal
        {"&#X41;", "&#X41;"},                       // only a lower-case x
        {"&#0000065;&#00000065;", "A&#00000065;"},  // at most seven digits
        {"&#0;&#;&#x;&", "&#0;&#;&#x;&"},
        {"&#x10000;", "&#x10000;"},  // not a character of the code page
    };
    for (const auto& [written, read] : values) {
        CXmlDoc xml;
        xml.SetDocument(std::string("<a v=\"") + written + "\">" + written + "</a>");
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_EQ(xml.GetAttribute("v"), read) << written;
        EXPECT_EQ(xml.GetData(), read) << written;
    }
    CXmlDoc xml;
    xml.SetDocument(
        "<r><a><x/></a><e/><ipaddr>no</ipaddr><ip >yes</ip>"
        "<d>x<![CDATA[<&>]]><!-- no -->y</d><a x=1/></r>");
    EXPECT_FALSE(xml.IntoElement());  // nothing current yet
    EXPECT_FALSE(xml.OutOfElement());
    EXPECT_EQ(xml.GetData(0), "");  // a document with a root element
    ASSERT_TRUE(Enter(xml, "r"));
    ASSERT_TRUE(xml.FindElement("a"));
    const CXmlDoc::Pos firstA = xml.CurrentPosition();
    EXPECT_EQ(xml.GetData(), "");  // has a child element
    ASSERT_TRUE(xml.IntoElement());
    EXPECT_TRUE(xml.FindElement("x"));
    ASSERT_TRUE(xml.OutOfElement());
    EXPECT_EQ(xml.CurrentPosition(), firstA);
    EXPECT_EQ(xml.NodeType(), 1u);
    ASSERT_TRUE(xml.FindElement("e"));
    EXPECT_EQ(xml.GetData(), "");
    ASSERT_TRUE(xml.FindElement("ip"));
    EXPECT_EQ(xml.GetData(), "yes");  // not ipaddr
    ASSERT_TRUE(xml.FindElement("d"));
    EXPECT_EQ(xml.GetData(), "x<&>y");
    ASSERT_TRUE(xml.FindElement("a"));       // the search goes on after the current one
    EXPECT_EQ(xml.GetAttribute("x"), "1/");  // the slash belongs to the value
    EXPECT_FALSE(xml.FindElement("e"));
    ASSERT_TRUE(xml.OutOfElement());
    EXPECT_EQ(xml.TagName(xml.CurrentPosition()), "r");
    EXPECT_EQ(xml.ParentPosition(), 0u);
}

TEST(XmlTable, SegmentsGrowthAndDeepNesting)
{
    const int count = 70000;
    std::string text = "<r>";
    for (int i = 0; i < count; ++i) text += "<e/>";
    CXmlDoc xml;
    ASSERT_TRUE(xml.SetDocument(text + "</r>"));
    EXPECT_EQ(xml.RecordCount(), static_cast<std::uint32_t>(count + 2));
    EXPECT_EQ(xml.SegmentCount(), 2u);
    // Position 65536 is record 0 of the second segment.
    const CXmlDoc::ElemRecord& r = xml.Record(1u << 16);
    EXPECT_EQ(r.start, 3u + 4u * (65536u - 2u));
    EXPECT_EQ(xml.Record(r.prev).next, 1u << 16);
    ASSERT_TRUE(Enter(xml, "r"));
    int found = 0;
    while (xml.FindElement("e")) ++found;
    EXPECT_EQ(found, count);
    xml.SetDocument(std::string(640, ' ') + "<a/>");
    EXPECT_EQ(xml.RecordCapacity(), 644u / 64u + 8u);

    const int depth = 20000;
    text.clear();
    for (int i = 0; i < depth; ++i) text += "<d>";
    ASSERT_FALSE(xml.SetDocument(text));  // left open: all siblings at the top level
    EXPECT_EQ(xml.Record(depth).Level(), 0u);
    for (int i = 0; i < depth; ++i) text += "</d>";
    ASSERT_TRUE(xml.SetDocument(text));
    EXPECT_EQ(xml.Record(depth).Level(), static_cast<std::uint32_t>(depth - 1));
    EXPECT_EQ(xml.Record(1).length, text.size());
}

}  // namespace
