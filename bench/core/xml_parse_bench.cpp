// Parse throughput of the XML engine against pugixml and tinyxml2 on the same
// generated documents (project-like and deeply nested, 1 MB and 20 MB), and
// saving and opening the largest configuration (54 slots, both ports).
// Prints MB/s per run and, at the end, each parser's ratio to pugixml.
#include <benchmark/benchmark.h>
#include <tinyxml2.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <string>
#include <vector>

#include "core/model/CVarnelDoc.h"
#include "core/project/CXmlDoc.h"
#include "core/project/ProjectFile.h"

namespace {

using varnel::CModule;
using varnel::CVarnelDoc;
using varnel::CXmlDoc;
using varnel::Port;
namespace ProjectFile = varnel::ProjectFile;

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

void Label(benchmark::State& state, const std::string& text)
{
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(text.size()));
    state.SetLabel(std::string(state.range(0) == 0 ? "project" : "nested") + " " +
                   std::to_string(state.range(1)) + "MB");
}

void BM_Parse_CXmlDoc(benchmark::State& state)
{
    const std::string& text =
        Document(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        CXmlDoc xml;
        bool ok = xml.SetDocument(text);
        benchmark::DoNotOptimize(ok);
        if (!ok) state.SkipWithError("document not parsed as well-formed");
    }
    Label(state, text);
}

void BM_Parse_pugixml(benchmark::State& state)
{
    const std::string& text =
        Document(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        pugi::xml_document xml;
        pugi::xml_parse_result r =
            xml.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_latin1);
        benchmark::DoNotOptimize(r);
        if (!r) state.SkipWithError(r.description());
    }
    Label(state, text);
}

void BM_Parse_tinyxml2(benchmark::State& state)
{
    const std::string& text =
        Document(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        tinyxml2::XMLDocument xml;
        auto r = xml.Parse(text.data(), text.size());
        benchmark::DoNotOptimize(r);
        if (r != tinyxml2::XML_SUCCESS) state.SkipWithError(xml.ErrorStr());
    }
    Label(state, text);
}

void Shapes(benchmark::internal::Benchmark* b)
{
    for (int shape : {0, 1})
        for (int mb : {1, 20}) b->Args({shape, mb});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Parse_CXmlDoc)->Apply(Shapes);
BENCHMARK(BM_Parse_pugixml)->Apply(Shapes);
BENCHMARK(BM_Parse_tinyxml2)->Apply(Shapes);

// The largest configuration: 54 user slots on both ports, every slot used.
CVarnelDoc LargestConfiguration()
{
    CVarnelDoc doc;
    doc.deviceIp = "192.168.1.10";
    doc.deviceSlotNum = 54;
    doc.com1Enabled = doc.com2Enabled = 1;
    for (Port port : {Port::COM1, Port::COM2})
        for (int i = 0; i < CVarnelDoc::RACK_SIZE; ++i)
            doc.Slot(port, i).module =
                CModule{"读保持寄存器 03H", "", "", 2 * i, i, "read", {1, 3, 0, 0, 0, 10}};
    return doc;
}

void BM_Project_Store(benchmark::State& state)
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

void BM_Project_Load(benchmark::State& state)
{
    const std::string bytes = ProjectFile::Store(LargestConfiguration());
    CVarnelDoc doc;
    for (auto _ : state) {
        const bool read = ProjectFile::Load(bytes, doc).ok();
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// End to end through the file system: atomic save (with its fsync) and open.
void BM_Project_SaveAndRead_File(benchmark::State& state)
{
    const CVarnelDoc doc = LargestConfiguration();
    const std::string path =
        (std::filesystem::temp_directory_path() / "varnel-bench-largest.vrc").string();
    CVarnelDoc back;
    for (auto _ : state) {
        if (!ProjectFile::Save(path, doc)) state.SkipWithError("save failed");
        const bool read = ProjectFile::Read(path, back).ok();
        benchmark::DoNotOptimize(read);
    }
    std::filesystem::remove(path);
}

BENCHMARK(BM_Project_Store)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Project_Load)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Project_SaveAndRead_File)->Unit(benchmark::kMicrosecond);

// Collects bytes per second of the parse runs to print ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            auto it = run.counters.find("bytes_per_second");
            if (it == run.counters.end()) continue;
            const std::string name = run.benchmark_name();
            const auto slash = name.find('/');
            const std::string engine = name.substr(0, slash);
            if (engine.rfind("BM_Parse_", 0) == 0)
                rates[name.substr(slash)][engine.substr(9)] = it->second.value;
        }
    }
    void PrintRatios() const
    {
        std::printf("\n%-10s %-12s %10s %10s %10s %14s %14s\n", "shape", "size", "CXmlDoc",
                    "pugixml", "tinyxml2", "CXmlDoc/pugi", "CXmlDoc/tinyxml2");
        for (const auto& [args, byEngine] : rates) {
            auto get = [&engines = byEngine](const char* e) {
                auto it = engines.find(e);
                return it == engines.end() ? 0.0 : it->second / 1e6;
            };
            const double own = get("CXmlDoc"), pugi = get("pugixml"), tiny = get("tinyxml2");
            const bool nested = args.find("/1/") == 0;
            const std::string size = args.substr(args.rfind('/') + 1);
            std::printf("%-10s %-12s %8.0f MB/s %6.0f MB/s %6.0f MB/s %14.2f %14.2f\n",
                        nested ? "nested" : "project", (size + " MB").c_str(), own, pugi, tiny,
                        pugi > 0 ? own / pugi : 0.0, tiny > 0 ? own / tiny : 0.0);
        }
    }

private:
    std::map<std::string, std::map<std::string, double>> rates;
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
