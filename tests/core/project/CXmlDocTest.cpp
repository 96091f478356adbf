// The XML engine: building text, tolerant parsing and its diagnostics,
// navigation, escaping, the element table and file encodings.
#include <gtest/gtest.h>

#include <string>

#include "core/project/CXmlDoc.h"
#include "support/TestSupport.h"

using namespace varnel;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const std::string DECL = "<?xml version='1.0' encoding='gb2312'?>";

// Finds `tag` after the current element and goes into it.
bool Enter(CXmlDoc& xml, const std::string& tag)
{
    return xml.FindElement(tag) && xml.IntoElement();
}

TEST(XmlBuild, InsertionPointsAndTheRecordsBehindThem)
{
    struct Case {
        const char* name;
        std::string doc;
        std::string into;   // element to go into ("" = stay at the top)
        std::string after;  // child to find first ("" = no current element)
        std::string expected;
    } cases[] = {
        {"end tag but no content gets a line break first", "<R></R>", "R", "",
         "<R>\r\n<N>t</N>\r\n</R>"},
        {"white space before the end tag is kept in front", "<R>\r\n<a/>\r\n</R>", "R", "",
         "<R>\r\n<a/>\r\n<N>t</N>\r\n</R>"},
        {"after the current element, past its line break", "<R>\r\n<a/>\r\n<b/>\r\n</R>", "R", "a",
         "<R>\r\n<a/>\r\n<N>t</N>\r\n<b/>\r\n</R>"},
        {"text after the current element stays behind the new one", "<R><a/>tail</R>", "R", "a",
         "<R><a/><N>t</N>\r\ntail</R>"},
        {"an empty element with attributes is opened", "<R x=\"1\"/>", "R", "",
         "<R x=\"1\">\r\n<N>t</N>\r\n</R>"},
        {"an empty element is opened", "<A/>", "A", "", "<A>\r\n<N>t</N>\r\n</A>"},
        {"top level of an empty document", "", "", "", "<N>t</N>\r\n"},
        {"after a declaration", DECL, "", "", DECL + "<N>t</N>\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
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
        // Elements behind the insertion still read right.
        ASSERT_TRUE(xml.SetAttribute("k", "v"));
        EXPECT_EQ(xml.GetAttribute("k"), "v");
        EXPECT_EQ(xml.GetData(), "t");
        if (!c.into.empty()) {
            xml.OutOfElement();
            EXPECT_EQ(xml.TagName(xml.CurrentPosition()), c.into);
            const CXmlDoc::ElemRecord& r = xml.Record(xml.CurrentPosition());
            EXPECT_EQ(xml.Document().compare(r.start + r.length - r.EndTagLength(), 2, "</"), 0);
        }
        // The table follows the text: reparsing finds the new element.
        CXmlDoc again;
        again.SetDocument(xml.Document());
        if (!c.into.empty()) {
            ASSERT_TRUE(Enter(again, c.into));
        }
        ASSERT_TRUE(again.FindElement("N"));
        EXPECT_EQ(again.GetData(), "t");
    }
}

TEST(XmlBuild, AttributesEscapingAndSetData)
{
    CXmlDoc xml;
    xml.SetDocument("<a x='1' />");
    ASSERT_TRUE(xml.FindElement("a"));
    ASSERT_TRUE(xml.SetAttribute("y", "say \"hi\" & 'bye' <now>"));
    ASSERT_TRUE(xml.SetAttribute("x", "2"));  // replaced in place, now in double quotes
    EXPECT_EQ(xml.Document(),
              "<a x=\"2\" y=\"say &quot;hi&quot; &amp; &apos;bye&apos; &lt;now&gt;\" />");
    EXPECT_EQ(xml.GetAttribute("y"), "say \"hi\" & 'bye' <now>");
    EXPECT_EQ(xml.GetAttribute("z"), "");

    ASSERT_TRUE(xml.SetData(xml.CurrentPosition(), "a<b>&'\""));
    EXPECT_EQ(xml.GetData(), "a<b>&'\"");
    EXPECT_NE(xml.Document().find(">a&lt;b&gt;&amp;'\"</a>"), std::string::npos);
    EXPECT_FALSE(xml.SetData(0, "x"));  // the document itself

    CXmlDoc parent;
    parent.SetDocument("<p><c/></p>");
    ASSERT_TRUE(parent.FindElement("p"));
    EXPECT_FALSE(parent.SetData(parent.CurrentPosition(), "x"));  // has a child element

    // An element added without data is an empty-element tag.
    CXmlDoc empty;
    empty.SetDocument(DECL);
    ASSERT_TRUE(empty.AddElement("C"));
    EXPECT_EQ(empty.Document(), DECL + "<C/>\r\n");
}

TEST(XmlBuild, SetAttributeOnOddStartTags)
{
    // Each start tag keeps the attribute readable after it is set; the odd
    // forms come from fuzzing.
    struct Case {
        std::string doc;
        std::string tag;  // the start tag afterwards
    } cases[] = {
        {"<r x=/>", "<r x=/ a=\"v&amp;\">"},                // the "/" is x's value
        {"<r x= y=\"1\">", "<r x= y=\"1\" a=\"v&amp;\">"},  // "x= y" is x empty, then y
        {"<r x = \"1\">", "<r x = \"1\" a=\"v&amp;\">"},    // blanks around "=" before a quote
        {"<r b\"c'\"=1 q='a=\"'>", "<r b\"c'\"=1 q='a=\"' a=\"v&amp;\">"},  // quotes in a name
        {"<r a>", "<r a=\"v&amp;\">"},                                      // a name without value
        {"<r x=>", "<r x= a=\"v&amp;\">"},   // an empty unquoted value
        {"<r a=old/>", "<r a=\"v&amp;\">"},  // "/" of an unquoted value
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.doc);
        CXmlDoc xml;
        xml.SetDocument(c.doc + "</r>");
        ASSERT_TRUE(xml.FindElement("r"));
        ASSERT_TRUE(xml.SetAttribute("a", "v&"));
        EXPECT_EQ(xml.GetAttribute("a"), "v&");
        EXPECT_EQ(xml.Document().substr(0, c.tag.size()), c.tag);
    }
}

TEST(XmlBuild, DoubleByteCharactersAreNeverSplit)
{
    // 0x81 0x3C is not a character, but a real one ending in 0x5C must stay whole.
    const std::string gbk = "\xD6\xD0\x81\x5C<";
    EXPECT_EQ(CXmlDoc::Escape(gbk, true), "\xD6\xD0\x81\x5C&lt;");
    EXPECT_EQ(CXmlDoc::Unescape("\xD6\xD0&amp;\x81\x5C"), "\xD6\xD0&\x81\x5C");
}

TEST(XmlParse, DiagnosticsAndResult)
{
    struct Case {
        std::string text;
        bool wellFormed;
        std::string result;
    } cases[] = {
        {"", false, "Empty document"},
        {"just text", false, "No root element"},
        {"<?xml version='1.0'?>\r\n", false, "No root element"},
        {"<a/><b/>", false, "Root element has sibling"},
        {"<a>", false, "Element 'a' at offset 0 not ended"},
        {"<a><b>", false, "Element 'b' at offset 3 not ended"},
        {"</a>", false, "No start tag for end tag 'a' at offset 0"},
        {"<a></b></a>", false, "No start tag for end tag 'b' at offset 3"},
        {"<a><b></a>", false, "End tag 'a' at offset 6 does not match start tag 'b' at offset 3"},
        {"<a>1 < 2</a>", false, "Incorrect tag name character at offset 5"},
        {"<a><!x></a>", false, "Incorrect ! tag at offset 3"},
        {"<a><!-x--></a>", false, "Incorrect comment tag at offset 3"},
        {"<a><![X[y]]></a>", false, "Incorrect tag at offset 3"},
        {"<a x='>", false, "Element tag at offset 0 unterminated"},
        {"<a></a", false, "Element end tag at offset 3 unterminated"},
        {"<a><![CDATA[x", false, "CDATA Section at offset 3 unterminated"},
        {"<?xml ", false, "Processing instruction at offset 0 unterminated"},
        {"<a><!-- x", false, "Comment at offset 3 unterminated"},
        {"<!DOCTYPE a [", false, "Doctype at offset 0 unterminated"},
        {"<a><", false, "tag at offset 3 unterminated"},
        // Only the first diagnostic is kept.
        {"<a>< </b>", false, "Incorrect tag name character at offset 3"},
        {"<?xml version='1.0'?><!DOCTYPE a [<!ELEMENT a ANY><!-- c -> -->]>"
         "<a x=\"1>2\" y='&apos;'><!-- note --><![CDATA[<b>]]><?pi x?>t</a>\r\n",
         true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CXmlDoc xml;
        EXPECT_EQ(xml.SetDocument(c.text), c.wellFormed);
        EXPECT_EQ(xml.Result(), c.result);
        EXPECT_EQ(xml.Record(0).length, c.text.size());
        EXPECT_EQ((xml.Record(0).flags & CXmlDoc::MARK_ILL_FORMED) != 0,
                  !c.wellFormed && c.result != "No root element" &&
                      c.result != "Root element has sibling" && c.result != "Empty document");
    }
}

TEST(XmlParse, TolerantTreeOfBrokenDocuments)
{
    CXmlDoc xml;
    EXPECT_FALSE(xml.SetDocument("<a><b></a>"));
    ASSERT_TRUE(Enter(xml, "a"));
    ASSERT_TRUE(xml.FindElement("b"));
    const auto& b = xml.Record(xml.CurrentPosition());
    EXPECT_TRUE(b.flags & CXmlDoc::MARK_NOT_ENDED);
    EXPECT_EQ(b.length, 3u);  // only its start tag
    EXPECT_EQ(b.Level(), 1u);

    // The children of elements left open follow them as siblings.
    EXPECT_FALSE(xml.SetDocument("<r><u><v><c/></r>"));
    ASSERT_TRUE(Enter(xml, "r"));
    std::string order;
    for (CXmlDoc::Pos p = xml.Record(xml.ParentPosition()).firstChild; p != 0;
         p = xml.Record(p).next) {
        order += std::string(xml.TagName(p)) + std::to_string(xml.Record(p).Level()) + " ";
        EXPECT_EQ(xml.Record(p).parent, xml.ParentPosition());
    }
    EXPECT_EQ(order, "u1 v1 c1 ");

    // Two top-level elements: both are found.
    EXPECT_FALSE(xml.SetDocument("<a/><b/>"));
    EXPECT_TRUE(xml.FindElement("b"));
    EXPECT_FALSE(xml.FindElement("a"));  // searches only after the current one
}

TEST(XmlParse, EmptyElementTagsAndNameMatching)
{
    CXmlDoc xml;
    xml.SetDocument("<r><a x=1/><b x=\"1\"/><c /><ipaddr>no</ipaddr><ip >yes</ip></r>");
    ASSERT_TRUE(Enter(xml, "r"));
    ASSERT_TRUE(xml.FindElement("a"));
    EXPECT_EQ(xml.GetAttribute("x"), "1/");  // the slash belongs to the value
    EXPECT_NE(xml.Record(xml.CurrentPosition()).flags & CXmlDoc::MARK_NOT_ENDED, 0u);
    ASSERT_TRUE(xml.FindElement("b"));
    EXPECT_EQ(xml.Record(xml.CurrentPosition()).length, 10u);
    EXPECT_EQ(xml.GetAttribute("x"), "1");
    ASSERT_TRUE(xml.FindElement("c"));
    EXPECT_EQ(xml.Record(xml.CurrentPosition()).flags & CXmlDoc::MARK_NOT_ENDED, 0u);
    ASSERT_TRUE(xml.FindElement("ip"));
    EXPECT_EQ(xml.GetData(), "yes");  // not ipaddr
    EXPECT_FALSE(xml.FindElement("ip"));
}

TEST(XmlRead, DataAndUnescaping)
{
    struct Case {
        const char* written;
        std::string read;
    } cases[] = {
        {"a&amp;b&#65;&zz;", "a&bA&zz;"},
        {"&lt;&gt;&apos;&quot;", "<>'\""},
        {"&#x4e2d;&#20013;", "\xD6\xD0\xD6\xD0"},   // U+4E2D in hex and decimal
        {"&#X41;", "&#X41;"},                       // only a lower-case x
        {"&#0000065;&#00000065;", "A&#00000065;"},  // at most seven digits
        {"&#0;&#;&#x;&", "&#0;&#;&#x;&"},
        {"&#x10000;", "&#x10000;"},  // not a character of the code page
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        CXmlDoc xml;
        xml.SetDocument(std::string("<a v=\"") + c.written + "\">" + c.written + "</a>");
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_EQ(xml.GetAttribute("v"), c.read);
        EXPECT_EQ(xml.GetData(), c.read);
    }

    CXmlDoc xml;
    xml.SetDocument("<r><e/><p><c/></p><d>x<![CDATA[<&>]]><!-- no -->y</d></r>");
    EXPECT_EQ(xml.GetData(0), "");  // a document with a root element
    ASSERT_TRUE(Enter(xml, "r"));
    ASSERT_TRUE(xml.FindElement("e"));
    EXPECT_EQ(xml.GetData(), "");
    ASSERT_TRUE(xml.FindElement("p"));
    EXPECT_EQ(xml.GetData(), "");
    ASSERT_TRUE(xml.FindElement("d"));
    EXPECT_EQ(xml.GetData(), "x<&>y");
}

TEST(XmlNavigate, IntoAndOutOfElements)
{
    CXmlDoc xml;
    xml.SetDocument("<r><a><x/></a><b/><a/></r>");
    EXPECT_FALSE(xml.IntoElement());  // nothing current yet
    EXPECT_FALSE(xml.OutOfElement());
    ASSERT_TRUE(Enter(xml, "r"));
    ASSERT_TRUE(xml.FindElement("a"));
    const CXmlDoc::Pos firstA = xml.CurrentPosition();
    ASSERT_TRUE(xml.IntoElement());
    EXPECT_TRUE(xml.FindElement("x"));
    ASSERT_TRUE(xml.OutOfElement());
    EXPECT_EQ(xml.CurrentPosition(), firstA);
    EXPECT_EQ(xml.NodeType(), 1u);
    ASSERT_TRUE(xml.FindElement("a"));  // the search goes on after the first "a"
    EXPECT_NE(xml.CurrentPosition(), firstA);
    EXPECT_FALSE(xml.FindElement("b"));
    ASSERT_TRUE(xml.OutOfElement());
    EXPECT_EQ(xml.TagName(xml.CurrentPosition()), "r");
    EXPECT_EQ(xml.ParentPosition(), 0u);
}

TEST(XmlTable, SegmentsPositionsAndGrowth)
{
    const int count = 70000;
    std::string text = "<r>";
    for (int i = 0; i < count; ++i) text += "<e/>";
    text += "</r>";
    CXmlDoc xml;
    ASSERT_TRUE(xml.SetDocument(text));
    EXPECT_EQ(xml.RecordCount(), static_cast<std::uint32_t>(count + 2));
    EXPECT_EQ(xml.SegmentCount(), 2u);
    EXPECT_GE(xml.RecordCapacity(), xml.RecordCount());
    // Position 65536 is record 0 of the second segment: the element at offset
    // 3 + 4 * (65536 - 2).
    const CXmlDoc::ElemRecord& r = xml.Record(1u << 16);
    EXPECT_EQ(r.start, 3u + 4u * (65536u - 2u));
    EXPECT_EQ(r.parent, 1u);
    EXPECT_EQ(xml.Record(r.prev).next, 1u << 16);
    ASSERT_TRUE(Enter(xml, "r"));
    int found = 0;
    while (xml.FindElement("e")) ++found;
    EXPECT_EQ(found, count);

    // A small document starts with (length / 64) + 8 records.
    CXmlDoc small;
    small.SetDocument(std::string(640, ' ') + "<a/>");
    EXPECT_EQ(small.RecordCapacity(), 644u / 64u + 8u);
}

TEST(XmlTable, DeepNestingKeepsLevels)
{
    const int depth = 20000;
    std::string text;
    for (int i = 0; i < depth; ++i) text += "<d>";
    for (int i = 0; i < depth; ++i) text += "</d>";
    CXmlDoc xml;
    ASSERT_TRUE(xml.SetDocument(text));
    EXPECT_EQ(xml.Record(depth).Level(), static_cast<std::uint32_t>(depth - 1));
    EXPECT_EQ(xml.Record(1).length, text.size());
    // Left open, they all become siblings at the top level.
    EXPECT_FALSE(xml.SetDocument(text.substr(0, 3 * depth)));
    EXPECT_EQ(xml.Record(depth).Level(), 0u);
    EXPECT_EQ(xml.Record(depth).parent, 0u);
}

TEST(XmlFile, LoadAndSaveEncodings)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string file;    // bytes on disk
        std::string loaded;  // the document after load (GBK)
    } cases[] = {
        {"no declaration: UTF-8", "<a>\xE4\xB8\xAD</a>", "<a>\xD6\xD0</a>"},
        {"declared UTF-8", "<?xml encoding=\"utf-8\"?><a>\xE4\xB8\xAD</a>",
         "<?xml encoding=\"utf-8\"?><a>\xD6\xD0</a>"},
        {"declared gb2312: bytes kept", "<?xml encoding='gb2312'?><a>\xD6\xD0</a>",
         "<?xml encoding='gb2312'?><a>\xD6\xD0</a>"},
        {"outside the code page", "<a>\xF0\x9F\x98\x80|\xE0\xB8\x81|\xC3\xA9</a>",
         "<a>?|?|\xA8\xA6</a>"},
        {"malformed UTF-8", "<a>\xE4\xB8|\x80|\xC0\xAF</a>", "<a>?|?|?</a>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile(dir / "in.xml", c.file);
        CXmlDoc xml;
        ASSERT_TRUE(xml.Load((dir / "in.xml").string()));
        EXPECT_EQ(xml.Document(), c.loaded);
        EXPECT_NE(xml.Result().find(std::to_string(c.file.size()) + " bytes"), std::string::npos);
        xml.ParseDocument();
        ASSERT_TRUE(xml.Save((dir / "out.xml").string()));
        const bool lossless = c.loaded.find('?') == std::string::npos;
        if (lossless) {
            EXPECT_EQ(ReadFile(dir / "out.xml"), c.file);
        }
    }

    CXmlDoc xml;
    EXPECT_FALSE(xml.Load((dir / "missing.xml").string()));
    EXPECT_EQ(xml.Result(), "No such file or directory");
    EXPECT_EQ(xml.Document(), "");
    EXPECT_FALSE(xml.FindElement("a"));
    EXPECT_FALSE(xml.Save((dir / "no" / "such" / "x.xml").string()));
    EXPECT_NE(xml.Result().find("x.xml"), std::string::npos);
    ASSERT_TRUE(xml.Save((dir / "empty.xml").string()));
    EXPECT_EQ(ReadFile(dir / "empty.xml"), "");
}

}  // namespace
