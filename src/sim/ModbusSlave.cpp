// varnel-modbus-slave: a Modbus RTU slave with known values, for trying a
// configuration (varnelctl poll, the simulator's serial master) without
// hardware. Serves on a serial device, or on a pseudo-terminal of its own
// whose line settings it can read back and report.
#include <fcntl.h>
#include <modbus.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/image/Crc16.h"

namespace {

const char* const USAGE =
    "usage: varnel-modbus-slave DEVICE|--pty [--slave N] [--baud N] [--parity N|E|O]\n"
    "                           [--stop-bits 1|2] [--broken-crc-slave N]\n"
    "\n"
    "  DEVICE        serial device to serve on (/dev/ttyUSB0, one end of a socat pair)\n"
    "  --pty         make a pseudo-terminal, print its device and report the line\n"
    "                settings the master gives it\n"
    "  --slave N     slave address (default 1)\n"
    "  --broken-crc-slave N  answer requests to address N with a CRC that does not match\n"
    "\n"
    "Addresses 0-99 hold: coil i = 1 when i is a multiple of 3, discrete input i = 1 when\n"
    "i is even, holding register i = 100 + i, input register i = 200 + i.\n";

constexpr int SIZE = 100;

struct Options {
    std::string device;
    bool pty = false;
    int slave = 1;
    int baud = 9600;
    char parity = 'N';
    int stopBits = 1;
    int brokenCrcSlave = -1;
};

// The line settings on the pty, as the master set them: "line 19200 baud, 2 stop bits".
std::string LineReport(int fd)
{
    static const std::pair<speed_t, int> speeds[] = {
        {B600, 600},     {B1200, 1200},   {B2400, 2400},   {B4800, 4800},    {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return std::string("line settings unreadable: ") + std::strerror(errno);
    int baud = 0;
    for (const auto& [speed, value] : speeds)
        if (cfgetospeed(&t) == speed) baud = value;
    return "line " + std::to_string(baud) + " baud, " + ((t.c_cflag & CSTOPB) ? "2" : "1") +
           " stop bits";
}

modbus_t* Context(const Options& o, int fd)
{
    modbus_t* ctx =
        modbus_new_rtu(o.pty ? "/dev/null" : o.device.c_str(), o.baud, o.parity, 8, o.stopBits);
    if (ctx == nullptr) return nullptr;
    modbus_set_slave(ctx, o.slave);
    if (o.pty)
        modbus_set_socket(ctx, fd);
    else if (modbus_connect(ctx) != 0)
        return modbus_free(ctx), nullptr;
    return ctx;
}

// The answer of a slave whose CRC was damaged on the way: function 03, one
// register 42.
void SendBrokenCrc(int fd, std::uint8_t slave)
{
    std::uint8_t answer[] = {slave, 0x03, 0x02, 0x00, 0x2A, 0, 0};
    const std::uint16_t crc = varnel::Crc16Modbus(answer, 5) ^ 0xFFFF;
    answer[5] = static_cast<std::uint8_t>(crc & 0xFF);
    answer[6] = static_cast<std::uint8_t>(crc >> 8);
    (void)!write(fd, answer, sizeof answer);
}

// One line per request taken: the function, start, quantity and, for
// writes, the values the slave now holds there.
std::string RequestReport(const std::uint8_t* q, const modbus_mapping_t* map)
{
    const int start = q[2] << 8 | q[3];
    const int n = q[1] == 0x05 || q[1] == 0x06 ? 1 : (q[4] << 8 | q[5]);
    std::string line =
        (q[1] == 0x05 || q[1] == 0x06 || q[1] == 0x0F || q[1] == 0x10) ? "wrote " : "read ";
    line += std::to_string(q[1]) + " start " + std::to_string(start) + " qty " + std::to_string(n);
    if (q[1] == 0x06 || q[1] == 0x10)
        for (int i = 0; i < n && start + i < SIZE; ++i)
            line += " " + std::to_string(map->tab_registers[start + i]);
    if (q[1] == 0x05 || q[1] == 0x0F)
        for (int i = 0; i < n && start + i < SIZE; ++i)
            line += " " + std::to_string(map->tab_bits[start + i]);
    return line;
}

int Serve(const Options& o, int fd)
{
    modbus_mapping_t* map = modbus_mapping_new(SIZE, SIZE, SIZE, SIZE);
    for (int i = 0; i < SIZE; ++i) {
        map->tab_bits[i] = i % 3 == 0;
        map->tab_input_bits[i] = i % 2 == 0;
        map->tab_registers[i] = static_cast<std::uint16_t>(100 + i);
        map->tab_input_registers[i] = static_cast<std::uint16_t>(200 + i);
    }
    modbus_t* ctx = Context(o, fd);
    if (ctx == nullptr) {
        std::cerr << "varnel-modbus-slave: cannot open " << o.device << ": "
                  << modbus_strerror(errno) << std::endl;
        return 1;
    }
    std::string lastLine;
    std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    for (;;) {
        const int rc = modbus_receive(ctx, query);
        if (rc < 0 && errno < MODBUS_ENOBASE && errno != ETIMEDOUT && errno != EINTR)
            break;  // the line went away
        if (o.pty && LineReport(fd) != lastLine)
            std::cout << (lastLine = LineReport(fd)) << std::endl;
        if (rc > 0) {
            modbus_reply(ctx, query, rc, map);
            std::cout << RequestReport(query, map) << std::endl;
        } else if (rc == 0 && query[0] == o.brokenCrcSlave) {
            SendBrokenCrc(modbus_get_socket(ctx), query[0]);
        }
        if (rc == 0) {
            // libmodbus now takes the next message for the other slave's
            // answer; when nobody else answers on the line, start afresh.
            Options again = o;
            again.pty = true;  // on the descriptor already open
            const int s = modbus_get_socket(ctx);
            modbus_free(ctx);
            ctx = Context(again, s);
        }
    }
    std::cerr << "varnel-modbus-slave: " << modbus_strerror(errno) << std::endl;
    return 1;
}

bool Number(const std::string& text, int low, int high, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const std::string value = i + 1 < args.size() ? args[i + 1] : "";
        bool ok = true;
        if (a == "--help" || a == "-h")
            return std::cout << USAGE, 0;
        else if (a == "--pty")
            o.pty = true;
        else if (a == "--slave")
            ok = Number(value, 1, 247, o.slave), ++i;
        else if (a == "--baud")
            ok = Number(value, 50, 4000000, o.baud), ++i;
        else if (a == "--stop-bits")
            ok = Number(value, 1, 2, o.stopBits), ++i;
        else if (a == "--broken-crc-slave")
            ok = Number(value, 1, 247, o.brokenCrcSlave), ++i;
        else if (a == "--parity")
            ok = (value == "N" || value == "E" || value == "O") && (o.parity = value[0]), ++i;
        else if (a.rfind("--", 0) != 0 && o.device.empty())
            o.device = a;
        else
            ok = false;
        if (!ok) return std::cerr << "varnel-modbus-slave: bad argument " << a << "\n" << USAGE, 2;
    }
    if (o.pty == !o.device.empty())
        return std::cerr << "varnel-modbus-slave: name a DEVICE or --pty\n" << USAGE, 2;
    int fd = -1;
    if (o.pty) {
        int other = -1;
        char name[128];
        if (openpty(&fd, &other, name, nullptr, nullptr) != 0)
            return std::cerr << "varnel-modbus-slave: openpty: " << std::strerror(errno) << "\n", 1;
        o.device = name;  // `other` stays open so the line stays up between masters
    }
    std::cout << "slave " << o.slave << " on " << o.device << std::endl;
    return Serve(o, fd);
}
