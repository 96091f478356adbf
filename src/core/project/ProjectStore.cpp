#include "core/project/ProjectStore.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

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

Message UnknownKind(const std::string& path)
{
    return ErrorMessage("不支持的项目文件类型: " + path + " (应为 .vrc 或 .json)");
}
}  // namespace

LegacyRefusal LoadProject(const std::string& path, CVarnelDoc& doc)
{
    const std::string ext = Extension(path);
    if (ext == ".vrc") {
        const ProjectReadResult read = ProjectFile::Read(path, doc);
        if (read.status == ProjectReadStatus::Incomplete)
            return ProjectFile::IncompleteMessage(path, read.missing);
        return read.message;
    }
    if (ext != ".json")
        return UnknownKind(path);
    std::string text;
    if (!ReadWholeFile(path, text))
        return ErrorMessage("无法打开文件 " + path + ": " + std::strerror(errno));
    return ImportJson(text, doc);
}

LegacyRefusal SaveProject(const std::string& path, const CVarnelDoc& doc)
{
    const std::string ext = Extension(path);
    if (ext == ".vrc")
        return ProjectFile::Save(path, doc);
    if (ext != ".json")
        return UnknownKind(path);
    return WriteFileAtomically(path, ExportJson(doc));
}

}  // namespace varnel
