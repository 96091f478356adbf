// The XML engine against pugixml and tinyxml2 on the same bytes: reading a
// project-like document (parse, walk every Module and read its seven
// attributes) and parsing a deeply nested one, 1 MB and 20 MB each; saving the
// largest configuration (54 slots, both ports) beside pugixml building and
// saving the same tree; and opening and compiling that configuration beside
// pugixml reading the same bytes into the same document and compiling it.
// Prints each engine's MB/s and time and, at the end, its ratio to pugixml.
#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/image/Compiler.h"
#include "core/modbus/ModbusMaster.h"
#include "core/model/CVarnelDoc.h"
#include "core/project/CXmlDoc.h"
#include "core/project/ProjectFile.h"
#include "core/project/ProjectStore.h"
#include "core/project/TextCodec.h"
#include "core/util/Hex.h"

namespace {

using varnel::CModule;
using varnel::CVarnelDoc;
using varnel::CXmlDoc;
using varnel::Port;
namespace ProjectFile = varnel::ProjectFile;

constexpr const char* ATTRIBUTES[] = {"moduleName", "usrPrm",   "Ext_Module_Prm_Data_Len",
                                      "picture",    "inputLen", "outputLen",
                                      "modulePrm"};

// Many configurations' worth of "Module" lines, as the program writes them.
std::string ProjectLike(std::size_t size)
{
    std::string text = std::string(ProjectFile::DECLARATION) + "<VarnelProject>\r\n";
    text += "<softVer>1.0</softVer>\r\n<deviceIp>192.168.1.10</deviceIp>\r\n";
    for (int port = 0; text.size() < size; ++port) {
        text += "<COM" + std::to_string(port % 2 + 1) + ">\r\n";
        for (int i = 0; i < 57; ++i)
            text +=
                "<Module moduleName=\"\xB6\xC1\x30\xC7\xF8 01H\" usrPrm=\"\" "
                "Ext_Module_Prm_Data_Len=\"\" picture=\"read\" inputLen=\"" +
                std::to_string(i * 2) + "\" outputLen=\"0\" modulePrm=\"0101000000" +
                std::to_string(10 + i) + "\"/>\r\n";
        text += "</COM" + std::to_string(port % 2 + 1) + ">\r\n";
    }
    return text + "</VarnelProject>\r\n";
}

// Chains 90 deep (tinyxml2 refuses 100 and more) of elements with an attribute and a little text
// each.
std::string DeeplyNested(std::size_t size)
{
    std::string text = "<root>";
    while (text.size() < size) {
        for (int d = 0; d < 90; ++d)
            text += "<level depth=\"" + std::to_string(d) + "\">t&amp;" + std::to_string(d);
        for (int d = 0; d < 90; ++d) text += "</level>";
        text += "\r\n";
    }
    return text + "</root>";
}

const std::string& Document(int shape, int megabytes)
{
    static std::map<std::pair<int, int>, std::string> cache;
    auto& text = cache[{shape, megabytes}];
    if (text.empty()) {
        const std::size_t size = static_cast<std::size_t>(megabytes) << 20;
        text = shape == 0 ? ProjectLike(size) : DeeplyNested(size);
    }
    return text;
}

// What every reader must have seen: Modules and the bytes of their values.
struct Tally {
    std::size_t modules = 0;
    std::size_t valueBytes = 0;
    bool operator==(const Tally&) const = default;
};

void Finish(benchmark::State& state, const std::string& text, const Tally& seen, int shape)
{
    static std::map<int, Tally> expected;  // the first engine to run sets it
    if (shape == 0) {
        auto [it, first] = expected.try_emplace(static_cast<int>(state.range(0)), seen);
        if (seen.modules == 0 || !(it->second == seen))
            state.SkipWithError("the engines disagree on the document's values");
        state.counters["modules"] = static_cast<double>(seen.modules);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetLabel(std::to_string(state.range(0)) + "MB");
}

// Parse, walk the port containers and read every Module's seven attributes.
template <bool View>
void ReadCXmlDoc(benchmark::State& state)
{
    const std::string& text = Document(0, static_cast<int>(state.range(0)));
    Tally seen;
    for (auto _ : state) {
        seen = {};
        CXmlDoc xml;
        xml.SetDocument(text);
        xml.FindElement("VarnelProject");
        xml.IntoElement();
        for (int port = 0; xml.FindElement(port % 2 ? "COM2" : "COM1"); ++port) {
            xml.IntoElement();
            while (xml.FindElement("Module")) {
                ++seen.modules;
                for (const char* name : ATTRIBUTES) {
                    if constexpr (View)
                        seen.valueBytes += xml.GetAttributeView(name).size();
                    else
                        seen.valueBytes += xml.GetAttribute(name).size();
                }
            }
            xml.OutOfElement();
        }
        benchmark::DoNotOptimize(seen);
    }
    Finish(state, text, seen, 0);
}

void BM_Read_CXmlDoc(benchmark::State& state)
{
    ReadCXmlDoc<true>(state);
}

// The same through the std::string accessor (a copy of every value).
void BM_Read_CXmlDocString(benchmark::State& state)
{
    ReadCXmlDoc<false>(state);
}

void BM_Read_pugixml(benchmark::State& state)
{
    const std::string& text = Document(0, static_cast<int>(state.range(0)));
    Tally seen;
    for (auto _ : state) {
        seen = {};
        pugi::xml_document xml;
        const pugi::xml_parse_result r =
            xml.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!r) state.SkipWithError(r.description());
        for (pugi::xml_node port : xml.child("VarnelProject").children()) {
            if (std::strncmp(port.name(), "COM", 3) != 0) continue;
            for (pugi::xml_node module : port.children("Module")) {
                ++seen.modules;
                for (const char* name : ATTRIBUTES)
                    seen.valueBytes += std::strlen(module.attribute(name).value());
            }
        }
        benchmark::DoNotOptimize(seen);
    }
    Finish(state, text, seen, 0);
}

void BM_Read_tinyxml2(benchmark::State& state)
{
    const std::string& text = Document(0, static_cast<int>(state.range(0)));
    Tally seen;
    for (auto _ : state) {
        seen = {};
        tinyxml2::XMLDocument xml;
        if (xml.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS)
            state.SkipWithError(xml.ErrorStr());
        const tinyxml2::XMLElement* root = xml.FirstChildElement("VarnelProject");
        for (const tinyxml2::XMLElement* port = root ? root->FirstChildElement() : nullptr;
             port != nullptr; port = port->NextSiblingElement()) {
            if (std::strncmp(port->Name(), "COM", 3) != 0) continue;
            for (const tinyxml2::XMLElement* module = port->FirstChildElement("Module");
                 module != nullptr; module = module->NextSiblingElement("Module")) {
                ++seen.modules;
                for (const char* name : ATTRIBUTES) {
                    const char* value = module->Attribute(name);
                    seen.valueBytes += value ? std::strlen(value) : 0;
                }
            }
        }
        benchmark::DoNotOptimize(seen);
    }
    Finish(state, text, seen, 0);
}

// Parse alone of the deeply nested document.
void BM_Parse_CXmlDoc(benchmark::State& state)
{
    const std::string& text = Document(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        CXmlDoc xml;
        bool ok = xml.SetDocument(text);
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("document not parsed as well-formed");
    }
    Finish(state, text, {}, 1);
}

void BM_Parse_pugixml(benchmark::State& state)
{
    const std::string& text = Document(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        pugi::xml_document xml;
        pugi::xml_parse_result r =
            xml.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError(r.description());
    }
    Finish(state, text, {}, 1);
}

void BM_Parse_tinyxml2(benchmark::State& state)
{
    const std::string& text = Document(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        tinyxml2::XMLDocument xml;
        auto r = xml.Parse(text.data(), text.size());
        benchmark::DoNotOptimize(r);
        if (r != tinyxml2::XML_SUCCESS) state.SkipWithError(xml.ErrorStr());
    }
    Finish(state, text, {}, 1);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(1)->Arg(20)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Read_CXmlDoc)->Apply(Sizes);
BENCHMARK(BM_Read_CXmlDocString)->Apply(Sizes);
BENCHMARK(BM_Read_pugixml)->Apply(Sizes);
BENCHMARK(BM_Read_tinyxml2)->Apply(Sizes);
BENCHMARK(BM_Parse_CXmlDoc)->Apply(Sizes);
BENCHMARK(BM_Parse_pugixml)->Apply(Sizes);
BENCHMARK(BM_Parse_tinyxml2)->Apply(Sizes);

// The largest configuration: 54 user slots on both ports, 53 commands and the
// slave-status table that the compile places behind them.
CVarnelDoc LargestConfiguration(const std::string& folder = {})
{
    CVarnelDoc doc;
    doc.OnNewDocument();
    if (!folder.empty()) doc.appFolder = folder;
    doc.deviceIp = "192.168.1.10";
    doc.deviceSlotNum = 54;
    for (Port port : {Port::COM1, Port::COM2}) {
        varnel::SetupPort(doc, port);
        for (int i = 0; i < 53; ++i)
            varnel::PlaceModule(doc, {port, varnel::UserSlotIndex(i + 1)},
                                i % 2 ? "读4区 03H" : "写4区 10H 写多字", 0,
                                static_cast<std::uint16_t>(1 + i), static_cast<std::uint8_t>(i));
    }
    if (!varnel::CompileImage(doc)) std::fprintf(stderr, "the largest configuration refused\n");
    return doc;
}

void BM_Store_CXmlDoc(benchmark::State& state)
{
    const CVarnelDoc doc = LargestConfiguration();
    std::size_t size = 0;
    for (auto _ : state) {
        std::string bytes = ProjectFile::Store(doc);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// The same tree with pugixml: built from the document (texts converted to
// the file's code page as the project file does) and saved to a string.
void BuildPugiTree(const CVarnelDoc& doc, pugi::xml_document& xml)
{
    using varnel::TextCodec::Utf8ToGbk;
    pugi::xml_node declaration = xml.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "gb2312";
    pugi::xml_node root = xml.append_child("VarnelProject");
    root.append_child("softVer").text() = "1.0";
    root.append_child("deviceIp").text() = Utf8ToGbk(doc.deviceIp).c_str();
    root.append_child("deviceSlotNum").text() = doc.deviceSlotNum;
    pugi::xml_node info = root.append_child("COMInfo");
    info.append_attribute("com1") = doc.com1Enabled;
    info.append_attribute("com2") = doc.com2Enabled;
    for (Port port : {Port::COM1, Port::COM2}) {
        pugi::xml_node rack = root.append_child(varnel::PortName(port));
        for (int index = 0; index <= doc.LastConfigIndex(); ++index) {
            const CModule& m = doc.Slot(port, index).module;
            pugi::xml_node module = rack.append_child("Module");
            module.append_attribute("moduleName") = Utf8ToGbk(m.moduleName).c_str();
            module.append_attribute("usrPrm") = Utf8ToGbk(m.usrPrm).c_str();
            module.append_attribute("Ext_Module_Prm_Data_Len") =
                Utf8ToGbk(m.Ext_Module_Prm_Data_Len).c_str();
            module.append_attribute("picture") = Utf8ToGbk(m.picture).c_str();
            module.append_attribute("inputLen") = m.inputLen;
            module.append_attribute("outputLen") = m.outputLen;
            module.append_attribute("modulePrm") = varnel::FormatHex(m.modulePrm).c_str();
        }
    }
}

std::string SavePugi(const pugi::xml_document& xml)
{
    struct Writer : pugi::xml_writer {
        std::string out;
        void write(const void* data, std::size_t size) override
        {
            out.append(static_cast<const char*>(data), size);
        }
    } writer;
    xml.save(writer, "", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.out);
}

void BM_Store_pugixml(benchmark::State& state)
{
    const CVarnelDoc doc = LargestConfiguration();
    std::size_t size = 0;
    for (auto _ : state) {
        pugi::xml_document xml;
        BuildPugiTree(doc, xml);
        std::string text = SavePugi(xml);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

// pugixml's save alone, of a tree built beforehand.
void BM_Store_pugixmlSaveOnly(benchmark::State& state)
{
    pugi::xml_document xml;
    BuildPugiTree(LargestConfiguration(), xml);
    std::size_t size = 0;
    for (auto _ : state) {
        std::string text = SavePugi(xml);
        size = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}

BENCHMARK(BM_Store_CXmlDoc)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Store_pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Store_pugixmlSaveOnly)->Unit(benchmark::kMicrosecond);

// Open and compile in memory: the project bytes read into a document, then
// the status tables placed and the configuration image built.
void BM_OpenAndCompile_CXmlDoc(benchmark::State& state)
{
    const std::string bytes = ProjectFile::Store(LargestConfiguration());
    for (auto _ : state) {
        CVarnelDoc doc;
        const bool read = ProjectFile::Load(bytes, doc).ok();
        const auto image = varnel::CompileImage(doc);
        if (!read || !image) state.SkipWithError("the largest configuration did not open");
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// The configuration read from a pugixml tree with the same conversions.
bool ReadPugiTree(const pugi::xml_document& xml, CVarnelDoc& doc)
{
    using varnel::TextCodec::GbkToUtf8;
    const pugi::xml_node root = xml.child("VarnelProject");
    doc.deviceIp = GbkToUtf8(root.child_value("deviceIp"));
    doc.deviceSlotNum = std::atoi(root.child_value("deviceSlotNum"));
    const pugi::xml_node info = root.child("COMInfo");
    doc.com1Enabled = info.attribute("com1").as_int();
    doc.com2Enabled = info.attribute("com2").as_int();
    for (Port port : {Port::COM1, Port::COM2}) {
        int k = 0;
        for (pugi::xml_node module : root.child(varnel::PortName(port)).children("Module")) {
            CModule m;
            m.moduleName = GbkToUtf8(module.attribute("moduleName").value());
            m.usrPrm = GbkToUtf8(module.attribute("usrPrm").value());
            m.Ext_Module_Prm_Data_Len =
                GbkToUtf8(module.attribute("Ext_Module_Prm_Data_Len").value());
            m.picture = GbkToUtf8(module.attribute("picture").value());
            m.inputLen = module.attribute("inputLen").as_int();
            m.outputLen = module.attribute("outputLen").as_int();
            m.modulePrm =
                varnel::ParseHexStrict(module.attribute("modulePrm").value()).value_or(m.modulePrm);
            doc.Slot(port, k++).module = std::move(m);
        }
    }
    return !root.empty();
}

// The same open with pugixml as the reader: the text after the length prefix
// parsed (UTF-8 mode, no conversion), the configuration read from the tree,
// the same compile; its image must equal the one above.
void BM_OpenAndCompile_pugixml(benchmark::State& state)
{
    const CVarnelDoc largest = LargestConfiguration();
    const std::string bytes = ProjectFile::Store(largest);
    const std::size_t prefix = bytes.size() - ProjectFile::BuildText(largest).size();
    CVarnelDoc expected;
    const bool read = ProjectFile::Load(bytes, expected).ok();
    const auto wanted = varnel::CompileImage(expected);
    for (auto _ : state) {
        CVarnelDoc doc;
        pugi::xml_document xml;
        xml.load_buffer(bytes.data() + prefix, bytes.size() - prefix, pugi::parse_default,
                        pugi::encoding_utf8);
        const bool opened = ReadPugiTree(xml, doc);
        const auto image = varnel::CompileImage(doc);
        if (!read || !wanted || !opened || !image || *image != *wanted)
            state.SkipWithError("the pugixml reader built another image");
        benchmark::DoNotOptimize(image);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// Open as the application does, through the file system: read the file,
// compile and write the hex file.
void BM_OpenAndCompileFile_CXmlDoc(benchmark::State& state)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "varnel-bench-open";
    std::filesystem::create_directories(folder / "HEX");
    const std::string path = (folder / "largest.vrc").string();
    if (!ProjectFile::Save(path, LargestConfiguration())) state.SkipWithError("save failed");
    CVarnelDoc doc;
    doc.OnNewDocument();
    doc.appFolder = folder.string();
    for (auto _ : state) {
        const auto opened = varnel::OpenProjectFile(path, doc);
        if (!opened || !opened->compile) state.SkipWithError("the file did not open and compile");
        benchmark::DoNotOptimize(opened);
    }
    std::filesystem::remove_all(folder);
}

BENCHMARK(BM_OpenAndCompile_CXmlDoc)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenAndCompile_pugixml)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OpenAndCompileFile_CXmlDoc)->Unit(benchmark::kMicrosecond);

// Collects bytes per second and time per iteration of the runs (the medians
// when repeated) to print them beside pugixml's at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // With repetitions the median stands for the runs.
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((run.run_type != Run::RT_Iteration && !median) || run.error_occurred) continue;
            std::string name = run.benchmark_name();
            if (median) name.resize(name.size() - std::string("_median").size());
            const auto slash = name.find('/');
            const std::string bench = name.substr(0, slash);  // BM_<work>_<engine>
            const auto cut = bench.find('_', 3);
            const std::string work = bench.substr(3, cut - 3);
            const std::string size = slash == std::string::npos ? "" : name.substr(slash + 1);
            const auto it = run.counters.find("bytes_per_second");
            const double micros =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
            const double wall =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e6;
            figures[work + (size.empty() ? "" : " " + size + " MB")][bench.substr(cut + 1)] = {
                it == run.counters.end() ? 0.0 : it->second.value / 1e6, micros, wall};
        }
    }
    // Each engine beside pugixml in the same run: MB/s, CPU time per
    // iteration and the ratio of rates (above 1: faster than pugixml).
    void PrintRatios() const
    {
        std::printf("\n%-20s %-16s %9s %9s %11s %11s %7s\n", "work", "engine", "MB/s", "pugixml",
                    "us/iter", "pugixml us", "ratio");
        for (const auto& [work, byEngine] : figures) {
            const auto pugi = byEngine.find("pugixml");
            const Figure peer = pugi == byEngine.end() ? Figure{} : pugi->second;
            for (const auto& [engine, figure] : byEngine) {
                if (engine == "pugixml" || peer.rate == 0) continue;
                std::printf("%-20s %-16s %9.0f %9.0f %11.1f %11.1f %7.2f\n", work.c_str(),
                            engine.c_str(), figure.rate, peer.rate, figure.micros, peer.micros,
                            peer.rate > 0 ? figure.rate / peer.rate : 0.0);
            }
        }
        const auto open = figures.find("OpenAndCompile");
        if (open != figures.end() && open->second.count("CXmlDoc") != 0) {
            const Figure& f = open->second.at("CXmlDoc");
            std::printf(
                "open + compile of the largest configuration: %.1f us CPU, %.1f us wall "
                "(bound 1000 us: %s)\n",
                f.micros, f.wall, f.wall < 1000 ? "held" : "NOT held");
        }
        // Through the file system the hex file is written and synced: the disk's
        // latency comes on top, so this line is for information.
        const auto file = figures.find("OpenAndCompileFile");
        if (file != figures.end() && file->second.count("CXmlDoc") != 0)
            std::printf("the same from and to files (hex file synced): %.1f us CPU, %.1f us wall\n",
                        file->second.at("CXmlDoc").micros, file->second.at("CXmlDoc").wall);
    }

private:
    struct Figure {
        double rate = 0;    // MB/s
        double micros = 0;  // CPU time per iteration
        double wall = 0;    // real time per iteration
    };
    std::map<std::string, std::map<std::string, Figure>> figures;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
