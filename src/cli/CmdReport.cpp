// varnelctl commands that read a configuration without changing it: the I/O
// map (`report`) and the differences between two configurations (`diff`).
#include <QDate>
#include <QFileInfo>
#include <QGuiApplication>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iostream>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "cli/QtApp.h"
#include "core/image/Crc16.h"
#include "core/image/ImageDecoder.h"
#include "core/model/AtomicFile.h"
#include "core/project/ProjectStore.h"
#include "core/report/IoMap.h"
#include "core/report/IoMapFormat.h"
#include "core/report/ProjectDiff.h"
#include "core/util/Hex.h"
#include "gui/report/ReportSheet.h"

namespace varnel::cli {

namespace {

// Qt's notes on the environment (no runtime folder, say) are not the
// command's output; only its critical messages are shown.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg) std::cerr << text.toStdString() << "\n";
}

// Writes the PDF inside a GUI application (fonts, painter) on the offscreen
// platform, so the command runs without a display whatever the environment
// names.
Status WritePdf(const std::string& pdf, const std::string& project, const CVarnelDoc& doc,
                const IoMap& map)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QtMessageHandler previous = qInstallMessageHandler(QuietQtMessages);
    Status status;
    {
        QtApp<QGuiApplication> app;
        SheetInfo info;
        info.projectName = QFileInfo(QString::fromStdString(project)).fileName();
        info.date = QDate::currentDate();
        info.modulePicturePath = QString::fromStdString(doc.ModulePicturePath());
        status = WriteReportPdf(QString::fromStdString(pdf), map, info);
    }
    qInstallMessageHandler(previous);
    return status;
}

int CmdReport(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool hasCsv = args.HasOption("csv");
    const std::string csv = args.Option("csv");
    const std::string pdf = args.Option("pdf");
    const bool json = args.Flag("json");
    const std::string path = args.Positional("PROJECT");
    args.Done();
    if (hasCsv && csv.empty()) throw UsageError{"--csv needs a file name or -"};
    if (json && csv == "-") throw UsageError{"--json and --csv - both write to standard output"};
    CVarnelDoc doc;
    if (!OpenProject(path, doc)) return EXIT_REFUSED;
    const Result<IoMap> map = BuildIoMap(doc);
    if (!map) return Refuse(map.message());
    std::vector<std::string> written;
    if (!csv.empty() && csv != "-") {
        if (Status written = WriteFileAtomically(csv, FormatIoMapCsv(*map)); !written)
            return Refuse(written.message());
        written.push_back("CSV written: " + csv);
    }
    if (!pdf.empty()) {
        if (Status status = WritePdf(pdf, path, doc, *map); !status)
            return Refuse(status.message());
        written.push_back("PDF written: " + pdf);
    }
    if (json)
        std::cout << FormatIoMapJson(*map);
    else if (csv == "-")
        std::cout << FormatIoMapCsv(*map);
    else if (written.empty())
        std::cout << FormatIoMapText(*map);
    else
        for (const std::string& line : written) std::cout << line << "\n";
    std::cout.flush();
    return EXIT_OK;
}

bool IsHexFileName(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".hex" || ext == ".txt";
}

// A file that cannot be read or parsed is a usage error of diff (exit 2).
[[noreturn]] void Unusable(const std::string& path, const std::string& why)
{
    throw UsageError{"cannot use " + path + ": " + why};
}

DecodedImage ReadImage(const std::string& path)
{
    const Result<std::string> text = ReadWholeFile(path);
    if (!text) Unusable(path, text.message().text);
    const auto bytes = ParseHexStrict(*text);
    if (!bytes) Unusable(path, "not hex text (pairs of hex digits, spaces allowed)");
    // Images are compared by their modules even when the decoder has remarks
    // on their content; a layout that does not add up or a wrong checksum is
    // a file that cannot be used.
    DecodedImage image = DecodeImage(*bytes);
    std::size_t expected = 7;
    for (const DecodedPort& port : image.ports) expected += 6u + port.parameterLength;
    const std::size_t flagged = (image.comFlags & 1u) + ((image.comFlags >> 1) & 1u);
    if (bytes->size() < 7 || expected != bytes->size() || image.ports.size() != flagged)
        Unusable(path,
                 image.problems.empty() ? "not a configuration image" : image.problems.front());
    if (Crc16Modbus(bytes->data(), bytes->size() - 2) != image.checksum)
        Unusable(path, "the checksum does not match the image's bytes");
    return image;
}

CVarnelDoc ReadDocument(const std::string& path)
{
    CVarnelDoc doc;
    if (Status loaded = LoadProject(path, doc); !loaded) Unusable(path, loaded.message().text);
    return doc;
}

// A project compared with a hex file: the image that compiling it gives.
DecodedImage CompiledImage(const std::string& path)
{
    const CVarnelDoc doc = ReadDocument(path);
    const Result<IoMap> map = BuildIoMap(doc);
    if (!map) Unusable(path, map.message().text);
    return DecodeImage(map->image);
}

int CmdDiff(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string a = args.Positional("A");
    const std::string b = args.Positional("B");
    args.Done();
    const bool hexA = IsHexFileName(a);
    const bool hexB = IsHexFileName(b);
    std::vector<std::string> lines;
    // A is read before B, so a refusal names the first unusable file.
    if (!hexA && !hexB) {
        const CVarnelDoc docA = ReadDocument(a);
        lines = DiffDocuments(docA, ReadDocument(b));
    } else {
        const DecodedImage imageA = hexA ? ReadImage(a) : CompiledImage(a);
        lines = DiffImages(imageA, hexB ? ReadImage(b) : CompiledImage(b));
    }
    for (const std::string& line : lines) std::cout << line << "\n";
    std::cout.flush();
    return lines.empty() ? EXIT_OK : EXIT_REFUSED;
}

CliCommand cmdReport{"report", "report PROJECT [--csv FILE|-] [--pdf FILE] [--json]", &CmdReport};
CliCommand cmdDiff{"diff", "diff A B   (projects .vrc/.json, or hex files .hex/.txt)", &CmdDiff};

}  // namespace

}  // namespace varnel::cli
