#include "core/project/ProjectStore.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "core/image/Compiler.h"
#include "core/model/AtomicFile.h"
#include "core/project/JsonDocument.h"
#include "core/project/ProjectFile.h"

namespace varnel {

namespace {
std::string Extension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

Refusal UnknownKind(const std::string& path)
{
    return Refuse(Code::ProjectKind, "不支持的项目文件类型: " + path + " (应为 .vrc 或 .json)");
}
}  // namespace

Status LoadProject(const std::string& path, CVarnelDoc& doc)
{
    const std::string ext = Extension(path);
    std::error_code ec;
    // A folder says so whatever its name.
    if (ext != ".vrc" && ext != ".json" && !std::filesystem::is_directory(path, ec))
        return UnknownKind(path);
    const Result<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return bytes.error();
    if (ext == ".vrc") return ProjectFile::Load(*bytes, doc, path);
    return ImportJson(*bytes, doc);
}

Status SaveProject(const std::string& path, const CVarnelDoc& doc)
{
    const std::string ext = Extension(path);
    if (ext == ".vrc") return ProjectFile::Save(path, doc);
    if (ext != ".json") return UnknownKind(path);
    return WriteFileAtomically(path, ExportJson(doc));
}

Result<OpenedProject> OpenProjectFile(const std::string& path, CVarnelDoc& doc)
{
    if (Status read = LoadProject(path, doc); !read) return read.error();
    try {
        return OpenedProject{Compile(doc, doc.HexFilePath())};
    } catch (const std::invalid_argument&) {
        return ProjectFile::FormatError(doc);
    }
}

}  // namespace varnel
