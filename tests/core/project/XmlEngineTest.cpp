// The XML engine: building text, tolerant parsing and its diagnostics,
// navigation, unescaping and the element table. Cases are table files under
// tests/data/project/xml.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <tuple>

#include "core/project/CXmlDoc.h"
#include "core/project/TableRows.h"

using namespace varnel;
using tablerows::Rows;

namespace {

bool Enter(CXmlDoc& xml, const std::string& tag)
{
    return xml.FindElement(tag) && xml.IntoElement();
}

TEST(XmlBuild, InsertionPointsAndTheRecordsBehindThem)
{
    for (const auto& row : Rows("xml/insert.tsv")) {
        SCOPED_TRACE(row[0]);
        const std::string& into = row[1];
        CXmlDoc xml;
        xml.SetDocument(row[0]);
        ASSERT_TRUE(into.empty() || Enter(xml, into));
        ASSERT_TRUE(row[2].empty() || xml.FindElement(row[2]));
        ASSERT_TRUE(xml.AddElement("N", row[3]));
        EXPECT_EQ(xml.Document(), row[4]);
        ASSERT_TRUE(xml.SetAttribute("k", "v"));  // the records behind still read right
        EXPECT_EQ(xml.GetAttribute("k"), "v");
        EXPECT_EQ(xml.GetData(), row[3]);
        if (xml.OutOfElement()) {  // the parent grew by the new element
            const CXmlDoc::ElemRecord& r = xml.Record(xml.CurrentPosition());
            EXPECT_EQ(r.start + r.length,
                      xml.Document().rfind("</" + into + ">") + into.size() + 3);
        }
    }
}

TEST(XmlBuild, SetAttributeAndSetData)
{
    for (const auto& row : Rows("xml/attributes.tsv")) {
        CXmlDoc xml;
        xml.SetDocument(row[0] + "</r>");
        ASSERT_TRUE(xml.FindElement("r"));
        ASSERT_TRUE(xml.SetAttribute("a", "v&"));
        EXPECT_EQ(xml.GetAttribute("a"), "v&");
        EXPECT_EQ(xml.Document().substr(0, row[1].size()), row[1]);
    }
    CXmlDoc xml;
    xml.SetDocument("<a/>");
    ASSERT_TRUE(xml.FindElement("a"));
    ASSERT_TRUE(xml.SetAttribute("y", "\"'<>&\xD6\x5C"));
    ASSERT_TRUE(xml.SetData(xml.CurrentPosition(), "a<b>&'\""));
    EXPECT_EQ(xml.Document(), "<a y=\"&quot;&apos;&lt;&gt;&amp;\xD6\x5C\">a&lt;b&gt;&amp;'\"</a>");
    EXPECT_EQ(xml.GetData(), "a<b>&'\"");
    EXPECT_EQ(xml.GetAttribute("z"), "");
    EXPECT_FALSE(xml.SetData(0, "x"));  // the document itself
    xml.SetDocument("<p><c/></p>");
    ASSERT_TRUE(xml.FindElement("p"));
    EXPECT_FALSE(xml.SetData(xml.CurrentPosition(), "x"));  // has a child element

    // Several at once, as one after the other: new names in one insertion, and
    // a name already there (or one an earlier name takes) replaces a value.
    const CXmlDoc::NameValue fresh[] = {{"x", "1&"}, {"y", "2"}};
    const CXmlDoc::NameValue mixed[] = {{"c", "x"}, {"b", "2"}, {"c/d", "3"}};
    for (const auto& [text, values, written] :
         {std::tuple{"<a/>", std::span<const CXmlDoc::NameValue>(fresh),
                     "<a x=\"1&amp;\" y=\"2\"/>"},
          std::tuple{"<a b=\"1\"/>", std::span<const CXmlDoc::NameValue>(mixed),
                     "<a b=\"2\" c=\"3\"/>"}}) {
        xml.SetDocument(text);
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_TRUE(xml.SetAttributes(values));
        EXPECT_EQ(xml.Document(), written);
        EXPECT_EQ(xml.GetAttribute(values[1].name), values[1].value);
    }
}

// The tree a parse yields, records in document order: name, level, "!" when
// not ended, "<" parent ":" length.
std::string Tree(const CXmlDoc& xml)
{
    std::string out;
    for (CXmlDoc::Pos p = 1; p < xml.RecordCount(); ++p) {
        const auto& r = xml.Record(p);
        out += std::string(xml.TagName(p)) + std::to_string(r.Level()) +
               (r.flags & CXmlDoc::MARK_NOT_ENDED ? "!" : "") + "<" +
               std::string(xml.TagName(r.parent)) + ":" + std::to_string(r.length) + " ";
    }
    return out;
}

TEST(XmlParse, DiagnosticsAndTolerantTrees)
{
    for (const auto& row : Rows("xml/parse.tsv")) {
        SCOPED_TRACE(row[0]);
        const std::string& result = row[1];
        CXmlDoc xml;
        EXPECT_EQ(xml.SetDocument(row[0]), result.empty());
        EXPECT_EQ(xml.Result(), result);
        EXPECT_EQ(Tree(xml), row[2]);
        const bool tokenOrTree = !result.empty() && result != "No root element" &&
                                 result != "Root element has sibling" && result != "Empty document";
        EXPECT_EQ((xml.Record(0).flags & CXmlDoc::MARK_ILL_FORMED) != 0, tokenOrTree);
    }
}

TEST(XmlRead, NavigationNamesDataAndUnescaping)
{
    for (const auto& row : Rows("xml/values.tsv")) {
        CXmlDoc xml;
        xml.SetDocument("<a v=\"" + row[0] + "\">" + row[0] + "</a>");
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_EQ(xml.GetAttribute("v"), row[1]) << row[0];
        EXPECT_EQ(xml.GetAttributeView("v"), row[1]) << row[0];
        EXPECT_EQ(xml.GetData(), row[1]) << row[0];
    }
    // Attributes as the program writes them and in other forms, read alike.
    const char* const TAGS[][3] = {
        {"<a x=\"1\" />", "x", "1"},
        {"<a b c=\"1\"/>", "c", "1"},  // b has no value
        {"<a x='1' y=\"2\"/>", "y", "2"},
        {"<a x=\"1\"y=\"2\"/>", "y", "2"},
        {"<a b=\"1\" b=\"2\"/>", "b", "1"},
        {"<a a=\"1\" a/b=\"2\"/>", "a/b", "1"},  // "a" goes on with "/"
        {"<a Ext_Module_Prm_Data_Len=\"7\" E=\"2\"/>", "Ext_Module_Prm_Data_Len", "7"},
        {"<a \xB6\xC1=\"g\" b=\"2\"/>", "\xB6\xC1", "g"},
    };
    for (const auto& [tag, name, value] : TAGS) {
        CXmlDoc xml;
        xml.SetDocument(tag);
        ASSERT_TRUE(xml.FindElement("a"));
        EXPECT_EQ(xml.GetAttributeView(name), value) << tag;
        EXPECT_EQ(xml.GetAttribute(name), value) << tag;
    }
    CXmlDoc xml;
    xml.SetDocument(
        "<r><a><x/></a><e/><ipaddr>no</ipaddr><ip >yes</ip>"
        "<d>x<![CDATA[<&>]]><!-- no -->y</d><a x=1/></r>");
    EXPECT_FALSE(xml.IntoElement() || xml.OutOfElement());  // nothing current yet
    EXPECT_EQ(xml.GetData(0), "");                          // a document with a root element
    ASSERT_TRUE(Enter(xml, "r") && xml.FindElement("a"));
    const CXmlDoc::Pos firstA = xml.CurrentPosition();
    EXPECT_EQ(xml.GetData(), "");  // has a child element
    ASSERT_TRUE(xml.IntoElement() && xml.FindElement("x") && xml.OutOfElement());
    EXPECT_EQ(xml.CurrentPosition(), firstA);
    EXPECT_EQ(xml.NodeType(), 1u);
    std::string data;
    for (const char* name : {"e", "ip", "d"})  // "ip" is not ipaddr
        data += (xml.FindElement(name) ? xml.GetData() : "-") + "|";
    EXPECT_EQ(data, "|yes|x<&>y|");
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
    const CXmlDoc::ElemRecord& r = xml.Record(1u << 16);  // record 0 of segment 1
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
