// varnelctl commands that build and change a configuration. Every change runs
// open -> change -> save under the project's lock and prints one line saying
// what it did.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <span>
#include <thread>
#include <utility>

#include "cli/CliCommand.h"
#include "cli/ProjectCommand.h"
#include "core/modbus/CommandCheck.h"
#include "core/modbus/CommandType.h"
#include "core/modbus/ModbusMaster.h"
#include "core/modbus/SerialParams.h"
#include "core/model/AtomicFile.h"
#include "core/model/SlotCount.h"
#include "core/project/JsonDocument.h"
#include "core/project/OptionFile.h"
#include "core/project/ProjectStore.h"
#include "core/util/Ipv4.h"
#include "core/view/ViewCommands.h"

namespace varnel::cli {

namespace {

// How long a second process waits for a project another one is changing;
// VARNEL_LOCK_WAIT_MS overrides the 10 s.
std::chrono::milliseconds LockWait()
{
    if (const char* text = std::getenv("VARNEL_LOCK_WAIT_MS"); text != nullptr && *text != '\0')
        return std::chrono::milliseconds(std::atol(text));
    return std::chrono::seconds(10);
}

// An exclusive flock on the project file for one read-change-write. The save
// renames a new file into place, so the lock is taken again when the path no
// longer names the locked file.
class ProjectLock {
public:
    ProjectLock() = default;
    ProjectLock(ProjectLock&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ProjectLock& operator=(ProjectLock&&) = delete;
    ~ProjectLock()
    {
        if (fd >= 0) ::close(fd);
    }

    // A file that does not exist yet has nothing to lock: the read that
    // follows reports it, or the write creates it.
    static Result<ProjectLock> Take(const std::string& path)
    {
        const auto deadline = std::chrono::steady_clock::now() + LockWait();
        for (;;) {
            ProjectLock lock;
            lock.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (lock.fd < 0) return lock;
            if (::flock(lock.fd, LOCK_EX | LOCK_NB) == 0) {
                struct stat locked {
                }, now{};
                if (::fstat(lock.fd, &locked) != 0 || ::stat(path.c_str(), &now) != 0 ||
                    (locked.st_ino == now.st_ino && locked.st_dev == now.st_dev))
                    return lock;
                continue;  // replaced while we waited: lock the new file
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return Refuse(Code::FileLocked,
                              path +
                                  ": another process is changing this project; gave up "
                                  "after waiting " +
                                  std::to_string(LockWait().count() / 1000) + " s");
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

private:
    int fd = -1;
};

bool SameFile(const std::string& a, const std::string& b)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::equivalent(a, b, ec)) return true;
    return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec) && !ec;
}

}  // namespace

Status CheckOutputIsNotProject(const std::string& output, const std::string& project, bool force)
{
    if (force || !SameFile(output, project)) return {};
    return Refuse(Code::WouldLoseData, output +
                                           " is the project itself; writing there would "
                                           "replace it (--force writes anyway)");
}

CVarnelDoc NewDocument()
{
    CVarnelDoc doc;
    doc.appFolder = DataFolder();
    doc.OnNewDocument();
    ReadAccessAddress(doc);
    return doc;
}

bool OpenProject(const std::string& path, CVarnelDoc& doc)
{
    doc.appFolder = DataFolder();
    const Status read = LoadProject(path, doc);
    if (!read) PrintMessage(read.message());
    return read.ok();
}

int ChangeProject(const std::string& path, const Change& change)
{
    auto lock = ProjectLock::Take(path);
    if (!lock) return Refuse(lock.message());
    CVarnelDoc doc;
    if (!OpenProject(path, doc)) return EXIT_REFUSED;
    ChangeResult done = change(doc);
    if (!done) return Refuse(done.message());
    if (const Status saved = SaveProject(path, doc); !saved) return Refuse(saved.message());
    std::cout << *done << std::endl;
    return EXIT_OK;
}

int WriteProject(const std::string& path, const CVarnelDoc& doc, const std::string& done)
{
    auto lock = ProjectLock::Take(path);
    if (!lock) return Refuse(lock.message());
    if (const Status saved = SaveProject(path, doc); !saved) return Refuse(saved.message());
    std::cout << done << std::endl;
    return EXIT_OK;
}

InOut ParseInOut(const std::vector<std::string>& argv, const char* inputName, bool hasForce,
                 const char* missingOutput)
{
    Args args(argv);
    InOut io;
    io.force = hasForce && args.Flag("force");
    io.output = args.Option("o");
    io.input = args.Positional(inputName);
    args.Done();
    if (io.output.empty() && missingOutput != nullptr)
        throw UsageError{std::string("missing -o ") + missingOutput};
    return io;
}

std::string SinglePositional(const std::vector<std::string>& argv, const char* what)
{
    Args args(argv);
    std::string value = args.Positional(what);
    args.Done();
    return value;
}

Port ParsePort(const std::string& text)
{
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper == "COM1") return Port::COM1;
    if (upper == "COM2") return Port::COM2;
    throw UsageError{"port must be COM1 or COM2, not " + text};
}

namespace {

// User slot numbers start at 1; 0 and below are a usage error.
int ParseUserSlot(const std::string& text)
{
    const long slot = ParseNumber(text, "SLOT");
    if (slot < 1 || slot > CVarnelDoc::MAX_USER_SLOTS)
        throw UsageError{"SLOT must be a user slot 1-54, not " + text};
    return static_cast<int>(slot);
}

// The slot within the document's slot count.
Result<SlotRef> UserSlot(const CVarnelDoc& doc, Port port, int slot)
{
    if (slot <= doc.deviceSlotNum) return SlotRef{port, UserSlotIndex(slot)};
    return Refuse(Code::BadValue, "槽号 " + std::to_string(slot) + " 超出范围: 用户槽为 1~" +
                                      std::to_string(doc.deviceSlotNum));
}

Refusal PortNotSetUp(Port port)
{
    return Refuse(Code::PortNotSetUp, std::string(PortName(port)) + " 未配置 Modbus 主站");
}

std::string Describe(SlotRef ref)
{
    return std::string(PortName(ref.port)) + " slot " + std::to_string(UserSlotNumber(ref.index));
}

std::string DescribeCommand(const CVarnelDoc& doc, SlotRef ref)
{
    return Describe(ref) + " (" + doc.Slot(ref.port, ref.index).module.moduleName + ")";
}

std::string Join(const std::vector<SlotRef>& refs, const CVarnelDoc& doc)
{
    std::string text;
    for (const SlotRef& ref : refs) text += (text.empty() ? "" : ", ") + DescribeCommand(doc, ref);
    return text;
}

std::string FieldsText(const CommandFields& f)
{
    return "slave " + std::to_string(f.slaveAddress) + ", start " + std::to_string(f.startAddress) +
           ", quantity " + std::to_string(f.quantity);
}

const CommandType* ParseCommandType(const std::string& text)
{
    if (const CommandType* type = FindCommandType(text)) return type;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (!digits.empty() && digits.size() <= 2 &&
        std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); }))
        if (const CommandType* type =
                FindCommandTypeByCode(static_cast<std::uint8_t>(std::stoi(digits, nullptr, 16))))
            return type;
    std::string known;
    for (const auto& t : CommandTypes()) known += "\n  " + std::string(t.label);
    throw UsageError{"unknown command type " + text + "; use a function code or one of:" + known};
}

int CmdNew(const std::vector<std::string>& argv)
{
    const std::string path = SinglePositional(argv, "PROJECT");
    const CVarnelDoc doc = NewDocument();
    return WriteProject(path, doc,
                        "created " + path + ": address " +
                            (doc.deviceIp.empty() ? "(none)" : doc.deviceIp) + ", " +
                            std::to_string(doc.deviceSlotNum) + " user slots, no port set up");
}

int CmdSetupPort(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    args.Done();
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        SetupPort(doc, port);
        return std::string("set up the Modbus master of ") + PortName(port) +
               ": STATE, CONTROL and default serial parameters; user slots kept";
    });
}

int CmdAdd(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool force = args.Flag("force");
    const std::string slave = args.Option("slave", "0");
    const std::string start = args.Option("start", "0");
    const std::string qty = args.Option("qty", "1");
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    const int slot = ParseUserSlot(args.Positional("SLOT"));
    const CommandType* type = ParseCommandType(args.Positional("TYPE"));
    args.Done();
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        const auto target = UserSlot(doc, port, slot);
        if (!target) return target.error();
        std::string replaced;
        if (!doc.Slot(port, target->index).IsEmpty()) {
            if (!force)
                return Refuse(Code::WouldLoseData, DescribeCommand(doc, *target) +
                                                       " is occupied; add --force replaces it");
            replaced = ", replacing " + doc.Slot(port, target->index).module.moduleName;
        }
        CommandFields fields;
        if (Status checked = CheckCommand(doc, *target, type->label, start, slave, qty, fields);
            !checked)
            return checked.error();
        PlaceModule(doc, *target, type->label, fields.startAddress, fields.quantity,
                    fields.slaveAddress);
        return "added " + std::string(type->label) + " (" + FieldsText(fields) + ") to " +
               Describe(*target) + replaced;
    });
}

int CmdEdit(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool hasSlave = args.HasOption("slave");
    const bool hasStart = args.HasOption("start");
    const bool hasQty = args.HasOption("qty");
    const std::string slave = args.Option("slave");
    const std::string start = args.Option("start");
    const std::string qty = args.Option("qty");
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    const int slot = ParseUserSlot(args.Positional("SLOT"));
    args.Done();
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        const auto target = UserSlot(doc, port, slot);
        if (!target) return target.error();
        CModule& module = doc.Slot(port, target->index).module;
        auto fields = ReadCommandFields(module);
        if (!fields)
            return Refuse(Code::NotACommand, Describe(*target) + ": " + fields.message().text);
        const std::string startText = hasStart ? start : std::to_string(fields->startAddress);
        const std::string slaveText = hasSlave ? slave : std::to_string(fields->slaveAddress);
        const std::string qtyText = hasQty ? qty : std::to_string(fields->quantity);
        if (Status checked = CheckCommand(doc, *target, module.moduleName, startText, slaveText,
                                          qtyText, *fields);
            !checked)
            return checked.error();
        ApplyCommandEdit(module, *fields);
        doc.modified = true;
        return "changed " + DescribeCommand(doc, *target) + " to " + FieldsText(*fields);
    });
}

struct SerialSetting {
    const char* option;
    SerialListId list;
    std::string value;
};

// The list item an option names; a usage error listing the items otherwise.
int SerialItem(const SerialSetting& s)
{
    const int index = FindSerialItem(s.list, s.value);
    if (index != NO_CHOICE) return index;
    std::string items;
    const auto& list = SerialLists()[s.list];
    for (std::size_t i = 0; i < list.items.size(); ++i)
        items += "\n  " + std::to_string(i) + ": " + std::string(list.items[i]);
    throw UsageError{std::string("--") + s.option + ": no item " + s.value +
                     "; choose one of:" + items};
}

int CmdSerial(const std::vector<std::string>& argv)
{
    Args args(argv);
    std::vector<SerialSetting> settings = {
        {"baud", BAUD, {}},
        {"format", FORMAT, {}},
        {"monitor", MONITOR, {}},
        {"timer", TIMER, {}},
        {"update", UPDATE, {}},
        {"write", WRITE_MODE, {}},
        {"timer-mode", TIMER_MODE, {}},
    };
    for (auto& s : settings) s.value = args.Option(s.option);
    const std::string path = args.Positional("PROJECT");
    const Port port = ParsePort(args.Positional("COM1|COM2"));
    args.Done();
    for (const auto& s : settings)
        if (!s.value.empty()) SerialItem(s);
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        if (doc.Enabled(port) != 1) return PortNotSetUp(port);
        auto& prm = doc.Slot(port, SERIAL_PARAMS_INDEX).module.modulePrm;
        if (prm.size() < 5)
            return Refuse(Code::ProjectFormat,
                          std::string(PortName(port)) + " 的串口参数模块不足 5 个字节");
        std::span<std::uint8_t, 5> bytes(prm.data(), 5);
        SerialChoices choices = OpenSerialParams(bytes);
        for (const auto& s : settings)
            if (!s.value.empty()) choices.index[s.list] = SerialItem(s);
        StoreSerialParams(choices, bytes);
        doc.modified = true;
        std::string text = DescribeSerialParams(bytes);
        for (std::size_t at; (at = text.find('\n')) != std::string::npos;)
            text.replace(at, 1, at + 1 == text.size() ? "" : "; ");
        return "set the serial parameters of " + std::string(PortName(port)) + ": " + text;
    });
}

// The commands in the user slots of a port.
std::vector<SlotRef> PortCommands(const CVarnelDoc& doc, Port port)
{
    std::vector<SlotRef> found;
    for (int i = FIRST_USER_INDEX; i <= doc.LastConfigIndex() && i < CVarnelDoc::RACK_SIZE; ++i)
        if (!doc.Slot(port, i).IsEmpty()) found.push_back({port, i});
    return found;
}

ChangeResult DeletePort(CVarnelDoc& doc, Port port, bool force)
{
    const SlotRef head{port, SlotRef::PORT_HEAD};
    if (!OffersDelete(doc, head)) return PortNotSetUp(port);
    const std::vector<SlotRef> lost = PortCommands(doc, port);
    if (!lost.empty() && !force)
        return Refuse(Code::WouldLoseData, "deleting the Modbus master of " +
                                               std::string(PortName(port)) + " drops " +
                                               Join(lost, doc) + " (delete --force drops them)");
    const std::string dropped = Join(lost, doc);
    DeleteSelected(doc, head);
    return "deleted the Modbus master of " + std::string(PortName(port)) +
           (lost.empty() ? "" : " with " + dropped);
}

int CmdDelete(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool force = args.Flag("force");
    const std::string path = args.Positional("PROJECT");
    std::string target = args.Positional("COM1|COM2[:SLOT]");
    args.Done();
    int slot = 0;
    if (auto colon = target.find(':'); colon != std::string::npos) {
        slot = ParseUserSlot(target.substr(colon + 1));
        target = target.substr(0, colon);
    }
    const Port port = ParsePort(target);
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        if (slot == 0) return DeletePort(doc, port, force);
        const auto ref = UserSlot(doc, port, slot);
        if (!ref) return ref.error();
        if (!OffersDelete(doc, *ref))
            return Refuse(Code::SlotEmpty,
                          std::string(PortName(port)) + " 槽 " + std::to_string(slot) + " 是空的");
        const std::string what = DescribeCommand(doc, *ref);
        DeleteSelected(doc, *ref);
        return "deleted " + what;
    });
}

int CmdSlots(const std::vector<std::string>& argv)
{
    Args args(argv);
    const bool force = args.Flag("force");
    const std::string path = args.Positional("PROJECT");
    const std::string countText = args.Positional("N");
    args.Done();
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        const Result<int> count = CheckSlotCountText(countText);
        if (!count) return count.error();
        const std::vector<SlotRef> lost = CommandsBeyond(doc, *count);
        if (!lost.empty() && !force)
            return Refuse(Code::WouldLoseData, "a slot count of " + std::to_string(*count) +
                                                   " drops " + Join(lost, doc) +
                                                   " for good (--force goes ahead)");
        const std::string dropped = Join(lost, doc);
        // Forced: the commands go in every file form alike, so the project
        // still compiles (a command behind the last slot leaves the status
        // table no room).
        for (const SlotRef& ref : lost) doc.Slot(ref.port, ref.index).module = CModule{};
        doc.deviceSlotNum = *count;
        return "set the user slot count to " + std::to_string(*count) +
               (lost.empty() ? "" : ", dropping " + dropped);
    });
}

int CmdIp(const std::vector<std::string>& argv)
{
    Args args(argv);
    const std::string path = args.Positional("PROJECT");
    const std::string text = args.Positional("ADDRESS");
    args.Done();
    const auto address = ParseIpv4(text);
    if (!address) throw UsageError{"bad address: " + text};
    return ChangeProject(path, [&](CVarnelDoc& doc) -> ChangeResult {
        doc.deviceIp = FormatIpv4(*address);
        return "set the gateway address of " + path + " to " + doc.deviceIp;
    });
}

int CmdExport(const std::vector<std::string>& argv)
{
    const InOut io = ParseInOut(argv, "PROJECT", true, "FILE.json");
    CVarnelDoc doc;
    if (!OpenProject(io.input, doc)) return EXIT_REFUSED;
    if (io.output == "-") {
        std::cout << ExportJson(doc);
        return EXIT_OK;
    }
    if (Status free = CheckOutputIsNotProject(io.output, io.input, io.force); !free)
        return Refuse(free.message());
    if (const Status written = WriteFileAtomically(io.output, ExportJson(doc)); !written)
        return Refuse(written.message());
    std::cout << "exported " << io.input << " to " << io.output << std::endl;
    return EXIT_OK;
}

int CmdImport(const std::vector<std::string>& argv)
{
    const InOut io = ParseInOut(argv, "FILE.json", false, "PROJECT");
    const Result<std::string> text = ReadWholeFile(io.input);
    if (!text) return Refuse(text.message());
    CVarnelDoc doc;
    doc.appFolder = DataFolder();
    if (const Status imported = ImportJson(*text, doc); !imported)
        return Refuse(imported.message());
    return WriteProject(io.output, doc, "imported " + io.input + " into " + io.output);
}

CliCommand cmdNew{"new", "new PROJECT", &CmdNew};
CliCommand cmdSetup{"setup-port", "setup-port PROJECT COM1|COM2", &CmdSetupPort};
CliCommand cmdAdd{
    "add", "add PROJECT COM1|COM2 SLOT TYPE [--slave N] [--start N] [--qty N] [--force]", &CmdAdd};
CliCommand cmdEdit{"edit", "edit PROJECT COM1|COM2 SLOT [--slave N] [--start N] [--qty N]",
                   &CmdEdit};
CliCommand cmdSerial{"serial",
                     "serial PROJECT COM1|COM2 [--baud ITEM] [--format ITEM] [--monitor ITEM] "
                     "[--timer ITEM] [--update ITEM] [--write ITEM] [--timer-mode ITEM]",
                     &CmdSerial};
CliCommand cmdDelete{"delete", "delete PROJECT COM1|COM2[:SLOT] [--force]", &CmdDelete};
CliCommand cmdSlots{"slots", "slots PROJECT N [--force]", &CmdSlots};
CliCommand cmdIp{"ip", "ip PROJECT ADDRESS", &CmdIp};
CliCommand cmdExport{"export", "export PROJECT -o FILE.json|- [--force]", &CmdExport};
CliCommand cmdImport{"import", "import FILE.json -o PROJECT", &CmdImport};

}  // namespace

}  // namespace varnel::cli
