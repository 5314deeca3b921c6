#pragma once

// Result codes of the serial driver layer. Callers show them in decimal, so the
// numbers are fixed: never renumber, only append.
namespace SerialResult {
enum : int {
    Success = 0,
    NoSuchPort = 1,       // no device behind this COM number, or the device does not exist
    PermissionDenied = 2, // the device exists but may not be opened (Linux: join the dialout group)
    PortBusy = 3,         // the port is already open, here or in another program
    PortNotOpen = 4,      // the call needs an open port
    IoError = 5,          // the device refused the request (settings, flush, break, write)
    PortLost = 6,         // the device went away while open; close the port to free it
    BadArgument = 7,      // port number outside 1..8, or a speed, line format or byte out of range
};

// A code's meaning, for a person, as the README's table gives it.
inline const char *Meaning(int code)
{
    switch (code) {
    case Success: return "success";
    case NoSuchPort: return "no such port: the device does not exist";
    case PermissionDenied: return "permission denied: on Linux, join the dialout group";
    case PortBusy: return "port busy: already open, here or in another program";
    case PortNotOpen: return "port not open";
    case IoError: return "I/O error: the device refused the request";
    case PortLost: return "port lost: the device went away";
    case BadArgument: return "bad argument";
    default: return "unknown result";
    }
}
}
