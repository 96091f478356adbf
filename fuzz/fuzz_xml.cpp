// Fuzz target: parse any bytes with the XML engine, walk every element it
// recognised, read data and attributes, then build on the tree and check that
// every record still points inside the text. A well-formed document, changed
// or not, parses again to as many elements as its tree holds.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/project/CXmlDoc.h"

namespace {

using varnel::CXmlDoc;

// Stops the run at a broken expectation.
#define Check(condition) ((condition) ? void() : __builtin_trap())

// Every record lies inside the text, its tags inside the record.
void CheckTable(const CXmlDoc& xml)
{
    const std::size_t size = xml.Document().size();
    Check(xml.Record(0).length == size);
    for (CXmlDoc::Pos p = 1; p < xml.RecordCount(); ++p) {
        const CXmlDoc::ElemRecord& r = xml.Record(p);
        Check(std::size_t{r.start} + r.length <= size);
        Check(r.StartTagLength() + r.EndTagLength() <= r.length);
        Check(xml.Document()[r.start] == '<');
        Check(r.parent < xml.RecordCount() && r.next < xml.RecordCount());
    }
}

// The elements the tree holds, found through the child and sibling links.
std::size_t CountElements(const CXmlDoc& xml)
{
    std::size_t count = 0;
    std::vector<CXmlDoc::Pos> parents{0};
    while (!parents.empty()) {
        const CXmlDoc::Pos parent = parents.back();
        parents.pop_back();
        for (CXmlDoc::Pos p = xml.Record(parent).firstChild; p != 0; p = xml.Record(p).next) {
            Check(++count < xml.RecordCount());  // no cycle
            parents.push_back(p);
        }
    }
    return count;
}

// The text parsed afresh holds as many elements as the tree.
void CheckReparse(const CXmlDoc& xml)
{
    CXmlDoc again;
    again.SetDocument(xml.Document());
    Check(CountElements(again) == CountElements(xml));
}

// Visits the children of the parent position through the navigation calls.
void Walk(CXmlDoc& xml, int depth)
{
    for (CXmlDoc::Pos p = xml.Record(xml.ParentPosition()).firstChild; p != 0;
         p = xml.Record(p).next) {
        const std::string name(xml.TagName(p));
        if (!xml.FindElement(name)) continue;
        (void)xml.GetData();
        (void)xml.GetAttribute("moduleName");
        (void)xml.GetAttribute("a");
        if (depth < 64 && xml.IntoElement()) {
            Walk(xml, depth + 1);
            Check(xml.OutOfElement());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CXmlDoc xml;
    const bool wellFormed = xml.SetDocument(std::string(reinterpret_cast<const char*>(data), size));
    CheckTable(xml);
    CheckReparse(xml);
    Walk(xml, 0);
    (void)xml.GetData(0);

    // Build on whatever was recognised: into the first element, add, set.
    xml.SetDocument(std::string(reinterpret_cast<const char*>(data), size));
    if (xml.Record(0).firstChild != 0) {
        const std::string root(xml.TagName(xml.Record(0).firstChild));
        if (xml.FindElement(root)) {
            if (xml.SetAttribute("a", "x&\"'<>")) Check(xml.GetAttribute("a") == "x&\"'<>");
            if (xml.SetData("d<&>")) Check(xml.GetData() == "d<&>");
            if (xml.IntoElement() && xml.AddElement("n", "t&")) {
                Check(xml.GetData() == "t&");
                xml.SetAttribute("b", "1");
                xml.AddElement("m");
            }
        }
    }
    CheckTable(xml);
    if (wellFormed) CheckReparse(xml);
    return 0;
}
