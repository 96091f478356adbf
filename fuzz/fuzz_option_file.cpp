// Any bytes as the option file IP/ETHOption.xml: reading never fails, and
// writing an address either refuses and leaves the file as it was, or makes
// the next read give exactly that address; writing it again settles,
// and another address written in between reads back as well.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/model/CVarnelDoc.h"
#include "core/project/OptionFile.h"

using namespace varnel;

namespace {

#define Check(condition) ((condition) ? void() : std::abort())

// One data folder for the whole run, under the system's temporary folder,
// removed at exit (the text outlives every static destructor).
const std::string& Folder()
{
    static const std::string* const folder = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "fuzz_option_file.XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        std::filesystem::create_directories(pattern + "/IP");
        std::atexit([] { std::filesystem::remove_all(Folder()); });
        return new std::string(pattern);
    }();
    return *folder;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ReadBack()
{
    CVarnelDoc doc;
    doc.appFolder = Folder();
    ReadAccessAddress(doc);
    return doc.deviceIp;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = OptionFilePath(Folder());
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    (void)ReadBack();
    static const char* const ADDRESSES[] = {"192.168.1.10", "10.0.0.5", "", "255.255.255.255"};
    const std::string first = ADDRESSES[size % 4];
    const Status written = WriteAccessAddress(Folder(), first);
    if (!written) {
        Check(Slurp(path) == bytes);
        return 0;
    }
    Check(ReadBack() == first);
    // Writing the same address settles at once: an empty element may be
    // spelt <ip/> or <ip></ip>, but from the second write on nothing changes.
    Check(WriteAccessAddress(Folder(), first));
    const std::string settled = Slurp(path);
    Check(WriteAccessAddress(Folder(), first));
    Check(Slurp(path) == settled);
    Check(WriteAccessAddress(Folder(), "172.16.0.1"));
    Check(ReadBack() == "172.16.0.1");
    Check(WriteAccessAddress(Folder(), first));
    Check(ReadBack() == first);
    return 0;
}
